#pragma once
// FunctionType 0: a grid of samples read from the stream and interpolated
// multilinearly between the 2^m corners of the cell an input falls in.
#include <cstdint>

#include "color/PdfFunction.h"

namespace color {

class SampledFunction final : public PdfFunction {
 public:
  // Grids of more inputs would need 2^m corners per evaluation.
  static constexpr uint32_t kMaxInputs = 12;
  // A Size above this is refused (a grid index must stay a 16.16 number).
  static constexpr int32_t kMaxSize = 32767;

  // Reads Size, BitsPerSample, Encode, Decode and the samples from the
  // stream `dictionary`. (runtime, 2) for a missing Range, a Size below 1 or
  // above kMaxSize, an unsupported BitsPerSample, too little sample data.
  SampledFunction(runtime::LibraryContext* context, const runtime::ObjectHandle& domain,
                  const runtime::ObjectHandle& range, const runtime::ObjectHandle& dictionary,
                  streams::StreamOpener* opener);

  // The interpolated samples (on the 16-bit scale, not yet decoded) at
  // `inputs` into `values` (n of them).
  void Interpolate(const Fixed* inputs, Fixed* values);
  // The Fixed form: Decode, then the Range clip.
  void EvaluateFixed(const Fixed* inputs, Fixed* outputs);
  // The byte form: the unit range in place of Decode, then the Range clip.
  void EvaluateUnit(const Fixed* inputs, Fixed* outputs);

  // The grid position of input i: Domain clip, Encode, then limited to
  // [0, Size - 1].
  Fixed EncodeInput(uint32_t i, Fixed x) const;
  const uint32_t* Samples() const { return samples_; }

 private:
  uint32_t SelfSize() const override { return sizeof(*this); }
  void ReadSamples(const runtime::ObjectHandle& dictionary, streams::StreamOpener* opener,
                   uint32_t bitsPerSample, uint64_t gridPoints);

  int32_t size_[kMaxInputs] = {};
  Fixed* encode_ = nullptr;
  Fixed* decode_ = nullptr;
  Fixed* unitRange_ = nullptr;
  uint32_t* samples_ = nullptr;
  // Evaluation scratch: 2^m x n corner values.
  Fixed* corners_ = nullptr;
};

}  // namespace color
