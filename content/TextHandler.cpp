#include "content/TextHandler.h"

#include "content/CharClass.h"
#include "content/TextRun.h"
#include "runtime/ArenaScope.h"
#include "runtime/ErrorTrap.h"

namespace content {

namespace {

// The run arena's block size: a run of a few hundred glyphs fits one.
constexpr uint32_t kRunArenaBlock = 8192;

bool RectsMeet(const runtime::Rect& a, const runtime::Rect& b) {
  return a.x0 <= b.x1 && a.y0 <= b.y1 && a.x1 >= b.x0 && a.y1 >= b.y0;
}

// Clears the pointers to the string being processed when it ends, by
// return or by error.
template <class T>
struct PointerReset {
  T*& pointer;
  ~PointerReset() { pointer = nullptr; }
};

}  // namespace

TextHandler::TextHandler(TextPage& page, uint32_t mode, int32_t pageIndex, bool caseFold, bool quoteFold,
                         const ContentSegmentList* segments)
    : ContentHandler(page.owner, page.info, mode, &page.resources, segments),
      page_(page),
      caseFold_(caseFold),
      quoteFold_(quoteFold),
      runArena_(Owner(), kRunArenaBlock, kRunArenaBlock / 2) {
  position_.page = pageIndex;
}

TextHandler::~TextHandler() = default;

int TextHandler::BeginPath(runtime::Rect&, bool) { return 0; }
void TextHandler::PaintPath(ContentStream&, bool, const PathPaint&, const PathSegments&) {}
void TextHandler::DoXObject(std::string_view) {}
void TextHandler::PaintImage(const InlineImage&, uint32_t) {}

void TextHandler::BeforeOperation() {
  ContentHandler::BeforeOperation();
  position_.operation = OperationCount();
  position_.string = 0;
  position_.glyph = 0;
  position_.character = 0;
  position_.after = 0;
  charCount_ = 0;
}

template <class Show, class Process>
void TextHandler::ShowRun(Show&& show, Process&& process) {
  runtime::FontBase& font = State().RequireFont();
  // Held for the whole show: a consumer may change the state.
  runtime::FontHold hold(Owner(), &font);
  if (!font.isUsable) return;
  GlyphCodeResource fallback(font);
  runtime::FontResource* resource = page_.fonts != nullptr ? page_.fonts->ResourceFor(font) : nullptr;
  if (resource == nullptr) resource = &fallback;
  runtime::ArenaScope scope(runArena_);
  TextRun run(runArena_, State(), TextMatrix());
  show(run);
  SetTextMatrixAfterShow(run.TextMatrixAfter());
  if (run.GlyphCount() == 0) return;
  const bool visible = RectsMeet(run.BoundingBox(), page_.visibleBox);
  const OverprintKey key = OverprintKey::Build(run);
  const bool repeat = OverprintKey::Matches(previousKey_, key);
  const bool fontHasUnicode = resource->HasUnicode(nullptr, nullptr);
  currentRun_ = &run;
  PointerReset<const TextRun> clear{currentRun_};
  if (BeginString(repeat, fontHasUnicode, visible) != 0) process(run, *resource, repeat || !visible);
  EndString();
  previousKey_ = key;
}

void TextHandler::ShowText(const uint8_t* bytes, uint32_t count, runtime::Rect&) {
  ShowRun([&](TextRun& run) { run.ShowString(bytes, count); },
          [&](TextRun& run, runtime::FontResource& resource, bool hidden) {
            ProcessString(bytes, bytes + count, run.GlyphCount(), 0, resource, true, hidden);
          });
}

void TextHandler::ShowTextArray(const TextArrayElement* elements, uint32_t count, runtime::Rect&) {
  ShowRun([&](TextRun& run) { run.ShowArray(elements, count); },
          [&](TextRun& run, runtime::FontResource& resource, bool hidden) {
            uint32_t lastString = count;
            for (uint32_t i = 0; i < count; ++i) {
              if (elements[i].IsString()) lastString = i;
            }
            uint32_t k = 0;
            uint32_t firstGlyph = 0;
            for (uint32_t i = 0; i < count; ++i) {
              const TextArrayElement& element = elements[i];
              if (!element.IsString()) continue;  // the run has rejected other tags
              const uint32_t glyphs = run.StringGlyphCount(k);
              if (k == position_.string) {
                const uint8_t* bytes = element.payload.string->Bytes();
                ProcessString(bytes, bytes + element.payload.string->length, glyphs, firstGlyph, resource,
                              i == lastString, hidden);
              }
              firstGlyph += glyphs;
              ++k;
            }
          });
}

void TextHandler::ProcessString(const uint8_t* begin, const uint8_t* end, uint32_t glyphCount, uint32_t firstGlyph,
                                runtime::FontResource& font, bool isLastString, bool repeatOrInvisible) {
  const StringTextInfo info =
      StringTextInfo::Build(begin, end, glyphCount, firstGlyph, font, *currentRun_, repeatOrInvisible);
  currentInfo_ = &info;
  stringFirstGlyph_ = firstGlyph;
  hidden_ = repeatOrInvisible;
  PointerReset<const StringTextInfo> clear{currentInfo_};
  uint32_t relation = line_.Classify(info, position_, AllowsRubyTest() != 0);
  if (relation == kWideGap) relation = ClassifyWideGap();
  relation_ = relation;
  const bool startsNewBlock = relation == kFirstText || relation == kNewBlock;
  const bool deliver = BeginGlyphs(begin, end, *currentRun_, isLastString, startsNewBlock) != 0;
  if (relation == kNewBlock) {
    line_.Reset();
    relation = line_.Classify(info, position_, AllowsRubyTest() != 0);
    if (relation == kNewBlock) runtime::ThrowRuntime(runtime::kOverflow);
  }
  line_.Update(info, position_, relation);
  if (deliver) {
    const uint8_t* cursor = begin;
    for (uint32_t taken = 0; cursor < end && taken < glyphCount; ++taken) {
      const bool isFirst = startsNewBlock && position_.glyph == 0;
      const bool isLast = isLastString && taken + 1 == glyphCount;
      runtime::ErrorTrap trap(Owner());
      if (!trap.Run([&] { cursor = ProcessGlyph(cursor, end, font, isLast, isFirst); })) {
        if (trap.HoldsRecord() && trap.Held().Is(runtime::kTextExtractDomain, 0)) EndGlyphs(true);
        trap.Rethrow();
      }
    }
  }
  EndGlyphs(false);
  position_.glyph = 0;
  position_.character = 0;
  charCount_ = 0;
  ++position_.string;
}

bool TextHandler::GlyphTakesNoRoom() const {
  if (currentRun_ == nullptr || currentInfo_ == nullptr || currentInfo_->box.IsEmpty()) return false;
  const uint32_t index = CurrentGlyphIndex();
  if (index >= currentRun_->GlyphCount()) return false;
  const PlacedGlyph& glyph = currentRun_->Glyph(index);
  const double dx = static_cast<double>(glyph.end.x) - glyph.start.x;
  const double dy = static_cast<double>(glyph.end.y) - glyph.start.y;
  const double room = static_cast<double>(currentInfo_->box.Height()) / 10;
  return dx * dx + dy * dy < room * room;
}

const uint8_t* TextHandler::ProcessGlyph(const uint8_t* cursor, const uint8_t* end, runtime::FontResource& font,
                                         bool isLastGlyph, bool isFirstGlyph) {
  runtime::DecodedChar decoded;
  const uint8_t* next = font.NextChar(&decoded, cursor, end);
  // A decoder that stalls or runs past the string ends the string.
  if (next <= cursor || next > end) next = end;
  if (BeginGlyph(isLastGlyph, isFirstGlyph) != 0) {
    uint32_t chars[kMaxGlyphChars];
    uint32_t count = 0;
    bool tooMany = false;
    const bool takesNoRoom = GlyphTakesNoRoom();
    ForEachCodePoint(decoded, [&](uint32_t code) {
      // A space that moves the text on by nothing parts no words on the
      // page (a font without a width for it, and no word spacing).
      if (takesNoRoom && !CharClass::IsNonBlank(code)) return;
      FoldedChars folded;
      KanaFold(folded, code, caseFold_, quoteFold_, false);
      for (uint32_t i = 0; i < folded.count; ++i) {
        if (count == kMaxGlyphChars) {
          tooMany = true;
          return;
        }
        chars[count++] = folded.chars[i];
      }
    });
    if (tooMany) runtime::ThrowRuntime(runtime::kOverflow);
    charCount_ = static_cast<uint8_t>(count);
    for (uint32_t i = 0; i < count; ++i) {
      OnChar(chars[i], isLastGlyph && i + 1 == count, isFirstGlyph && i == 0);
      ++position_.character;
    }
  }
  EndGlyph();
  ++position_.glyph;
  position_.character = 0;
  charCount_ = 0;
  return next;
}

}  // namespace content
