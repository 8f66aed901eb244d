#include "content/TextForwardingHandler.h"

#include "content/TextJob.h"

namespace content {

namespace {

bool Contains(const runtime::TextRange& range, const runtime::TextPosition& position) {
  return !runtime::TextPosition::Less(position, range.start) && !runtime::TextPosition::Greater(position, range.end);
}

}  // namespace

TextForwardingHandler::TextForwardingHandler(TextPage& page, int32_t pageIndex, TextJob& job)
    : TextHandler(page, job.Option(), pageIndex, false, false), job_(job) {}

bool TextForwardingHandler::InRange() const { return Contains(range_, Position()); }

template <class Show>
void TextForwardingHandler::ShowInRange(Show&& show, bool isArray) {
  const runtime::TextRange* wanted = job_.Client().Range();
  if (wanted == nullptr) return;
  range_ = *wanted;
  runtime::TextPosition& position = MutablePosition();
  if (Contains(range_, position)) {
    show();
  } else if (position.operation == range_.start.operation) {
    // The range's first operation: start it at the range's string and
    // glyph.
    if (isArray && position.string < range_.start.string) {
      position.string = range_.start.string;
      position.glyph = 0;
      position.character = 0;
      position.after = 0;
    }
    if (position.glyph < range_.start.glyph) {
      position.glyph = range_.start.glyph;
      position.character = 0;
      position.after = 0;
    }
    show();
  }
  runtime::TextPosition next;
  next.page = Position().page;
  next.operation = Position().operation + 1;
  if (runtime::TextPosition::Greater(next, range_.end)) job_.PauseAtRangeEnd(Position());
}

void TextForwardingHandler::ShowText(const uint8_t* bytes, uint32_t count, runtime::Rect& box) {
  ShowInRange([&] { TextHandler::ShowText(bytes, count, box); }, false);
}

void TextForwardingHandler::ShowTextArray(const TextArrayElement* elements, uint32_t count, runtime::Rect& bounds) {
  ShowInRange([&] { TextHandler::ShowTextArray(elements, count, bounds); }, true);
}

void TextForwardingHandler::PaintPath(ContentStream&, bool, const PathPaint&, const PathSegments&) {
  job_.Client().PaintPath(Position());
}

void TextForwardingHandler::EndTextClip() { job_.Client().PaintPath(Position()); }

void TextForwardingHandler::DoXObject(std::string_view name) { job_.Client().DoXObject(Position(), name); }

void TextForwardingHandler::PaintImage(const InlineImage&, uint32_t) { job_.Client().PaintImage(Position()); }

int TextForwardingHandler::BeginString(bool isRepeat, bool fontHasUnicode, bool isVisible) {
  return job_.Client().BeginString(Position(), isRepeat, fontHasUnicode, isVisible);
}

void TextForwardingHandler::EndString() { job_.Client().EndString(Position()); }

int TextForwardingHandler::BeginGlyphs(const uint8_t*, const uint8_t*, const TextRun& run, bool isLastString,
                                       bool startsNewBlock) {
  if (!InRange()) return 0;
  return job_.Client().BeginGlyphs(Position(), run, isLastString, startsNewBlock);
}

void TextForwardingHandler::EndGlyphs(bool stopped) { job_.Client().EndGlyphs(Position(), stopped); }

int TextForwardingHandler::BeginGlyph(bool isLastGlyph, bool isFirstGlyph) {
  if (!InRange()) return 0;
  return job_.Client().BeginGlyph(Position(), isLastGlyph, isFirstGlyph);
}

void TextForwardingHandler::EndGlyph() { job_.Client().EndGlyph(Position()); }

void TextForwardingHandler::OnChar(uint32_t code, bool isLastChar, bool isFirstChar) {
  job_.Client().OnChar(Position(), code, isLastChar, isFirstChar);
}

uint32_t TextForwardingHandler::ClassifyWideGap() { return job_.Client().ClassifyWideGap(); }

int TextForwardingHandler::AllowsRubyTest() { return job_.Client().AllowsRubyTest(); }

}  // namespace content
