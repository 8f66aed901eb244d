#include "raster/HostTransfer.h"

#include <algorithm>

#include "raster/ConstantSources.h"
#include "raster/RegionWriter.h"
#include "runtime/CleanupNode.h"

namespace raster {

namespace {

// Ends the bitmap access when the transfer returns or an error passes.
struct AccessGuard {
  runtime::CleanupNode node;  // first: the cleanup finds the guard from it
  runtime::HostBitmap* bitmap;

  AccessGuard(runtime::LibraryContext* context, runtime::HostBitmap* target) : bitmap(target) {
    node.Register(context, &Cleanup);
  }
  ~AccessGuard() {
    Finish();
    node.Unlink();
  }
  void Finish() {
    if (bitmap != nullptr) bitmap->End();
    bitmap = nullptr;
  }
  static void Cleanup(runtime::CleanupNode* raw) {
    auto* self = reinterpret_cast<AccessGuard*>(raw);
    self->Finish();
    raw->Unlink();
  }
};

void Transfer(runtime::HostBitmap& target, runtime::ArenaAllocator& arena, const runtime::Region& region,
              int32_t offsetX, int32_t offsetY, PipelineNode* node, uintptr_t argument, bool exclusiveOr) {
  const runtime::HostPixelLayout* layout = target.Begin(argument);
  AccessGuard guard(arena.Context(), &target);
  if (layout == nullptr || layout->firstRow == nullptr) return;
  RegionWrite write;
  write.region = &region;
  write.offsetX = offsetX;
  write.offsetY = offsetY;
  write.source = node;
  write.clip = {0, 0, layout->width, layout->height};
  write.firstRow = layout->firstRow;
  write.rowStride = layout->rowStride;
  switch (layout->kind) {
    case runtime::kHostRgb565:
      exclusiveOr ? RegionWriter565::WriteXor(arena, write) : RegionWriter565::Write(arena, write);
      break;
    case runtime::kHostRgb565Swapped:
      exclusiveOr ? RegionWriter565::WriteXorSwapped(arena, write) : RegionWriter565::WriteSwapped(arena, write);
      break;
    case runtime::kHostBgr24:
    case runtime::kHostBgrx32:
    case runtime::kHostXrgb32:
      if (exclusiveOr) {
        RegionRowWriter::WriteXor(arena, layout->kind, write);
      } else if (layout->kind == runtime::kHostBgr24) {
        RegionRowWriter::Write24(arena, write);
      } else if (layout->kind == runtime::kHostBgrx32) {
        RegionRowWriter::Write32BGRX(arena, write);
      } else {
        RegionRowWriter::Write32XRGB(arena, write);
      }
      break;
    default:
      break;  // a layout no writer knows: nothing is written
  }
}

}  // namespace

void HostTransfer::PaintNode(runtime::HostBitmap& target, runtime::ArenaAllocator& arena, const runtime::Region& region,
                             int32_t offsetX, int32_t offsetY, PipelineNode* node, uintptr_t argument) {
  Transfer(target, arena, region, offsetX, offsetY, node, argument, false);
}

void HostTransfer::PaintNodeXor(runtime::HostBitmap& target, runtime::ArenaAllocator& arena,
                                const runtime::Region& region, int32_t offsetX, int32_t offsetY,
                                PipelineNode* node, uintptr_t argument) {
  Transfer(target, arena, region, offsetX, offsetY, node, argument, true);
}

void HostTransfer::FillColour(runtime::HostBitmap& target, runtime::ArenaAllocator& arena, const runtime::Region& region,
                              const IntRect& rect, runtime::Fixed c1, runtime::Fixed c2, runtime::Fixed c3) {
  runtime::Region area(arena.Context());
  area.FromRect(rect);
  runtime::Region::Combine(area, area, region, runtime::RegionOp::kIntersection);
  PipelineNode* colour = SolidColorSource::FromRgbFixed(arena, c1, c2, c3);
  PaintNode(target, arena, area, 0, 0, colour);
}

void HostTransfer::FillWhite(runtime::HostBitmap& target, runtime::ArenaAllocator& arena, const IntRect& rect) {
  const runtime::HostPixelLayout* layout = target.Begin(0);
  const IntRect whole = layout != nullptr ? IntRect{0, 0, layout->width, layout->height} : IntRect{};
  target.End();
  runtime::Region region(arena.Context());
  region.FromRect(whole);
  FillColour(target, arena, region, rect, runtime::kFixedOne, runtime::kFixedOne, runtime::kFixedOne);
}

}  // namespace raster
