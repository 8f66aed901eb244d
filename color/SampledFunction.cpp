#include "color/SampledFunction.h"

#include <algorithm>

#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "runtime/Scheduler.h"
#include "streams/ChainedStream.h"
#include "streams/FilterChainBuilder.h"

namespace color {

using runtime::Array;
using runtime::Dictionary;
using runtime::ObjectHandle;

namespace {

// The sample data is read in one piece and unpacked; a budget of this
// many samples keeps a crafted Size from asking for more than the memory
// budget could ever give.
constexpr uint64_t kMaxSampleCount = uint64_t{1} << 22;

// One packed sample of `bits` bits at bit offset `bit` of `data`, on the
// 16-bit scale (a full 1-bit sample is 1.0, every other width's 0xFFFF).
uint32_t UnpackSample(const uint8_t* data, uint64_t bit, uint32_t bits) {
  const uint8_t* at = data + bit / 8;
  switch (bits) {
    case 1:
      return ((at[0] >> (7 - bit % 8)) & 1) * 65536u;
    case 2:
      return ((at[0] >> (6 - bit % 8)) & 3) * 21845u;
    case 4:
      return ((at[0] >> (4 - bit % 8)) & 15) * 4369u;
    case 8:
      return at[0] * 257u;
    case 12: {
      const uint32_t v = bit % 8 == 0 ? (at[0] << 4) | (at[1] >> 4) : ((at[0] & 15) << 8) | at[1];
      return (v << 4) + (v >> 8);
    }
    default:  // 16, 24, 32: the first two bytes, big-endian
      return (uint32_t{at[0]} << 8) | at[1];
  }
}

bool SupportedBits(int32_t bits) {
  return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 12 || bits == 16 ||
         bits == 24 || bits == 32;
}

}  // namespace

SampledFunction::SampledFunction(runtime::LibraryContext* context, const ObjectHandle& domain,
                                 const ObjectHandle& range, const ObjectHandle& dictionary,
                                 streams::StreamOpener* opener)
    : PdfFunction(context, kSampled, 4096, 1024) {
  ReadDomainAndRange(domain, range, true);
  if (outputs_ == 0 || inputs_ == 0 || inputs_ > kMaxInputs) runtime::ThrowRuntime(runtime::kMalformed);

  const ObjectHandle size = Dictionary::GetArray(dictionary, "Size");
  if (Array::Count(size) < inputs_) runtime::ThrowRuntime(runtime::kMalformed);
  // The grid's point count in 64 bits: with every Size at most 32767 and
  // at most 12 inputs the product cannot wrap before it is refused.
  uint64_t gridPoints = 1;
  for (uint32_t i = 0; i < inputs_; ++i) {
    size_[i] = Array::GetInteger(size, i);
    if (size_[i] < 1 || size_[i] > kMaxSize) runtime::ThrowRuntime(runtime::kMalformed);
    gridPoints *= static_cast<uint64_t>(size_[i]);
    if (gridPoints * outputs_ > kMaxSampleCount) runtime::ThrowRuntime(runtime::kMalformed);
  }
  const int32_t bitsPerSample = Dictionary::GetInteger(dictionary, "BitsPerSample");
  if (!SupportedBits(bitsPerSample)) runtime::ThrowRuntime(runtime::kMalformed);

  const ObjectHandle decode = Dictionary::GetOptionalArray(dictionary, "Decode");
  decode_ = decode.IsNull() ? range_ : ReadNumbers(decode, 2 * outputs_);
  unitRange_ = AllocateFixed(2 * outputs_);
  for (uint32_t j = 0; j < outputs_; ++j) {
    const Fixed low = range_[2 * j];
    const Fixed high = range_[2 * j + 1];
    const bool unit = low >= 0 && low <= runtime::kFixedOne && high >= 0 && high <= runtime::kFixedOne;
    unitRange_[2 * j] = unit ? low : 0;
    unitRange_[2 * j + 1] = unit ? high : runtime::kFixedOne;
  }
  const ObjectHandle encode = Dictionary::GetOptionalArray(dictionary, "Encode");
  if (!encode.IsNull()) {
    encode_ = ReadNumbers(encode, 2 * inputs_);
  } else {
    encode_ = AllocateFixed(2 * inputs_);
    for (uint32_t i = 0; i < inputs_; ++i) {
      encode_[2 * i] = 0;
      encode_[2 * i + 1] = runtime::FixedFromInt(size_[i] - 1);
    }
  }
  ReadSamples(dictionary, opener, static_cast<uint32_t>(bitsPerSample), gridPoints);
  corners_ = AllocateFixed((uint32_t{1} << inputs_) * outputs_);
}

void SampledFunction::ReadSamples(const ObjectHandle& dictionary, streams::StreamOpener* opener,
                                  uint32_t bitsPerSample, uint64_t gridPoints) {
  if (opener == nullptr) runtime::ThrowRuntime(runtime::kMalformed);
  const uint64_t sampleCount = gridPoints * outputs_;
  const uint64_t byteCount = (sampleCount * bitsPerSample + 7) / 8;
  auto data = streams::MakeRef<streams::ChainedStream>(Context(), opener->OpenStream(dictionary));
  // The packed bytes live only while they are unpacked: a scope of the
  // arena gives them back.
  runtime::ArenaAllocator packedArena(Context(), 4096, 1024);
  auto* packed = static_cast<uint8_t*>(packedArena.Alloc(static_cast<size_t>(byteCount)));
  if (data->Read(packed, static_cast<size_t>(byteCount)) < byteCount) runtime::ThrowRuntime(runtime::kMalformed);
  samples_ = static_cast<uint32_t*>(arena_.Alloc(sizeof(uint32_t) * static_cast<size_t>(sampleCount)));
  runtime::ChargeWork(Context(), static_cast<int32_t>(sampleCount / 8));
  for (uint64_t s = 0; s < sampleCount; ++s) samples_[s] = UnpackSample(packed, s * bitsPerSample, bitsPerSample);
}

Fixed SampledFunction::EncodeInput(uint32_t i, Fixed x) const {
  const Fixed d0 = domain_[2 * i];
  const Fixed d1 = domain_[2 * i + 1];
  x = ClipToPair(x, d0, d1);
  const Fixed e = d1 != d0 ? InterpolateFixed(x, d0, d1, encode_[2 * i], encode_[2 * i + 1]) : x;
  return std::clamp(e, 0, runtime::FixedFromInt(size_[i] - 1));
}

void SampledFunction::Interpolate(const Fixed* inputs, Fixed* values) {
  const uint32_t n = outputs_;
  int32_t base[kMaxInputs];
  Fixed weight[kMaxInputs];
  for (uint32_t i = 0; i < inputs_; ++i) {
    const Fixed e = EncodeInput(i, inputs[i]);
    base[i] = e >> 16;
    weight[i] = e & 0xFFFF;
  }
  const uint32_t cornerCount = uint32_t{1} << inputs_;
  for (uint32_t c = 0; c < cornerCount; ++c) {
    uint64_t offset = 0;
    for (uint32_t i = inputs_; i-- > 0;) {
      const int32_t index = std::min(base[i] + static_cast<int32_t>((c >> i) & 1), size_[i] - 1);
      offset = offset * static_cast<uint64_t>(size_[i]) + static_cast<uint64_t>(index);
    }
    const uint32_t* sample = samples_ + offset * n;
    for (uint32_t j = 0; j < n; ++j) corners_[c * n + j] = static_cast<Fixed>(sample[j]);
  }
  // Halve the corner set input by input: pairs differ in bit i of the
  // corner number, which after i rounds is the lowest bit.
  for (uint32_t i = 0; i < inputs_; ++i) {
    const uint32_t pairs = cornerCount >> (i + 1);
    for (uint32_t p = 0; p < pairs; ++p) {
      const Fixed* a = corners_ + (2 * p) * n;
      const Fixed* b = a + n;
      Fixed* out = corners_ + p * n;
      for (uint32_t j = 0; j < n; ++j) out[j] = a[j] + runtime::FixedMul(b[j] - a[j], weight[i]);
    }
  }
  for (uint32_t j = 0; j < n; ++j) values[j] = corners_[j];
}

void SampledFunction::EvaluateFixed(const Fixed* inputs, Fixed* outputs) {
  Interpolate(inputs, outputs);
  for (uint32_t j = 0; j < outputs_; ++j) {
    const Fixed y = LerpFixed(outputs[j], decode_[2 * j], decode_[2 * j + 1]);
    outputs[j] = ClipToPair(y, range_[2 * j], range_[2 * j + 1]);
  }
}

void SampledFunction::EvaluateUnit(const Fixed* inputs, Fixed* outputs) {
  Interpolate(inputs, outputs);
  for (uint32_t j = 0; j < outputs_; ++j) {
    const Fixed y = LerpFixed(outputs[j], unitRange_[2 * j], unitRange_[2 * j + 1]);
    outputs[j] = ClipToPair(y, range_[2 * j], range_[2 * j + 1]);
  }
}

}  // namespace color
