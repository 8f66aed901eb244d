// How a curve tag becomes a transform stage, in either direction.
#include "color/BasicStages.h"
#include "color/IccCurve.h"
#include "color/ParametricStage.h"
#include "color/SampledCurveStage.h"
#include "runtime/ErrorTrap.h"

namespace color {

IccStageRef IccCurve::MakeStage(runtime::LibraryContext* context, int32_t direction, const IccCurve& curve,
                                int32_t channel) {
  switch (curve.kind) {
    case kGamma:
      if (direction != 0) return IccStageRef(streams::MakeRef<GammaStage>(context, curve.gamma, channel));
      if (curve.gamma < 1) runtime::ThrowRuntime(runtime::kMalformed);
      return IccStageRef(
          streams::MakeRef<GammaStage>(context, runtime::FixedDiv(runtime::kFixedOne, curve.gamma), channel));
    case kParametric1:
    case kParametric2:
    case kParametric3:
    case kParametric4: {
      ParametricParameters p{curve.gamma, curve.a, curve.b, curve.c, curve.d, curve.e, curve.f};
      return IccParametricCurve::Create(context, direction, curve.kind, p, channel);
    }
    case kSampled:
      return SampledCurveStage::Create(context, direction, curve.table.Data(), curve.table.Count(), channel);
    default:
      return IccStageRef(streams::MakeRef<IdentityStage>(context));
  }
}

}  // namespace color
