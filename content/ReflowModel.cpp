#include "content/ReflowModel.h"

#include "runtime/LibraryContext.h"

namespace content {

namespace {

constexpr uint32_t kReflowArenaBlock = 16384;
constexpr uint32_t kReflowArenaLarge = 8192;

}  // namespace

ReflowModel::ReflowModel(runtime::LibraryContext* context, const pdf::PageLinkList* links, runtime::Fixed viewWidth,
                         runtime::Fixed viewHeight)
    : context_(context),
      links_(links),
      viewWidth_(viewWidth),
      viewHeight_(viewHeight),
      arena_(context, kReflowArenaBlock, kReflowArenaLarge),
      runs_(arena_, 16),
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
  if (newEntry || run.entries.IsEmpty()) {
    runtime::Fixed px = point.x;
    runtime::Fixed py = point.y;
    runtime::Matrix::TransformPointInPlace(run.placement, px, py);
    run.entries.PushBack(PlacementEntry{runtime::FixedSubSat(x, px), runtime::FixedSubSat(y, py), 1});
  } else {
    ++run.entries[run.entries.Size() - 1].count;
  }
  return run.entries.Size() - 1;
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

}  // namespace content
