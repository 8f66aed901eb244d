#pragma once
// The content handler that turns a page's text-showing operations into
// characters with positions and layout relations instead of pixels. Every
// shown string is measured, compared with the line before it (same word,
// next word, wide gap, new block, ruby) and then handed glyph by glyph,
// mapped to Unicode and folded, to the subclass's consumer operations.
// A consumer that has what it needs stops the page by throwing
// ("TextExtract", 0), which ContentStream::RunCatchingTextExtractStop
// swallows.
#include <cstdint>

#include "content/ContentHandler.h"
#include "content/OverprintKey.h"
#include "content/TextExtractState.h"
#include "content/TextFontSource.h"
#include "content/TextPage.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/TextPosition.h"

namespace content {

class TextRun;

class TextHandler : public ContentHandler {
 public:
  // Characters one glyph may yield at most.
  static constexpr uint32_t kMaxGlyphChars = 255;

  TextHandler(TextPage& page, uint32_t mode, int32_t pageIndex, bool caseFold, bool quoteFold,
              const ContentSegmentList* segments = nullptr);
  ~TextHandler() override;

  // ---- ContentHandler ----
  int BeginPath(runtime::Rect& bounds, bool stroke) override;
  void PaintPath(ContentStream& player, bool pathPresent, const PathPaint& paint,
                 const PathSegments& segments) override;
  void EndTextClip() override {}
  void DoXObject(std::string_view name) override;
  void PaintImage(const InlineImage& image, uint32_t options) override;
  void DoShading(std::string_view) override {}
  void ShowText(const uint8_t* bytes, uint32_t count, runtime::Rect& box) override;
  void ShowTextArray(const TextArrayElement* elements, uint32_t count, runtime::Rect& bounds) override;
  void BeforeOperation() override;
  PathCacheSlot* GetPathCacheSlot() override { return nullptr; }
  void* GetTarget() override { return page_.target; }
  int32_t GetPageWidth() override { return page_.width; }
  int32_t GetPageHeight() override { return page_.height; }
  void OnBeginText() override {}
  void EndText(Span&, ContentStream&) override {}

  // ---- Consumer operations ----
  // Non-zero: process the string.
  virtual int BeginString(bool isRepeat, bool fontHasUnicode, bool isVisible) = 0;
  // After every string that yielded glyphs, whatever BeginString answered.
  virtual void EndString() = 0;
  // Non-zero: deliver the string's glyphs.
  virtual int BeginGlyphs(const uint8_t* begin, const uint8_t* end, const TextRun& run, bool isLastString,
                          bool startsNewBlock) = 0;
  // 1 when a stop passes through the glyph loop, else 0.
  virtual void EndGlyphs(bool stopped) = 0;
  virtual int BeginGlyph(bool isLastGlyph, bool isFirstGlyph) = 0;
  virtual void EndGlyph() = 0;
  virtual void OnChar(uint32_t code, bool isLastChar, bool isFirstChar) = 0;
  // The relation to use when the gap test finds a wide gap.
  virtual uint32_t ClassifyWideGap() = 0;
  virtual int AllowsRubyTest() = 0;

  const runtime::TextPosition& Position() const { return position_; }
  // Characters of the glyph being delivered.
  uint8_t CharCount() const { return charCount_; }
  const TextExtractState& LineState() const { return line_; }
  TextExtractState& LineState() { return line_; }
  // The relation of the string being processed to the line before it.
  uint32_t CurrentRelation() const { return relation_; }
  // The string being processed and its measures (null outside a string).
  const TextRun* CurrentRun() const { return currentRun_; }
  const StringTextInfo* CurrentInfo() const { return currentInfo_; }
  // The string being processed is a repeat or lies outside the page.
  bool CurrentStringHidden() const { return hidden_; }
  // The run index of the glyph being delivered.
  uint32_t CurrentGlyphIndex() const { return stringFirstGlyph_ + position_.glyph; }
  TextPage& Page() { return page_; }

 protected:
  // The position, for handlers that start a show part way into it.
  runtime::TextPosition& MutablePosition() { return position_; }
  // Measures and classifies one string and delivers its glyphs.
  void ProcessString(const uint8_t* begin, const uint8_t* end, uint32_t glyphCount, uint32_t firstGlyph,
                     runtime::FontResource& font, bool isLastString, bool repeatOrInvisible);

 private:
  const uint8_t* ProcessGlyph(const uint8_t* cursor, const uint8_t* end, runtime::FontResource& font,
                              bool isLastGlyph, bool isFirstGlyph);
  // The glyph being delivered moves the text point by less than a tenth
  // of the string's height.
  bool GlyphTakesNoRoom() const;
  // The show's common part: measures the run, asks BeginString, runs
  // `process` when it said yes, and always ends with EndString.
  template <class Show, class Process>
  void ShowRun(Show&& show, Process&& process);

  TextPage& page_;
  TextExtractState line_;
  runtime::TextPosition position_;
  uint8_t charCount_ = 0;
  bool caseFold_;
  bool quoteFold_;
  uint32_t relation_ = kFirstText;
  const TextRun* currentRun_ = nullptr;
  const StringTextInfo* currentInfo_ = nullptr;
  uint32_t stringFirstGlyph_ = 0;
  bool hidden_ = false;
  OverprintKey previousKey_;
  // Each show's run lives here until the show ends.
  runtime::ArenaAllocator runArena_;
};

}  // namespace content
