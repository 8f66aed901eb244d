#include "raster/PipelineNode.h"

#include <gtest/gtest.h>

#include <vector>

#include "raster/BlendMath.h"
#include "raster/CompositorNode.h"
#include "raster/PipelineDriver.h"
#include "raster/PlaneSource.h"
#include "runtime/ArenaAllocator.h"

namespace raster {
namespace {

// A source that switches variant every pixel (variant x mod n) and counts
// how often it is registered; variant v reads alpha and gray colour
// base + v.
class SwitchingSource final : public PipelineNode {
 public:
  SwitchingSource(runtime::ArenaAllocator& arena, uint32_t n, int base) : records_(arena, n) {
    for (uint32_t v = 0; v < n; ++v) {
      PixelPlane* plane = PixelPlane::MakeConstant(arena, uint8_t(base + int(v)));
      records_.PushBack({nullptr, plane, plane});
    }
    InitHeader(n, &records_[0], kUnboundedPixels, 0);
  }
  int32_t RunSpan(int32_t x, int32_t xEnd) override {
    currentVariant = uint32_t(x) % variantCount;
    return std::min(xEnd, x + 1);
  }
  void CollectRowClients(RowCollector&) override { ++collected; }
  void ReleaseRowClients(RowCollector&) override { ++released; }
  int collected = 0, released = 0;

 private:
  runtime::ArenaVector<PixelTriple> records_;
};

class PipelineNodeTest : public ::testing::Test {
 protected:
  runtime::LibraryContext context;
  runtime::ArenaAllocator arena{&context, 16384, 4096};

