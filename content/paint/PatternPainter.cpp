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
#include "runtime/ArenaVector.h"
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

// Draws the cells of one tiling pattern. The cells are gathered and, when
// the drawing finishes, played by painters of their own twice into a
// device over the cell target's pixels: once over black and once over
// white. Where the two agree the cells are opaque, where they differ by
// all of the range they left the backdrop showing; the coverage and colour
// so recovered go into the target's planes. One device lives at a time,
// in a scope of the painter's arena.
struct CellPlayer {
  Renderer* renderer;
  const TilingPattern* pattern;
  // An uncoloured pattern's cells are drawn for their shape, in gray, and
  // take this colour (the current one, in the layer's space) in the tile.
  bool uncoloured = false;
  uint8_t colour[4] = {};
  const ActivePattern* chain;
  uintptr_t identity;
  runtime::ArenaVector<runtime::Matrix>* cells;
  color::ColorSpaceRef gray;

  static void Draw(void* user, const raster::TilingCellTarget& target) {
    auto* player = static_cast<CellPlayer*>(user);
    if (target.finish) {
      player->Finish(target);
    } else {
      player->cells->PushBack(target.matrix);
    }
  }

  void Finish(const raster::TilingCellTarget& target) {
    if (cells->Size() == 0) return;
    Renderer& parent = *renderer;
    runtime::ArenaAllocator& arena = parent.Arena();
    if (uncoloured && !gray) gray = parent.Colors().DeviceGray();
    raster::ColorSpace* space = uncoloured ? static_cast<raster::ColorSpace*>(gray.Get()) : parent.Layer().Space();
    const int32_t n = space->ComponentCount();
    for (int pass = 0; pass < 2; ++pass) {
      runtime::ArenaScope scope(arena);
      auto* backdrop = runtime::NewInArena<FlatBackdrop>(arena, arena, n, pass == 0 ? 0 : runtime::kFixedOne);
      raster::RasterDevice* device = raster::RasterDevice::CreateGroup(
          parent.Owner(), arena, target.clip, space, runtime::PixelLayout::ForPlanes(n, 0, 3, true), backdrop, true);
      for (uint32_t i = 0; i < cells->Size(); ++i) Play(*device, target.clip, (*cells)[i]);
      if (pass == 0) {
        KeepOverBlack(*device, target);
      } else {
        Combine(*device, target, n);
      }
    }
  }

  void Play(raster::RasterDevice& device, const IntRect& clip, const runtime::Matrix& matrix) {
    Renderer& parent = *renderer;
    pdf::Document* document = parent.Page().document;
    if (document == nullptr) return;
    PaintContext cell = parent.Paint();
    cell.layer = &device;
    cell.region = raster::PixelRegion::FromRect(parent.Arena(), clip);
    cell.clipNode = nullptr;
    cell.page.matrix = matrix;
    cell.page.clip = runtime::kUnboundedRectSymmetric;
    ActivePattern active(&cell, identity, chain);
    ContentMachine* machine = ContentOwner::NewMachine(*document, pattern->stream, parent.State().resources);
    if (machine == nullptr) runtime::ThrowRuntime(runtime::kOutOfMemory);
    MachineHolder holder(parent.Owner(), machine);
    Renderer painter(cell, parent.Mode(), &machine->Resources(), nullptr);
    // Clipped to the cell's box.
    FormFrame frame;
    frame.box = pattern->bbox;
    painter.RunContent(*machine, &frame);
  }

  // Calls `body(x, drawn, kept)` for every pixel of the clip, rows placed.
  template <class Body>
  static void ForEachPixel(const raster::PixelTriple& drawn, const raster::TilingCellTarget& target, Body&& body) {
    const IntRect& r = target.clip;
    for (int32_t y = r.y0; y < r.y1; ++y) {
      for (raster::PixelPlane* plane : {drawn.colour, target.planes.alpha, target.planes.colour}) {
        if (plane != nullptr) plane->SetRow(y);
      }
      for (int32_t x = r.x0; x < r.x1; ++x) {
        body(raster::CursorAt(drawn.colour, x), raster::CursorAt(target.planes.alpha, x),
             raster::CursorAt(target.planes.colour, x));
      }
    }
  }

  // The drawing over black, kept in the target's colour plane until the
  // drawing over white arrives.
  static void KeepOverBlack(raster::RasterDevice& device, const raster::TilingCellTarget& target) {
    const int32_t n = std::min(device.Space()->ComponentCount(), target.components);
    ForEachPixel(device.Target(), target, [&](raster::SpanCursor in, raster::SpanCursor, raster::SpanCursor out) {
      for (int32_t c = 0; c < n; ++c) *out.Channel(c) = *in.Channel(c);
    });
  }

  // Over black a pixel shows a x c, over white a x c + (1 - a): a from
  // their difference, a x c as it stands.
  void Combine(raster::RasterDevice& device, const raster::TilingCellTarget& target, int32_t drawn) const {
    const int32_t n = std::clamp(std::min(drawn, target.components), 1, 4);
    ForEachPixel(device.Target(), target, [&](raster::SpanCursor overWhite, raster::SpanCursor alphaOut,
                                              raster::SpanCursor out) {
      int32_t overBlack[4] = {};
      int32_t alpha = 0;
      for (int32_t c = 0; c < n; ++c) {
        overBlack[c] = *out.Channel(c);
        alpha = std::max(alpha, 255 - (int32_t{*overWhite.Channel(c)} - overBlack[c]));
      }
      alpha = std::clamp(alpha, 0, 255);
      *alphaOut.Channel(0) = static_cast<uint8_t>(alpha);
      for (int32_t c = 0; c < target.components; ++c) {
        // The tile's colour is premultiplied by its coverage, as the
        // compositor and the sampler's interpolation take it: over black
        // the drawing already is, an uncoloured pattern's colour is scaled.
        int32_t value = 0;
        if (uncoloured) {
          value = (colour[std::min(c, 3)] * alpha + 127) / 255;
        } else if (c < n) {
          value = overBlack[c];
        }
        *out.Channel(c) = static_cast<uint8_t>(value);
      }
    });
  }
};

PipelineNode* TilingSource(Renderer& renderer, bool stroke, const TilingPattern& pattern, const IntRect& area) {
  const ActivePattern* chain = ActivePattern::Find(&renderer.Paint());
  const uintptr_t identity = pdf::Annot::Identity(pattern.stream);
  for (const ActivePattern* node = chain; node != nullptr; node = node->outer) {
    if (node->identity == identity) return nullptr;
  }
  if (chain != nullptr && chain->depth >= PatternPainter::kMaxPatternNesting) return nullptr;
  auto* cells = runtime::NewInArena<runtime::ArenaVector<runtime::Matrix>>(renderer.Arena(), renderer.Arena(), 4);
  CellPlayer player{&renderer, &pattern, pattern.uncoloured, {}, chain, identity, cells, color::ColorSpaceRef()};
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
    // Pattern space is relative to the painter's base transform: the
    // page's default space, for forms on the page too (as mutool and
    // Ghostscript place them), or a pattern cell's own space.
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
