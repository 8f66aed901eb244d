#pragma once
// The text handler that outlines a selected range on one page: each run
// of characters of a string that lies in the range adds a closed
// quadrilateral around their cells. The page stops once the range has
// been passed.
#include <cstdint>

#include "content/PageText.h"
#include "content/TextHandler.h"

namespace content {

class TextExtractor final : public TextHandler {
 public:
  TextExtractor(TextPage& page, int32_t pageIndex, const runtime::TextRange& range, TextOutline& outline);

  int BeginString(bool isRepeat, bool fontHasUnicode, bool isVisible) override;
  void EndString() override {}
  int BeginGlyphs(const uint8_t*, const uint8_t*, const TextRun&, bool, bool) override { return 1; }
  void EndGlyphs(bool) override { CloseRun(); }
  int BeginGlyph(bool, bool) override { return 1; }
  void EndGlyph() override {}
  void OnChar(uint32_t code, bool isLastChar, bool isFirstChar) override;
  uint32_t ClassifyWideGap() override { return kWideGap; }
  int AllowsRubyTest() override { return 1; }

  const runtime::Optional<runtime::TextPosition>& FirstInRange() const { return first_; }
  const runtime::Optional<runtime::TextPosition>& LastInRange() const { return last_; }
  // The corners of the last character's cell (descent start, descent end,
  // ascent end, ascent start).
  bool HasLastBox() const { return hasLastBox_; }
  const runtime::FixedPoint (&LastBox() const)[4] { return lastBox_; }

 private:
  // Adds the quadrilateral of the open run, if any.
  void CloseRun();

  runtime::TextRange range_;
  TextOutline& outline_;
  runtime::Optional<runtime::TextPosition> first_;
  runtime::Optional<runtime::TextPosition> last_;
  bool runOpen_ = false;
  runtime::FixedPoint runStart_[4];
  runtime::FixedPoint runEnd_[4];
  bool hasLastBox_ = false;
  runtime::FixedPoint lastBox_[4];
};

}  // namespace content
