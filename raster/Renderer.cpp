#include "raster/Renderer.h"

#include "raster/ConstantSources.h"

namespace raster {
namespace {

bool ModeFills(uint8_t mode) { return mode == 0 || mode == 2 || mode == 4 || mode == 6; }
bool ModeStrokes(uint8_t mode) { return mode == 1 || mode == 2 || mode == 5 || mode == 6; }
bool ModeClips(uint8_t mode) { return mode >= 4 && mode <= 7; }

}  // namespace

Renderer::Renderer(runtime::LibraryContext* context, runtime::ArenaAllocator& arena, RasterDevice& device)
    : context_(context),
      arena_(arena),
      device_(device),
      clipRegion_(PixelRegion::FromRect(arena, device.Bounds())) {}

IntRect Renderer::PaintArea() const { return IntersectRects(device_.Bounds(), clipRegion_->Bounds()); }

int Renderer::BeginTextShow(bool& skip, const Rect& bounds, const runtime::FontBase& font, uint8_t renderMode) {
  skip = false;
  if (font.DrawsNothing()) return 0;
  if (bounds.x0 == runtime::kFixedMax) return 1;
  if (bounds.x0 == runtime::kFixedMin) {
    skip = true;
    return 1;
  }
  // Strokes reach past the glyph boxes: stroking modes test one pixel more.
  const Fixed grow = ((renderMode + 1) >> 1) & 1 ? runtime::kFixedOne : 0;
  const IntRect pixels = Rect::ToPixelBounds(Rect::InsetSaturated(bounds, -grow, -grow));
  const IntRect visible = IntersectRects(pixels, PaintArea());
  return visible.IsEmpty() ? 0 : 1;
}

void Renderer::PaintCoverage(PipelineNode* coverage, PipelineNode* source) {
  const IntRect area = IntersectRects(PaintArea(), coverage->bounds);
  if (area.IsEmpty() || source == nullptr) return;
  const PixelRegion* region = PixelRegion::FromRect(arena_, area);
  device_.PaintSource(*region, clipRegion_, clipNode_, coverage, source, nullptr);
}

void Renderer::AddTextToClip(const GlyphRun& run) {
  if (run.Font().TracksTextEnd() && !run.Records().empty()) textEnd = run.Records().back().end;
  if (!ModeClips(run.Text().renderMode)) return;
  if (textClip_ == nullptr) textClip_ = runtime::NewInArena<TextClipAccumulator>(arena_, arena_);
  textClip_->Add(run);
}

void Renderer::ShowGlyphs(const GlyphRun& run) {
  const uint8_t mode = run.Text().renderMode;
  // The clip gets the glyphs whether or not they are visible: a clipping
  // text object whose glyphs all lie off the page still clips everything
  // after it away.
  if (!run.Font().DrawnByDevice()) AddTextToClip(run);
  bool skip = false;
  if (BeginTextShow(skip, run.BoundingBox(), run.Font(), mode) == 0) return;
  const IntRect area = PaintArea();
  if (area.IsEmpty() || run.Records().empty()) return;
  if (ModeFills(mode)) {
    PipelineNode* coverage = GlyphSource::Create(context_, arena_, area, glyphDrawing, run.Font(), run.GlyphMatrix(),
                                                 run.Records(), glyphSizeLimit, false, &run);
    PaintCoverage(coverage, fill_);
  }
  if (ModeStrokes(mode) && strokeText != nullptr) {
    strokeText(strokeUser, *this, GlyphSource::Outlines(arena_, run.Font(), run.GlyphMatrix(), run.Records()));
  }
}

void Renderer::EndText() {
  if (textClip_ == nullptr) return;
  const TextClip::Result clip =
      TextClip::BuildMask(context_, arena_, device_.Bounds(), *textClip_, glyphSizeLimit, *clipRegion_, clipNode_);
  clipRegion_ = clip.region;
  clipNode_ = clip.node;
  textClip_ = nullptr;
}

}  // namespace raster
