#include "color/IccTransform.h"

#include "color/BasicStages.h"
#include "color/IccProfile.h"
#include "color/LabStages.h"
#include "runtime/ErrorTrap.h"

namespace color {

namespace {

using runtime::kFixedOne;

bool SameWhite(const Fixed a[3], const Fixed b[3]) { return a[0] == b[0] && a[1] == b[1] && a[2] == b[2]; }

bool IsLabRoundTrip(const IccStage* first, const IccStage* second) {
  if (first == nullptr || second == nullptr) return false;
  return (first->Kind() == IccStage::kLabToXyz && second->Kind() == IccStage::kXyzToLab) ||
         (first->Kind() == IccStage::kXyzToLab && second->Kind() == IccStage::kLabToXyz);
}

}  // namespace

streams::Ref<IccTransform> IccTransform::Create(IccProfile& source, IccProfile& destination, int32_t intent,
                                                int32_t cacheMode, bool linear, bool blackPointCompensation) {
  auto transform = streams::MakeRef<IccTransform>(source.Context());
  transform->Build(source, destination, intent, cacheMode, linear, blackPointCompensation);
  return transform;
}

void IccTransform::AppendStage(const IccStageRef& stage) {
  if (!stage) return;
  if (last_ == nullptr) {
    first_ = stage;
  } else {
    last_->next = stage;
  }
  IccStage* tail = stage.Get();
  while (tail->next) tail = tail->next.Get();
  last_ = tail;
}

void IccTransform::FindLast() {
  last_ = first_.Get();
  while (last_ != nullptr && last_->next) last_ = last_->next.Get();
}

void IccTransform::EnableCache(int32_t cacheMode, uint32_t inputs, uint32_t outputs) {
  if (cacheMode != kResultCacheMode || HasCache()) return;
  if (inputs == 0 || inputs > kMaxColorChannels || outputs == 0 || outputs > kMaxColorChannels) return;
  inputs_ = inputs;
  outputs_ = outputs;
  const uint32_t width = inputs_ + outputs_;
  cache_.Allocate(Context(), kCacheRows * width);
  for (uint32_t row = 0; row < kCacheRows; ++row) cache_[row * width] = runtime::kFixedMax;
  // The marker key alone would let an input of 0x7FFFFFFF hit a row that
  // was never filled; a flag per row says which rows hold results.
  for (uint8_t& flag : filled_) flag = 0;
}

uint32_t IccTransform::CacheRow(const Fixed* v) const {
  uint32_t index = 0;
  for (uint32_t i = 0; i < inputs_; ++i) {
    // Linear congruential mix, then arithmetic shifts folding the bytes.
    int32_t h = static_cast<int32_t>(static_cast<uint32_t>(v[i]) * 1664525u + 1013904223u) >> (i + 3);
    int32_t folded = h ^ ((h ^ ((h ^ (h >> 8)) >> 8)) >> 8);
    index ^= static_cast<uint32_t>(folded) & 255;
  }
  return index;
}

void IccTransform::Evaluate(Fixed* v) {
  if (cache_.Count() == 0) {
    RunChain(v);
    return;
  }
  const uint32_t width = inputs_ + outputs_;
  const uint32_t index = CacheRow(v);
  Fixed* row = &cache_[index * width];
  bool hit = filled_[index] != 0;
  for (uint32_t i = 0; i < inputs_ && hit; ++i) hit = row[i] == v[i];
  if (hit) {
    for (uint32_t o = 0; o < outputs_; ++o) v[o] = row[inputs_ + o];
    return;
  }
  for (uint32_t i = 0; i < inputs_; ++i) row[i] = v[i];
  RunChain(v);
  for (uint32_t o = 0; o < outputs_; ++o) row[inputs_ + o] = v[o];
  filled_[index] = 1;
}

void IccTransform::EvaluateSpan(Fixed* vectors, uint32_t count) const {
  // Block by block, so that every stage finds the vectors still in the
  // first-level cache: stage by stage over the whole span streams them
  // through memory once per stage.
  for (uint32_t start = 0; start < count; start += kSpanBlock) {
    const uint32_t n = count - start < kSpanBlock ? count - start : kSpanBlock;
    Fixed* block = vectors + static_cast<size_t>(start) * kMaxColorChannels;
    for (const IccStage* stage = first_.Get(); stage != nullptr; stage = stage->next.Get()) {
      stage->ApplySpan(block, n);
    }
  }
}

uint32_t IccTransform::MemorySize() const {
  // The result cache is charged for what it really holds.
  uint32_t size = 132 + (HasCache() ? 96 + cache_.ByteSize() : 0);
  const IccStage* held[] = {first_.Get(), last_, outputCurves.Get(), inputCurves.Get()};
  for (const IccStage* stage : held) {
    if (stage != nullptr) size += stage->MemorySize() - 24;
  }
  return size;
}

void IccTransform::Optimise(IccStage* from) {
  IccStage* cursor = from;
  if (cursor == nullptr) {
    while (first_ && first_->IsIdentity()) first_ = IccStageRef(first_->next);
    cursor = first_.Get();
  }
  while (cursor != nullptr) {
    while (cursor->next && cursor->next->IsIdentity()) cursor->next = IccStageRef(cursor->next->next);
    while (cursor->Kind() == IccStage::kMatrix && cursor->next && cursor->next->Kind() == IccStage::kMatrix) {
      auto* first = static_cast<MatrixStage*>(cursor);
      auto* second = static_cast<MatrixStage*>(cursor->next.Get());
      // The second applied after the first: second x first.
      Matrix3x4 product = second->Matrix();
      if (!product.Multiply(first->Matrix())) break;
      first->SetMatrix(product);
      cursor->next = IccStageRef(cursor->next->next);
    }
    if (cursor->next && IsLabRoundTrip(cursor->next.Get(), cursor->next->next.Get())) {
      cursor->next = IccStageRef(cursor->next->next->next);
    }
    cursor = cursor->next.Get();
  }
  FindLast();
}

void IccTransform::ConnectProfiles(IccProfile& source, IccProfile& destination, int32_t intent,
                                   bool blackPointCompensation) {
  runtime::LibraryContext* context = Context();
  const bool sourceLab = source.pcs == IccSig("Lab ");
  const bool destinationLab = destination.pcs == IccSig("Lab ");
  Fixed sourceWhite[3], destinationWhite[3];
  IccProfile::MediaWhite(source, sourceWhite);
  IccProfile::MediaWhite(destination, destinationWhite);

  if (intent == kAbsoluteColorimetric && !SameWhite(sourceWhite, destinationWhite)) {
    // Absolute colorimetry keeps the media whites as they are measured.
    if (sourceLab) AppendStage(streams::MakeRef<LabToXyzStage>(context, source.illuminant));
    if (!SameWhite(source.illuminant, sourceWhite)) {
      AppendStage(WhiteScalingStage(context, source.illuminant, sourceWhite));
    }
    if (!SameWhite(destinationWhite, destination.illuminant)) {
      AppendStage(WhiteScalingStage(context, destinationWhite, destination.illuminant));
    }
    if (destinationLab) AppendStage(streams::MakeRef<XyzToLabStage>(context, destination.illuminant));
    return;
  }

  if (blackPointCompensation) {
    Fixed sourceBlack = 0, destinationBlack = 0;
    bool compensate = false;
    runtime::ErrorTrap trap(context);
    if (trap.Run([&] {
          sourceBlack = IccProfile::EstimateSourceBlack(source, intent);
          destinationBlack = IccProfile::EstimateDestinationBlack(destination, intent);
          compensate = sourceBlack != destinationBlack;
        })) {
    } else {
      // Without memory for the estimates the transform goes without
      // compensation; anything else is the profiles' fault.
      trap.SetHandled();
      if (!trap.Held().IsRuntime(runtime::kOutOfMemory)) trap.Rethrow();
      trap.Close();
      compensate = false;
    }
    if (compensate) {
      if (sourceLab) AppendStage(streams::MakeRef<LabToXyzStage>(context, source.illuminant));
      const Fixed sourceY = LabInverse(runtime::FixedMul(sourceBlack, 100 * kFixedOne));
      const Fixed destinationY = LabInverse(runtime::FixedMul(destinationBlack, 100 * kFixedOne));
      const Fixed numerator = kFixedOne - destinationY;
      const Fixed denominator = kFixedOne - sourceY;
      if (denominator == 0 || runtime::FixedDivOverflows(numerator, denominator)) {
        runtime::ThrowRuntime(runtime::kMalformed);
      }
      const Fixed scale = runtime::FixedDiv(numerator, denominator);
      // Each channel is scaled about its white, not about 1.0: X and Z of
      // the connection space's white are below 1.0, and offsets of 1.0 - s
      // moved the white and tinted the darks (the source black landed on a
      // yellowish, not a neutral, black).
      Matrix3x4 matrix;
      for (int r = 0; r < 3; ++r) {
        matrix.m[r][r] = scale;
        matrix.m[r][3] = runtime::FixedMul(source.illuminant[r], kFixedOne - scale);
      }
      AppendStage(streams::MakeRef<MatrixStage>(context, matrix));
      if (sourceLab) AppendStage(streams::MakeRef<XyzToLabStage>(context, destination.illuminant));
    }
  }

  if (!sourceLab && !destinationLab) {
    if (!SameWhite(source.illuminant, destination.illuminant)) {
      AppendStage(WhiteScalingStage(context, source.illuminant, destination.illuminant));
    }
  } else if (!sourceLab) {
    AppendStage(streams::MakeRef<XyzToLabStage>(context, source.illuminant));
  } else if (!destinationLab) {
    AppendStage(streams::MakeRef<LabToXyzStage>(context, destination.illuminant));
  }
}

void IccTransform::Build(IccProfile& source, IccProfile& destination, int32_t intent, int32_t cacheMode,
                         bool linear, bool blackPointCompensation) {
  sourceSpace = source.dataSpace;
  destinationSpace = destination.dataSpace;
  inputs_ = static_cast<uint32_t>(source.ComponentCount());
  outputs_ = static_cast<uint32_t>(destination.ComponentCount());
  EnableCache(cacheMode, inputs_, outputs_);

  source.BuildTransform(*this, IccProfile::kDeviceToPcs, intent, linear);
  ConnectProfiles(source, destination, intent, blackPointCompensation);
  Optimise(nullptr);

  IccStage* sourceEnd = last_;
  IccProfile::OutputChain& cached = destination.outputChain;
  if (cached.pcsToDevice && cached.intent == intent && cached.linear == linear) {
    AppendStage(cached.pcsToDevice);
    outputCurves = cached.outputCurves;
    inputCurves = cached.inputCurves;
  } else {
    destination.BuildTransform(*this, IccProfile::kPcsToDevice, intent, linear);
    // The destination's own stages, taken before optimisation folds the
    // first of them into the source's last: a later transform into this
    // destination needs them whole.
    IccStageRef own = sourceEnd != nullptr ? sourceEnd->next : first_;
    cached.intent = intent;
    cached.linear = linear;
    cached.pcsToDevice = own;
    cached.outputCurves = outputCurves;
    cached.inputCurves = inputCurves;
  }
  // Optimising behind the source's end may change the links of the
  // destination's stages only in ways that keep what they compute.
  Optimise(sourceEnd);
}

}  // namespace color
