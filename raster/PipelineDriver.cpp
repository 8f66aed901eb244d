#include "raster/PipelineDriver.h"

#include <algorithm>
#include <cstring>

#include "runtime/ArenaScope.h"

namespace raster {
namespace {

class NullWriter final : public SpanWriter {
 public:
  void WriteSpan(int32_t, int32_t) override {}
};

// Plane by plane, channel by channel; an absent source plane reads opaque.
class CopyPlanesWriter final : public SpanWriter {
 public:
  CopyPlanesWriter(const PixelTriple& target, const PixelTriple& source) {
    for (int k = 0; k < 3; ++k) {
      PixelPlane* out = target.Plane(k);
      target_[k] = out != nullptr && !out->IsSharedConstant() ? out : nullptr;
      source_[k] = source.Plane(k) != nullptr ? source.Plane(k) : PixelPlane::Opaque();
    }
  }
  void WriteSpan(int32_t x0, int32_t x1) override {
    const int32_t n = x1 - x0;
    for (int k = 0; k < 3; ++k) {
      SpanCursor d = CursorAt(target_[k], x0);
      if (d.count == 0) continue;
      SpanCursor s = CursorAt(source_[k], x0);
      // The common layouts first: this writer ends most composites.
      if (d.count == 1) {
        uint8_t* out = d.Channel(0);
        const uint8_t* in = s.Channel(0);
        if (s.columnStep == 0 && d.columnStep == 1) {
          std::memset(out, *in, static_cast<size_t>(n));
        } else if (s.columnStep == 1 && d.columnStep == 1) {
          std::memcpy(out, in, static_cast<size_t>(n));
        } else {
          for (int32_t i = 0; i < n; ++i) out[static_cast<ptrdiff_t>(i) * d.columnStep] = in[static_cast<ptrdiff_t>(i) * s.columnStep];
        }
        continue;
      }
      if (d.count == 3 && s.count >= 3) {
        uint8_t* out = d.Channel(0);
        const uint8_t* in = s.Channel(0);
        const ptrdiff_t dc = d.channelStep, sc = s.channelStep;
        for (int32_t i = 0; i < n; ++i, out += d.columnStep, in += s.columnStep) {
          out[0] = in[0];
          out[dc] = in[sc];
          out[2 * dc] = in[2 * sc];
        }
        continue;
      }
      for (int32_t i = n; i > 0; --i, d.Next(), s.Next())
        for (int32_t c = 0; c < d.count; ++c) *d.Channel(c) = *s.Channel(c);
    }
  }

 private:
  PixelPlane* target_[3];
  PixelPlane* source_[3];
};

// One constant colour, byte 3 opaque, into 4-byte pixels.
class FillOpaqueBgrWriter final : public SpanWriter {
 public:
  FillOpaqueBgrWriter(const PixelTriple& target, const PixelTriple& source) : target_(target.alpha) {
    const uint8_t* colour = CursorAt(source.colour, 0).pixel;
    for (size_t i = 0; i < kBlockPixels; ++i) {
      block_[4 * i] = colour[0];
      block_[4 * i + 1] = colour[1];
      block_[4 * i + 2] = colour[2];
      block_[4 * i + 3] = 255;
    }
  }
  void WriteSpan(int32_t x0, int32_t x1) override {
    // A block of pixels at a time, the row filled like memset.
    uint8_t* out = CursorAt(target_, x0).pixel;
    size_t bytes = static_cast<size_t>(x1 - x0) * 4;
    for (; bytes >= sizeof block_; bytes -= sizeof block_, out += sizeof block_) {
      std::memcpy(out, block_, sizeof block_);
    }
    std::memcpy(out, block_, bytes);
  }

 private:
  static constexpr size_t kBlockPixels = 16;
  PixelPlane* target_;
  uint8_t block_[4 * kBlockPixels];
};

// 4-byte pixels copied as they are.
class CopyBgraWriter final : public SpanWriter {
 public:
  CopyBgraWriter(const PixelTriple& target, const PixelTriple& source)
      : target_(target.alpha), source_(source.alpha) {}
  void WriteSpan(int32_t x0, int32_t x1) override {
    std::copy_n(CursorAt(source_, x0).pixel, size_t(x1 - x0) * 4, CursorAt(target_, x0).pixel);
  }

