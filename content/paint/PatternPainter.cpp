#include "content/PatternPainter.h"

#include <algorithm>

#include "color/ColorContext.h"
#include "color/ColorSpace.h"
#include "color/Shading.h"
#include "content/ContentOwner.h"
#include "content/ContentStream.h"
#include "content/Pattern.h"
#include "content/Renderer.h"
#include "pdf/Annotation.h"
#include "raster/CompositorNode.h"
#include "raster/ConstantSources.h"
#include "raster/RasterDevice.h"
#include "raster/TilingPatternSource.h"
#include "runtime/ArenaScope.h"
#include "runtime/ErrorTrap.h"

namespace content {
namespace {

using raster::IntRect;
using raster::PipelineNode;

// The patterns whose cells are being drawn, each with the paint context of
// the painter that draws the cell: a painter finds its chain by its paint
// context. The nodes live on the stack of the cell drawing and unlink
// themselves however it ends; drawings of several cooperative threads may
// interleave, so a node is found by search, not by position.
struct ActivePattern {
  ActivePattern(const PaintContext* paint, uintptr_t identity, const ActivePattern* outer)
      : paint(paint), identity(identity), outer(outer), depth(outer != nullptr ? outer->depth + 1 : 1) {
    next = head;
    if (head != nullptr) head->previous = this;
    head = this;
  }
  ~ActivePattern() {
    if (previous != nullptr) previous->next = next;
    if (next != nullptr) next->previous = previous;
    if (head == this) head = next;
  }
  ActivePattern(const ActivePattern&) = delete;
  ActivePattern& operator=(const ActivePattern&) = delete;

  static const ActivePattern* Find(const PaintContext* paint) {
    for (const ActivePattern* node = head; node != nullptr; node = node->next) {
      if (node->paint == paint) return node;
    }
    return nullptr;
  }

  const PaintContext* paint;
  uintptr_t identity;
  const ActivePattern* outer;
  uint32_t depth;
  ActivePattern* previous = nullptr;
  ActivePattern* next = nullptr;
  static inline ActivePattern* head = nullptr;
};

// The current colour of `renderer` in its layer's space, through the
// resolved space (a Pattern space's underlying one); false without one.
bool PlainColour(Renderer& renderer, bool stroke, runtime::Fixed (&out)[4]) {
  std::fill(out, out + 4, 0);
  color::ColorSpace* space = renderer.ColorSpaceOf(stroke);
  color::ColorSpace* target = color::ColorSpace::FromRaster(*renderer.Layer().Space());
  if (space == nullptr || target == nullptr) return false;
  color::ColorConverterPtr converter = space->MakeConverterFixed(*target, renderer.State().renderingIntent, 2, false);
  if (!converter) runtime::ThrowRuntime(runtime::kOutOfMemory);
  const ColorRecord& colour = renderer.State().Color(stroke);
  runtime::Fixed in[ColorRecord::kMaxComponents] = {};
  std::copy(colour.components, colour.components + ColorRecord::kMaxComponents, in);
  converter->ConvertPixel(out, 1, in, 1);
  return true;
}

PipelineNode* SolidSource(Renderer& renderer, const runtime::Fixed (&colour)[4]) {
  const int32_t n = std::clamp(renderer.Layer().Space()->ComponentCount(), 1, 4);
  return raster::SolidColorSource::FromFixed(renderer.Arena(), {colour, static_cast<size_t>(n)});
}

// A backdrop of one flat colour: every component at `value`.
class FlatBackdrop final : public raster::BackdropProvider {
 public:
  FlatBackdrop(runtime::ArenaAllocator& arena, int32_t components, runtime::Fixed value)
      : arena_(arena), count_(static_cast<size_t>(std::clamp(components, 1, 4))) {
    std::fill(values_, values_ + 4, value);
  }
  PipelineNode* MakeBackdrop(const raster::PixelRegion&, raster::ColorSpace*, bool) override {
    return raster::SolidColorSource::FromFixed(arena_, {values_, count_});
  }
  PipelineNode* MakePipeline(const raster::PixelRegion&, raster::ColorSpace*) override {
    return raster::SolidColorSource::FromFixed(arena_, {values_, count_});
  }

