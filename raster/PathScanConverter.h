#pragma once
// Scan conversion: a filled path becomes, row by row, runs of coverage.
//
// The path's edges are built by PathEdges in a space sub-sampled N times in
// both axes and bucketed by their first sub-row. For each pixel row the
// converter advances an active edge list through the row's N sub-rows,
// turns each sub-row into a list of covered sub-pixel spans under the fill
// rule, and answers the question of the pipeline — from pixel x, how far
// does the run go and what covers it — with one of three kinds: empty,
// full, or partial with one coverage byte per pixel in the row buffer.
//
// Sub-pixels and sub-rows are half-open: a span runs from the sub-pixel
// that holds its left edge to the ceiling of its right edge, and an edge
// ending exactly on a sub-row boundary does not reach into the next one, so
// a shape on whole pixels covers exactly its pixels. Every span covers at
// least one sub-pixel and flat edges paint their own extent: thin features
// never drop out.
//
// Coordinates are taken relative to the target's origin, so content far
// from the device origin converts as exactly as content near it. Sub-sampled
// coordinates are 16.16 values: a target taller than one band (7,998 rows,
// 1,998 for the 16 x 16 class) is converted band by band, the path read
// again for each; one wider than that is split into columns of at most a
// band's width, each a converter of its own over the same path that writes
// its coverage into the shared row. A node whose rows were already visited
// starts its edges again from the first row, so that a clip serves every
// paint through it.
//
// Three classes share this machinery:
//   PathScanConverter    4×4, coverage byte = count << 4, non-zero or even-odd
//   PathScanConverter16  16×16, coverage byte = count, non-zero or even-odd
//   GlyphScanConverter   4×4, even-odd with pixel rounding of the edges
#include <cstdint>
#include <span>

#include "raster/PipelineNode.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/ArenaVector.h"
#include "runtime/EdgeScanner.h"
#include "runtime/Matrix.h"
#include "runtime/Rect.h"

namespace raster {

using runtime::EdgeRecord;
using runtime::Fixed;
using runtime::FixedPoint;
using runtime::IntRect;

// The edge list of the converters: a chain successor that takes over from
// an edge within a sub-row absorbs the edge's extent there.
class SubRowEdges final : public runtime::EdgeScanner {
 public:
  using EdgeScanner::EdgeScanner;
  void Merge(EdgeRecord* successor, Fixed y, EdgeRecord* edge) override;
  // Forgets every edge: the list of a path not yet loaded.
  void Reset();
  static void Absorb(EdgeRecord* successor, const EdgeRecord* edge);
};

enum class RunKind : uint8_t { kEmpty = 0, kFull = 1, kPartial = 2 };

// As a pipeline node the converter is a mask source with three output
// variants: empty (shape and alpha the zero plane), full (the opaque plane)
// and partial (the coverage row).
class ScanConverter : public PipelineNode {
 public:
  ScanConverter(const ScanConverter&) = delete;
  ScanConverter& operator=(const ScanConverter&) = delete;

  // Moves to row y (any row; the edges themselves only move forward, so
  // rows are visited in increasing order).
  void BeginRow(int32_t y) override;
  void NextRow() override { BeginRow(row_ + 1); }
  int32_t RunSpan(int32_t x, int32_t xEnd) override {
    const int32_t end = CoverageRun(x, xEnd);
    currentVariant = static_cast<uint32_t>(kind_);
    return end;
  }
  void CollectRowClients(RowCollector& collector) override {
    if ((mode & kNotRowClient) == 0) collector.AddNode(this);
  }
  void ReleaseRowClients(RowCollector&) override {}
  // The end of the run that holds pixel x, at most `limit`. The kind is left
  // in Kind(); for a partial run the bytes of [x, end) are in CoverageRow().
  int32_t CoverageRun(int32_t x, int32_t limit);

  RunKind Kind() const { return kind_; }
  // Coverage bytes of the current row, indexed from the target's left edge.
  const uint8_t* CoverageRow() const { return coverage_; }
  uint8_t CoverageAt(int32_t x) const { return coverage_[x - target_.x0]; }
  // The pixels the shape can touch within the target.
  const IntRect& ShapeBounds() const { return shape_; }
  const IntRect& Target() const { return target_; }
  bool IsEmpty() const { return shape_.IsEmpty(); }
  uint32_t EdgeCount() const;

