#include "viewer/ViewTransform.h"

#include <gtest/gtest.h>

#include "viewer/PageGeometry.h"

namespace viewer {
namespace {

using runtime::FixedFromInt;

ViewTransform AnchoredTransform() {
  ViewTransform t;
  t.matrix.e = FixedFromInt(7);
  t.first = OptionalPair::Of(0x4000, 0x1000);   // (0.25, 0.0625)
  t.second = OptionalPair::Of(0xC000, 0x8000);  // (0.75, 0.5)
  return t;
}

TEST(ViewTransformTest, QuarterTurnsMoveTheAnchors) {
  ViewTransform t = AnchoredTransform();
  ViewTransform::Rotate(t, 90);
  EXPECT_EQ(t.first, OptionalPair::Of(0xC000, 0x8000));
  EXPECT_EQ(t.second, OptionalPair::Of(0x10000 - 0x1000, 0x10000 - 0x4000));
  t = AnchoredTransform();
  ViewTransform::Rotate(t, 270);
  EXPECT_EQ(t.first, OptionalPair::Of(0x8000, 0x4000));
  EXPECT_EQ(t.second, OptionalPair::Of(0x4000, 0x1000));
  t = AnchoredTransform();
  ViewTransform::Rotate(t, 0);
  EXPECT_EQ(t, AnchoredTransform());

  // Turning by 180 twice or by 90 four times restores the anchors.
  for (int32_t degrees : {90, 180, 270}) {
    t = AnchoredTransform();
    for (int32_t i = 0; i < (degrees == 180 ? 2 : 4); ++i) ViewTransform::Rotate(t, degrees);
    EXPECT_EQ(t, AnchoredTransform()) << degrees;
  }
  // A missing anchor stays missing, wherever it moves.
  t = AnchoredTransform();
  t.second = {};
  ViewTransform::Rotate(t, 90);
  EXPECT_FALSE(t.first.present);
  EXPECT_TRUE(t.second.present);
  ViewTransform::Rotate(t, 180);
  EXPECT_FALSE(t.first.present);
}

TEST(ViewTransformTest, PageGeometryTurnsWithItsRotation) {
  PageGeometry g;
  g.width = FixedFromInt(612);
  g.height = FixedFromInt(792);
  g.alongX[0] = 1;
  g.alongX[1] = 2;
  g.alongY[0] = 3;
  g.alongY[1] = 4;
  g.boxWidth = 10;
  g.boxHeight = 20;
  g.transform = AnchoredTransform();
  g.rotation = 270;
  PageGeometry::ApplyRotation(g);
  EXPECT_EQ(g.width, FixedFromInt(792));
  EXPECT_EQ(g.height, FixedFromInt(612));
  EXPECT_EQ(g.alongX[0], 3);
  EXPECT_EQ(g.alongY[1], 2);
  EXPECT_EQ(g.boxWidth, 20);
  EXPECT_EQ(g.transform.first, OptionalPair::Of(0x8000, 0x4000));

  PageGeometry upside;
  upside.width = 5;
  upside.height = 9;
  upside.transform = AnchoredTransform();
  upside.rotation = 180;
  PageGeometry::ApplyRotation(upside);
  EXPECT_EQ(upside.width, 5);
  EXPECT_EQ(upside.transform.first, OptionalPair::Of(0x10000 - 0x1000, 0x10000 - 0x4000));

  PageGeometry other;
  PageGeometry::Swap(g, other);
  EXPECT_EQ(other.width, FixedFromInt(792));
  EXPECT_EQ(g.width, 0);
}

}  // namespace
}  // namespace viewer
