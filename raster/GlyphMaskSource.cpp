#include "raster/GlyphMaskSource.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "runtime/Scheduler.h"

namespace raster {
namespace {

int32_t MaskClampInt32(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

// How far, in whole pixels, a record's box reaches from its origin.
int64_t GlyphReachOf(const GlyphRecord& record) {
  const int64_t x = std::max(std::llabs(int64_t{record.boxLow.x} - record.origin.x),
                             std::llabs(int64_t{record.boxHigh.x} - record.origin.x));
  const int64_t y = std::max(std::llabs(int64_t{record.boxLow.y} - record.origin.y),
                             std::llabs(int64_t{record.boxHigh.y} - record.origin.y));
  return (std::max(x, y) >> 16) + 1;
}

}  // namespace

GlyphMaskSource::GlyphMaskSource(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                                 const IntRect& clip, runtime::FontBase& font, const Matrix& glyphMatrix,
                                 std::span<const GlyphRecord> records, bool cached, FixedPoint offset)
    : context_(context) {
  const size_t total = records.size();
  placements_ = static_cast<Placement*>(arena.Alloc(std::max<size_t>(total, 1) * sizeof(Placement)));
  IntRect bounds{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
  // Two ems and two pixels: no sane glyph's bitmap reaches further from its
  // origin than that beyond its box.
  const int64_t em = std::max({std::llabs(glyphMatrix.a), std::llabs(glyphMatrix.b), std::llabs(glyphMatrix.c),
                               std::llabs(glyphMatrix.d)});
  const int64_t emReach = ((2 * em) >> 16) + 2;
  if (!clip.IsEmpty()) {
    for (const GlyphRecord& record : records) {
      runtime::ChargeWork(context_, kPlacementWork);
      // Rounded to the 1/256 pixel of the phase rather than cut: advances
      // summed in 16.16 fall a hair short of whole pixels (129.9991 for
      // 130), and a cut would put such a glyph nearly a pixel to the left.
      const int64_t x = int64_t{record.origin.x} + offset.x + 0x80;
      const int64_t y = int64_t{record.origin.y} + offset.y + 0x80;
      const int64_t px = x >> 16, py = y >> 16;
      // A glyph whose origin lies further from the clip than any of its
      // pixels can reach is not looked up: a run wider than the device
      // asks only for the glyphs near it.
      const int64_t reach = GlyphReachOf(record) + emReach;
      if (px + reach < clip.x0 || px - reach >= clip.x1 || py + reach < clip.y0 || py - reach >= clip.y1) continue;
      const uint32_t phase = static_cast<uint32_t>((x & 0xffff) >> 8) | static_cast<uint32_t>(((y & 0xffff) >> 8) << 8);
      const IntRect relativeClip{MaskClampInt32(clip.x0 - px), MaskClampInt32(clip.y0 - py), MaskClampInt32(clip.x1 - px),
                                 MaskClampInt32(clip.y1 - py)};
      const runtime::GlyphBitmapRecord* bitmap =
          font.GlyphBitmap(record.glyph, glyphMatrix, phase, relativeClip, cached, arena);
      if (bitmap == nullptr) {
        ++missing_;
        continue;
      }
      if (bitmap->x0 >= bitmap->x1 || bitmap->y0 >= bitmap->y1) continue;
      const int64_t x0 = px + bitmap->originX + bitmap->x0, x1 = px + bitmap->originX + bitmap->x1;
      const int64_t y0 = py + bitmap->originY + bitmap->y0, y1 = py + bitmap->originY + bitmap->y1;
      if (x1 <= clip.x0 || x0 >= clip.x1 || y1 <= clip.y0 || y0 >= clip.y1) continue;
      // Overlapping the clip keeps every coordinate within 32 bits of it
      // on at least one side; the far side is clamped when the bounds are.
      Placement& placement = placements_[count_++];
      placement = {MaskClampInt32(x0), MaskClampInt32(y0), MaskClampInt32(x1), MaskClampInt32(y1), bitmap->Coverage()};
      // A clamped box would misplace its rows: such a glyph is wider than
      // any device and only its part inside the clip is read below.
      if (placement.x0 != x0 || placement.y0 != y0 || placement.x1 != x1 || placement.y1 != y1) {
        --count_;
        continue;
      }
      bounds.x0 = std::min(bounds.x0, placement.x0);
      bounds.y0 = std::min(bounds.y0, placement.y0);
      bounds.x1 = std::max(bounds.x1, placement.x1);
      bounds.y1 = std::max(bounds.y1, placement.y1);
    }
  }
  if (count_ == 0) {
    bounds = {0, 0, 0, 0};
  } else {
    bounds = {std::max(bounds.x0, clip.x0), std::max(bounds.y0, clip.y0), std::min(bounds.x1, clip.x1),
              std::min(bounds.y1, clip.y1)};
  }
  std::sort(placements_, placements_ + count_, [](const Placement& p, const Placement& q) {
    return p.y0 != q.y0 ? p.y0 < q.y0 : p.x0 < q.x0;
  });
  const size_t width = static_cast<size_t>(std::max<int64_t>(int64_t{bounds.x1} - bounds.x0, 1));
  rowBuffer_ = static_cast<uint8_t*>(arena.Alloc(width));
  std::memset(rowBuffer_, 0, width);
  active_ = static_cast<uint32_t*>(arena.Alloc(std::max<size_t>(count_, 1) * sizeof(uint32_t)));
  intervals_ = static_cast<int32_t*>(arena.Alloc(std::max<size_t>(count_, 1) * 2 * sizeof(int32_t)));

  rowPlane_.row = rowPlane_.base = rowBuffer_;
  rowPlane_.rect = {bounds.x0, bounds.y0, bounds.x1, bounds.y0 + 1};
  rowPlane_.format = runtime::PixelFormatDesc{1, 0, 0, 1, 0, 1, 0};
  variants_[0] = {PixelPlane::Zero(), PixelPlane::Zero(), nullptr};
  variants_[1] = {&rowPlane_, &rowPlane_, nullptr};
  InitHeader(2, variants_, bounds, 0);
}

void GlyphMaskSource::BeginRow(int32_t y) {
  // Rows go forward; a new pass from an earlier row starts again.
  if (!started_ || y < row_) {
    activeCount_ = 0;
    nextPlacement_ = 0;
    started_ = true;
  }
  row_ = y;
  intervalCount_ = 0;
  intervalCursor_ = 0;
  if (dirtyX1_ > dirtyX0_) {
    std::memset(rowBuffer_ + (dirtyX0_ - bounds.x0), 0, static_cast<size_t>(dirtyX1_ - dirtyX0_));
    dirtyX0_ = dirtyX1_ = 0;
  }
  inside_ = bounds.y0 <= y && y < bounds.y1;
  if (!inside_) return;

  // Drop placements that ended above, take in those that start here.
  uint32_t kept = 0;
  for (uint32_t i = 0; i < activeCount_; ++i) {
    if (placements_[active_[i]].y1 > y) active_[kept++] = active_[i];
  }
  activeCount_ = kept;
  while (nextPlacement_ < count_ && placements_[nextPlacement_].y0 <= y) {
    if (placements_[nextPlacement_].y1 > y) active_[activeCount_++] = nextPlacement_;
    ++nextPlacement_;
  }
  if (activeCount_ == 0) return;
  runtime::ChargeWork(context_, static_cast<int32_t>(std::min<uint64_t>(uint64_t{activeCount_} * kRowWork, INT32_MAX)));

  // Keep the active list in x order (it is nearly so already: text runs
  // left to right), so the row's intervals merge in one pass.
  for (uint32_t i = 1; i < activeCount_; ++i) {
    const uint32_t moving = active_[i];
    uint32_t j = i;
    while (j > 0 && placements_[active_[j - 1]].x0 > placements_[moving].x0) {
      active_[j] = active_[j - 1];
      --j;
    }
    active_[j] = moving;
  }
  int32_t dirty0 = INT32_MAX, dirty1 = INT32_MIN;
  for (uint32_t i = 0; i < activeCount_; ++i) {
    const Placement& p = placements_[active_[i]];
    const int32_t from = std::max(p.x0, bounds.x0), to = std::min(p.x1, bounds.x1);
    if (from >= to) continue;
    const uint8_t* source = p.coverage + static_cast<size_t>(y - p.y0) * static_cast<size_t>(p.x1 - p.x0) +
                            static_cast<size_t>(from - p.x0);
    uint8_t* target = rowBuffer_ + (from - bounds.x0);
    const int32_t n = to - from;
    for (int32_t k = 0; k < n; ++k) target[k] |= source[k];
    dirty0 = std::min(dirty0, from);
    dirty1 = std::max(dirty1, to);
    if (intervalCount_ > 0 && from <= intervals_[2 * intervalCount_ - 1]) {
      intervals_[2 * intervalCount_ - 1] = std::max(intervals_[2 * intervalCount_ - 1], to);
    } else {
      intervals_[2 * intervalCount_] = from;
      intervals_[2 * intervalCount_ + 1] = to;
      ++intervalCount_;
    }
  }
  if (dirty1 > dirty0) {
    dirtyX0_ = dirty0;
    dirtyX1_ = dirty1;
  }
}

int32_t GlyphMaskSource::RunSpan(int32_t x, int32_t xEnd) {
  currentVariant = 0;
  if (!inside_ || intervalCount_ == 0) return xEnd;
  // Runs arrive in increasing x along a row; a step back searches again.
  if (intervalCursor_ > 0 && x < intervals_[2 * intervalCursor_ - 1]) intervalCursor_ = 0;
  while (intervalCursor_ < intervalCount_ && intervals_[2 * intervalCursor_ + 1] <= x) ++intervalCursor_;
  if (intervalCursor_ == intervalCount_) return xEnd;
  const int32_t from = intervals_[2 * intervalCursor_], to = intervals_[2 * intervalCursor_ + 1];
  if (x < from) return std::min(xEnd, from);
  currentVariant = 1;
  return std::min(xEnd, to);
}

uint8_t GlyphMaskSource::CoverageAt(int32_t x) const {
  if (!inside_ || x < bounds.x0 || x >= bounds.x1) return 0;
  return rowBuffer_[x - bounds.x0];
}

}  // namespace raster
