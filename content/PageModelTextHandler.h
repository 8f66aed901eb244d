#pragma once
// The text handler that builds a page model: it gathers each string's
// characters into the current line, spaces between words, and offers each
// finished line to the layout pass (TextExtract) when a string starts a
// new block and at the end of the page.
#include <cstdint>

#include "content/TextHandler.h"

namespace content {

class PageModel;
class TextExtract;

class PageModelTextHandler final : public TextHandler {
 public:
  PageModelTextHandler(TextPage& page, PageModel& model, TextExtract& engine, int32_t pageIndex,
                       uint32_t options);

  void ShowText(const uint8_t* bytes, uint32_t count, runtime::Rect& box) override;
  void ShowTextArray(const TextArrayElement* elements, uint32_t count, runtime::Rect& bounds) override;

  int BeginString(bool isRepeat, bool fontHasUnicode, bool isVisible) override;
  void EndString() override {}
  int BeginGlyphs(const uint8_t* begin, const uint8_t* end, const TextRun& run, bool isLastString,
                  bool startsNewBlock) override;
  void EndGlyphs(bool stopped) override;
  int BeginGlyph(bool isLastGlyph, bool isFirstGlyph) override;
  void EndGlyph() override {}
  void OnChar(uint32_t code, bool isLastChar, bool isFirstChar) override;
  // A wide gap keeps the line when the string lines up with one of the
  // page's link boxes (a link's text set apart on its line); otherwise it
  // ends the line.
  uint32_t ClassifyWideGap() override;
  int AllowsRubyTest() override { return 1; }

  // Lays out the last line; the page's text is complete afterwards.
  void Finish();

 private:
  // Offers the finished line to the layout pass.
  void RunPass();
  // Ends the page's text once it has more blocks or strings than the
  // model lays out.
  void CheckLimits();
  // A gap the same-word test accepts that is still a gap between words
  // for the size of the text.
  bool SeparatesWords() const;
  template <class Show>
  void NoteFirstText(Show&& show);

  PageModel& model_;
  TextExtract& engine_;
  uint32_t options_;
  uint32_t strings_ = 0;
  uint32_t lineCharStart_ = 0;
  bool textRecorded_ = false;
  bool finished_ = false;
};

}  // namespace content
