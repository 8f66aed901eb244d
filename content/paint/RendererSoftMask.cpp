// Soft masks set by a graphics-state parameter set: the mask's group is
// painted into a device of its own over the area that is paintable when
// the mask is set, reduced to one byte a pixel (its luminosity over the
// backdrop colour, or its alpha) through the transfer function, and then
// multiplied into the clip, so that everything painted while it is in
// force paints through it.
#include <algorithm>
#include <cstring>

#include "color/ColorContext.h"
#include "color/FunctionEvaluator.h"
#include "color/PdfFunction.h"
#include "content/ContentStream.h"
#include "content/ExtGState.h"
#include "content/Renderer.h"
#include "content/paint/SavedPaintState.h"
#include "pdf/ArrayReaders.h"
#include "pdf/Document.h"
#include "pdf/StreamObject.h"
#include "raster/CompositorNode.h"
#include "raster/ConstantSources.h"
#include "raster/PlaneSource.h"
#include "raster/RasterDevice.h"
#include "runtime/ArenaScope.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"

namespace content {

using raster::IntRect;
using raster::PipelineNode;
using runtime::Fixed;
using runtime::ObjectHandle;
using runtime::ObjectTag;

namespace {

// Masks built while a mask's own group is painted nest this deep at most:
// each level holds a device over the paintable area.
constexpr uint32_t kMaxSoftMaskDepth = 2;

// The byte a mask value in 0..1 maps to through the transfer function
// (identity when none), for each of the 256 input bytes.
void BuildTransferTable(runtime::LibraryContext* context, const ObjectHandle& transfer, streams::StreamOpener* opener,
                        uint8_t table[256]) {
  for (int i = 0; i < 256; ++i) table[i] = static_cast<uint8_t>(i);
  const ObjectHandle value = transfer.Resolved();
  if (value.IsNull() || value.Tag() == ObjectTag::kName) return;  // /Identity and unknown names
  color::PdfFunctionRef function = color::Function::Create(context, value, opener);
  if (!function || function->Inputs() != 1 || function->Outputs() < 1) runtime::ThrowMalformed();
  Fixed outputs[color::PdfFunction::kMaxArity] = {};
  for (int i = 0; i < 256; ++i) {
    const Fixed input = static_cast<Fixed>((int64_t{i} * runtime::kFixedOne + 127) / 255);
    color::FunctionEvaluator::EvaluateFixed(*function, &input, outputs);
    const Fixed clamped = std::clamp<Fixed>(outputs[0], 0, runtime::kFixedOne);
    table[i] = static_cast<uint8_t>((int64_t{clamped} * 255 + runtime::kFixedOne / 2) / runtime::kFixedOne);
  }
}

uint8_t ByteOf(Fixed value) {
  const Fixed clamped = std::clamp<Fixed>(value, 0, runtime::kFixedOne);
  return static_cast<uint8_t>((int64_t{clamped} * 255 + runtime::kFixedOne / 2) / runtime::kFixedOne);
}

// The luminosity of a colour of `n` components in 0..255 (gray, RGB or
// CMYK as the device holds them).
uint8_t LuminosityOf(const int32_t* c, int32_t n) {
  int32_t r, g, b;
  if (n >= 4) {
    r = 255 - std::min(255, c[0] + c[3]);
    g = 255 - std::min(255, c[1] + c[3]);
    b = 255 - std::min(255, c[2] + c[3]);
  } else if (n == 3) {
    r = c[0], g = c[1], b = c[2];
  } else {
    return static_cast<uint8_t>(std::clamp(c[0], 0, 255));
  }
  return static_cast<uint8_t>(std::clamp((77 * r + 151 * g + 28 * b + 128) >> 8, 0, 255));
}

// What the mask's group is painted over: its backdrop colour with alpha
// 0, so that the group device's colour is the group over that colour.
class MaskBackdrop final : public raster::BackdropProvider {
 public:
  MaskBackdrop(runtime::ArenaAllocator& arena, const uint8_t* colour, int32_t n)
      : arena_(arena),
        planes_{nullptr, raster::PixelPlane::Zero(),
                raster::SolidColorSource::MakePlane(arena, {colour, static_cast<size_t>(n)})} {}
  PipelineNode* MakeBackdrop(const raster::PixelRegion& region, raster::ColorSpace* space, bool) override {
    return MakePipeline(region, space);
  }
  PipelineNode* MakePipeline(const raster::PixelRegion&, raster::ColorSpace*) override {
    return raster::PlaneSource::Create(arena_, planes_);
  }

