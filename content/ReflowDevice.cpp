#include "content/ReflowDevice.h"

#include <algorithm>

#include "content/CharClass.h"
#include "content/ContentHandler.h"
#include "content/GraphicsState.h"
#include "content/PictureElement.h"
#include "content/ReflowCommand.h"
#include "content/ReflowModel.h"
#include "content/RunView.h"
#include "content/SegmentPicture.h"
#include "content/TextExtractState.h"
#include "content/TextHandler.h"
#include "content/TextRun.h"
#include "pdf/Annotation.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "runtime/Scheduler.h"

namespace content {

namespace {

using runtime::Fixed;
using runtime::FixedPoint;

// Glyphs whose start and end lie closer than this along the baseline have
// no advance of their own (about 0.001 units).
constexpr Fixed kNoAdvance = 64;

bool ReflowContains(const runtime::TextRange& range, const runtime::TextPosition& position) {
  return !runtime::TextPosition::Less(position, range.start) && !runtime::TextPosition::Greater(position, range.end);
}

bool IsIdentity(const runtime::Matrix& m) { return m == runtime::kIdentityMatrix; }

// The rotation that turns the baseline column (x, y) (main component x) to
// the horizontal; identity when it is horizontal already or degenerate.
bool BaselineRotation(Fixed main, Fixed other, runtime::Matrix& out, bool vertical) {
  if (main == 0) return false;
  if (other == 0 && (main == runtime::kFixedOne || main == -runtime::kFixedOne)) return false;
  Fixed x = main;
  Fixed y = other;
  const Fixed h = runtime::FixedHypotHalving(x, y);
  if (h == 0) return false;
  const Fixed cosine = runtime::FixedDiv(x, h);
  const Fixed sine = runtime::FixedDiv(y, h);
  if (cosine == runtime::kFixedOne || cosine == -runtime::kFixedOne) return false;
  if (vertical) {
    out = runtime::Matrix{cosine, sine, -sine, cosine, 0, 0};
  } else {
    out = runtime::Matrix{cosine, -sine, sine, cosine, 0, 0};
  }
  return true;
}

}  // namespace

ReflowDevice::ReflowDevice(ReflowModel& model, int32_t pageIndex, const ReflowSegment* segments,
                           uint32_t segmentCount)
    : model_(model),
      column_(model.Arena(), &model, model.ViewWidth(), runtime::AbsSat(model.ViewHeight()),
              runtime::FixedDiv(FlowColumn::kMargin, model.Unit())),
      segments_(segments),
      segmentCount_(segmentCount),
      overflow_(model.Arena(), 1),
      linkIndices_(model.Arena(), 1) {
  whole_ = ReflowSegment::WholePage(pageIndex);
}

runtime::TextRange ReflowSegment::WholePage(int32_t pageIndex) {
  runtime::TextRange range;
  range.start.page = pageIndex;
  range.end.page = pageIndex;
  range.end.operation = 0xFFFFFFFFu;
  range.end.string = 0xFFFFFFFFu;
  range.end.glyph = 0xFFFFFFFFu;
  range.end.character = 0xFF;
  range.end.after = 0xFF;
  return range;
}

const ReflowSegment* ReflowDevice::SegmentAt(const runtime::TextPosition& position) {
  while (segment_ < segmentCount_ && runtime::TextPosition::Greater(position, segments_[segment_].range.end)) {
    ++segment_;
    segmentHasGlyph_ = false;
  }
  if (segment_ == segmentCount_ || !ReflowContains(segments_[segment_].range, position)) return nullptr;
  return &segments_[segment_];
}

FixedPoint ReflowDevice::Rotate(FixedPoint p) const {
  if (rotated_) runtime::Matrix::TransformPointInPlace(rotation_, p.x, p.y);
  return p;
}

int ReflowDevice::BeginString(const runtime::TextPosition& position, bool isRepeat, bool, bool visible) {
  runRecord_ = nullptr;
  graphicsRun_ = false;
  // A string laid out as graphics before its rotation is known must not
  // take the previous string's.
  rotation_ = runtime::kIdentityMatrix;
  rotated_ = false;
  run_ = handler_ != nullptr ? handler_->CurrentRun() : nullptr;
  const ReflowSegment* segment = SegmentAt(position);
  const bool pictureKind = segment != nullptr && segment->style.kind == ReflowStyle::kPictureKind;
  if (isRepeat && !pictureKind) {
    // The same string drawn again at the same place (a fake bold): it
    // takes the placement of the run it repeats.
    RunRecord& repeat = model_.AddRun(position, runtime::kIdentityMatrix);
    repeat.repeats = lastRun_;
    model_.AddCommand(*runtime::NewInArena<RepeatCommand>(model_.Arena(), repeat, lastRun_));
    return 0;
  }
  if (run_ == nullptr) return 0;
  const runtime::Matrix& text = run_->TextMatrixBefore();
  runtime::Matrix inverse;
  if (IsIdentity(text)) {
    inverse = text;
  } else if (!runtime::Matrix::Invert(inverse, text)) {
    graphicsRun_ = true;
    return 1;
  }
  inverse_ = inverse;
  rotation_ = runtime::kIdentityMatrix;
  if (!pictureKind) {
    const runtime::Matrix m = runtime::Matrix::Concat(text, run_->Ctm());
    const bool vertical = run_->Vertical();
    runtime::Matrix turn;
    if (vertical ? BaselineRotation(m.d, m.c, turn, true) : BaselineRotation(m.a, m.b, turn, false)) rotation_ = turn;
    if (segment != nullptr && (segment->style.direction.x != 0 || segment->style.direction.y != 0)) {
      Fixed dx = segment->style.direction.x;
      Fixed dy = segment->style.direction.y;
      runtime::Matrix::TransformPointInPlace(rotation_, dx, dy);
      rotation_ = runtime::Matrix::Concat(rotation_, runtime::Matrix{dx, -dy, dy, dx, 0, 0});
    }
  }
  rotated_ = !IsIdentity(rotation_);
  if (rotated_) {
    const runtime::Matrix transpose{rotation_.a, -rotation_.b, -rotation_.c, rotation_.d, 0, 0};
    inverse_ = runtime::Matrix::Concat(transpose, inverse_);
  }
  const runtime::Matrix linear{rotation_.a, rotation_.b, rotation_.c, rotation_.d, 0, 0};
  ascent_ = run_->AscentVector();
  descent_ = run_->DescentVector();
  if (rotated_) {
    runtime::Matrix::TransformPointInPlace(linear, ascent_.x, ascent_.y);
    runtime::Matrix::TransformPointInPlace(linear, descent_.x, descent_.y);
  }
  // Text of fonts that draw their glyphs as pictures (and text outside
  // the page) keeps its page geometry.
  if (visible && handler_ != nullptr && !handler_->State().RequireFont().DrawsAsGraphics()) return 1;
  graphicsRun_ = true;
  return 1;
}

uint32_t ReflowDevice::ClassifyWideGap() { return kNewBlock; }

int ReflowDevice::BeginGlyphs(const runtime::TextPosition& position, const TextRun& run, bool, bool) {
  const ReflowSegment* segment = SegmentAt(position);
  if (segment == nullptr || handler_ == nullptr) return 0;
  const uint32_t glyphs = run.StringGlyphCount(position.string);
  if (glyphs == 0) {
    runRecord_ = nullptr;
    return 0;
  }
  if (segment->style.kind == ReflowStyle::kPictureKind) {
    // The segment's text goes with its picture.
    runRecord_ = nullptr;
    if (!segmentHasGlyph_) StartSegmentPicture(*segment);
    return 0;
  }
  run_ = &run;
  // The handler has counted the glyphs of the strings before this one:
  // counting them again for every string of an array would take time
  // growing with the square of its length.
  stringFirstGlyph_ = handler_->CurrentGlyphIndex() - position.glyph;
  if (runRecord_ == nullptr) {
    runRecord_ = &model_.AddRun(position, rotation_);
    lastRun_ = runRecord_;
    model_.AddCommand(*runtime::NewInArena<RunView>(model_.Arena(), model_, *runRecord_, rotation_, inverse_));
  }
  // Strings of fonts that report no Unicode are reflowed too, with the
  // characters their codes map to: left out, they would vanish from the
  // reflowed page altogether.
  if (!graphicsRun_) return 1;
  // Fixed graphics: the string moves only as a whole, parked.
  for (uint32_t g = position.glyph; g < glyphs; ++g) {
    const uint32_t index = stringFirstGlyph_ + g;
    if (index >= run.GlyphCount()) break;
    model_.PlaceInRun(*runRecord_, run.PointAtChar(index, false), ReflowModel::kParked, ReflowModel::kParked, false);
  }
  return 0;
}

void ReflowDevice::EndGlyphs(const runtime::TextPosition& position, bool) { SegmentAt(position); }

GlyphElement* ReflowDevice::NewGlyph() {
  GlyphElement* element = free_;
  if (element != nullptr) {
    free_ = element->nextFree;
    *element = GlyphElement{};
  } else {
    element = runtime::NewInArena<GlyphElement>(column_.Arena());
  }
  element->device = this;
  return element;
}

void ReflowDevice::RecycleGlyph(GlyphElement& element) {
  element.nextFree = free_;
  free_ = &element;
}

void ReflowDevice::KeepOverflowChar(GlyphElement& element, uint32_t c) {
  if (element.overflowCount == 0) element.overflowFirst = overflow_.Size();
  overflow_.PushBack(c);
  ++element.overflowCount;
}

int ReflowDevice::BeginGlyph(const runtime::TextPosition& position, bool, bool isFirst) {
  current_ = nullptr;
  const ReflowSegment* segment = SegmentAt(position);
  if (segment == nullptr || run_ == nullptr || runRecord_ == nullptr) return 1;
  const uint32_t index = stringFirstGlyph_ + position.glyph;
  if (index >= run_->GlyphCount()) return 1;
  // The segment's first glyph starts it, wherever the segment's range
  // begins (often at an operation that shows nothing).
  const bool atStart = !segmentHasGlyph_;
  segmentHasGlyph_ = true;
  const FixedPoint pagePoint = run_->PointAtChar(index, false);
  FixedPoint start = Rotate(pagePoint);
  FixedPoint end = Rotate(run_->PointAtChar(index, true));
  if (runtime::AbsSat(runtime::FixedSubSat(end.x, start.x)) < kNoAdvance) {
    // A glyph without advance still gets a box: its cell's size across.
    const Fixed dx = runtime::AbsSat(descent_.x);
    const Fixed dy = runtime::AbsSat(descent_.y);
    if (dy > dx) {
      start.x = runtime::FixedSubSat(start.x, dy);
      end.x = runtime::FixedAddSat(end.x, runtime::AbsSat(ascent_.y));
    } else {
      start.x = runtime::FixedSubSat(start.x, dx);
      end.x = runtime::FixedAddSat(end.x, runtime::AbsSat(ascent_.x));
    }
    start.y = end.y = std::min(start.y, end.y);
  }
  if (!isFirst && pending_ != nullptr && !pending_->isBreak) {
    // The previous glyph's advance is the distance to this one, unless
    // the two lie far apart (then a gap is kept).
    const Fixed d = runtime::FixedSubSat(start.x, pending_->startX);
    const bool negative = d < 0;
    if (negative == pending_->reversed) {
      const Fixed distance = runtime::AbsSat(d);
      pending_->followedByGap = static_cast<int64_t>(pending_->width) * 2 < distance;
      pending_->width = pending_->followedByGap ? runtime::FixedAddSat(pending_->width, pending_->width) : distance;
    }
    pending_->reversed = negative;
  }
  if (!isFirst && position.glyph == 0 && pending_ != nullptr && handler_ != nullptr &&
      handler_->CurrentRelation() == kNextWord) {
    // The next word of the line, shown without a space glyph: the line's
    // text gets a space (the layout keeps the distance as an advance).
    pending_->spaceAfter = true;
  }
  if (isFirst) blockBaseline_ = start.y;
  if (segment->style.textLayout != ReflowStyle::kTextLayout) runtime::ThrowRuntime(runtime::kUnsupported);

  GlyphElement* element = NewGlyph();
  element->link.model = &model_;
  element->link.run = runRecord_;
  element->link.position = position;
  element->link.runGlyph = index;
  element->link.point = pagePoint;
  element->link.xCorrection = runtime::NegateSat(descent_.x >= runtime::kFixedOne ? ascent_.x : descent_.x);
  if (const pdf::PageLinkList* links = model_.Links()) {
    // The links whose area holds the middle of the glyph's cell.
    const runtime::Rect cell = run_->GlyphRect(index);
    const Fixed mx = cell.x0 / 2 + cell.x1 / 2;
    const Fixed my = cell.y0 / 2 + cell.y1 / 2;
    element->link.linkFirst = linkIndices_.Size();
    // Every glyph tests every link of the page: a page of many links
    // charges for it.
    runtime::ChargeWork(model_.Context(), static_cast<int32_t>(std::min<uint32_t>(links->Count(), INT32_MAX)));
    for (uint32_t i = 0; i < links->Count(); ++i) {
      const pdf::LinkRecord* link = links->At(i);
      if (link == nullptr || mx < link->rect.x0 || mx > link->rect.x1 || my < link->rect.y0 || my > link->rect.y1) {
        continue;
      }
      linkIndices_.PushBack(i);
      ++element->link.linkCount;
    }
  }
  element->startX = start.x;
  element->reversed = end.x < start.x;
  element->width = runtime::AbsSat(runtime::FixedSubSat(end.x, start.x));
  const Fixed ascent = descent_.y >= runtime::kFixedOne ? descent_.y : ascent_.y;
  element->height = std::max(segment->style.minLineHeight, ascent);
  element->depth = segment->style.lineDepth;
  element->baselineOffset = runtime::FixedSubSat(start.y, blockBaseline_);
  element->startsSegment = atStart;
  element->startsBlock = isFirst;
  current_ = element;
  if (runtime::TextPosition::Greater(position, runRecord_->end)) runRecord_->end = position;
  return 1;
}

void ReflowDevice::OnChar(const runtime::TextPosition&, uint32_t code, bool isLast, bool isFirst) {
  if (current_ == nullptr) return;
  current_->Classify(code);
  if (CharClass::IsControl(code)) return;
  // Every kind of space reads as a plain one in the line's text.
  current_->AddChar(CharClass::IsNonBlank(code) ? code : 0x20);
  if (current_->dash) {
    // A dash that ends a line may be a hyphen: it is held until the next
    // glyph shows whether the word goes on in the next line.
    dashHeld_ = !dashHeld_ && isLast;
    return;
  }
  if (isFirst) {
    if (dashHeld_ && pending_ != nullptr) {
      // The hyphen goes and the word joins across the line, unless the
      // next line belongs to other content.
      if (!current_->startsSegment) pending_->MakeBreak();
    } else if (pending_ != nullptr && pending_->nonBlank && !pending_->cjk && !current_->cjk) {
      spacePending_ = true;
    }
  }
  dashHeld_ = false;
}

void ReflowDevice::FlushPending() {
  if (pending_ != nullptr) {
    GlyphElement* element = pending_;
    pending_ = nullptr;
    column_.AddElement(*element);
  }
}

void ReflowDevice::EndGlyph(const runtime::TextPosition& position) {
  if (current_ != nullptr) {
    // A glyph whose code maps to no character is still drawn: it takes
    // its room on the line like a letter.
    if (current_->charCount == 0 && current_->width > 0) current_->nonBlank = true;
    FlushPending();
    if (spacePending_) {
      spacePending_ = false;
      SpaceElement* space = runtime::NewInArena<SpaceElement>(column_.Arena(), column_.SpaceWidth(), this);
      column_.AddElement(*space);
    }
    pending_ = current_;
    current_ = nullptr;
  }
  SegmentAt(position);
}

void ReflowDevice::PlaceSpace() { model_.AppendText(0x20); }

void ReflowDevice::DoXObject(const runtime::TextPosition& position, std::string_view name) {
  if (handler_ == nullptr || SegmentAt(position) == nullptr) return;
  const runtime::ObjectHandle object = FindNamedResource(handler_->State().resources, "XObject", name);
  if (object.Tag() != runtime::ObjectTag::kDictionary) return;
  const runtime::ObjectHandle subtype = runtime::Dictionary::Get(object, "Subtype");
  if (!subtype->Is(runtime::ObjectTag::kName) || !subtype->AsName().Equals("Image")) return;
  DoImage(position, runtime::Matrix::TransformRectBounds(runtime::Rect{0, 0, runtime::kFixedOne, runtime::kFixedOne},
                                                         handler_->State().ctm));
}

void ReflowDevice::PaintImage(const runtime::TextPosition& position) {
  if (handler_ == nullptr || SegmentAt(position) == nullptr) return;
  DoImage(position, runtime::Matrix::TransformRectBounds(runtime::Rect{0, 0, runtime::kFixedOne, runtime::kFixedOne},
                                                         handler_->State().ctm));
}

void ReflowDevice::DoImage(const runtime::TextPosition& position, const runtime::Rect& box) {
  const ReflowSegment* segment = SegmentAt(position);
  if (segment == nullptr) return;
  if (segment->style.kind == ReflowStyle::kPictureKind) {
    if (!segmentHasGlyph_) StartSegmentPicture(*segment);
    return;
  }
  if (box.x0 >= box.x1 || box.y0 >= box.y1) return;
  FlushPending();
  RunRecord& run = model_.AddRun(position, runtime::kIdentityMatrix);
  model_.AddCommand(
      *runtime::NewInArena<RunShiftCommand>(model_.Arena(), run, runtime::kIdentityMatrix, model_.RecordsLines()));
  lastPicture_ = &run;
  const bool atStart = !segmentHasGlyph_;
  segmentHasGlyph_ = true;
  const PictureRecord record = MakePicture(run, box, runtime::kIdentityMatrix, atStart);
  column_.AddElement(*runtime::NewInArena<PictureElement>(column_.Arena(), record));
}

void ReflowDevice::StartSegmentPicture(const ReflowSegment& segment) {
  segmentHasGlyph_ = true;
  if (segmentPicturesDone_) return;
  const runtime::Rect& box = segment.box;
  if (box.x0 >= box.x1 || box.y0 >= box.y1) return;
  FlushPending();
  RunRecord& run = model_.AddRun(segment.range.start, runtime::kIdentityMatrix);
  model_.AddCommand(
      *runtime::NewInArena<RunShiftCommand>(model_.Arena(), run, model_.ViewMatrix(), model_.RecordsLines()));
  lastPicture_ = &run;
  // The picture is the rest of its segment: the painter paints those
  // operations through its placement.
  run.end = segment.range.end;
  // A segment that runs to the page's end leaves nothing for another.
  if (segment.range.end.operation == 0xFFFFFFFFu) segmentPicturesDone_ = true;
  const PictureRecord record = MakePicture(run, box, model_.ViewMatrix(), true);
  column_.AddPicture(*runtime::NewInArena<SegmentPicture>(column_.Arena(), record));
}

PictureRecord ReflowDevice::MakePicture(RunRecord& run, const runtime::Rect& box, const runtime::Matrix& view,
                                        bool startsSegment) {
  PictureRecord record;
  record.device = this;
  record.run = &run;
  record.box = box;
  record.view = view;
  record.startsSegment = startsSegment;
  record.linkFirst = linkIndices_.Size();
  if (const pdf::PageLinkList* links = model_.Links()) {
    // The links whose area meets the picture's.
    runtime::ChargeWork(model_.Context(), static_cast<int32_t>(std::min<uint32_t>(links->Count(), INT32_MAX)));
    for (uint32_t i = 0; i < links->Count(); ++i) {
      const pdf::LinkRecord* link = links->At(i);
      if (link == nullptr || link->rect.x1 <= box.x0 || link->rect.x0 >= box.x1 || link->rect.y1 <= box.y0 ||
          link->rect.y0 >= box.y1) {
        continue;
      }
      linkIndices_.PushBack(i);
      ++record.linkCount;
    }
  }
  return record;
}

void ReflowDevice::PlacePicture(const PictureRecord& picture, Fixed x, Fixed y, Fixed scale, bool firstInLine) {
  RunRecord& run = *picture.run;
  const uint32_t entry = model_.PlacePicture(run, picture.box, picture.view, x, y, scale);
  const runtime::Rect placed = runtime::Matrix::TransformRectBounds(picture.box, run.placement);
  if (firstInLine && model_.RecordsLines()) {
    currentLine_ = model_.Lines().Size();
    model_.AddLine(LineEntry{run.index, entry, placed.y1, runtime::FixedSubSat(placed.y1, placed.y0)});
  }
  const pdf::PageLinkList* links = model_.Links();
  if (links == nullptr) return;
  for (uint32_t i = 0; i < picture.linkCount; ++i) {
    const uint32_t index = linkIndices_[picture.linkFirst + i];
    const pdf::LinkRecord* record = links->At(index);
    if (record == nullptr) continue;
    const runtime::Rect mapped = runtime::Matrix::TransformRectBounds(record->rect, run.placement);
    const runtime::Rect cut{std::max(mapped.x0, placed.x0), std::max(mapped.y0, placed.y0),
                            std::min(mapped.x1, placed.x1), std::min(mapped.y1, placed.y1)};
    // Any overlap counts for a picture.
    if (cut.x0 >= cut.x1 || cut.y0 >= cut.y1) continue;
    model_.AddLinkRect(LinkRect{index, currentLine_, cut});
  }
}

void ReflowDevice::ParkPicture(const PictureRecord& picture) {
  model_.PlacePicture(*picture.run, picture.box, picture.view, ReflowModel::kParked, ReflowModel::kParked,
                      runtime::kFixedOne);
}

void ReflowDevice::PlaceGlyph(GlyphElement& element, Fixed x, Fixed y, bool continued) {
  GlyphElement::Link& link = element.link;
  if (element.isBreak) {
    // A dropped hyphen is parked out of sight.
    model_.PlaceInRun(*link.run, link.point, ReflowModel::kParked, ReflowModel::kParked, true);
    return;
  }
  x = runtime::FixedAddSat(x, link.xCorrection);
  const uint32_t entry = model_.PlaceInRun(*link.run, link.point, x, y, continued || element.followedByGap);
  model_.AddReflowGlyph(ReflowGlyph{link.position.operation, link.runGlyph, x, y, link.position.string,
                                    link.position.glyph, element.width, element.height, element.depth});
  for (uint32_t i = 0; i < element.charCount; ++i) model_.AppendText(element.chars[i]);
  for (uint32_t i = 0; i < element.overflowCount; ++i) model_.AppendText(overflow_[element.overflowFirst + i]);
  if (element.spaceAfter && (element.charCount == 0 || element.chars[element.charCount - 1] != 0x20)) {
    model_.AppendText(0x20);
  }
  if (element.lineStart && model_.RecordsLines()) {
    currentLine_ = model_.Lines().Size();
    model_.AddLine(LineEntry{link.run->index, entry, runtime::FixedAddSat(y, element.height),
                             runtime::FixedAddSat(element.height, element.depth)});
  }
  const pdf::PageLinkList* links = model_.Links();
  if (links == nullptr || link.linkCount == 0) return;
  const runtime::Rect placed{x, runtime::FixedSubSat(y, element.depth), runtime::FixedAddSat(x, element.width),
                             runtime::FixedAddSat(y, element.height)};
  for (uint32_t i = 0; i < link.linkCount; ++i) {
    const uint32_t index = linkIndices_[link.linkFirst + i];
    const pdf::LinkRecord* record = links->At(index);
    if (record == nullptr) continue;
    const runtime::Rect mapped = runtime::Matrix::TransformRectBounds(record->rect, link.run->placement);
    const runtime::Rect cut{std::max(mapped.x0, placed.x0), std::max(mapped.y0, placed.y0),
                            std::min(mapped.x1, placed.x1), std::min(mapped.y1, placed.y1)};
    if (cut.x0 >= cut.x1) continue;
    // Links count where they cover more than half the glyph's height.
    if (static_cast<int64_t>(cut.y1) - cut.y0 <= static_cast<int64_t>(element.height) / 2) continue;
    model_.AddLinkRect(LinkRect{index, currentLine_, cut});
  }
}

void ReflowDevice::Finish() {
  FlushPending();
  column_.Finish();
}

}  // namespace content
