// Hinting of NimbusSans-Regular: overshoot suppression below BlueScale and
// zone-captured edges on whole pixels.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "fonts/BlueZones.h"
#include "fonts/HintMap.h"
#include "tests/fonts/FontTestSupport.h"

namespace {

using fonttest::OutlinePoint;

class NimbusSansHinting : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    const std::string path = std::string(GetParam());
    bytes_ = fonttest::ReadBytes(path);
    if (bytes_.empty()) {
      if (fonttest::UnderCi()) FAIL() << path << " missing";
      GTEST_SKIP() << path << " missing";
    }
  }
  // Top and bottom of the glyph's hinted points at `px`, y up.
  void Extent(fonts::CffFont& font, const char* name, double px, double& top, double& bottom) {
    std::vector<OutlinePoint> points;
    const int32_t index = font.FindGlyph(name);
    ASSERT_GE(index, 0) << name;
    ASSERT_TRUE(fonttest::OurOutline(&context_, font, static_cast<uint32_t>(index), px, points));
    top = -1e9;
    bottom = 1e9;
    for (const OutlinePoint& p : points) {
      top = std::max(top, p.y);
      bottom = std::min(bottom, p.y);
    }
  }
  runtime::LibraryContext context_;
  std::vector<uint8_t> bytes_;
};

TEST_P(NimbusSansHinting, RoundTopsLineUpWithFlatTopsAtSmallSizes) {
  fonttest::OpenedFont font(&context_, bytes_);
  ASSERT_TRUE(font);
  double oTop, oBottom, zTop, zBottom;
  Extent(*font.get(), "o", 10, oTop, oBottom);
  Extent(*font.get(), "z", 10, zTop, zBottom);
  EXPECT_EQ(std::ceil(oTop - 1e-9), std::ceil(zTop - 1e-9)) << oTop << " " << zTop;
  Extent(*font.get(), "o", 60, oTop, oBottom);
  Extent(*font.get(), "z", 60, zTop, zBottom);
  EXPECT_GE(oTop, zTop + 1.0) << oTop << " " << zTop;
}

TEST_P(NimbusSansHinting, ZoneCapturedEdgesLieOnWholePixels) {
  fonttest::OpenedFont font(&context_, bytes_);
  ASSERT_TRUE(font);
  for (const char* name : {"H", "E"}) {
    for (const double px : {10.0, 13.0, 17.0, 23.0, 40.0}) {
      double top, bottom;
      Extent(*font.get(), name, px, top, bottom);
      EXPECT_DOUBLE_EQ(top, std::round(top)) << name << " at " << px;
      EXPECT_DOUBLE_EQ(bottom, std::round(bottom)) << name << " at " << px;
    }
  }
  // Unhinted, the cap height is not a whole pixel at every size.
  font->SetHinting(false);
  bool fractional = false;
  for (const double px : {10.0, 13.0, 17.0, 23.0}) {
    double top, bottom;
    Extent(*font.get(), "H", px, top, bottom);
    fractional |= top != std::round(top);
  }
  EXPECT_TRUE(fractional);
}

INSTANTIATE_TEST_SUITE_P(Nimbus, NimbusSansHinting,
                         ::testing::Values("/usr/share/fonts/type1/urw-base35/NimbusSans-Regular.t1",
                                           "/usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf"),
                         [](const auto& info) { return info.index == 0 ? std::string("t1") : std::string("otf"); });

TEST(HintMap, MapRules) {
  // No stems: the global scale alone.
  fonts::HintMap map;
  map.SetScale(65536 / 2);
  fonts::HintMask mask;
  fonts::BlueZones zones;
  map.Build(nullptr, 0, mask, 0, zones);
  EXPECT_EQ(map.Map(100 * 65536), 50 * 65536);
  // A stem is moved to the grid keeping its width; an overlapping one is
  // dropped; ghosts give one edge.
  const fonts::StemPair stems[] = {
      {10 * 65536 + 20000, 30 * 65536 + 20000},  // 10.3..30.3 → device 5.15..15.15
      {20 * 65536, 40 * 65536},                  // overlaps the first
      {100 * 65536, 80 * 65536},                 // width −20: a top ghost at 100
  };
  fonts::HintMask all;
  map.Build(stems, 3, all, 0, zones);
  ASSERT_EQ(map.Count(), 3u);
  const fonts::Fixed bottom = map.PointAt(0).device;
  const fonts::Fixed top = map.PointAt(1).device;
  EXPECT_TRUE((bottom & 0xFFFF) == 0 || (top & 0xFFFF) == 0);
  EXPECT_EQ(top - bottom, 10 * 65536);
  EXPECT_EQ(map.PointAt(2).flags & fonts::StemEdge::kGhostTop, fonts::StemEdge::kGhostTop);
  fonts::StemEdge b, t;
  fonts::HintMap::MakeEdges({100 * 65536, 79 * 65536}, 0, 65536, b, t);
  EXPECT_EQ(b.flags, fonts::StemEdge::kGhostBottom);
  EXPECT_EQ(t.flags, 0u);
}

}  // namespace