 private:
  runtime::ArenaAllocator& arena_;
  raster::PixelTriple planes_;
};

}  // namespace

void Renderer::SetPlainClip(PipelineNode* clip) {
  state_.plainClip = clip;
  if (state_.softMask == nullptr || clip == nullptr) {
    state_.clipNode = clip != nullptr ? clip : state_.softMask;
    return;
  }
  // The product is left to each paint: running the clip here would run a
  // path's scan converter outside the paints it was made for.
  const raster::PixelTriple scratch =
      raster::PixelTriple::CreateCoverageScratch(Owner(), Arena(), state_.softMask->bounds);
  state_.clipNode = raster::PipelineStage::Create(Arena(), scratch, state_.softMask, clip);
}

void Renderer::OnSoftMaskRequest(const ExtGState& record) {
  if (record.softMaskNone) {
    state_.softMask = nullptr;
    SetPlainClip(state_.plainClip);
    return;
  }
  PipelineNode* mask = nullptr;
  runtime::ErrorTrap trap(Owner());
  if (!trap.Run([&] {
        const ObjectHandle parameters = FindNamedResource(State().resources, "ExtGState", record.resourceName);
        if (parameters.Tag() != ObjectTag::kDictionary) runtime::ThrowMalformed();
        mask = BuildSoftMask(runtime::Dictionary::Get(parameters, "SMask").Resolved());
      })) {
    trap.SetHandled();
    if (!trap.HoldsRecord() || runtime::IsCancelOrNoDataError(trap.Held())) trap.Rethrow();
    trap.Close();
    mask = nullptr;
  }
  if (mask == nullptr) {
    // Painted without the mask, as if it were /None: more shows than should,
    // rather than nothing.
    Notify(0, 4, 3);
    state_.softMask = nullptr;
    SetPlainClip(state_.plainClip);
    return;
  }
  // Nothing outside the mask's area was paintable when it was set; the clip
  // region shrinks to it so that every later clip stays inside the mask.
  state_.clipRegion = raster::PixelRegion::Combine(Arena(), raster::RegionCombine::kIntersection, *state_.clipRegion,
                                                   *raster::PixelRegion::FromRect(Arena(), mask->bounds));
  state_.softMask = mask;
  SetPlainClip(state_.plainClip);
}

PipelineNode* Renderer::BuildSoftMask(const ObjectHandle& mask) {
  if (mask.Tag() != ObjectTag::kDictionary) return nullptr;
  if (softMaskDepth_ >= kMaxSoftMaskDepth || Page().document == nullptr) return nullptr;
  const ObjectHandle subtype = runtime::Dictionary::Get(mask, "S").Resolved();
  if (subtype.Tag() != ObjectTag::kName) runtime::ThrowMalformed();
  const bool luminosity = subtype->AsName().View() == "Luminosity";
  if (!luminosity && subtype->AsName().View() != "Alpha") runtime::ThrowMalformed();
  const ObjectHandle group = runtime::Dictionary::Get(mask, "G").Resolved();
  if (group.Tag() != ObjectTag::kDictionary || !pdf::StreamObject::IsStream(group.Value())) runtime::ThrowMalformed();

  // The mask's group is a form played each time the mask is set: it
  // counts with the other forms, so that a mask set over and over cannot
  // run the page for hours.
  CountFormPlay();

  uint8_t transfer[256];
  BuildTransferTable(Owner(), runtime::Dictionary::Get(mask, "TR"), Page().document, transfer);

  raster::RasterDevice& parent = Layer();
  const int32_t n = std::clamp(parent.Space()->ComponentCount(), 1, 4);
  // The backdrop colour, in the group's colour space, as the device holds
  // colours; black (of the group's space) by default.
  uint8_t backdrop[4] = {0, 0, 0, 0};
  if (luminosity) {
    const ObjectHandle attributes = runtime::Dictionary::Get(group, "Group").Resolved();
    const ObjectHandle groupResources = runtime::Dictionary::Get(group, "Resources").Resolved();
    const ObjectHandle none;
    const ObjectHandle& resources =
        groupResources.Tag() == ObjectTag::kDictionary ? groupResources
                                                       : (State().resources != nullptr ? *State().resources : none);
    color::ColorSpaceRef space;
    if (attributes.Tag() == ObjectTag::kDictionary) {
      const ObjectHandle cs = runtime::Dictionary::Get(attributes, "CS");
      if (!cs.IsNull()) space = color::ColorSpace::FromObject(*paint_.colors, cs, resources);
    }
    if (!space) space = paint_.colors->DeviceGray();
    color::ColorSpace* target = color::ColorSpace::FromRaster(*parent.Space());
    const int32_t count = std::clamp(space->ComponentCount(), 1, int32_t{color::PdfFunction::kMaxArity});
    Fixed in[color::PdfFunction::kMaxArity] = {};
    const ObjectHandle colour = runtime::Dictionary::Get(mask, "BC").Resolved();
    if (colour.Tag() == ObjectTag::kArray) {
      for (int32_t i = 0; i < count && i < static_cast<int32_t>(runtime::Array::Count(colour)); ++i) {
        const ObjectHandle value = runtime::Array::Get(colour, static_cast<uint32_t>(i)).Resolved();
        if (value->IsNumber()) in[i] = value->AsNumber();
      }
    }
    if (target != nullptr) {
      color::ColorConverterPtr converter = space->MakeConverterFixed(*target, State().renderingIntent, 2, false);
      if (!converter) runtime::ThrowRuntime(runtime::kOutOfMemory);
      Fixed out[4] = {};
      converter->ConvertPixel(out, 1, in, 1);
      for (int32_t i = 0; i < n; ++i) backdrop[i] = ByteOf(out[i]);
    }
  }

  runtime::Matrix matrix;
  const ObjectHandle matrixArray = runtime::Dictionary::Get(group, "Matrix").Resolved();
  if (matrixArray.Tag() == ObjectTag::kArray) matrix = pdf::ReadMatrixArray(matrixArray);
  runtime::Rect box{-runtime::kFixedMax, -runtime::kFixedMax, runtime::kFixedMax, runtime::kFixedMax};
  const ObjectHandle boxArray = runtime::Dictionary::Get(group, "BBox").Resolved();
  if (boxArray.Tag() == ObjectTag::kArray) box = pdf::ReadRectArray(boxArray);

  // The mask lives as long as the save level that set it: in the current
  // scope. The group's device goes with the inner scope once it is read.
  const IntRect area = ClipBounds();
  raster::PixelPlane* plane = raster::PixelPlane::MakeMask(Arena(), area.IsEmpty() ? IntRect{0, 0, 0, 0} : area);
  // Outside the group's box the mask is what its backdrop alone gives, so
  // the group's device covers the box only.
  const int32_t black[4] = {backdrop[0], backdrop[1], backdrop[2], backdrop[3]};
  const uint8_t outside = transfer[luminosity ? LuminosityOf(black, n) : 0];
  IntRect inside = area;
  int32_t overflow = 0;
  const runtime::Matrix toDevice = runtime::Matrix::ConcatChecked(matrix, CurrentTransform(), overflow);
  if (overflow == 0 && box.x1 < runtime::kFixedMax && runtime::Matrix::CanTransformRect(toDevice, box)) {
    const IntRect pixels = runtime::Rect::ToPixelBounds(runtime::Matrix::TransformRectBounds(box, toDevice));
    inside = raster::IntersectRects(area, {pixels.x0 - 1, pixels.y0 - 1, pixels.x1 + 1, pixels.y1 + 1});
  }
  const int32_t width = area.x1 - area.x0;
  if (!area.IsEmpty() && outside != 0 && inside != area)
    std::memset(plane->base, outside, static_cast<size_t>(width) * static_cast<size_t>(area.y1 - area.y0));
  if (!inside.IsEmpty()) {
    runtime::ArenaScope scope(Arena());
    auto* below = runtime::NewInArena<MaskBackdrop>(Arena(), Arena(), backdrop, n);
    raster::RasterDevice* device = raster::RasterDevice::CreateGroup(
        Owner(), Arena(), inside, parent.Space(), runtime::PixelLayout::ForPlanes(n, 2, 3, true), below, true);
    {
      // The group paints with the state of the moment, at full opacity, in
      // the Normal mode and without a soft mask of its own.
      StateCopy copy(*this);
      State().fillAlpha = runtime::kFixedOne;
      State().strokeAlpha = runtime::kFixedOne;
      State().blendMode = 0;
      SavedPaintState saved(*this, false);
      paint_.layer = device;
      state_.clipRegion = raster::PixelRegion::FromRect(Arena(), inside);
      state_.clipNode = state_.plainClip = state_.softMask = nullptr;
      struct Depth {
        uint32_t& depth;
        ~Depth() { --depth; }
      } depth{++softMaskDepth_};
      PaintFormObject(group, matrix, box);
    }
    const raster::PixelTriple& planes = device->Target();
    const uint8_t constantAlpha = planes.alpha != nullptr && planes.alpha->IsZeroConstant() ? 0 : 255;
    for (int32_t y = inside.y0; y < inside.y1; ++y) {
      raster::PixelPlane colourRow, alphaRow;
      if (planes.colour != nullptr) {
        colourRow = *planes.colour;
        colourRow.SetRow(y);
      }
      if (planes.alpha != nullptr && !planes.alpha->IsSharedConstant()) {
        alphaRow = *planes.alpha;
        alphaRow.SetRow(y);
      }
      runtime::SpanCursor colour = raster::CursorAt(planes.colour != nullptr ? &colourRow : nullptr, inside.x0);
      runtime::SpanCursor alpha = raster::CursorAt(alphaRow.base != nullptr ? &alphaRow : nullptr, inside.x0);
      uint8_t* out = plane->base + static_cast<int64_t>(y - area.y0) * width + (inside.x0 - area.x0);
      for (int32_t x = 0; x < inside.x1 - inside.x0; ++x) {
        const int32_t a = alpha.count != 0 ? *alpha.Channel(0) : constantAlpha;
        uint8_t value;
        if (luminosity) {
          // The device holds the group over its backdrop colour.
          int32_t c[4] = {backdrop[0], backdrop[1], backdrop[2], backdrop[3]};
          for (int32_t k = 0; k < n && k < colour.count; ++k) c[k] = *colour.Channel(k);
          value = LuminosityOf(c, n);
        } else {
          value = static_cast<uint8_t>(a);
        }
        out[x] = transfer[value];
        if (colour.count != 0) colour.Next();
        if (alpha.count != 0) alpha.Next();
      }
    }
  }
  PipelineNode* node = raster::PlaneSource::Create(Arena(), raster::PixelTriple{plane, plane, nullptr});
  node->bounds = area.IsEmpty() ? IntRect{0, 0, 0, 0} : area;
  return node;
}

}  // namespace content