 private:
  runtime::ArenaAllocator& arena_;
  size_t count_;
  runtime::Fixed values_[4];
};

// Draws cells of one tiling pattern. Each cell is played, by a painter of
// its own, into two devices over the cell target's pixels, one over black
// and one over white: where the two agree the cell is opaque, where they
// differ by all of the range it left the backdrop showing. The coverage
// and colour so recovered go into the target's planes when the drawing
// finishes.
struct CellPlayer {
  Renderer* renderer;
  const TilingPattern* pattern;
  // An uncoloured pattern's cells are drawn for their shape, in gray, and
  // take this colour (the current one, in the layer's space) in the tile.
  bool uncoloured = false;
  uint8_t colour[4] = {};
  const ActivePattern* chain;
  uintptr_t identity;
  raster::RasterDevice* devices[2] = {nullptr, nullptr};  // over black, over white
  color::ColorSpaceRef gray;

  static void Draw(void* user, const raster::TilingCellTarget& target) {
    auto* player = static_cast<CellPlayer*>(user);
    if (target.finish) {
      player->CopyOut(target);
    } else {
      for (int k = 0; k < 2; ++k) player->Play(target, k);
    }
  }

  void Play(const raster::TilingCellTarget& target, int k) {
    Renderer& parent = *renderer;
    runtime::ArenaAllocator& arena = parent.Arena();
    if (uncoloured && !gray) gray = parent.Colors().DeviceGray();
    raster::ColorSpace* space = uncoloured ? static_cast<raster::ColorSpace*>(gray.Get()) : parent.Layer().Space();
    if (devices[k] == nullptr) {
      const int32_t n = space->ComponentCount();
      auto* backdrop = runtime::NewInArena<FlatBackdrop>(arena, arena, n, k == 0 ? 0 : runtime::kFixedOne);
      devices[k] = raster::RasterDevice::CreateGroup(parent.Owner(), arena, target.clip, space,
                                                     runtime::PixelLayout::ForPlanes(n, 2, 3, true), backdrop, true);
    }
    PaintContext cell = parent.Paint();
    cell.layer = devices[k];
    cell.region = raster::PixelRegion::FromRect(arena, target.clip);
    cell.clipNode = nullptr;
    cell.page.matrix = target.matrix;
    cell.page.clip = runtime::kUnboundedRectSymmetric;
    ActivePattern active(&cell, identity, chain);
    pdf::Document* document = parent.Page().document;
    if (document == nullptr) return;
    ContentMachine* machine = ContentOwner::NewMachine(*document, pattern->stream, parent.State().resources);
    if (machine == nullptr) runtime::ThrowRuntime(runtime::kOutOfMemory);
    MachineHolder holder(parent.Owner(), machine);
    Renderer painter(cell, parent.Mode(), &machine->Resources(), nullptr);
    // Clipped to the cell's box.
    FormFrame frame;
    frame.box = pattern->bbox;
    painter.RunContent(*machine, &frame);
  }

