#pragma once
// The text job's handler: it shows only the operations of the client's
// range (starting the first one at the range's string and glyph), hands
// every consumer call on to the client with its position, and pauses the
// job once the range's end has been shown.
#include <cstdint>

#include "content/TextHandler.h"

namespace content {

class TextJob;

class TextForwardingHandler final : public TextHandler {
 public:
  TextForwardingHandler(TextPage& page, int32_t pageIndex, TextJob& job);

  void ShowText(const uint8_t* bytes, uint32_t count, runtime::Rect& box) override;
  void ShowTextArray(const TextArrayElement* elements, uint32_t count, runtime::Rect& bounds) override;
  void PaintPath(ContentStream& player, bool pathPresent, const PathPaint& paint,
                 const PathSegments& segments) override;
  void EndTextClip() override;
  void DoXObject(std::string_view name) override;
  void PaintImage(const InlineImage& image, uint32_t options) override;

  int BeginString(bool isRepeat, bool fontHasUnicode, bool isVisible) override;
  void EndString() override;
  int BeginGlyphs(const uint8_t* begin, const uint8_t* end, const TextRun& run, bool isLastString,
                  bool startsNewBlock) override;
  void EndGlyphs(bool stopped) override;
  int BeginGlyph(bool isLastGlyph, bool isFirstGlyph) override;
  void EndGlyph() override;
  void OnChar(uint32_t code, bool isLastChar, bool isFirstChar) override;
  uint32_t ClassifyWideGap() override;
  int AllowsRubyTest() override;

 private:
  template <class Show>
  void ShowInRange(Show&& show, bool isArray);
  bool InRange() const;

  TextJob& job_;
  runtime::TextRange range_;
};

}  // namespace content
