// The stages a profile contributes to a transform: the matrix/TRC, gray
// and lookup-table constructions, in either direction.
#include "color/BasicStages.h"
#include "color/ClutStage.h"
#include "color/IccLutAtoB.h"
#include "color/IccProfile.h"
#include "color/LutTable.h"
#include "color/SampledCurveStage.h"
#include "runtime/ErrorTrap.h"

namespace color {

namespace {

// The 16-bit legacy Lab encoding against the internal one: 65280/65535
// into the legacy form, 65535/65280 out of it, in 16.16.
constexpr Fixed kLegacyLabIn = 0xFF01;
constexpr Fixed kLegacyLabOut = 0x10100;
// The 16-bit XYZ encoding: 1 + 32767/32768 is the table's full scale.
constexpr Fixed kLegacyXyzIn = 0x8000;

using runtime::kFixedOne;

[[noreturn]] void Unusable() { runtime::ThrowRuntime(runtime::kMalformed); }

// Builds a chain of stages front to back.
class StageChain {
 public:
  void Add(const IccStageRef& stage) {
    if (!stage) return;
    if (tail_ == nullptr) {
      head_ = stage;
    } else {
      tail_->next = stage;
    }
    tail_ = stage.Get();
    while (tail_->next) tail_ = tail_->next.Get();
  }
  const IccStageRef& Head() const { return head_; }