 private:
  PixelPlane* target_;
  PixelPlane* source_;
};

}  // namespace

SpanWriter* SpanWriter::Select(runtime::ArenaAllocator& arena, const PixelTriple& target,
                               const PixelTriple& source) {
  if (PixelTriple::SameBuffers(target, source)) return runtime::NewInArena<NullWriter>(arena);
  if (target.IsInterleavedBgraNoShape() && !target.alpha->IsSharedConstant()) {
    if (source.IsOpaqueConstBgr()) return runtime::NewInArena<FillOpaqueBgrWriter>(arena, target, source);
    if (source.IsInterleavedBgra()) return runtime::NewInArena<CopyBgraWriter>(arena, target, source);
  }
  return runtime::NewInArena<CopyPlanesWriter>(arena, target, source);
}

PipelineWriter::PipelineWriter(runtime::ArenaAllocator& arena, const PixelTriple& target, PipelineNode* node,
                               RowCollector& collector)
    : target_(PixelTriple::CopyOf(arena, target)), node_(node), writers_(arena, node->variantCount) {
  collector.AddPlanes(target_);
  if (node->collector == nullptr) {
    node->collector = &collector;
    node->CollectRowClients(collector);
  }
  for (uint32_t v = 0; v < node->variantCount; ++v)
    writers_.PushBack(SpanWriter::Select(arena, target_, node->variants[v]));
}

RowDriver* RowDriver::Create(runtime::ArenaAllocator& arena, PipelineNode* node, const PixelTriple& target) {
  return runtime::NewInArena<RowDriver>(arena, arena, node, target, target.IsInterleavedBgraNoShape());
}

RowDriver::RowDriver(runtime::ArenaAllocator& arena, PipelineNode* node, const PixelTriple& target,
                     bool interleaved)
    : node_(node), collector_(arena), writer_(arena, target, node, collector_), interleaved_(interleaved) {}

void RowDriver::Run(const PixelRegion& region) {
  const IntRect& bounds = region.Bounds();
  if (region.IsEmpty()) return;
  collector_.BeginRow(bounds.y0);
  for (int32_t y = bounds.y0; y < bounds.y1; ++y) {
    if (y != bounds.y0) collector_.NextRow();
    const std::span<const int32_t> edges = region.RowEdges(y);
    for (size_t i = 0; i + 1 < edges.size(); i += 2) {
      for (int32_t x = edges[i], end = edges[i + 1]; x < end;) {
        const int32_t reached = node_->RunSpan(x, end);
        // A node that makes no progress ends the interval rather than hang.
        if (reached <= x) break;
        writer_.Write(x, std::min(reached, end));
        x = reached;
      }
    }
  }
  PipelineNode::Release(node_, collector_);
}

void PipelineDriver::PaintRegion(runtime::ArenaAllocator& arena, const PixelRegion& region,
                                 const PixelTriple& target, const PixelRegion* clip, PipelineNode* node) {
  // What the paint sets up is rolled back with it; the nodes were made before.
  runtime::ArenaScope scope(arena);
  // Nothing is written outside the target's own planes.
  IntRect limit = kUnboundedPixels;
  for (int k = 0; k < 3; ++k) {
    const PixelPlane* plane = target.Plane(k);
    if (plane != nullptr && !plane->IsSharedConstant()) limit = IntersectRects(limit, plane->rect);
  }
  const PixelRegion* area = &region;
  if (clip != nullptr) area = PixelRegion::Combine(arena, RegionCombine::kIntersection, *area, *clip);
  if (!ContainsRect(limit, area->Bounds()))
    area = PixelRegion::Combine(arena, RegionCombine::kIntersection, *area, *PixelRegion::FromRect(arena, limit));
  RowDriver::Create(arena, node, target)->Run(*area);
}

}  // namespace raster
