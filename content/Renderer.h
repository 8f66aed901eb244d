#pragma once
// The painter: the content handler that turns played content into raster
// work. Paths are filled, stroked and clipped through the scan converter and
// the stroker; text goes through glyph runs and the raster text side
// (raster::Renderer); shadings through the colour subsystem's sources;
// forms with a transparency group are painted into a group device of their
// own and composited back. Images and pattern colours have their own
// hooks (DoXObject, PaintImage, PatternSource), built beside this file.
//
// The painter keeps, beside the graphics state the base copies on `q`, a
// paint state of its own (the resolved colour spaces and device colours,
// the pattern names, the clip in force and the current layer), saved and
// put back around every saved span and every nested content.
//
// Usage (one page into a device over a region of the page):
//   content::PaintContext paint = ...;        // device, clip, colours, arena
//   content::Renderer renderer(paint, 0, &resources, &target);
//   content::ContentStream::Run(machine, renderer);
#include <cstdint>
#include <span>
#include <string_view>

#include "color/ColorSpace.h"
#include "content/ContentHandler.h"
#include "raster/PipelineNode.h"
#include "raster/PixelRegion.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/Rect.h"

namespace color {
class ColorContext;
}
namespace raster {
class GlyphRun;
class RasterDevice;
class Renderer;
class StoredPath;
}  // namespace raster

namespace content {

// Told about content that is not painted, with three small numbers:
// (0, 1, 2) an image that uses an unsupported feature, (0, 2, 1) text in a
// font that cannot be drawn, (0, 3, 3) a pattern that yields no paint,
// (0, 4, 3) a soft mask that could not be applied.
class PaintTarget {
 public:
  virtual void Notify(uint32_t a, uint32_t b, uint32_t c) = 0;

 protected:
  ~PaintTarget() = default;
};

// A paint target that counts what it is told, each kind at most once per
// page being what callers usually report.
class CountingPaintTarget final : public PaintTarget {
 public:
  void Notify(uint32_t a, uint32_t b, uint32_t c) override;
  // How often (a, b, c) with b in 1..4 was told.
  uint32_t Count(uint32_t b) const { return b < 5 ? counts_[b] : 0; }

 private:
  uint32_t counts_[5] = {};
};

// What a renderer paints for: the device (the current layer), the clip in
// force over it, the colour context that resolves spaces, the arena every
// pipeline lives in, the answers of GetTarget, GetPageWidth and
// GetPageHeight, and the page whose fresh graphics state the handler starts
// from. Renderers painting nested content into groups change the layer and
// the clip and put them back.
struct PaintContext {
  runtime::LibraryContext* owner = nullptr;
  raster::RasterDevice* layer = nullptr;
  const raster::PixelRegion* region = nullptr;  // null: the layer's bounds
  raster::PipelineNode* clipNode = nullptr;     // null: the region alone
  color::ColorContext* colors = nullptr;
  runtime::ArenaAllocator* arena = nullptr;
  void* target = nullptr;
  int32_t pageWidth = 0;
  int32_t pageHeight = 0;
  PageInfo page;
};

class Renderer : public ContentHandler {
 public:
  // The longest pattern name kept for a pattern colour.
  static constexpr uint32_t kMaxPatternName = 127;

  Renderer(PaintContext& paint, uint32_t mode, const runtime::ObjectHandle* resources, PaintTarget* target,
           const ContentSegmentList* segments = nullptr);
  ~Renderer() override;

  // ---- ContentHandler operations ----
  void ApplyExtGState(const ExtGState& record) override;
  void SaveState(Span& span, ContentStream& player) override;
  void SetColorSpace(ColorSpaceKind kind, bool stroke, std::string_view name) override;
  void SetColor(bool stroke, uint32_t count, const runtime::Fixed* components, std::string_view pattern) override;
  int BeginPath(runtime::Rect& bounds, bool stroke) override;
  void PaintPath(ContentStream& player, bool pathPresent, const PathPaint& paint,
                 const PathSegments& segments) override;
  void EndTextClip() override;
  // An image XObject (or a form, which goes to PaintForm's path).
  void DoXObject(std::string_view name) override;
  // An inline image.
  void PaintImage(const InlineImage& image, uint32_t options) override;
  void DoShading(std::string_view name) override;
  void ShowText(const uint8_t* bytes, uint32_t count, runtime::Rect& box) override;
  void ShowTextArray(const TextArrayElement* elements, uint32_t count, runtime::Rect& bounds) override;
  PathCacheSlot* GetPathCacheSlot() override { return &pathCache_; }
  void* GetTarget() override { return paint_.target; }
  int32_t GetPageWidth() override { return paint_.pageWidth; }
  int32_t GetPageHeight() override { return paint_.pageHeight; }
  void OnBeginText() override { inText_ = true; }
  void EndText(Span& span, ContentStream& player) override;
  void RunContent(ContentMachine& machine, const FormFrame* form = nullptr) override;

