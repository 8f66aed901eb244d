// Images: image XObjects and inline images, drawn by the image routines
// through the painter's clip, fill alpha and blend mode.
#include "content/ImageDraw.h"
#include "content/InlineImage.h"
#include "content/Renderer.h"
#include "pdf/Document.h"
#include "raster/SmallImageCache.h"
#include "runtime/ArenaScope.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"

namespace content {

namespace {

// The painter's composite: through the clip in force with the fill alpha
// and the blend mode, counted in the painted area.
class PainterImageCompositor final : public ImageCompositor {
 public:
  explicit PainterImageCompositor(Renderer& renderer) : renderer_(renderer) {}
  void Composite(raster::PipelineNode* coverage, raster::PipelineNode* source, const runtime::IntRect& area) override {
    renderer_.PaintThroughClip(coverage, source, area, false);
  }

 private:
  Renderer& renderer_;
};

// The small-image cache key of the XObject `name` names: its indirect
// reference in the resources' "XObject" dictionary. False when it is not
// a reference (then the image is not cached).
bool XObjectCacheKey(const runtime::ObjectHandle* resources, std::string_view name, const pdf::Document* document,
                     raster::SmallImageKey& key) {
  if (resources == nullptr) return false;
  const runtime::ObjectHandle xobjects = runtime::Dictionary::Get(*resources, "XObject");
  if (xobjects.Tag() != runtime::ObjectTag::kDictionary) return false;
  const runtime::ObjectValue* value = runtime::Dictionary::FindByName(xobjects.Value(), name);
  if (value == nullptr || !value->Is(runtime::ObjectTag::kReference)) return false;
  const runtime::ObjectReference reference = value->AsReference();
  key = raster::SmallImageKey{reinterpret_cast<uintptr_t>(document), reference.number, reference.generation};
  return true;
}

}  // namespace

template <class Draw>
void Renderer::DrawImageConfined(bool imageMask, const Draw& draw) {
  const runtime::IntRect area = ClipBounds();
  if (area.IsEmpty()) return;
  runtime::ErrorTrap trap(Owner());
  const bool drawn = trap.Run([&] {
    runtime::ArenaScope scope(Arena());
    PainterImageCompositor compositor(*this);
    ImageDrawContext context;
    context.context = Owner();
    context.arena = &Arena();
    context.layer = &Layer();
    context.clipRegion = &ClipRegion();
    context.clipNode = ClipNode();
    context.ctm = CurrentTransform();
    context.compositor = &compositor;
    context.colors = &Colors();
    context.document = Page().document;
    if (State().resources != nullptr) context.resources = *State().resources;
    context.cache = Page().images;
    // An image mask paints the fill colour (or pattern) through it.
    if (imageMask) {
      context.fill = ColorSource(false, area);
      if (context.fill == nullptr) return;
    }
    draw(context);
  });
  if (drawn) return;
  // An image that cannot be drawn (a kind not decoded, broken data, beyond
  // the budget) is reported and the page goes on without it.
  trap.SetHandled();
  const runtime::ErrorRecord& error = trap.Held();
  const bool confinable = trap.HoldsRecord() && !runtime::IsCancelOrNoDataError(error) &&
                          (error.IsRuntime(error.code) || error.Is(runtime::kDataIoDomain, error.code)) &&
                          !error.IsRuntime(runtime::kStackExhausted);
  if (!confinable) trap.Rethrow();
  trap.Close();
  Notify(0, 1, 2);
}

void Renderer::DoXObject(std::string_view name) {
  if (OutsideActiveSegment()) return;
  const runtime::ObjectHandle object = FindNamedResource(State().resources, "XObject", name);
  if (object.Tag() != runtime::ObjectTag::kDictionary) return;
  const runtime::ObjectHandle subtype = runtime::Dictionary::Get(object, "Subtype");
  if (!subtype->Is(runtime::ObjectTag::kName) || !subtype->AsName().Equals("Image")) return;
  const runtime::ObjectHandle mask = runtime::Dictionary::Get(object, "ImageMask");
  const bool imageMask = mask->Is(runtime::ObjectTag::kBoolean) && mask->AsBoolean();
  raster::SmallImageKey key;
  bool keyed = false;
  DrawImageConfined(imageMask, [&](ImageDrawContext& context) {
    keyed = XObjectCacheKey(State().resources, name, Page().document, key);
    ImageDraw::DrawXObject(context, object, keyed ? &key : nullptr);
  });
  FlushAndYield();
}

void Renderer::PaintImage(const InlineImage& image, uint32_t) {
  if (OutsideActiveSegment()) return;
  DrawImageConfined(image.imageMask, [&](ImageDrawContext& context) { ImageDraw::DrawInline(context, image); });
  FlushAndYield();
}

}  // namespace content
