#pragma once
// A colour transform: a chain of stages from `inputs` channels to `outputs`
// channels, with an optional cache of the last results (256 rows chosen by
// a hash of the inputs).
#include <cstdint>

#include "color/ContextArray.h"
#include "color/IccStage.h"

namespace color {

class IccTransform final : public streams::CountedObject {
 public:
  static constexpr uint32_t kCacheRows = 256;

  IccTransform(runtime::LibraryContext* context, uint32_t inputs, uint32_t outputs)
      : CountedObject(context), inputs_(inputs), outputs_(outputs) {}

  // Links a stage, or a chain of stages, behind the last stage.
  void AppendStage(const IccStageRef& stage);
  // Gives the transform a result cache (rows start empty).
  void EnableCache();

  // Runs the chain on one colour vector (kMaxColorChannels values).
  void Evaluate(Fixed* v);
  // Runs the chain on `count` vectors, stage by stage, without the cache.
  void EvaluateSpan(Fixed* vectors, uint32_t count) const;

  const IccStageRef& FirstStage() const { return first_; }
  uint32_t Inputs() const { return inputs_; }
  uint32_t Outputs() const { return outputs_; }
  bool HasCache() const { return cache_.Count() != 0; }
  uint32_t MemorySize() const { return 48 + cache_.ByteSize() + (first_ ? first_->MemorySize() : 0); }

 private:
  uint32_t CacheRow(const Fixed* v) const;

  uint32_t inputs_;
  uint32_t outputs_;
  IccStageRef first_;
  IccStage* last_ = nullptr;
  // Row r: inputs_ keys, then outputs_ values.
  ContextArray<Fixed> cache_;
  uint8_t filled_[kCacheRows] = {};
};

using IccTransformRef = streams::Ref<IccTransform>;

}  // namespace color
