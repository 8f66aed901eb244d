// Nested content: forms (with their bounding box and transparency group),
// annotation appearances, and the group layers they paint into.
#include <algorithm>

#include "content/ContentOwner.h"
#include "content/ContentStream.h"
#include "content/Renderer.h"
#include "content/paint/SavedPaintState.h"
#include "raster/ColorConversion.h"
#include "runtime/ErrorTrap.h"
#include "color/ColorContext.h"
#include "raster/ConstantSources.h"
#include "raster/BlendFunction.h"
#include "raster/CompositorNode.h"
#include "raster/PathEdges.h"
#include "raster/PlaneSource.h"
#include "raster/RasterDevice.h"
#include "runtime/Dictionary.h"

namespace content {

using raster::IntRect;
using raster::IntersectRects;
using raster::PipelineNode;
using runtime::Fixed;
using runtime::Matrix;
using runtime::ObjectHandle;
using runtime::ObjectTag;

namespace {

// The flags of a "Group" dictionary that counts as a transparency group.
struct GroupAttributes {
  bool transparency = false;
  bool isolated = false;
  bool knockout = false;
};

GroupAttributes ReadGroupAttributes(const ObjectHandle& group) {
  GroupAttributes attributes;
  if (group.Tag() != ObjectTag::kDictionary) return attributes;
  const ObjectHandle subtype = runtime::Dictionary::Get(group, "S").Resolved();
  attributes.transparency = subtype->Is(ObjectTag::kName) && subtype->AsName().View() == "Transparency";
  if (!attributes.transparency) return attributes;
  const ObjectHandle isolated = runtime::Dictionary::Get(group, "I").Resolved();
  const ObjectHandle knockout = runtime::Dictionary::Get(group, "K").Resolved();
  attributes.isolated = isolated->Is(ObjectTag::kBoolean) && isolated->AsBoolean();
  attributes.knockout = knockout->Is(ObjectTag::kBoolean) && knockout->AsBoolean();
  return attributes;
}

// Every shape byte of the plane over `area` that is not 0 becomes 255. A
// group's shape also carries the opacity and partial coverage its objects
// were painted with, which its alpha already holds; used as the coverage of
// the group's composite it would apply them a second time, so it only tells
// where the group painted at all.
void SolidifyShape(const raster::PixelPlane* plane, const IntRect& area) {
  if (plane == nullptr || plane->base == nullptr || plane->IsSharedConstant()) return;
  const IntRect cut = IntersectRects(area, plane->rect);
  if (cut.IsEmpty()) return;
  const runtime::PixelFormatDesc& f = plane->format;
  const int32_t channels = f.Count();
  for (int32_t y = cut.y0; y < cut.y1; ++y) {
    uint8_t* row = plane->base + (static_cast<int64_t>(y) - plane->rect.y0) * f.rowStep + f.firstOffset;
    for (int32_t x = cut.x0; x < cut.x1; ++x) {
      uint8_t* pixel = row + (static_cast<int64_t>(x) - plane->rect.x0) * f.columnStep;
      for (int32_t c = 0; c < channels; ++c) {
        uint8_t& byte = pixel[static_cast<int64_t>(c) * f.channelStep];
        if (byte != 0) byte = 255;
      }
    }
  }
}

// A box of the 16.16 range's edges stands for "no box".
bool IsUnboundedBox(const runtime::Rect& box) {
  return box.x0 <= -runtime::kFixedMax / 2 && box.x1 >= runtime::kFixedMax / 2;
}

}  // namespace

void Renderer::ClipToBox(const runtime::Rect& box) {
  if (IsUnboundedBox(box)) return;
  if (box.x0 >= box.x1 || box.y0 >= box.y1) {
    ClipPath({}, false, false);
    return;
  }
  auto* path = runtime::NewInArena<raster::StoredPath>(Arena(), Arena(), 6);
  path->MoveTo({box.x0, box.y0});
  path->LineTo({box.x1, box.y0});
  path->LineTo({box.x1, box.y1});
  path->LineTo({box.x0, box.y1});
  path->Close();
  ClipPath(path->Points(), false, true);
}

void Renderer::RunContent(ContentMachine& machine, const FormFrame* form) {
  // The clip, the colours and the layer come back when the content ends.
  SavedPaintState saved(*this, !inText_);
  if (form != nullptr) {
    // A box is any two opposite corners.
    FormFrame frame = *form;
    frame.box = {std::min(form->box.x0, form->box.x1), std::min(form->box.y0, form->box.y1),
                 std::max(form->box.x0, form->box.x1), std::max(form->box.y0, form->box.y1)};
    ClipToBox(frame.box);
    if (PaintGroup(machine, &frame)) return;
  }
  ContentStream::Run(machine, *this);
  FlushAndYield();
}

bool Renderer::PaintGroup(ContentMachine& machine, const FormFrame* form) {
  const GroupAttributes group = ReadGroupAttributes(form->group);
  if (!group.transparency) return false;
  // Painted straight into the layer below when nothing of the group's own
  // shows: full opacity, the Normal blend mode, no knockout, no soft mask.
  // In a knockout layer the group is one object, which its own parts must
  // not knock out, so it always gets a layer of its own.
  const Fixed alpha = std::clamp<Fixed>(State().fillAlpha, 0, runtime::kFixedOne);
  const uint8_t blendMode = State().blendMode;
  // An isolated group may name a colour space of its own to be composed
  // in; the content is converted into the page's space when the group is
  // composited back.
  color::ColorSpaceRef groupSpace = IsolatedGroupSpace(form->group, group.transparency && group.isolated);
  raster::ColorSpace* space = groupSpace ? static_cast<raster::ColorSpace*>(groupSpace.Get()) : Layer().Space();
  if (alpha >= runtime::kFixedOne && blendMode == 0 && !group.knockout && !Layer().Knockout() &&
      state_.softMask == nullptr && space == Layer().Space())
    return false;

  const IntRect area = IntersectRects(ClipBounds(), [&] {
    if (IsUnboundedBox(form->box) || !Matrix::CanTransformRect(CurrentTransform(), form->box)) return ClipBounds();
    const IntRect box = runtime::Rect::ToPixelBounds(Matrix::TransformRectBounds(form->box, CurrentTransform()));
    return IntRect{box.x0 - 1, box.y0 - 1, box.x1 + 1, box.y1 + 1};
  }());
  if (area.IsEmpty() || alpha <= 0) return true;

  raster::RasterDevice& parent = Layer();
  const raster::PixelRegion* parentRegion = state_.clipRegion;
  PipelineNode* parentClip = state_.clipNode;
  PipelineNode* parentPlainClip = state_.plainClip;
  PipelineNode* parentMask = state_.softMask;
  runtime::ArenaAllocator& arena = Arena();
  const int32_t n = space->ComponentCount();
  raster::RasterDevice* layer = raster::RasterDevice::CreateGroup(
      Owner(), arena, area, space, runtime::PixelLayout::ForPlanes(n, 2, 3, true), &parent, group.isolated);
  layer->SetKnockout(group.knockout);
  {
    // The group's content paints at full opacity in the Normal mode: its
    // opacity and blend mode apply once, when the group is composited.
    StateCopy copy(*this);
    State().fillAlpha = runtime::kFixedOne;
    State().strokeAlpha = runtime::kFixedOne;
    State().blendMode = 0;
    paint_.layer = layer;
    // The clip and the soft mask apply when the group is composited back.
    state_.clipRegion = raster::PixelRegion::FromRect(arena, area);
    state_.clipNode = state_.plainClip = state_.softMask = nullptr;
    ContentStream::Run(machine, *this);
  }
  paint_.layer = &parent;
  state_.clipRegion = parentRegion;
  state_.clipNode = parentClip;
  state_.plainClip = parentPlainClip;
  state_.softMask = parentMask;
  const raster::PixelRegion* region = raster::PixelRegion::FromRect(arena, area);
  PipelineNode* source =
      raster::InsertColorConversion(Owner(), arena, layer->MakeBlendBackdrop(*region), area, space, parent.Space());
  if (alpha < runtime::kFixedOne)
    source = raster::PipelineStage::Create(arena, parent.Scratch(*region), raster::ShapeSource::FromFixed(arena, alpha),
                                           source);
  // Only what the group painted is composited: where its shape is 0 the
  // layer below stays as it is, whatever the blend mode.
  SolidifyShape(layer->Target().shape, area);
  PipelineNode* coverage =
      raster::PlaneSource::Create(arena, {layer->Target().shape, layer->Target().shape, nullptr});
  parent.PaintSource(*region, parentRegion, parentClip, coverage, source, raster::BlendFunction::Create(arena, blendMode));
  AccumulatePaintedRect(area);
  FlushAndYield();
  return true;
}

color::ColorSpaceRef Renderer::IsolatedGroupSpace(const ObjectHandle& dictionary, bool isolated) {
  if (!isolated || dictionary.Tag() != ObjectTag::kDictionary) return {};
  const ObjectHandle cs = runtime::Dictionary::Get(dictionary, "CS");
  if (cs.IsNull()) return {};
  color::ColorSpaceRef space;
  // A space that cannot be read, or one the device cannot hold (a pattern,
  // more than four colourants), leaves the group in the page's space.
  runtime::ErrorTrap trap(Owner());
  if (!trap.Run([&] {
        const ObjectHandle none;
        space = color::ColorSpace::FromObject(*paint_.colors, cs, State().resources != nullptr ? *State().resources : none);
      })) {
    trap.SetHandled();
    if (!trap.HoldsRecord() || runtime::IsCancelOrNoDataError(trap.Held())) trap.Rethrow();
    trap.Close();
    return {};
  }
  if (!space) return {};
  const int32_t n = space->ComponentCount();
  if (n != 1 && n != 3 && n != 4) return {};
  color::ColorSpace* layerSpace = color::ColorSpace::FromRaster(*Layer().Space());
  if (layerSpace == nullptr || space->Equals(*layerSpace) || layerSpace->Equals(*space)) return {};
  return space;
}

void Renderer::PaintFormObject(const ObjectHandle& form, const Matrix& matrix, const runtime::Rect& box) {
  if (Page().document == nullptr) return;
  PlayConfined([&] {
    const ObjectHandle value = form.Resolved();
    if (value.Tag() != ObjectTag::kDictionary) return;
    FormCache::Ref cached;
    ContentMachine* machine = nullptr;
    if (Page().forms != nullptr) {
      machine = &ContentStream::ForForm(cached, *Page().forms, *Page().document, value, State().resources);
    } else {
      machine = ContentOwner::NewMachine(*Page().document, value, State().resources);
      if (machine == nullptr) runtime::ThrowRuntime(runtime::kOutOfMemory);
    }
    MachineHolder holder(Owner(), Page().forms != nullptr ? nullptr : machine);
    FormFrame frame;
    frame.group = runtime::Dictionary::Get(value, "Group");
    frame.box = box;
    PlayNestedSaved(*machine, &machine->Resources(), &matrix, &frame);
  });
}

}  // namespace content