 private:
  IccStageRef head_;
  IccStage* tail_ = nullptr;
};

IccStageRef Clamp(runtime::LibraryContext* context, uint32_t count) {
  return IccStageRef(streams::MakeRef<ClampStage>(context, static_cast<int32_t>(count)));
}

IccStageRef MatrixOf(runtime::LibraryContext* context, const Matrix3x4& matrix) {
  return IccStageRef(streams::MakeRef<MatrixStage>(context, matrix));
}

Matrix3x4 Diagonal(Fixed x, Fixed y, Fixed z) {
  Matrix3x4 matrix;
  matrix.m[0][0] = x;
  matrix.m[1][1] = y;
  matrix.m[2][2] = z;
  return matrix;
}

// Curves on channels 0 .. count - 1 as stages of one direction.
void AddCurves(StageChain& chain, runtime::LibraryContext* context, const streams::Ref<IccCurve>* curves,
               uint32_t count, int32_t direction) {
  for (uint32_t c = 0; c < count; ++c) {
    if (curves[c]) chain.Add(IccCurve::MakeStage(context, direction, *curves[c], static_cast<int32_t>(c)));
  }
}

void AddTables(StageChain& chain, runtime::LibraryContext* context, SampleTable* tables, uint32_t count,
               int32_t direction) {
  for (uint32_t c = 0; c < count; ++c) {
    const Fixed* samples = tables[c].Samples();
    chain.Add(SampledCurveStage::Create(context, direction, samples, tables[c].Count(), static_cast<int32_t>(c)));
  }
}

// Direction 0 keeps the output and input curves in the transform and
// appends the output curves unless the caller applies them itself.
void FinishDestination(IccTransform& transform, const StageChain& output, const StageChain& input, bool linear) {
  transform.outputCurves = output.Head();
  transform.inputCurves = input.Head();
  if (!linear) transform.AppendStage(output.Head());
}

}  // namespace

void IccProfile::BuildTransform(IccTransform& transform, int32_t direction, int32_t intent, bool linear) {
  runtime::LibraryContext* context = Context();
  const uint32_t major = version >> 24;
  if (major < 2 || major > 4) Unusable();
  switch (deviceClass) {
    case IccSig("mntr"):
    case IccSig("prtr"):
    case IccSig("scnr"):
    case IccSig("spac"):
      break;
    default:
      Unusable();
  }
  if (!IsValidColorSpace(dataSpace, false) || !IsValidColorSpace(pcs, true)) Unusable();
  if (intent < kPerceptual || intent > kAbsoluteColorimetric) intent = kPerceptual;

  streams::Ref<IccLutTag>* slots = direction == kDeviceToPcs ? aToB : bToA;
  IccLutTag* lut = slots[intent == kAbsoluteColorimetric ? 1 : intent].Get();
  if (lut == nullptr) lut = slots[0].Get();

  if (lut == nullptr) {
    const bool matrixTrc = ComponentCount() == 3 && pcs == IccSig("XYZ ") && colorant[0] && colorant[1] &&
                           colorant[2] && trc[kRed] && trc[kGreen] && trc[kBlue];
    if (matrixTrc) {
      Matrix3x4 matrix;
      for (int c = 0; c < 3; ++c) {
        matrix.m[0][c] = colorant[c]->x;
        matrix.m[1][c] = colorant[c]->y;
        matrix.m[2][c] = colorant[c]->z;
      }
      // Rounding in the stored colorants can leave white a little off the
      // illuminant; within 2% it is put back on it.
      Matrix3x3::ScaleColumns(matrix, illuminant, 1310);
      if (direction == kDeviceToPcs) {
        StageChain chain;
        AddCurves(chain, context, trc, 3, 1);
        chain.Add(MatrixOf(context, matrix));
        transform.AppendStage(chain.Head());
        return;
      }
      if (!Matrix3x3::Invert(matrix)) Unusable();
      transform.AppendStage(MatrixOf(context, matrix));
      StageChain output, input;
      AddCurves(output, context, trc, 3, 0);
      output.Add(Clamp(context, 3));
      AddCurves(input, context, trc, 3, 1);
      input.Add(Clamp(context, 3));
      FinishDestination(transform, output, input, linear);
      return;
    }
    if (dataSpace == IccSig("GRAY") && trc[kGray]) {
      const bool lab = pcs == IccSig("Lab ");
      Matrix3x4 matrix;
      if (direction == kDeviceToPcs) {
        if (lab) {
          matrix.m[0][0] = kFixedOne;
          matrix.m[1][3] = kFixedOne / 2;
          matrix.m[2][3] = kFixedOne / 2;
        } else {
          for (int r = 0; r < 3; ++r) matrix.m[r][0] = illuminant[r];
        }
        StageChain chain;
        chain.Add(IccCurve::MakeStage(context, 1, *trc[kGray], 0));
        chain.Add(MatrixOf(context, matrix));
        transform.AppendStage(chain.Head());
        return;
      }
      if (lab) {
        matrix.m[0][0] = kFixedOne;
      } else if (illuminant[1] != 0) {
        matrix.m[0][1] = runtime::FixedDiv(kFixedOne, illuminant[1]);
      }
      transform.AppendStage(MatrixOf(context, matrix));
      StageChain output, input;
      output.Add(IccCurve::MakeStage(context, 0, *trc[kGray], 0));
      output.Add(Clamp(context, 1));
      input.Add(IccCurve::MakeStage(context, 1, *trc[kGray], 0));
      input.Add(Clamp(context, 1));
      FinishDestination(transform, output, input, linear);
      return;
    }
    lut = slots[1] ? slots[1].Get() : slots[2].Get();
    if (lut == nullptr) Unusable();
  }

  const uint32_t inputSide = direction == kDeviceToPcs ? dataSpace : pcs;
  const uint32_t outputSide = direction == kDeviceToPcs ? pcs : dataSpace;
  const uint32_t inputs = lut->inputs;
  const uint32_t outputs = lut->outputs;
  if (static_cast<int32_t>(inputs) != IccSpaceChannelCount(inputSide) ||
      static_cast<int32_t>(outputs) != IccSpaceChannelCount(outputSide)) {
    Unusable();
  }

  StageChain chain, output, input;
  bool legacyLabOut = false;
  if (!lut->IsLegacyLut()) {
    auto* tag = static_cast<IccLutAtoB*>(lut);
    auto addClut = [&] {
      if (tag->clut.Count() == 0) return;
      const Fixed* samples = tag->clut.Samples();
      chain.Add(ClutStage::Create(context, samples, tag->clut.Count(), inputs, outputs, tag->grid,
                                  transform.sourceSpace, transform.destinationSpace));
    };
    const bool hasM = tag->mCurveCount != 0;
    if (tag->IsLut8OrAToB()) {
      AddCurves(chain, context, tag->aCurves, tag->aCurveCount, 1);
      addClut();
      if (hasM) AddCurves(chain, context, tag->mCurves, tag->mCurveCount, 1);
      chain.Add(MatrixOf(context, tag->matrix));
      AddCurves(output, context, tag->bCurves, tag->bCurveCount, 1);
      if (direction == kPcsToDevice) AddCurves(input, context, tag->bCurves, tag->bCurveCount, 0);
    } else {
      AddCurves(chain, context, tag->bCurves, tag->bCurveCount, 1);
      chain.Add(MatrixOf(context, tag->matrix));
      if (hasM) AddCurves(chain, context, tag->mCurves, tag->mCurveCount, 1);
      addClut();
      AddCurves(output, context, tag->aCurves, tag->aCurveCount, 1);
      if (direction == kPcsToDevice) AddCurves(input, context, tag->aCurves, tag->aCurveCount, 0);
    }
  } else {
    auto* tag = static_cast<LutTable*>(lut);
    const bool lut8 = tag->IsLut8OrAToB();
    if (inputSide == IccSig("XYZ ")) {
      chain.Add(MatrixOf(context, tag->matrix));
      // A 16-bit table is indexed by XYZ over 1 + 32767/32768, the
      // encoding its output side is scaled back from.
      if (!lut8) chain.Add(MatrixOf(context, Diagonal(kLegacyXyzIn, kLegacyXyzIn, kLegacyXyzIn)));
    } else if (inputSide == IccSig("Lab ") && !lut8) {
      // Internal Lab (L* = 100 p, a* = 255 q - 128) into the 16-bit legacy
      // encoding, where 0xFF00 is L* 100 and 0x8000 is a* 0: every channel
      // by 65280/65535. The 8-bit legacy encoding is the internal one.
      chain.Add(MatrixOf(context, Diagonal(kLegacyLabIn, kLegacyLabIn, kLegacyLabIn)));
    }
    AddTables(chain, context, tag->inputCurves, inputs, 1);
    const uint32_t grid[kMaxColorChannels] = {tag->grid, tag->grid, tag->grid, tag->grid};
    const Fixed* samples = tag->clut.Samples();
    chain.Add(ClutStage::Create(context, samples, tag->clut.Count(), inputs, outputs, grid, transform.sourceSpace,
                                transform.destinationSpace));
    if (outputSide == IccSig("XYZ ") && !lut8) chain.Add(MatrixOf(context, Diagonal(0x1FFFE, 0x1FFFE, 0x1FFFE)));
    legacyLabOut = outputSide == IccSig("Lab ") && !lut8;
    AddTables(output, context, tag->outputCurves, outputs, 1);
    if (direction == kPcsToDevice) AddTables(input, context, tag->outputCurves, outputs, 0);
  }
  output.Add(Clamp(context, outputs));
  transform.AppendStage(chain.Head());
  if (direction == kDeviceToPcs) {
    transform.AppendStage(output.Head());
    // And back, behind the output tables: a 16-bit legacy table's Lab read
    // as the internal encoding was 0.4% short in L* and a*, b* were off by
    // up to half a unit, enough to move dark colours of a CMYK profile by
    // several levels.
    if (legacyLabOut) {
      transform.AppendStage(MatrixOf(context, Diagonal(kLegacyLabOut, kLegacyLabOut, kLegacyLabOut)));
    }
    return;
  }
  input.Add(Clamp(context, outputs));
  FinishDestination(transform, output, input, linear);
}

}  // namespace color