  // ---- Entry points for nested content ----
  // Paints a form XObject (an annotation's appearance) with `matrix` on top
  // of the current transform, clipped to `box` (form space), through the
  // form cache. Errors in the form end that form only.
  void PaintFormObject(const runtime::ObjectHandle& form, const runtime::Matrix& matrix, const runtime::Rect& box);
  // Strokes `points` (a stored path, in the space `matrix` maps to the
  // device) with `width` and `dashes` (none: solid) in the device RGB colour
  // `rgb`, opaque, from a fresh stroke style; the graphics state is left as
  // it was. What a viewer draws on a page besides its content.
  void StrokeDeviceRgb(std::span<const runtime::FixedPoint> points, const runtime::Matrix& matrix,
                       runtime::Fixed width, std::span<const runtime::Fixed> dashes, const runtime::Fixed (&rgb)[3]);

  // ---- What image and pattern painting build on ----
  // The paint of the fill (or stroke) colour over `area`: a solid colour in
  // the layer's space, or the pattern's source for a pattern colour; null
  // when nothing can be painted.
  raster::PipelineNode* ColorSource(bool stroke, const raster::IntRect& area);
  // The source of a pattern colour (the current fill or stroke pattern,
  // named by PatternName) over `area` of the current layer; null when the
  // pattern paints nothing, after telling the paint target (0, 3, 3).
  raster::PipelineNode* PatternSource(bool stroke, const raster::IntRect& area);
  std::string_view PatternName(bool stroke) const;
  // The resolved space of the fill (or stroke) colour; null for a pattern
  // without an underlying space.
  color::ColorSpace* ColorSpaceOf(bool stroke) const;
  // Composites `source` through `coverage` (null: everywhere) and the clip in
  // force into the current layer, over `area`, with the fill (or stroke)
  // alpha and the blend mode of the graphics state. Grows the painted area.
  void PaintThroughClip(raster::PipelineNode* coverage, raster::PipelineNode* source, const raster::IntRect& area,
                        bool stroke);
  // The device pixels the clip in force leaves paintable on the layer.
  raster::IntRect ClipBounds() const;
  const raster::PixelRegion& ClipRegion() const;
  raster::PipelineNode* ClipNode() const { return state_.clipNode; }
  // The CTM, through the active content segment's matrix when there is one.
  runtime::Matrix CurrentTransform() const { return SegmentCtm(); }
  // 1 when the current operation lies outside the active content segment.
  bool OutsideActiveSegment() const { return !InCurrentSegment(); }
  // Unions `rect`, cut to the clip, into the painted-area bounds.
  void AccumulatePaintedRect(const raster::IntRect& rect);
  // The device pixels painted so far (empty at the start).
  const raster::IntRect& PaintedRect() const { return painted_; }
  // Charges a painting operation to the work budget (yields when it runs out).
  void FlushAndYield();
  void Notify(uint32_t a, uint32_t b, uint32_t c);

  raster::RasterDevice& Layer() const { return *paint_.layer; }
  runtime::ArenaAllocator& Arena() const { return *paint_.arena; }
  color::ColorContext& Colors() const { return *paint_.colors; }
  PaintContext& Paint() { return paint_; }

 protected:
  // Builds the soft mask the parameter set names (or ends the one in
  // force, for /None); a mask that cannot be built is reported (0, 4, 3)
  // and the content paints without it.
  void OnSoftMaskRequest(const ExtGState& record) override;
  // Called with every shown run before it is painted; a painter that
  // moves glyphs (reflow) moves its records here. False: paint nothing.
  virtual bool ArrangeGlyphs(raster::GlyphRun&) { return true; }