 protected:
  // Loads `points` (the FixedPoint list of StoredPath, mapped by `matrix`
  // into device space) for painting within `target`.
  ScanConverter(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                std::span<const FixedPoint> points, const runtime::Matrix& matrix,
                const IntRect& target, bool evenOdd, int shift, bool glyphRule);

 private:
  // Loads the path's edges for the band of rows that starts at `top`.
  void LoadBand(int32_t top);
  // Starts the band's edges again from its first row.
  void Rewind();
  void PrepareRow();
  void Advance(int32_t subRow);
  void BuildSpans(runtime::ArenaVector<int32_t>& spans);
  void BuildGlyphSpans(runtime::ArenaVector<int32_t>& spans, int32_t subRow);
  void SortActive();
  // Coverage of relative pixel p (0..N·N); also sets the coverage of the
  // pixels after it up to the next boundary.
  int32_t PixelCoverage(int32_t p);
  template <int kShift>
  int32_t PixelCoverageOf(int32_t p);
  void ResetCursors();
  // Splits a target wider than a band into columns.
  void SplitColumns(std::span<const FixedPoint> points);

  runtime::LibraryContext* context_;
  runtime::ArenaAllocator& arena_;
  int shift_;         // log2 of the sub-samples per pixel
  int32_t samples_;   // N
  bool glyphRule_;
  bool evenOdd_;
  IntRect target_;
  IntRect band_;          // the rows whose edges are loaded
  int32_t bandRows_ = 0;  // at most this many rows (and columns) per band
  IntRect shape_;         // within the band
  std::span<const FixedPoint> points_;
  runtime::Matrix matrix_;
  std::span<EdgeRecord*> heads_;
  SubRowEdges edges_;
  runtime::ArenaVector<EdgeRecord*> active_;
  int32_t rightBound_ = 0;  // sub-pixels

  static constexpr int kMaxSubRows = 16;
  runtime::ArenaVector<int32_t>* spans_[kMaxSubRows] = {};
  // The prepared row's span lists, each ending in a boundary beyond every
  // sub-pixel (an empty list is that boundary alone).
  const int32_t* lists_[kMaxSubRows] = {};
  uint32_t cursor_[kMaxSubRows] = {};
  uint8_t inside_[kMaxSubRows] = {};

  uint8_t* coverage_ = nullptr;
  PixelPlane coveragePlane_;
  PixelTriple outputs_[3];
  int32_t row_ = 0;
  bool inRange_ = false;
  bool prepared_ = false;
  int32_t preparedRow_ = INT32_MIN;
  RunKind kind_ = RunKind::kEmpty;
  int32_t runEnd_ = 0;
  // After a pixel's coverage: the coverage that holds from its right side
  // up to the next span boundary (sub-pixels, relative), and the pixel the
  // cursors have passed.
  int32_t followCoverage_ = 0;
  int32_t nextBoundary_ = 0;
  int32_t lastPixel_ = -1;
  int32_t cachedCoverage_ = 0;  // of lastPixel_
  // The columns of a target wider than a band, left to right, each
  // bandRows_ wide but the last; none for a narrower target.
  std::span<ScanConverter*> columns_;
};

class PathScanConverter final : public ScanConverter {
 public:
  PathScanConverter(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                    std::span<const FixedPoint> points, const runtime::Matrix& matrix,
                    const IntRect& target, bool evenOdd)
      : ScanConverter(context, arena, points, matrix, target, evenOdd, 2, false) {}
};

class PathScanConverter16 final : public ScanConverter {
 public:
  PathScanConverter16(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                      std::span<const FixedPoint> points, const runtime::Matrix& matrix,
                      const IntRect& target, bool evenOdd)
      : ScanConverter(context, arena, points, matrix, target, evenOdd, 4, false) {}
};

class GlyphScanConverter final : public ScanConverter {
 public:
  GlyphScanConverter(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                     std::span<const FixedPoint> points, const runtime::Matrix& matrix,
                     const IntRect& target)
      : ScanConverter(context, arena, points, matrix, target, true, 2, true) {}
};

}  // namespace raster
