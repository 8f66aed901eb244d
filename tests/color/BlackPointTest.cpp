// Black point estimation: the built-in CMYK profile's source black, the
// fit's degenerate cases, and the fall-backs of the destination estimate.
#include <gtest/gtest.h>

#include "color/BasicStages.h"
#include "color/BlackPoint.h"
#include "tests/color/IccTestSupport.h"

namespace color {
namespace {

using runtime::kFixedOne;

// A transform of three channels whose chain is the given stages.
IccTransformRef ChainOf(runtime::LibraryContext* context, std::initializer_list<IccStageRef> stages) {
  auto transform = streams::MakeRef<IccTransform>(context, 3, 3);
  for (const IccStageRef& stage : stages) transform->AppendStage(stage);
  transform->sourceSpace = IccSig("Lab ");
  return transform;
}

TEST(BlackPointTest, BuiltInCmykSourceBlackIsDarkButNotZero) {
  runtime::LibraryContext context;
  IccProfileRef cmyk = testing::PrinterCmykProfile(&context);
  for (int32_t intent : {kPerceptual, kRelativeColorimetric}) {
    const Fixed black = IccProfile::EstimateSourceBlack(*cmyk, intent);
    EXPECT_GT(black, 0) << intent;
    EXPECT_LE(black, kFixedOne / 2) << intent;
  }
  // As a destination it is fitted; the fit lands near the source estimate.
  const Fixed fitted = IccProfile::EstimateDestinationBlack(*cmyk, kRelativeColorimetric);
  EXPECT_GE(fitted, 0);
  EXPECT_LE(fitted, kFixedOne / 2);
}

TEST(BlackPointTest, DegenerateRoundTrips) {
  runtime::LibraryContext context;
  const Fixed initial[3] = {kFixedOne / 10, kFixedOne / 2, kFixedOne / 2};
  // An exact round trip in intent 1 follows the ramp: the first guess.
  IccTransformRef identity = ChainOf(&context, {});
  EXPECT_EQ(EstimateBlackByFit(*identity, *identity, initial, kRelativeColorimetric), initial[0]);
  // A flat ramp (every L mapped to the same value) gives no estimate.
  Matrix3x4 flatten;
  flatten.m[0][3] = kFixedOne / 3;
  IccTransformRef flat = ChainOf(&context, {IccStageRef(streams::MakeRef<MatrixStage>(&context, flatten))});
  EXPECT_EQ(EstimateBlackByFit(*flat, *identity, initial, kPerceptual), 0);
  // A ramp whose window holds no points (a step from 0 to 1) gives none.
  Matrix3x4 steep;
  steep.m[0][0] = 200 * kFixedOne;
  steep.m[0][3] = -190 * kFixedOne;
  IccTransformRef step = ChainOf(&context, {IccStageRef(streams::MakeRef<MatrixStage>(&context, steep)),
                                            IccStageRef(streams::MakeRef<ClampStage>(&context, 3))});
  EXPECT_EQ(EstimateBlackByFit(*step, *identity, initial, kPerceptual), 0);
  // A linear lift of the blacks: the root of the fitted line, within 0.5.
  Matrix3x4 lift;
  lift.m[0][0] = kFixedOne - kFixedOne / 5;
  lift.m[0][3] = kFixedOne / 5;
  IccTransformRef lifted = ChainOf(&context, {IccStageRef(streams::MakeRef<MatrixStage>(&context, lift))});
  const Fixed black = EstimateBlackByFit(*lifted, *identity, initial, kPerceptual);
  EXPECT_GE(black, 0);
  EXPECT_LE(black, kFixedOne / 2);
}

TEST(BlackPointTest, DestinationFallBacks) {
  runtime::LibraryContext context;
  // Matrix/TRC destinations: the source estimate, 0 for absolute intent.
  IccProfileRef display = testing::DisplayProfile(&context);
  EXPECT_EQ(IccProfile::EstimateDestinationBlack(*display, kRelativeColorimetric),
            IccProfile::EstimateSourceBlack(*display, kRelativeColorimetric));
  EXPECT_EQ(IccProfile::EstimateDestinationBlack(*display, kAbsoluteColorimetric), 0);
  // A gray with only a tone curve falls back as well.
  IccProfileRef gray = testing::DeviceGrayProfile(&context);
  EXPECT_EQ(IccProfile::EstimateDestinationBlack(*gray, kPerceptual),
            IccProfile::EstimateSourceBlack(*gray, kPerceptual));
  // Unknown device spaces estimate nothing.
  auto lab = IccProfile::DefaultLab(&context);
  IccTransformRef toLab = IccTransform::Create(*lab, *lab, kPerceptual, 0, false, false);
  toLab->sourceSpace = IccSig("6CLR");
  EXPECT_EQ(BlackFromTransforms(*toLab, nullptr, nullptr), 0);
}

}  // namespace
}  // namespace color
