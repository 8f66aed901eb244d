#include "raster/GlyphQuadCache.h"

#include "runtime/ErrorTrap.h"

namespace raster {
namespace {

Fixed QuadShift(Fixed v, Fixed by) { return runtime::FixedAddSat(v, by); }

void MoveQuad(GlyphRecord& record, Fixed dx, Fixed dy) {
  for (FixedPoint* p : {&record.origin, &record.end, &record.boxLow, &record.boxHigh}) {
    p->x = QuadShift(p->x, dx);
    p->y = QuadShift(p->y, dy);
  }
}

}  // namespace

int32_t GlyphQuadCache::ReuseTranslated(std::span<CachedRun> runs, const runtime::TextPosition& key) {
  if (runs.empty() || !KeyRange::Contains(runs[0].keys, key)) return 0;
  const Matrix* first = runs[0].segments.empty() ? nullptr : runs[0].segments[0].matrix;
  bool haveInverse = false;
  Matrix inverse;
  for (size_t r = 0; r < runs.size(); ++r) {
    if (r > 0 && runs[r].keys.low.operation != runs[r - 1].keys.high.operation) break;
    CachedRun& run = runs[r];
    size_t next = 0;
    for (RunSegment& segment : run.segments) {
      if (segment.count > run.records.size() - next) runtime::ThrowRuntime(runtime::kMalformed);
      std::span<GlyphRecord> records = run.records.subspan(next, segment.count);
      next += segment.count;
      Fixed dx = segment.dx, dy = segment.dy;
      if (first != nullptr && segment.matrix != nullptr && !Matrix::Equals(*segment.matrix, *first)) {
        // The offset was measured under the segment's matrix: map it into
        // the first run's space.
        if (!haveInverse) {
          if (!Matrix::Invert(inverse, *first)) runtime::ThrowRuntime(runtime::kMalformed);
          haveInverse = true;
        }
        Matrix toFirst = Matrix::Concat(*segment.matrix, inverse);
        toFirst.e = toFirst.f = 0;
        const FixedPoint mapped = MapPointSaturated(toFirst, dx, dy);
        dx = mapped.x;
        dy = mapped.y;
      }
      changed = true;
      if (!records.empty()) records[0].flags = (records[0].flags & ~0xffu) | GlyphRecord::kSegmentStart;
      if (dx == 0 && dy == 0) continue;
      for (GlyphRecord& record : records) MoveQuad(record, dx, dy);
    }
  }
  bounds = runtime::kEmptyBoundsStart;
  count = 0;
  return kReused;
}

}  // namespace raster
