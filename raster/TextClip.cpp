#include "raster/TextClip.h"

#include <algorithm>

#include "raster/CompositorNode.h"
#include "raster/GlyphSource.h"
#include "raster/PipelineDriver.h"
#include "raster/PlaneSource.h"

namespace raster {

void TextClipAccumulator::Add(const GlyphRun& run) {
  const std::span<const GlyphRecord> records = run.Records();
  auto* copy = static_cast<GlyphRecord*>(arena_.Alloc(std::max<size_t>(records.size(), 1) * sizeof(GlyphRecord)));
  std::copy(records.begin(), records.end(), copy);
  entries_.PushBack({copy, static_cast<uint32_t>(records.size()), run.GlyphMatrix(), &run.Font()});
}

TextClip::Result TextClip::BuildMask(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                                     const IntRect& deviceBounds, const TextClipAccumulator& accumulator,
                                     int32_t sizeLimit, const PixelRegion& clipRegion, PipelineNode* clipNode) {
  const IntRect limit = IntersectRects(deviceBounds, clipRegion.Bounds());
  // Each entry's coverage, and where all of them reach.
  const std::span<const TextClipEntry> entries = accumulator.Entries();
  auto* coverages = static_cast<PipelineNode**>(arena.Alloc(std::max<size_t>(entries.size(), 1) * sizeof(void*)));
  IntRect reach{0, 0, 0, 0};
  for (size_t i = 0; i < entries.size(); ++i) {
    const TextClipEntry& entry = entries[i];
    coverages[i] = entry.count == 0 || limit.IsEmpty()
                       ? nullptr
                       : GlyphSource::Create(context, arena, limit, GlyphDrawing::kGlyphs, *entry.font,
                                             entry.glyphMatrix, entry.Records(), sizeLimit);
    if (coverages[i] != nullptr) reach = UnionRects(reach, IntersectRects(coverages[i]->bounds, limit));
  }
  const IntRect area = CollapseEmpty(reach);

  PixelPlane* mask = PixelPlane::MakeMask(arena, area);
  PipelineNode* maskSource = PlaneSource::Create(arena, PixelTriple{mask, mask, nullptr});
  // The mask holds bytes over `area` only: a reader cut to the node's
  // bounds never reads past them.
  maskSource->bounds = area;
  Result result;
  result.node = maskSource;
  const PixelRegion* maskRegion = PixelRegion::FromRect(arena, area);
  result.region = PixelRegion::Combine(arena, RegionCombine::kIntersection, clipRegion, *maskRegion);
  if (area.IsEmpty()) return result;

  const PixelTriple target{mask, nullptr, nullptr};
  for (size_t i = 0; i < entries.size(); ++i) {
    if (coverages[i] == nullptr) continue;
    const IntRect part = IntersectRects(coverages[i]->bounds, area);
    if (part.IsEmpty()) continue;
    const PixelTriple scratch =
        PixelTriple::CreateCoverageScratch(context, arena, part);
    PipelineNode* united = PipelineStage::CreateUnion(arena, scratch, coverages[i], maskSource);
    PipelineDriver::PaintRegion(arena, *PixelRegion::FromRect(arena, part), target, nullptr, united);
  }
  if (clipNode != nullptr) {
    // The clip in force multiplies the text's mask.
    const PixelTriple scratch =
        PixelTriple::CreateCoverageScratch(context, arena, area);
    PipelineNode* product = PipelineStage::Create(arena, scratch, clipNode, maskSource);
    PipelineDriver::PaintRegion(arena, *maskRegion, target, nullptr, product);
  }
  return result;
}

}  // namespace raster
