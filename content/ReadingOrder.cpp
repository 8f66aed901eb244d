#include "content/ReadingOrder.h"

#include <algorithm>

#include "content/PageModel.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/ArenaVector.h"

namespace content {

namespace {

// A block's page-space bounds and its place in the shown order.
struct PlacedBlock {
  int64_t x0, y0, x1, y1;
  uint32_t index;
  int64_t lineHeight;  // of its first line
};

// The upright bounds of a line box (its four corners).
void LineBounds(const OrientedBox& box, int64_t& x0, int64_t& y0, int64_t& x1, int64_t& y1) {
  const int64_t c = box.cos;
  const int64_t s = box.sin;
  for (const Fixed u : {box.uMin, box.uMax}) {
    for (const Fixed v : {box.vMin, box.vMax}) {
      const int64_t x = (u * c - v * s) >> 16;
      const int64_t y = (u * s + v * c) >> 16;
      x0 = std::min(x0, x);
      y0 = std::min(y0, y);
      x1 = std::max(x1, x);
      y1 = std::max(y1, y);
    }
  }
}

// Where the widest clear gap of `blocks` lies: `across` true for a gap
// between bands (sorted by top, descending), false for one between
// columns (sorted by left edge). Returns the gap's width (0: none) and
// leaves `blocks` sorted for the cut found; `split` is the first index of
// the second part.
int64_t WidestGap(PlacedBlock* begin, PlacedBlock* end, bool across, PlacedBlock*& split) {
  if (across) {
    std::stable_sort(begin, end, [](const PlacedBlock& a, const PlacedBlock& b) { return a.y1 > b.y1; });
  } else {
    std::stable_sort(begin, end, [](const PlacedBlock& a, const PlacedBlock& b) { return a.x0 < b.x0; });
  }
  int64_t widest = 0;
  int64_t edge = across ? begin->y0 : begin->x1;
  for (PlacedBlock* at = begin + 1; at < end; ++at) {
    const int64_t gap = across ? edge - at->y1 : at->x0 - edge;
    if (gap > widest) {
      widest = gap;
      split = at;
    }
    edge = across ? std::min(edge, at->y0) : std::max(edge, at->x1);
  }
  return widest;
}

void Cut(PlacedBlock* begin, PlacedBlock* end, uint32_t depth) {
  if (end - begin < 2) return;
  if (depth >= ReadingOrder::kMaxDepth) {
    std::stable_sort(begin, end, [](const PlacedBlock& a, const PlacedBlock& b) { return a.index < b.index; });
    return;
  }
  PlacedBlock* acrossSplit = nullptr;
  PlacedBlock* downSplit = nullptr;
  const int64_t down = WidestGap(begin, end, false, downSplit);
  const int64_t across = WidestGap(begin, end, true, acrossSplit);
  if (across == 0 && down == 0) {
    std::stable_sort(begin, end, [](const PlacedBlock& a, const PlacedBlock& b) { return a.index < b.index; });
    return;
  }
  // A clear blank between bands (table rows, fields, a footer) separates
  // them even where a column gap is wider; a narrower one may be no more
  // than the leading between lines, and the wider gap decides.
  const bool clearBand = across > 0 && across * 10 >= 3 * acrossSplit->lineHeight;
  if (!clearBand && down > across) {
    // Back into the column order the split was found in.
    WidestGap(begin, end, false, downSplit);
    Cut(begin, downSplit, depth + 1);
    Cut(downSplit, end, depth + 1);
  } else {
    Cut(begin, acrossSplit, depth + 1);
    Cut(acrossSplit, end, depth + 1);
  }
}

// Bounds turned into the frame of text running at `rotation` degrees (a
// quarter turn), so that its lines run left to right and its top is up.
void TurnBounds(PlacedBlock& p, int32_t rotation) {
  const int64_t x0 = p.x0, y0 = p.y0, x1 = p.x1, y1 = p.y1;
  if (rotation == 90) {
    p.x0 = y0, p.x1 = y1, p.y0 = -x1, p.y1 = -x0;
  } else if (rotation == 180) {
    p.x0 = -x1, p.x1 = -x0, p.y0 = -y1, p.y1 = -y0;
  } else if (rotation == 270) {
    p.x0 = -y1, p.x1 = -y0, p.y0 = x0, p.y1 = x1;
  }
}

}  // namespace

void ReadingOrder::Apply(PageModel& model) {
  const uint32_t count = model.blocks_.Size();
  if (count < 2) return;
  runtime::ArenaAllocator arena(model.Owner(), 4096, 2048);
  // Pages are read in the direction most of their text runs in.
  if (!model.TextRotation().HasValue()) model.SetTextRotation();
  const int32_t rotation = model.TextRotation().HasValue() ? *model.TextRotation() : 0;
  runtime::ArenaVector<PlacedBlock> placed(arena, count);
  for (uint32_t i = 0; i < count; ++i) {
    const TextBlockRecord& block = model.blocks_[i];
    PlacedBlock p{INT64_MAX, INT64_MAX, INT64_MIN, INT64_MIN, i, 0};
    for (uint32_t k = block.firstLine; k < block.firstLine + block.lineCount; ++k) {
      const OrientedBox& box = model.lines_[k].box;
      if (box.IsEmpty()) continue;
      LineBounds(box, p.x0, p.y0, p.x1, p.y1);
      if (p.lineHeight == 0) p.lineHeight = static_cast<int64_t>(box.vMax) - box.vMin;
    }
    if (p.x0 > p.x1) p.x0 = p.x1 = p.y0 = p.y1 = 0;  // a block without geometry
    TurnBounds(p, rotation);
    placed.PushBack(p);
  }
  Cut(placed.begin(), placed.end(), 0);
  runtime::ArenaVector<TextBlockRecord> ordered(arena, count);
  for (const PlacedBlock& p : placed) ordered.PushBack(model.blocks_[p.index]);
  for (uint32_t i = 0; i < count; ++i) model.blocks_[i] = ordered[i];
}

}  // namespace content
