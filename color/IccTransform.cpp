#include "color/IccTransform.h"

namespace color {

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

void IccTransform::EnableCache() {
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
    for (const IccStage* stage = first_.Get(); stage != nullptr; stage = stage->next.Get()) stage->Apply(v);
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
  for (const IccStage* stage = first_.Get(); stage != nullptr; stage = stage->next.Get()) stage->Apply(v);
  for (uint32_t o = 0; o < outputs_; ++o) row[inputs_ + o] = v[o];
  filled_[index] = 1;
}

void IccTransform::EvaluateSpan(Fixed* vectors, uint32_t count) const {
  for (const IccStage* stage = first_.Get(); stage != nullptr; stage = stage->next.Get()) {
    stage->ApplySpan(vectors, count);
  }
}

}  // namespace color
