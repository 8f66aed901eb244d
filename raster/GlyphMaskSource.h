#pragma once
// Text drawn from glyph bitmaps as a coverage source: every glyph's 8-bit
// coverage is placed at its whole device pixel, and row by row the node
// delivers the glyphs' combined coverage (bitwise OR where bitmaps
// overlap). Between the glyphs of a row it reports empty runs, so the
// compositing below touches only pixels a glyph covers.
#include <cstdint>
#include <span>

#include "raster/GlyphRun.h"
#include "raster/PipelineNode.h"

namespace raster {

class GlyphMaskSource final : public PipelineNode {
 public:
  // Work units per placed glyph and per glyph row combined.
  static constexpr int32_t kPlacementWork = 100;
  static constexpr int32_t kRowWork = 10;

  // Places the bitmaps of `records` (device origins, moved by `offset`)
  // under `glyphMatrix` (text space for a font size of 1 to device, as
  // GlyphRun::GlyphMatrix). Glyphs that miss `clip` are dropped and do not
  // widen the bounds; the bounds never pass the clip. With `cached` the
  // bitmaps come from the font's glyph-bitmap cache, else they are made for
  // this paint.
  GlyphMaskSource(runtime::LibraryContext* context, runtime::ArenaAllocator& arena, const IntRect& clip,
                  runtime::FontBase& font, const Matrix& glyphMatrix, std::span<const GlyphRecord> records,
                  bool cached = true, FixedPoint offset = {});

  void BeginRow(int32_t y) override;
  void NextRow() override { BeginRow(row_ + 1); }
  int32_t RunSpan(int32_t x, int32_t xEnd) override;
  void CollectRowClients(RowCollector& collector) override {
    if ((mode & kNotRowClient) == 0) collector.AddNode(this);
  }
  void ReleaseRowClients(RowCollector&) override {}

  // Glyphs inside the clip for which the font had no bitmap: the caller
  // paints those from their outlines.
  uint32_t MissingCount() const { return missing_; }
  uint32_t PlacedCount() const { return count_; }
  // The combined coverage of the current row at x (0 outside the bounds).
  uint8_t CoverageAt(int32_t x) const;

  struct Placement {
    int32_t x0, y0, x1, y1;
    const uint8_t* coverage;  // row stride x1 - x0
  };

 private:
  runtime::LibraryContext* context_;
  Placement* placements_ = nullptr;  // sorted by y0
  uint32_t count_ = 0;
  uint32_t missing_ = 0;
  // Placements whose rows reach the current row, and the next not yet
  // active.
  uint32_t* active_ = nullptr;
  uint32_t activeCount_ = 0;
  uint32_t nextPlacement_ = 0;
  // The row's covered intervals, merged, in increasing x.
  int32_t* intervals_ = nullptr;
  uint32_t intervalCount_ = 0;
  uint32_t intervalCursor_ = 0;
  uint8_t* rowBuffer_ = nullptr;
  // The columns written on the row buffer since it was last cleared.
  int32_t dirtyX0_ = 0, dirtyX1_ = 0;
  int32_t row_ = 0;
  bool inside_ = false;
  bool started_ = false;
  PixelPlane rowPlane_;
  PixelTriple variants_[2];
};

}  // namespace raster
