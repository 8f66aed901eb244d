#include "content/ReflowModel.h"

#include <algorithm>

#include "runtime/LibraryContext.h"
#include "runtime/Scheduler.h"

namespace content {

namespace {

constexpr uint32_t kReflowArenaBlock = 16384;
constexpr uint32_t kReflowArenaLarge = 8192;
// Rounding of turned baselines may move a glyph by a few units from where
// its entry puts it without its having been moved.
constexpr runtime::Fixed kEntrySlack = 4;

}  // namespace

ReflowModel::ReflowModel(runtime::LibraryContext* context, const pdf::PageLinkList* links, runtime::Fixed viewWidth,
                         runtime::Fixed viewHeight)
    : context_(context),
      links_(links),
      viewWidth_(viewWidth),
      viewHeight_(viewHeight),
      arena_(context, kReflowArenaBlock, kReflowArenaLarge),
      runs_(arena_, 16),
      commands_(arena_, 16),
      lines_(arena_, 16),
      linkRects_(arena_, 1),
      glyphs_(arena_, 64),
      textLines_(arena_, 16),
      text_(arena_, 64) {}

ReflowModel::~ReflowModel() = default;

uint32_t ReflowModel::ByteCount() const {
  uint64_t bytes = 0;
  for (const runtime::ArenaBlock* block = arena_.blocks; block != nullptr; block = block->next) bytes += block->size;
  return bytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(bytes);
}

RunRecord& ReflowModel::AddRun(const runtime::TextPosition& start, const runtime::Matrix& rotation) {
  RunRecord* run = runtime::NewInArena<RunRecord>(arena_, arena_);
  run->placement = rotation;
  run->start = start;
  run->end = start;
  run->index = runs_.Size();
  runs_.PushBack(run);
  return *run;
}

uint32_t ReflowModel::PlaceInRun(RunRecord& run, runtime::FixedPoint point, runtime::Fixed x, runtime::Fixed y,
                                 bool newEntry) {
  if (!run.placed) {
    // The run's first glyph: page space moves so that its start point
    // lands at (x, y).
    run.placed = true;
    runtime::Fixed px = point.x;
    runtime::Fixed py = point.y;
    runtime::Matrix::TransformPointInPlace(run.placement, px, py);
    run.placement.e = runtime::FixedAddSat(run.placement.e, runtime::FixedSubSat(x, px));
    run.placement.f = runtime::FixedAddSat(run.placement.f, runtime::FixedSubSat(y, py));
    run.entries.PushBack(PlacementEntry{0, 0, 1});
    return run.entries.Size() - 1;
  }
  runtime::Fixed px = point.x;
  runtime::Fixed py = point.y;
  runtime::Matrix::TransformPointInPlace(run.placement, px, py);
  const PlacementEntry entry{runtime::FixedSubSat(x, px), runtime::FixedSubSat(y, py), 1};
  // A glyph continues the last entry only where that entry puts it: a
  // line joined after a wide gap of the same run (a new block, without a
  // gap of its own) would otherwise be drawn where the page had it.
  if (!newEntry && !run.entries.IsEmpty()) {
    PlacementEntry& last = run.entries[run.entries.Size() - 1];
    if (runtime::AbsSat(runtime::FixedSubSat(last.dx, entry.dx)) <= kEntrySlack &&
        runtime::AbsSat(runtime::FixedSubSat(last.dy, entry.dy)) <= kEntrySlack) {
      ++last.count;
      return run.entries.Size() - 1;
    }
  }
  run.entries.PushBack(entry);
  return run.entries.Size() - 1;
}

uint32_t ReflowModel::PlacePicture(RunRecord& run, const runtime::Rect& box, const runtime::Matrix& view,
                                   runtime::Fixed x, runtime::Fixed y, runtime::Fixed scale) {
  const runtime::Rect mapped = runtime::Matrix::TransformRectBounds(box, view);
  // Hostile boxes and matrices saturate rather than wrap.
  int32_t overflow = 0;
  const auto mul = [&](runtime::Fixed a, runtime::Fixed b) { return runtime::FixedMulChecked(a, b, overflow); };
  // view, then the corner to the origin, the scale, and the corner to
  // (x, y).
  runtime::Matrix placement;
  placement.a = mul(view.a, scale);
  placement.b = mul(view.b, scale);
  placement.c = mul(view.c, scale);
  placement.d = mul(view.d, scale);
  placement.e = runtime::FixedAddSat(mul(runtime::FixedSubSat(view.e, mapped.x0), scale), x);
  placement.f = runtime::FixedAddSat(mul(runtime::FixedSubSat(view.f, mapped.y0), scale), y);
  run.placement = placement;
  run.placed = true;
  run.entries.Clear();
  run.entries.PushBack(PlacementEntry{0, 0, 1});
  return 0;
}

void ReflowModel::StartTextLine(runtime::Fixed baseline) {
  textLines_.PushBack(TextLine{text_.Size(), 0, baseline});
}

void ReflowModel::AppendText(uint32_t c) {
  if (textLines_.IsEmpty()) StartTextLine(0);
  text_.PushBack(c);
  ++textLines_[textLines_.Size() - 1].count;
}

bool ReflowModel::FindGlyph(uint32_t operation, uint32_t glyph, runtime::FixedPoint& out) const {
  // Glyphs are placed in content order: a binary search finds the first
  // record at or after (operation, glyph).
  uint32_t low = 0;
  uint32_t high = glyphs_.Size();
  while (low < high) {
    const uint32_t mid = low + (high - low) / 2;
    const ReflowGlyph& g = glyphs_[mid];
    if (g.operation < operation || (g.operation == operation && g.glyph < glyph)) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  if (low == glyphs_.Size() || glyphs_[low].operation != operation || glyphs_[low].glyph != glyph) return false;
  out = runtime::FixedPoint{glyphs_[low].x, glyphs_[low].y};
  return true;
}

uint32_t ReflowModel::RangeRects(int32_t page, const runtime::TextRange& range, runtime::Rect* out,
                                 uint32_t capacity) const {
  if (capacity == 0 || page < range.start.page || page > range.end.page) return 0;
  // Glyphs count whole: the range's ends are taken at their glyphs.
  runtime::TextPosition first = range.start;
  runtime::TextPosition last = range.end;
  first.character = last.character = 0;
  first.after = last.after = 0;
  runtime::ChargeWork(context_, static_cast<int32_t>(glyphs_.Size() / 64 + 1));
  uint32_t count = 0;
  for (const ReflowGlyph& g : glyphs_) {
    const runtime::TextPosition at{page, g.operation, g.string, g.stringGlyph, 0, 0};
    if (runtime::TextPosition::Less(at, first)) continue;
    // Glyphs are in content order: none after this one is in the range.
    if (runtime::TextPosition::Greater(at, last)) break;
    // Parked glyphs (dropped hyphens) are not shown.
    if (g.x >= kParked) continue;
    const runtime::Rect box{g.x, runtime::FixedSubSat(g.y, g.depth), runtime::FixedAddSat(g.x, g.width),
                            runtime::FixedAddSat(g.y, g.height)};
    if (count > 0) {
      runtime::Rect& before = out[count - 1];
      // The next glyph of the same line, at or a little past the box's
      // end, widens it; the last box takes in all that does not fit.
      const bool sameLine = before.y0 == box.y0 && before.y1 == box.y1 && box.x0 >= before.x0 &&
                            box.x0 <= runtime::FixedAddSat(before.x1, runtime::FixedAddSat(g.height, g.depth));
      if (sameLine || count == capacity) {
        before = {std::min(before.x0, box.x0), std::min(before.y0, box.y0), std::max(before.x1, box.x1),
                  std::max(before.y1, box.y1)};
        continue;
      }
    }
    out[count++] = box;
  }
  return count;
}

bool ReflowModel::PositionAt(int32_t page, runtime::Fixed x, runtime::Fixed y, runtime::TextPosition& out) const {
  runtime::ChargeWork(context_, static_cast<int32_t>(glyphs_.Size() / 64 + 1));
  // How far `v` lies outside [low, high]; 0 inside.
  auto distance = [](runtime::Fixed v, runtime::Fixed low, runtime::Fixed high) -> int64_t {
    if (v < low) return static_cast<int64_t>(low) - v;
    if (v > high) return static_cast<int64_t>(v) - high;
    return 0;
  };
  const ReflowGlyph* best = nullptr;
  int64_t bestAcross = 0, bestAlong = 0;
  for (const ReflowGlyph& g : glyphs_) {
    // Parked glyphs (dropped hyphens) are not shown.
    if (g.x >= kParked) continue;
    const int64_t across = distance(y, runtime::FixedSubSat(g.y, g.depth), runtime::FixedAddSat(g.y, g.height));
    const int64_t along = distance(x, g.x, runtime::FixedAddSat(g.x, g.width));
    if (best != nullptr && (across > bestAcross || (across == bestAcross && along >= bestAlong))) continue;
    best = &g;
    bestAcross = across;
    bestAlong = along;
  }
  if (best == nullptr) return false;
  out = runtime::TextPosition{page, best->operation, best->string, best->stringGlyph, 0, 0};
  return true;
}

}  // namespace content