  PixelTriple Scratch(int32_t width) {
    return PixelTriple::CreateScratch(&context, arena, PixelLayout::ForPlanes(1, 0, 3, true), {0, 0, width, 1});
  }
  // {alpha, colour} of each pixel of one row that `node` produces.
  std::vector<std::pair<int, int>> Row(PipelineNode* node, int32_t width) {
    auto* buffer = runtime::NewInArena<runtime::PixelBuffer>(arena, &context, &arena, IntRect{0, 0, width, 1},
                                                             PixelLayout::ForPlanes(1, 0, 3, true), true);
    const PixelTriple target = PixelTriple::OfBuffer(arena, *buffer);
    PipelineDriver::PaintRegion(arena, *PixelRegion::FromRect(arena, {0, 0, width, 1}), target, nullptr, node);
    std::vector<std::pair<int, int>> row;
    for (int32_t x = 0; x < width; ++x)
      row.emplace_back(*CursorAt(target.alpha, x).Channel(0), *CursorAt(target.colour, x).Channel(0));
    return row;
  }
};

TEST_F(PipelineNodeTest, StageTableCoversEveryVariantCombination) {
  auto* first = runtime::NewInArena<SwitchingSource>(arena, arena, 3u, 10);
  auto* second = runtime::NewInArena<SwitchingSource>(arena, arena, 2u, 100);
  PipelineNode* node = CompositorNode::CreateNormal(arena, Scratch(6), first, second);
  EXPECT_EQ(node->variantCount, 6u);
  const auto row = Row(node, 6);
  for (int32_t x = 0; x < 6; ++x) {
    const int b = 10 + x % 3, s = 100 + x % 2;
    EXPECT_EQ(row[size_t(x)].first, Union255(b, s)) << x;
    EXPECT_EQ(row[size_t(x)].second, Div255(s * 255 + (255 - s) * b)) << x;
  }
}

TEST_F(PipelineNodeTest, SharedInputIsRegisteredAndReleasedOnce) {
  auto* shared = runtime::NewInArena<SwitchingSource>(arena, arena, 2u, 50);
  auto* other = runtime::NewInArena<SwitchingSource>(arena, arena, 1u, 70);
  PipelineNode* left = CompositorNode::CreateNormal(arena, Scratch(4), shared, other);
  PipelineNode* right = CompositorNode::CreateColourOver(arena, Scratch(4), other, shared);
  PipelineNode* root = CompositorNode::CreateShapeAlphaUnion(arena, Scratch(4), left, right);
  Row(root, 4);
  EXPECT_EQ(shared->collected, 1);
  EXPECT_EQ(shared->released, 1);
  EXPECT_EQ(other->collected, 1);
  EXPECT_EQ(shared->collector, nullptr);
  // A second paint registers it again.
  Row(root, 4);
  EXPECT_EQ(shared->collected, 2);
}

TEST_F(PipelineNodeTest, ConstantMasksNeedNoStage) {
  auto* source = runtime::NewInArena<SwitchingSource>(arena, arena, 2u, 60);
  PipelineNode* zeroMask = PlaneSource::Create(arena, {PixelPlane::Zero(), nullptr, nullptr});
  PipelineNode* opaqueMask = PlaneSource::Create(arena, {PixelPlane::Opaque(), nullptr, nullptr});
  struct Case {
    const char* name;
    PipelineNode* node;
    int alpha0, alpha1;  // of pixels 0 and 1
  } cases[] = {
      {"mask of zeros", PipelineStage::Create(arena, Scratch(2), zeroMask, source), 0, 0},
      {"opaque mask passes the source", PipelineStage::Create(arena, Scratch(2), opaqueMask, source), 60, 61},
      {"union with zeros passes the source", PipelineStage::CreateUnion(arena, Scratch(2), zeroMask, source), 60, 61},
      {"union with an opaque mask", PipelineStage::CreateUnion(arena, Scratch(2), opaqueMask, source), 255, 255},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    // No stage wrote the scratch: the outputs are the constant or the
    // source's own records.
    for (uint32_t v = 0; v < test.node->variantCount; ++v) {
      const PixelPlane* alpha = test.node->variants[v].alpha;
      EXPECT_TRUE(alpha->IsSharedConstant() || alpha == source->variants[v].alpha);
    }
    const auto row = Row(test.node, 2);
    EXPECT_EQ(row[0].first, test.alpha0);
    EXPECT_EQ(row[1].first, test.alpha1);
  }
}

TEST_F(PipelineNodeTest, InterpolationSkipsEmptyAndFullRuns) {
  // Coverage and clip interpolation alike: where the mask is the zero plane
  // the destination passes through, where it is opaque the result does; no
  // stage runs and no scratch is written.
  auto* from = runtime::NewInArena<SwitchingSource>(arena, arena, 1u, 10);
  auto* to = runtime::NewInArena<SwitchingSource>(arena, arena, 1u, 200);
  PipelineNode* zeroMask = PlaneSource::Create(arena, {PixelPlane::Zero(), PixelPlane::Zero(), nullptr});
  PipelineNode* opaqueMask = PlaneSource::Create(arena, {PixelPlane::Opaque(), PixelPlane::Opaque(), nullptr});
  using Maker = PipelineNode* (*)(runtime::ArenaAllocator&, const PixelTriple&, PipelineNode*, PipelineNode*,
                                  PipelineNode*);
  for (const Maker make : {&CompositorNode::CreateLerp, &CompositorNode::CreateClipLerp}) {
    PipelineNode* empty = make(arena, Scratch(2), zeroMask, from, to);
    PipelineNode* full = make(arena, Scratch(2), opaqueMask, from, to);
    EXPECT_EQ(empty->variants[0].colour, from->variants[0].colour);
    EXPECT_EQ(full->variants[0].colour, to->variants[0].colour);
    EXPECT_EQ(Row(empty, 2)[1].second, 10);
    EXPECT_EQ(Row(full, 2)[1].second, 200);
  }
}

TEST_F(PipelineNodeTest, MaskMultipliesEveryPlane) {
  auto* buffer = runtime::NewInArena<runtime::PixelBuffer>(arena, &context, &arena, IntRect{0, 0, 3, 1},
                                                           PixelLayout::ForPlanes(-1, 2, 0, false), false);
  const PixelTriple maskPlanes = PixelTriple::OfBuffer(arena, *buffer);
  const uint8_t coverage[] = {0, 128, 255};
  std::copy(coverage, coverage + 3, CursorAt(maskPlanes.shape, 0).pixel);
  PipelineNode* mask = PlaneSource::Create(arena, maskPlanes);
  PipelineNode* source = PlaneSource::Create(
      arena, {nullptr, PixelPlane::MakeConstant(arena, 200), PixelPlane::MakeConstant(arena, 100)});
  const auto row = Row(PipelineStage::Create(arena, Scratch(3), mask, source), 3);
  for (int x = 0; x < 3; ++x) {
    EXPECT_EQ(row[size_t(x)].first, Mul255(coverage[x], 200));
    EXPECT_EQ(row[size_t(x)].second, Mul255(coverage[x], 100));
  }
}

// Single-byte coverage against a constant shape takes the one-byte stage.
TEST_F(PipelineNodeTest, SingleByteMaskAndUnion) {
  auto plane = [&](std::initializer_list<uint8_t> bytes) {
    auto* buffer = runtime::NewInArena<runtime::PixelBuffer>(arena, &context, &arena, IntRect{0, 0, 3, 1},
                                                             PixelLayout::ForPlanes(-1, 2, 0, false), true);
    PixelTriple planes = PixelTriple::OfBuffer(arena, *buffer);
    std::copy(bytes.begin(), bytes.end(), CursorAt(planes.shape, 0).pixel);
    return planes;
  };
  const PixelTriple out = plane({0, 0, 0});
  PipelineNode* mask = PlaneSource::Create(arena, plane({0, 100, 255}));
  PipelineNode* shape = PlaneSource::Create(arena, {PixelPlane::MakeConstant(arena, 128), nullptr, nullptr});
  PipelineNode* node = PipelineStage::Create(arena, {out.shape, nullptr, nullptr}, mask, shape);
  node->RunSpan(0, 3);
  const uint8_t* bytes = CursorAt(out.shape, 0).pixel;
  EXPECT_EQ(bytes[0], Mul255(128, 0));
  EXPECT_EQ(bytes[1], Mul255(128, 100));
  EXPECT_EQ(bytes[2], Mul255(128, 255));
  node = PipelineStage::CreateUnion(arena, {out.shape, nullptr, nullptr}, mask,
                                    PlaneSource::Create(arena, plane({10, 20, 30})));
  node->RunSpan(0, 3);
  EXPECT_EQ(bytes[0], Union255(0, 10));
  EXPECT_EQ(bytes[1], Union255(100, 20));
  EXPECT_EQ(bytes[2], Union255(255, 30));
}

// A one-channel mask described with a channel step (as the image sampler's
// mask output is) still holds one byte per pixel: every colour channel of a
// pixel is interpolated, or multiplied, by that pixel's own byte, never by
// the bytes of the pixels after it (which, past the span's end, were never
// written).
TEST_F(PipelineNodeTest, OneChannelMaskServesEveryColourChannel) {
  const uint8_t coverage[] = {0, 255, 0, 255, 128};
  constexpr int32_t kWidth = 5;
  auto* storage = static_cast<uint8_t*>(arena.Alloc(kWidth + 8));
  std::fill_n(storage, kWidth + 8, uint8_t(0xEE));
  std::copy(coverage, coverage + kWidth, storage);
  auto* maskPlane = runtime::NewInArena<PixelPlane>(arena);
  maskPlane->row = maskPlane->base = storage;
  maskPlane->rect = {0, 0, kWidth, 1};
  maskPlane->format = runtime::PixelFormatDesc{1, 0, 1, 1, 0, 0, 1};
  PipelineNode* mask = PlaneSource::Create(arena, {maskPlane, nullptr, nullptr});

  auto colour = [&](uint8_t b, uint8_t g, uint8_t r) {
    auto* plane = runtime::NewInArena<PixelPlane>(arena);
    auto* pixel = static_cast<uint8_t*>(arena.Alloc(4));
    pixel[0] = b, pixel[1] = g, pixel[2] = r, pixel[3] = 0;
    plane->row = plane->base = pixel;
    plane->rect = kUnboundedPixels;
    plane->format = runtime::PixelFormatDesc{3, 2, -1, 0, 0, 0, 0};
    return plane;
  };
  const uint8_t from[3] = {10, 20, 30}, to[3] = {200, 150, 100};
  PipelineNode* fromNode = PlaneSource::Create(arena, {nullptr, PixelPlane::Opaque(), colour(from[0], from[1], from[2])});
  PipelineNode* toNode = PlaneSource::Create(arena, {nullptr, PixelPlane::Opaque(), colour(to[0], to[1], to[2])});

  auto colourRow = [&](PipelineNode* node) {
    auto* buffer = runtime::NewInArena<runtime::PixelBuffer>(arena, &context, &arena, IntRect{0, 0, kWidth, 1},
                                                             PixelLayout::ForPlanes(3, 0, 3, true), true);
    const PixelTriple target = PixelTriple::OfBuffer(arena, *buffer);
    PipelineDriver::PaintRegion(arena, *PixelRegion::FromRect(arena, {0, 0, kWidth, 1}), target, nullptr, node);
    std::vector<std::vector<int>> row;
    for (int32_t x = 0; x < kWidth; ++x) {
      const SpanCursor c = CursorAt(target.colour, x);
      EXPECT_EQ(c.count, 3);
      row.push_back({*c.Channel(0), *c.Channel(1), *c.Channel(2)});
    }
    return row;
  };
  const PixelTriple scratch =
      PixelTriple::CreateScratch(&context, arena, PixelLayout::ForPlanes(3, 0, 3, true), {0, 0, kWidth, 1});
  const auto lerped = colourRow(CompositorNode::CreateLerp(arena, scratch, mask, fromNode, toNode));
  const auto masked = colourRow(PipelineStage::Create(arena, scratch, mask, toNode));
  for (int32_t x = 0; x < kWidth; ++x) {
    SCOPED_TRACE(x);
    for (int c = 0; c < 3; ++c) {
      EXPECT_EQ(lerped[size_t(x)][size_t(c)], Lerp255(from[2 - c], to[2 - c], coverage[x])) << "channel " << c;
      EXPECT_EQ(masked[size_t(x)][size_t(c)], Mul255(coverage[x], to[2 - c])) << "channel " << c;
    }
  }
}

TEST_F(PipelineNodeTest, EmptySpanWritesNothing) {
  const PixelTriple destination = Scratch(2);
  std::fill_n(CursorAt(destination.alpha, 0).pixel, 8, uint8_t(7));
  PipelineNode* node = CompositorNode::CreateBlend(
      arena, BlendStageClass::kMultiply, destination,
      PlaneSource::Create(arena, {nullptr, PixelPlane::Opaque(), PixelPlane::Zero()}),
      PlaneSource::Create(arena, {nullptr, PixelPlane::Opaque(), PixelPlane::Zero()}));
  EXPECT_EQ(node->RunSpan(1, 1), 1);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(CursorAt(destination.alpha, 0).pixel[i], 7);
}

}  // namespace
}  // namespace raster
