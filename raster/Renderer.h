#pragma once
// The painter's text side: it paints glyph runs into a raster device by
// the text render mode (fill, stroke, both, invisible, each with or
// without adding the glyphs to the clip), keeps the glyphs of clipping
// modes until the text object ends and then makes them the clip.
//
// Stroking text needs the stroker: until it is wired in, stroke modes hand
// the glyph outlines (device space) to `strokeText`, and paint no stroke
// when none is set.
#include <cstdint>
#include <span>

#include "raster/GlyphRun.h"
#include "raster/GlyphSource.h"
#include "raster/PixelRegion.h"
#include "raster/RasterDevice.h"
#include "raster/TextClip.h"

namespace raster {

class Renderer {
 public:
  using StrokeHook = void (*)(void* user, Renderer& renderer, std::span<const FixedPoint> outline);

  Renderer(runtime::LibraryContext* context, runtime::ArenaAllocator& arena, RasterDevice& device);

  // ---- Clip in force ----
  const PixelRegion& ClipRegion() const { return *clipRegion_; }
  // Null while the clip is the region alone.
  PipelineNode* ClipNode() const { return clipNode_; }
  void SetClip(const PixelRegion& region, PipelineNode* node) {
    clipRegion_ = &region;
    clipNode_ = node;
  }

  void SetFillSource(PipelineNode* source) { fill_ = source; }
  void SetStrokeSource(PipelineNode* source) { stroke_ = source; }

  // Decides whether a text-showing operator can mark the page: 0 when the
  // font draws nothing or the text's device bounds miss the clip. Empty
  // bounds (x0 = 0x7fffffff) are not tested; unbounded ones (x0 =
  // 0x80000001) set `skip`, leaving the decision to the glyphs. Text of a
  // font drawn by the device is painted but not added to the text clip.
  int BeginTextShow(bool& skip, const Rect& bounds, const runtime::FontBase& font, uint8_t renderMode);
  // Paints a run by its text state's render mode and, for modes 4 to 7,
  // keeps its glyphs for the text clip.
  void ShowGlyphs(const GlyphRun& run);
  // Adds a run's glyphs to the pending text clip (modes 4 to 7 only).
  void AddTextToClip(const GlyphRun& run);
  // Ends a text object: a pending text clip becomes the clip in force.
  void EndText();
  bool HasPendingTextClip() const { return textClip_ != nullptr; }

  // Composites `source` through `coverage` and the clip into the device.
  void PaintCoverage(PipelineNode* coverage, PipelineNode* source);

  StrokeHook strokeText = nullptr;
  void* strokeUser = nullptr;
  int32_t glyphSizeLimit = GlyphSource::kDefaultSizeLimit;
  GlyphDrawing glyphDrawing = GlyphDrawing::kGlyphs;
  // Where the last shown text ended, for fonts that ask for it.
  FixedPoint textEnd;

  runtime::LibraryContext* Context() const { return context_; }
  runtime::ArenaAllocator& Arena() const { return arena_; }
  RasterDevice& Device() const { return device_; }

 private:
  // The device pixels a paint may touch: the device cut by the clip.
  IntRect PaintArea() const;

  runtime::LibraryContext* context_;
  runtime::ArenaAllocator& arena_;
  RasterDevice& device_;
  const PixelRegion* clipRegion_;
  PipelineNode* clipNode_ = nullptr;
  PipelineNode* fill_ = nullptr;
  PipelineNode* stroke_ = nullptr;
  TextClipAccumulator* textClip_ = nullptr;
};

}  // namespace raster
