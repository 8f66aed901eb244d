#pragma once
// Glyph records kept from an earlier painting of text (for the viewer's
// selection and search highlights), reused when the page only moved: the
// records of each segment are translated by the segment's offset, mapped
// into the first run's space when the segment was placed under another
// matrix.
#include <cstdint>
#include <span>

#include "raster/GlyphRun.h"
#include "runtime/TextPosition.h"

namespace raster {

// A stretch of a cached run placed under one matrix and moved since by
// (dx, dy); its records follow those of the segment before it.
struct RunSegment {
  const Matrix* matrix = nullptr;
  Fixed dx = 0, dy = 0;
  uint32_t count = 0;
};

// The text positions a cached run covers, both ends included.
struct KeyRange {
  runtime::TextPosition low;
  runtime::TextPosition high;

  static bool Contains(const KeyRange& range, const runtime::TextPosition& key) {
    return !runtime::TextPosition::Greater(range.low, key) && !runtime::TextPosition::Greater(key, range.high);
  }
};

struct CachedRun {
  KeyRange keys;
  std::span<RunSegment> segments;
  std::span<GlyphRecord> records;
};

class GlyphQuadCache {
 public:
  // The value ReuseTranslated returns when it moved the records.
  static constexpr int32_t kReused = 0x7fffffff;

  // 0 when `key` lies outside the first run's range. Otherwise moves the
  // records of every segment of the first run and of the runs that follow
  // on from it (a run follows when its range starts in the operation where
  // the one before ends), flags each segment's first record, forgets the
  // cache's bounds and count, and returns kReused. (runtime, 2) when a
  // segment needs the first run's matrix inverted and it is singular, or a
  // segment claims more records than its run holds.
  int32_t ReuseTranslated(std::span<CachedRun> runs, const runtime::TextPosition& key);

  Rect bounds = runtime::kEmptyBoundsStart;
  uint32_t count = 0;
  bool changed = false;
};

}  // namespace raster
