#include "raster/AdapterNodes.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace raster {
namespace {

class RecordingStage final : public RowStage {
 public:
  RecordingStage() { output = {PixelPlane::Opaque(), PixelPlane::Opaque(), nullptr}; }
  void BeginRow() override { calls.push_back({row, spanX, spanEnd}); }
  std::vector<std::array<int32_t, 3>> calls;
};

TEST(AdapterNodesTest, StagesGetTheirRowAndSpan) {
  RecordingStage stage;
  StageAdapterNode node(stage);
  EXPECT_EQ(node.bounds, kUnboundedPixels);
  node.BeginRow(7);
  EXPECT_EQ(stage.spanX, INT32_MAX);
  EXPECT_EQ(stage.spanEnd, INT32_MIN);
  EXPECT_EQ(node.RunSpan(3, 9), 9);
  node.NextRow();
  EXPECT_EQ(node.RunSpan(0, 4), 4);
  ASSERT_EQ(stage.calls.size(), 2u);
  EXPECT_EQ(stage.calls[0], (std::array<int32_t, 3>{7, 3, 9}));
  EXPECT_EQ(stage.calls[1], (std::array<int32_t, 3>{8, 0, 4}));
}

// Runs of 5 pixels alternating between two variants; a source that gives
// no run end at all on row 3.
class StripedSource final : public SampledRunSource {
 public:
  StripedSource() {
    planes[0] = {PixelPlane::Zero(), PixelPlane::Zero(), nullptr};
    planes[1] = {PixelPlane::Opaque(), PixelPlane::Opaque(), nullptr};
    variants = planes;
    variantCount = 2;
  }
  void ProduceRun() override {
    ++produced;
    if (row == 3) return;
    variant = static_cast<uint32_t>((x / 5) % 2);
    runEnd = (x / 5 + 1) * 5;
  }
  PixelTriple planes[2];
  int produced = 0;
};

TEST(AdapterNodesTest, ShadingRunsEndAtTheSourcesRunOrTheLimit) {
  StripedSource source;
  ShadingSourceNode node(source);
  node.BeginRow(1);
  EXPECT_EQ(node.RunSpan(2, 20), 5);
  EXPECT_EQ(node.currentVariant, 0u);
  EXPECT_EQ(node.RunSpan(5, 8), 8);
  EXPECT_EQ(node.currentVariant, 1u);
  node.NextRow();
  EXPECT_EQ(source.row, 2);
  EXPECT_EQ(source.runEnd, INT32_MIN);
  node.BeginRow(3);
  EXPECT_EQ(node.RunSpan(0, 20), 20);
}

}  // namespace
}  // namespace raster
