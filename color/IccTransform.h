#pragma once
// A colour transform between two profiles: a chain of stages from the
// source's device values through the profile connection space to the
// destination's device values, the destination's output curves (device
// values from linear ones) and input curves (back), and an optional cache
// of the last results (256 rows chosen by a hash of the inputs).
#include <cstdint>

#include "color/ContextArray.h"
#include "color/IccStage.h"

namespace color {

class IccProfile;

// Rendering intents.
enum RenderingIntent : int32_t {
  kPerceptual = 0,
  kRelativeColorimetric = 1,
  kSaturation = 2,
  kAbsoluteColorimetric = 3,
};

class IccTransform final : public streams::CountedObject {
 public:
  static constexpr uint32_t kCacheRows = 256;
  // Spans run through the chain this many vectors (4 KiB) at a time.
  static constexpr uint32_t kSpanBlock = 256;
  // The cache mode that gives a transform its result cache.
  static constexpr int32_t kResultCacheMode = 2;

  explicit IccTransform(runtime::LibraryContext* context) : CountedObject(context) {}
  IccTransform(runtime::LibraryContext* context, uint32_t inputs, uint32_t outputs)
      : CountedObject(context), inputs_(inputs), outputs_(outputs) {}

  // A new transform from `source` to `destination` for the intent (see
  // Build).
  static streams::Ref<IccTransform> Create(IccProfile& source, IccProfile& destination, int32_t intent,
                                           int32_t cacheMode, bool linear, bool blackPointCompensation);

  // Builds the chain in place: the source's device-to-PCS stages, the PCS
  // connection (black point compensation, white scaling, Lab/XYZ) and the
  // destination's PCS-to-device stages, optimised. With `linear` the chain
  // ends before the destination's output curves. Unusable profiles throw
  // (runtime, 2).
  void Build(IccProfile& source, IccProfile& destination, int32_t intent, int32_t cacheMode, bool linear,
             bool blackPointCompensation);
  // Drops identities, merges adjacent matrices and cancels Lab round trips
  // behind `from` (from `from` itself on; the whole chain when null).
  void Optimise(IccStage* from);
  // Gives the transform a result cache (rows start empty) when the mode is
  // kResultCacheMode and it has none yet.
  void EnableCache(int32_t cacheMode, uint32_t inputs, uint32_t outputs);
  void EnableCache() { EnableCache(kResultCacheMode, inputs_, outputs_); }

  // Links a stage, or a chain of stages, behind the last stage.
  void AppendStage(const IccStageRef& stage);

  // Runs the chain on one colour vector (kMaxColorChannels values),
  // through the result cache when there is one.
  void Evaluate(Fixed* v);
  // Runs the chain on `count` vectors, stage by stage a block at a time,
  // without the cache.
  void EvaluateSpan(Fixed* vectors, uint32_t count) const;
  // Runs the chain without the cache; counts the runs.
  void RunChain(Fixed* v) { RunChainFrom(first_.Get(), v); }
  // Runs the chain from one of its stages on (the converters tabulate the
  // curves before it).
  void RunChainFrom(const IccStage* from, Fixed* v) {
    ++chainRuns_;
    for (const IccStage* stage = from; stage != nullptr; stage = stage->next.Get()) stage->Apply(v);
  }

  // The same for `count` vectors, stage by stage, up to (not including)
  // `until` (null: to the end); each vector counts as a run.
  void RunChainSpanFrom(const IccStage* from, Fixed* vectors, uint32_t count, const IccStage* until = nullptr) {
    chainRuns_ += count;
    for (const IccStage* stage = from; stage != nullptr && stage != until; stage = stage->next.Get()) {
      stage->ApplySpan(vectors, count);
    }
  }

  const IccStageRef& FirstStage() const { return first_; }
  IccStage* LastStage() const { return last_; }
  uint32_t Inputs() const { return inputs_; }
  uint32_t Outputs() const { return outputs_; }
  bool HasCache() const { return cache_.Count() != 0; }
  uint32_t MemorySize() const;
  // How many times the stage chain ran (a cache hit does not count).
  uint64_t ChainRuns() const { return chainRuns_; }

  // One-channel chains of the destination ending in a clamp: device values
  // from linear ones (output curves) and back (input curves); null when
  // the destination has none.
  IccStageRef outputCurves;
  IccStageRef inputCurves;
  uint32_t sourceSpace = 0;
  uint32_t destinationSpace = 0;

 private:
  uint32_t CacheRow(const Fixed* v) const;
  void FindLast();
  void ConnectProfiles(IccProfile& source, IccProfile& destination, int32_t intent, bool blackPointCompensation);

  uint32_t inputs_ = 0;
  uint32_t outputs_ = 0;
  IccStageRef first_;
  IccStage* last_ = nullptr;
  uint64_t chainRuns_ = 0;
  // Row r: inputs_ keys, then outputs_ values.
  ContextArray<Fixed> cache_;
  uint8_t filled_[kCacheRows] = {};
};

using IccTransformRef = streams::Ref<IccTransform>;

}  // namespace color
