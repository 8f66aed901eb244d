#include "content/Renderer.h"

#include <algorithm>
#include <cstring>
#include <cstdio>
#include <optional>

#include "color/ColorContext.h"
#include "color/ColorSpaceRecord.h"
#include "color/Shading.h"
#include "content/ContentStream.h"
#include "content/paint/SavedPaintState.h"
#include "content/paint/Type3Painting.h"
#include "content/ExtGState.h"
#include "raster/BlendFunction.h"
#include "raster/ClipAccumulator.h"
#include "raster/CompositorNode.h"
#include "raster/ConstantSources.h"
#include "raster/GlyphRun.h"
#include "raster/PaintObject.h"
#include "raster/PathEdges.h"
#include "raster/PlaneSource.h"
#include "raster/RasterDevice.h"
#include "raster/Renderer.h"
#include "runtime/ArenaScope.h"
#include "runtime/ErrorTrap.h"
#include "runtime/Scheduler.h"

namespace content {

using raster::IntRect;
using raster::IntersectRects;
using raster::PipelineNode;
using runtime::Fixed;
using runtime::FixedPoint;
using runtime::Matrix;

namespace {

bool RenderModeStrokes(uint8_t mode) { return mode == 1 || mode == 2 || mode == 5 || mode == 6; }

// The device pixels a user-space box covers under `m`, grown by `margin`
// pixels; unbounded when the box cannot be mapped.
IntRect DeviceBoundsOf(const runtime::Rect& box, const Matrix& m, int32_t margin) {
  if (!Matrix::CanTransformRect(m, box)) return {INT32_MIN / 2, INT32_MIN / 2, INT32_MAX / 2, INT32_MAX / 2};
  const IntRect pixels = runtime::Rect::ToPixelBounds(Matrix::TransformRectBounds(box, m));
  return {pixels.x0 - margin, pixels.y0 - margin, pixels.x1 + margin, pixels.y1 + margin};
}

}  // namespace

void CountingPaintTarget::Notify(uint32_t, uint32_t b, uint32_t) {
  if (b < 5) ++counts_[b];
}

Renderer::Renderer(PaintContext& paint, uint32_t mode, const runtime::ObjectHandle* resources, PaintTarget* target,
                   const ContentSegmentList* segments)
    : ContentHandler(paint.owner, paint.page, mode, resources, segments),
      paint_(paint),
      target_(target),
      pathArena_(paint.owner, 16384, 4096),
      pathCache_(pathArena_) {
  state_.clipRegion = paint.region != nullptr ? paint.region
                                              : raster::PixelRegion::FromRect(*paint.arena, paint.layer->Bounds());
  state_.clipNode = paint.clipNode;
  state_.plainClip = paint.clipNode;
  state_.fillSpace = DeviceSpaceFor(ColorSpaceKind::kDeviceGray);
  state_.strokeSpace = state_.fillSpace;
  text_ = runtime::NewInArena<raster::Renderer>(*paint.arena, paint.owner, *paint.arena, *paint.layer);
  textLayer_ = paint.layer;
  text_->strokeText = StrokeTextHook;
  text_->strokeUser = this;
  InstallType3GlyphPainter();
}

Renderer::~Renderer() = default;

void Renderer::Notify(uint32_t a, uint32_t b, uint32_t c) {
  if (target_ != nullptr) target_->Notify(a, b, c);
}

void Renderer::ApplyExtGState(const ExtGState& record) { ApplyEveryEntry(record); }

void Renderer::SaveState(Span& span, ContentStream& player) {
  SavedPaintState saved(*this, !inText_);
  ContentHandler::SaveState(span, player);
}

// ---- Colour ----

color::ColorSpaceRef Renderer::DeviceSpaceFor(ColorSpaceKind kind) {
  switch (kind) {
    case ColorSpaceKind::kDeviceRgb: return paint_.colors->DeviceRgb();
    case ColorSpaceKind::kDeviceCmyk: return paint_.colors->DeviceCmyk();
    default: return paint_.colors->DeviceGray();
  }
}

void Renderer::SetColorSpace(ColorSpaceKind kind, bool stroke, std::string_view name) {
  ContentHandler::SetColorSpace(kind, stroke, name);
  color::ColorSpaceRef space;
  int32_t spaceKind = color::ColorSpaceRecord::kOrdinary;
  if (kind != ColorSpaceKind::kNamed) {
    space = DeviceSpaceFor(kind);
  } else {
    // A space that cannot be read paints in gray, as a wrong operand would.
    runtime::ErrorTrap trap(Owner());
    if (!trap.Run([&] {
          const runtime::ObjectHandle none;
          const runtime::ObjectHandle* resources = State().resources != nullptr ? State().resources : &none;
          color::ColorSpaceRecord record =
              color::ColorSpace::Parse(*paint_.colors, name, *resources, false, true, nullptr, 0, false);
          space = record.space;
          spaceKind = record.kind;
        })) {
      trap.SetHandled();
      if (!trap.HoldsRecord() || runtime::IsCancelOrNoDataError(trap.Held())) trap.Rethrow();
      trap.Close();
      space = DeviceSpaceFor(ColorSpaceKind::kDeviceGray);
      spaceKind = color::ColorSpaceRecord::kOrdinary;
    }
  }
  (stroke ? state_.strokeSpace : state_.fillSpace) = space;
  (stroke ? state_.strokeKind : state_.fillKind) = spaceKind;
  (stroke ? state_.strokeDeviceValid : state_.fillDeviceValid) = false;
  (stroke ? state_.strokePattern : state_.fillPattern)[0] = '\0';
}

void Renderer::SetColor(bool stroke, uint32_t count, const Fixed* components, std::string_view pattern) {
  ContentHandler::SetColor(stroke, count, components, pattern);
  char* name = stroke ? state_.strokePattern : state_.fillPattern;
  const size_t length = std::min<size_t>(pattern.size(), kMaxPatternName);
  if (length != 0) std::memcpy(name, pattern.data(), length);
  name[length] = '\0';
  (stroke ? state_.strokeDeviceValid : state_.fillDeviceValid) = false;
}

std::string_view Renderer::PatternName(bool stroke) const {
  return stroke ? state_.strokePattern : state_.fillPattern;
}

color::ColorSpace* Renderer::ColorSpaceOf(bool stroke) const {
  return (stroke ? state_.strokeSpace : state_.fillSpace).Get();
}

void Renderer::ConvertColor(bool stroke) {
  Fixed* out = stroke ? state_.strokeDevice : state_.fillDevice;
  std::fill(out, out + 4, 0);
  color::ColorSpace* space = ColorSpaceOf(stroke);
  color::ColorSpace* target = color::ColorSpace::FromRaster(*Layer().Space());
  const ColorRecord& colour = State().Color(stroke);
  if (space != nullptr && target != nullptr) {
    color::ColorConverterPtr converter = space->MakeConverterFixed(*target, State().renderingIntent, 2, false);
    if (!converter) runtime::ThrowRuntime(runtime::kOutOfMemory);
    Fixed in[ColorRecord::kMaxComponents] = {};
    std::copy(colour.components, colour.components + ColorRecord::kMaxComponents, in);
    converter->ConvertPixel(out, 1, in, 1);
  }
  (stroke ? state_.strokeDeviceValid : state_.fillDeviceValid) = true;
}

PipelineNode* Renderer::ColorSource(bool stroke, const IntRect& area) {
  const int32_t kind = stroke ? state_.strokeKind : state_.fillKind;
  if (kind == color::ColorSpaceRecord::kPattern) return PatternSource(stroke, area);
  if (!(stroke ? state_.strokeDeviceValid : state_.fillDeviceValid)) ConvertColor(stroke);
  const int32_t n = std::clamp(Layer().Space()->ComponentCount(), 1, 4);
  return raster::SolidColorSource::FromFixed(Arena(), {stroke ? state_.strokeDevice : state_.fillDevice,
                                                       static_cast<size_t>(n)});
}

// ---- Painting through the clip ----

const raster::PixelRegion& Renderer::ClipRegion() const { return *state_.clipRegion; }

IntRect Renderer::ClipBounds() const {
  IntRect area = IntersectRects(Layer().Bounds(), state_.clipRegion->Bounds());
  if (state_.clipNode != nullptr) area = IntersectRects(area, state_.clipNode->bounds);
  return area;
}

PipelineNode* Renderer::MakeAlphaSource(bool stroke) {
  const Fixed alpha = stroke ? State().strokeAlpha : State().fillAlpha;
  if (alpha >= runtime::kFixedOne) return nullptr;
  return raster::ShapeSource::FromFixed(Arena(), std::max<Fixed>(alpha, 0));
}

void Renderer::PaintThroughClip(PipelineNode* coverage, PipelineNode* source, const IntRect& area, bool stroke) {
  IntRect paintArea = IntersectRects(area, ClipBounds());
  if (coverage != nullptr) paintArea = IntersectRects(paintArea, coverage->bounds);
  if (paintArea.IsEmpty() || source == nullptr) return;
  runtime::ArenaAllocator& arena = Arena();
  const raster::PixelRegion* region = raster::PixelRegion::FromRect(arena, paintArea);
  // A constant alpha scales the source (its colour, shape and alpha), which
  // is then composited source-over.
  if (PipelineNode* alpha = MakeAlphaSource(stroke))
    source = raster::PipelineStage::Create(arena, Layer().Scratch(*region), alpha, source);
  const raster::BlendFunction* blend = raster::BlendFunction::Create(arena, State().blendMode);
  Layer().PaintSource(*region, state_.clipRegion, state_.clipNode, coverage, source, blend);
  AccumulatePaintedRect(paintArea);
}

void Renderer::AccumulatePaintedRect(const IntRect& rect) {
  const IntRect cut = IntersectRects(rect, ClipBounds());
  if (cut.IsEmpty()) return;
  painted_ = painted_.IsEmpty() ? cut : raster::UnionRects(painted_, cut);
}

void Renderer::FlushAndYield() { runtime::ChargeWork(Owner(), runtime::kWorkCostHeavy); }

// ---- Paths ----

int Renderer::BeginPath(runtime::Rect& bounds, bool stroke) {
  if (bounds.x0 > bounds.x1 || bounds.y0 > bounds.y1) return 0;
  // A stroke reaches past the path by half its width, mapped to the device;
  // its corners (miters) further, so the test is generous.
  int32_t margin = 2;
  if (stroke) {
    Fixed big = 0, small = 0;
    Matrix::ScaleExtremes(CurrentTransform(), big, small);
    const double width = runtime::FixedToDouble(State().stroke.width) * runtime::FixedToDouble(big);
    const double miter = std::max(1.0, runtime::FixedToDouble(State().stroke.miterLimit));
    margin += static_cast<int32_t>(std::min(1.0e6, width * miter));
  }
  const IntRect device = DeviceBoundsOf(bounds, CurrentTransform(), margin);
  return IntersectRects(device, ClipBounds()).IsEmpty() ? 0 : 1;
}

void Renderer::PaintPath(ContentStream&, bool pathPresent, const PathPaint& paint, const PathSegments& segments) {
  if (OutsideActiveSegment()) return;
  const bool fills = pathPresent && paint.fillRule != PathHeader::kRuleNone;
  const bool strokes = pathPresent && paint.stroke;
  const bool clips = paint.clipRule != PathHeader::kRuleNone;
  if (segments.count == 0 && !clips) return;
  if (fills || strokes) {
    runtime::ArenaScope scope(Arena());
    const std::span<const FixedPoint> points = raster::StoredPath::FromPacked(Arena(), segments.points, segments.count);
    if (fills) FillPath(points, paint.fillRule == 1, DeviceBoundsOf(paint.bounds, CurrentTransform(), 0));
    if (strokes) StrokePath(points);
  }
  if (fills || strokes) FlushAndYield();
  if (clips) {
    // The clip lives as long as the save level: its points stay in the
    // level's scope.
    const std::span<const FixedPoint> points =
        pathPresent ? raster::StoredPath::FromPacked(Arena(), segments.points, segments.count)
                    : std::span<const FixedPoint>();
    ClipPath(points, paint.clipRule == 1, pathPresent && segments.count != 0);
  }
}

void Renderer::FillPath(std::span<const FixedPoint> points, bool evenOdd, const IntRect& box) {
  const IntRect area = ClipBounds();
  if (area.IsEmpty() || points.empty()) return;
  raster::ScanConverter* coverage = raster::PaintObject::Create(Owner(), Arena(), area, points, CurrentTransform(), evenOdd);
  if (coverage->IsEmpty()) return;
  // The converter's bounds take in every pixel an edge touches; the path's
  // own box is the tighter one.
  const IntRect shape = IntersectRects(coverage->ShapeBounds(), box);
  PaintThroughClip(coverage, ColorSource(false, shape), shape, false);
}

void Renderer::StrokePath(std::span<const FixedPoint> points) {
  const IntRect area = ClipBounds();
  if (area.IsEmpty() || points.empty()) return;
  raster::ScanConverter* coverage =
      raster::PaintObject::CreateStroke(Owner(), Arena(), area, points, State().stroke, CurrentTransform());
  if (coverage->IsEmpty()) return;
  PaintThroughClip(coverage, ColorSource(true, coverage->ShapeBounds()), coverage->ShapeBounds(), true);
}

void Renderer::ClipPath(std::span<const FixedPoint> points, bool evenOdd, bool visible) {
  if (!visible || points.empty()) {
    // A clipping path that cannot show leaves nothing paintable.
    state_.clipRegion = raster::PixelRegion::FromRect(Arena(), {0, 0, 0, 0});
    state_.clipNode = state_.plainClip = nullptr;
    return;
  }
  raster::ClipAccumulator clip(Owner(), Arena(), *state_.clipRegion);
  if (state_.plainClip != nullptr) clip.AddCoverage(state_.plainClip);
  clip.AddPath(points, CurrentTransform(), evenOdd);
  state_.clipRegion = &clip.ClipRegion();
  SetPlainClip(clip.ClipNode());
}

// ---- Text ----

raster::Renderer& Renderer::TextSide() {
  if (textLayer_ != paint_.layer) {
    text_ = runtime::NewInArena<raster::Renderer>(Arena(), Owner(), Arena(), *paint_.layer);
    text_->strokeText = StrokeTextHook;
    text_->strokeUser = this;
    textLayer_ = paint_.layer;
  }
  text_->SetClip(*state_.clipRegion, state_.clipNode);
  return *text_;
}

void Renderer::StrokeTextHook(void* user, raster::Renderer&, std::span<const FixedPoint> outline) {
  static_cast<Renderer*>(user)->StrokeTextOutline(outline);
}

void Renderer::StrokeTextOutline(std::span<const FixedPoint> outline) {
  // The outline is in device space; the pen is in user space. Map the
  // outline back and stroke it with the CTM, so the width and dashes come
  // out as for any other path.
  const Matrix ctm = CurrentTransform();
  Matrix inverse;
  if (outline.empty() || !Matrix::Invert(inverse, ctm)) return;
  auto* path = runtime::NewInArena<raster::StoredPath>(Arena(), Arena(), static_cast<uint32_t>(outline.size()) + 1);
  for (size_t i = 0; i < outline.size(); ++i) {
    const int kind = raster::StoredPath::KindOf(outline[i]);
    FixedPoint p = raster::StoredPath::Coordinates(outline[i]);
    Matrix::TransformPointInPlace(inverse, p.x, p.y);
    switch (kind) {
      case 0: path->MoveTo(p); break;
      case 1: path->LineTo(p); break;
      case 2: {
        if (i + 2 >= outline.size()) break;
        FixedPoint q = raster::StoredPath::Coordinates(outline[i + 1]);
        FixedPoint r = raster::StoredPath::Coordinates(outline[i + 2]);
        Matrix::TransformPointInPlace(inverse, q.x, q.y);
        Matrix::TransformPointInPlace(inverse, r.x, r.y);
        path->CurveTo(p, q, r);
        i += 2;
        break;
      }
      default: path->Close(); break;
    }
  }
  StrokePath(path->Points());
}

void Renderer::ShowRun(const uint8_t* bytes, uint32_t count, const TextArrayElement* elements,
                       uint32_t elementCount) {
  if (OutsideActiveSegment()) return;
  runtime::FontBase* font = State().font.Get();
  if (font == nullptr || font->isUsable == 0) {
    // A font that could not be loaded (a kind not drawn yet, a broken
    // program): the text cannot be placed, and the target is told.
    Notify(0, 2, 1);
    return;
  }
  const bool type3 = font->IsType3();
  const uint8_t mode = type3 ? Type3RenderMode(State().renderMode) : State().renderMode;
  // The text side lives as long as its layer: made before the run's scope.
  raster::Renderer& side = TextSide();
  // Clipping modes gather their glyphs until ET: those stay in the
  // enclosing level's scope.
  std::optional<runtime::ArenaScope> scope;
  if (mode < 4) scope.emplace(Arena());
  raster::TextState text = raster::TextState::FromGraphicsState(State());
  text.renderMode = mode;
  auto* run = runtime::NewInArena<raster::GlyphRun>(Arena(), Owner(), Arena(), text, TextMatrix(), CurrentTransform());
  const FixedPoint end = elements != nullptr ? run->ShowArray(elements, elementCount) : run->ShowString(bytes, count);
  SetTextOrigin(end.x, end.y);
  if (mode == 3 || !ArrangeGlyphs(*run)) return;
  if (type3 && ShowType3Procedures(*run, mode)) return;
  const IntRect box = runtime::Rect::ToPixelBounds(run->BoundingBox());
  const IntRect area = IntersectRects(box, ClipBounds());
  // The source is made for this run only: it may live in the run's scope.
  side.SetFillSource(nullptr);
  if (mode != 7 && !area.IsEmpty()) {
    // The fill colour, with the fill alpha folded in (premultiplied), as
    // the text side composites its source as it stands.
    PipelineNode* fill = ColorSource(false, area);
    if (fill != nullptr && State().fillAlpha < runtime::kFixedOne && !State().alphaIsShape) {
      const raster::PixelRegion* region = raster::PixelRegion::FromRect(Arena(), area);
      fill = raster::PipelineStage::Create(Arena(), Layer().Scratch(*region), MakeAlphaSource(false), fill);
    }
    side.SetFillSource(fill);
  }
  if (type3) {
    // Glyph procedures run here: an error in one ends this text only.
    PlayConfined([&] { side.ShowGlyphs(*run); });
  } else {
    side.ShowGlyphs(*run);
  }
  side.SetFillSource(nullptr);
  if (RenderModeStrokes(mode) || mode == 0 || mode == 2 || mode == 4 || mode == 6) AccumulatePaintedRect(area);
  FlushAndYield();
}

void Renderer::ShowText(const uint8_t* bytes, uint32_t count, runtime::Rect&) { ShowRun(bytes, count, nullptr, 0); }

void Renderer::ShowTextArray(const TextArrayElement* elements, uint32_t count, runtime::Rect&) {
  ShowRun(nullptr, 0, elements, count);
}

void Renderer::EndTextClip() {
  raster::Renderer& side = TextSide();
  // The text clip joins the clip without the soft mask, which is applied
  // on top again.
  if (state_.softMask != nullptr) side.SetClip(*state_.clipRegion, state_.plainClip);
  side.EndText();
  state_.clipRegion = &side.ClipRegion();
  SetPlainClip(side.ClipNode());
}

void Renderer::EndText(Span&, ContentStream&) {
  inText_ = false;
  if (text_->HasPendingTextClip()) EndTextClip();
}

// ---- Shadings ----

void Renderer::DoShading(std::string_view name) {
  if (OutsideActiveSegment()) return;
  // A shading that cannot be read ends that shading only.
  PlayConfined([&] {
    const runtime::ObjectHandle shading = FindNamedResource(State().resources, "Shading", name);
    if (shading.IsNull()) return;
    const IntRect area = ClipBounds();
    if (area.IsEmpty()) return;
    runtime::ArenaScope scope(Arena());
    color::ShadingTarget target;
    target.context = Owner();
    target.arena = &Arena();
    target.colors = paint_.colors;
    target.space = color::ColorSpaceRef(color::ColorSpace::FromRaster(*Layer().Space()));
    target.intent = State().renderingIntent;
    const runtime::ObjectHandle none;
    PipelineNode* source = color::Shading::Create(target, area, CurrentTransform(), 0, true,
                                                  State().resources != nullptr ? *State().resources : none, shading);
    if (source != nullptr) PaintThroughClip(nullptr, source, IntersectRects(area, source->bounds), false);
  });
  FlushAndYield();
}

}  // namespace content