 private:
  // What the painter keeps per save level beside the graphics state.
  struct PaintState {
    color::ColorSpaceRef fillSpace;
    color::ColorSpaceRef strokeSpace;
    // Kind of the space (color::ColorSpaceRecord::Kind).
    int32_t fillKind = 1;
    int32_t strokeKind = 1;
    // The colour converted into the layer's space, valid when the flag is.
    runtime::Fixed fillDevice[4] = {};
    runtime::Fixed strokeDevice[4] = {};
    bool fillDeviceValid = false;
    bool strokeDeviceValid = false;
    char fillPattern[kMaxPatternName + 1] = {};
    char strokePattern[kMaxPatternName + 1] = {};
    const raster::PixelRegion* clipRegion = nullptr;
    // What paints through: the clip in force times the soft mask in force.
    raster::PipelineNode* clipNode = nullptr;
    // The clip without the soft mask, and the mask (one byte a pixel over
    // the area that was paintable when it was set); both null when absent.
    raster::PipelineNode* plainClip = nullptr;
    raster::PipelineNode* softMask = nullptr;
  };
  class SavedPaintState;

  color::ColorSpaceRef DeviceSpaceFor(ColorSpaceKind kind);
  void ConvertColor(bool stroke);
  // The path's points as the scan converters read them, in the arena.
  std::span<const runtime::FixedPoint> StoredPoints(const PathSegments& segments);
  // `box`: the device pixels the path's box covers.
  void FillPath(std::span<const runtime::FixedPoint> points, bool evenOdd, const raster::IntRect& box);
  void StrokePath(std::span<const runtime::FixedPoint> points);
  void ClipPath(std::span<const runtime::FixedPoint> points, bool evenOdd, bool visible);
  // Sets the clip without the soft mask and works out what paints through.
  void SetPlainClip(raster::PipelineNode* clip);
  // The mask a soft-mask dictionary describes over the paintable area;
  // null (after the report) when it cannot be built.
  raster::PipelineNode* BuildSoftMask(const runtime::ObjectHandle& mask);
  // Clips to a user-space rectangle (a form's bounding box).
  void ClipToBox(const runtime::Rect& box);
  // The constant-alpha coverage factor; null when the alpha is 1.0.
  raster::PipelineNode* MakeAlphaSource(bool stroke);
  raster::Renderer& TextSide();
  void ShowRun(const uint8_t* bytes, uint32_t count, const TextArrayElement* elements, uint32_t elementCount);
  void StrokeTextOutline(std::span<const runtime::FixedPoint> outline);
  // Draws a run of a Type 3 font that draws by procedure (its glyph
  // procedures run, one glyph at a time); false when the run goes the
  // glyph-coverage way instead.
  bool ShowType3Procedures(const raster::GlyphRun& run, uint8_t mode);
  static void StrokeTextHook(void* user, raster::Renderer& renderer, std::span<const runtime::FixedPoint> outline);
  // The colour space an isolated transparency group composes in when it
  // names one ("CS") that is not the layer's; empty otherwise.
  color::ColorSpaceRef IsolatedGroupSpace(const runtime::ObjectHandle& dictionary, bool isolated);
  // Plays nested content into a group layer when its group or the state
  // needs one; false when it was played straight into the current layer.
  bool PaintGroup(ContentMachine& machine, const FormFrame* form);
  // Runs `draw` (an image's drawing) with the image context of the current
  // state, in a scope of the paint arena; an image that cannot be drawn is
  // reported (0, 1, 2) and passed over. `imageMask` gives it the fill paint.
  template <class Draw>
  void DrawImageConfined(bool imageMask, const Draw& draw);

  PaintContext& paint_;
  PaintTarget* target_;
  PaintState state_;
  raster::IntRect painted_{0, 0, 0, 0};
  // The path-cache record lives in an arena of its own: it outlives every
  // scope of the pipeline arena.
  runtime::ArenaAllocator pathArena_;
  PathCacheSlot pathCache_;
  // The raster text side of the current layer, made on first use.
  raster::Renderer* text_ = nullptr;
  raster::RasterDevice* textLayer_ = nullptr;
  // Inside BT ... ET: saved spans open no arena scope there, since a text
  // clip gathers its glyphs until ET.
  bool inText_ = false;
  // Soft masks whose group sets a soft mask nest this deep at most.
  uint32_t softMaskDepth_ = 0;
};

}  // namespace content
