#pragma once
// The text handler of selection hit-testing: for one page, the first and
// the last character whose box the selection takes, and the characters
// nearest to the selection's two points.
#include <cstdint>

#include "content/PageText.h"
#include "content/TextHandler.h"

namespace content {

class PageTextCollector final : public TextHandler {
 public:
  PageTextCollector(TextPage& page, int32_t pageIndex, const SelectionQuery& query, uint32_t mode);

  int BeginString(bool isRepeat, bool fontHasUnicode, bool isVisible) override;
  void EndString() override {}
  int BeginGlyphs(const uint8_t*, const uint8_t*, const TextRun&, bool, bool) override { return 1; }
  void EndGlyphs(bool) override {}
  int BeginGlyph(bool, bool) override { return 1; }
  void EndGlyph() override {}
  void OnChar(uint32_t code, bool isLastChar, bool isFirstChar) override;
  uint32_t ClassifyWideGap() override { return kWideGap; }
  int AllowsRubyTest() override { return 1; }

  const runtime::Optional<TextHit>& First() const { return first_; }
  const runtime::Optional<TextHit>& Last() const { return last_; }
  const runtime::Optional<TextHit>& NearestA() const { return nearestA_; }
  const runtime::Optional<TextHit>& NearestB() const { return nearestB_; }

 private:
  void Nearest(runtime::Optional<TextHit>& best, int64_t& bestDistance, runtime::FixedPoint point,
               const TextHit& hit);

  const SelectionQuery& query_;
  int32_t pageIndex_;
  uint32_t mode_;
  runtime::Optional<TextHit> first_;
  runtime::Optional<TextHit> last_;
  runtime::Optional<TextHit> nearestA_;
  runtime::Optional<TextHit> nearestB_;
  int64_t distanceA_ = INT64_MAX;
  int64_t distanceB_ = INT64_MAX;
};

}  // namespace content