  // Coverage and colour from the two drawings into the target's planes:
  // over black a pixel shows a x c, over white a x c + (1 - a); an
  // uncoloured pattern takes its own colour.
  void CopyOut(const raster::TilingCellTarget& target) const {
    if (devices[0] == nullptr || devices[1] == nullptr) return;
    const raster::PixelTriple& black = devices[0]->Target();
    const raster::PixelTriple& white = devices[1]->Target();
    const int32_t drawn = std::clamp(devices[0]->Space()->ComponentCount(), 1, 4);
    const IntRect& r = target.clip;
    for (int32_t y = r.y0; y < r.y1; ++y) {
      for (raster::PixelPlane* plane : {black.colour, white.colour, target.planes.alpha, target.planes.colour}) {
        if (plane != nullptr) plane->SetRow(y);
      }
      for (int32_t x = r.x0; x < r.x1; ++x) {
        const raster::SpanCursor overBlack = raster::CursorAt(black.colour, x);
        const raster::SpanCursor overWhite = raster::CursorAt(white.colour, x);
        int32_t alpha = 0;
        for (int32_t c = 0; c < drawn; ++c) {
          alpha = std::max(alpha, 255 - (int32_t{*overWhite.Channel(c)} - *overBlack.Channel(c)));
        }
        alpha = std::clamp(alpha, 0, 255);
        *raster::CursorAt(target.planes.alpha, x).Channel(0) = static_cast<uint8_t>(alpha);
        const raster::SpanCursor out = raster::CursorAt(target.planes.colour, x);
        for (int32_t c = 0; c < target.components; ++c) {
          // Nothing where nothing was drawn: the compositor reads a
          // transparent pixel's colour too.
          int32_t value = 0;
          if (alpha == 0) {
            value = 0;
          } else if (uncoloured) {
            value = colour[std::min(c, 3)];
          } else {
            value = std::min(255, (int32_t{*overBlack.Channel(c)} * 255 + alpha / 2) / alpha);
          }
          *out.Channel(c) = static_cast<uint8_t>(value);
        }
      }
    }
  }
};

PipelineNode* TilingSource(Renderer& renderer, bool stroke, const TilingPattern& pattern, const IntRect& area) {
  const ActivePattern* chain = ActivePattern::Find(&renderer.Paint());
  const uintptr_t identity = pdf::Annot::Identity(pattern.stream);
  for (const ActivePattern* node = chain; node != nullptr; node = node->outer) {
    if (node->identity == identity) return nullptr;
  }
  if (chain != nullptr && chain->depth >= PatternPainter::kMaxPatternNesting) return nullptr;
  CellPlayer player{&renderer, &pattern, pattern.uncoloured, {}, chain, identity, {nullptr, nullptr}, color::ColorSpaceRef()};
  if (pattern.uncoloured) {
    runtime::Fixed colour[4];
    if (!PlainColour(renderer, stroke, colour)) return nullptr;
    for (int c = 0; c < 4; ++c) {
      player.colour[c] = static_cast<uint8_t>((int64_t{std::clamp<runtime::Fixed>(colour[c], 0, runtime::kFixedOne)} * 255 +
                                               runtime::kFixedHalf) >> 16);
    }
  }
  // Both kinds become a tile of alpha and colour.
  TilingPattern coloured = pattern;
  coloured.uncoloured = false;
  const int32_t n = renderer.Layer().Space()->ComponentCount();
  return raster::TilingPatternSource::Create(renderer.Owner(), renderer.Arena(), coloured, area, n, &CellPlayer::Draw,
                                             &player)
      .source;
}

PipelineNode* ShadingSource(Renderer& renderer, const PatternPaint& paint, const IntRect& area) {
  color::ShadingTarget target;
  target.context = renderer.Owner();
  target.arena = &renderer.Arena();
  target.colors = &renderer.Colors();
  target.space = color::ColorSpaceRef(color::ColorSpace::FromRaster(*renderer.Layer().Space()));
  target.intent = renderer.State().renderingIntent;
  const runtime::ObjectHandle none;
  const runtime::ObjectHandle& resources = renderer.State().resources != nullptr ? *renderer.State().resources : none;
  return color::Shading::Create(target, area, paint.matrix, 0, false, resources, paint.shading);
}

}  // namespace

PipelineNode* PatternPainter::Source(Renderer& renderer, bool stroke, const IntRect& area) {
  PipelineNode* source = nullptr;
  bool plain = false;
  // A pattern that cannot be read paints nothing; the error is reported
  // once the page has played on to its end.
  renderer.PlayConfined([&] {
    PatternRequest request;
    request.patternSpace = true;
    request.hasUnderlying = renderer.ColorSpaceOf(stroke) != nullptr;
    request.name = renderer.PatternName(stroke);
    request.hasPatternName = !request.name.empty();
    request.resources = renderer.State().resources;
    // Pattern space is the page's default space, not the current one.
    request.base = renderer.Paint().page.matrix;
    const PatternPaint paint = Pattern::SetupPaint(request);
    switch (paint.kind) {
      case PatternPaint::Kind::kPlain: {
        plain = true;
        runtime::Fixed colour[4];
        if (PlainColour(renderer, stroke, colour)) source = SolidSource(renderer, colour);
        return;
      }
      case PatternPaint::Kind::kTiling:
        source = TilingSource(renderer, stroke, paint.tiling, area);
        return;
      case PatternPaint::Kind::kShading:
        source = ShadingSource(renderer, paint, area);
        return;
    }
  });
  // A pattern that yields no paint (a broken one, one that would draw
  // itself, a shading that paints nothing) is told about.
  if (source == nullptr && !plain) renderer.Notify(0, 3, 3);
  return source;
}

}  // namespace content
