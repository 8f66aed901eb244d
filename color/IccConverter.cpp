#include "color/IccConverter.h"

#include <algorithm>
#include <utility>

#include "color/BasicStages.h"
#include "color/IccProfile.h"
#include "color/PassThroughConverter.h"
#include "runtime/CostCache.h"
#include "runtime/ErrorTrap.h"
#include "runtime/PerfFrequency.h"

namespace color {

namespace {

using runtime::kFixedOne;

int64_t ConverterTicks() { return runtime::ReadPerfCounter(); }

// Times what making a converter costs and charges it to the profile's
// cost-cache entry when the maker returns or throws: build time only when
// it exceeds what was charged before, the byte size always.
class BuildTimeRecord {
 public:
  explicit BuildTimeRecord(IccProfile& profile) : profile_(profile) {}
  ~BuildTimeRecord() { Close(); }
  BuildTimeRecord(const BuildTimeRecord&) = delete;
  BuildTimeRecord& operator=(const BuildTimeRecord&) = delete;

  void Start() {
    if (!running_ && profile_.CacheEntry() != nullptr) {
      start_ = ConverterTicks();
      running_ = true;
    }
  }

 private:
  void Close() {
    runtime::CacheEntry* entry = profile_.CacheEntry();
    if (entry == nullptr) return;
    if (running_) {
      const int64_t now = ConverterTicks();
      const uint64_t elapsed = now > start_ ? static_cast<uint64_t>(now - start_) : 0;
      if (elapsed > profile_.recordedBuildTicks) {
        entry->buildTicks += elapsed - profile_.recordedBuildTicks;
        profile_.recordedBuildTicks = elapsed;
      }
      running_ = false;
    }
    runtime::CacheManager& manager = entry->cache->Context()->cacheManager;
    const uint32_t size = profile_.MemorySize();
    manager.cachedBytes -= std::min<uint64_t>(manager.cachedBytes, entry->byteSize);
    manager.cachedBytes += size;
    manager.peakCachedBytes = std::max(manager.peakCachedBytes, manager.cachedBytes);
    entry->byteSize = size;
  }

  IccProfile& profile_;
  int64_t start_ = 0;
  bool running_ = false;
};

// The source's last transform when it leads to this destination with this
// intent and linear flag; else a new one, kept as the last.
IccTransformRef AcquireTransform(IccProfile& source, IccProfile& destination, int32_t intent, int32_t cacheMode,
                                 bool linear) {
  IccProfile::LastTransform& last = source.lastTransform;
  if (last.transform && last.destination == &destination && last.destinationSerial == destination.Serial() &&
      last.intent == intent && last.linear == linear) {
    last.transform->EnableCache(cacheMode, last.transform->Inputs(), last.transform->Outputs());
    return last.transform;
  }
  IccTransformRef transform = IccTransform::Create(source, destination, intent, cacheMode, linear, true);
  last.transform = transform;
  last.destination = &destination;
  last.destinationSerial = destination.Serial();
  last.intent = intent;
  last.linear = linear;
  return transform;
}

uint32_t ChannelsOf(const IccProfile& profile) {
  const int32_t count = profile.ComponentCount();
  if (count < 1 || count > kMaxColorChannels) runtime::ThrowRuntime(runtime::kMalformed);
  return static_cast<uint32_t>(count);
}

template <class Converter>
ColorConverterPtr MakeIccConverter(IccProfile& profile, ColorSpace& target, int32_t intent, int32_t cacheMode,
                                   bool linear, bool bytes) {
  BuildTimeRecord record(profile);
  runtime::LibraryContext* context = profile.Context();
  if (target.Equals(profile)) {
    return NewConverter<PassThroughConverter>(context, bytes ? ColorConverter::kBytes : ColorConverter::kFixed,
                                              profile.ComponentCount(), linear);
  }
  IccProfile* destination = target.AsProfile();
  if (destination == nullptr) runtime::ThrowRuntime(runtime::kUnsupported);
  const bool reuses = profile.lastTransform.transform && profile.lastTransform.destination == destination &&
                      profile.lastTransform.destinationSerial == destination->Serial() &&
                      profile.lastTransform.intent == intent && profile.lastTransform.linear == linear;
  if (!reuses) record.Start();
  ColorConverterPtr converter = NewConverter<Converter>(context, profile, *destination, intent, cacheMode, linear);
  // The profile may have been the last holder of the data it was read
  // from: nothing reads it any more.
  if (profile.source && profile.source->RefCount() == 1) {
    profile.source.Reset();
    record.Start();
  }
  return converter;
}

// Runs one of the transform's curve chains on a pixel of `outputs`
// components (bytes or 16.16 values), clamping what it writes.
template <class Component>
void RunCurveChain(const IccStage* chain, uint32_t outputs, void* destination, int32_t destinationStep,
                   const void* source, int32_t sourceStep) {
  auto* out = static_cast<Component*>(destination);
  const auto* in = static_cast<const Component*>(source);
  Fixed v[kMaxColorChannels] = {};
  for (uint32_t o = 0; o < outputs; ++o) {
    if constexpr (sizeof(Component) == 1) {
      v[o] = ByteToFixed(ComponentAt(in, o, sourceStep));
    } else {
      v[o] = ComponentAt(in, o, sourceStep);
    }
  }
  for (const IccStage* stage = chain; stage != nullptr; stage = stage->next.Get()) stage->Apply(v);
  for (uint32_t o = 0; o < outputs; ++o) {
    if constexpr (sizeof(Component) == 1) {
      ComponentAt(out, o, destinationStep) = ClampedFixedToByte(v[o]);
    } else {
      ComponentAt(out, o, destinationStep) = ClampUnit(v[o]);
    }
  }
}

}  // namespace

ColorConverterPtr IccProfile::MakeConverter8(ColorSpace& target, int32_t intent, int32_t cacheMode, bool linear) {
  return MakeIccConverter<IccConverter8>(*this, target, intent, cacheMode, linear, true);
}

ColorConverterPtr IccProfile::MakeConverterFixed(ColorSpace& target, int32_t intent, int32_t cacheMode,
                                                 bool linear) {
  return MakeIccConverter<IccConverterFixed>(*this, target, intent, cacheMode, linear, false);
}

// ---- IccConverter8 ----

IccConverter8::IccConverter8(runtime::LibraryContext* context, IccProfile& source, IccProfile& destination,
                             int32_t intent, int32_t cacheMode, bool linear)
    : ColorConverter(context, kBytes), inputs_(ChannelsOf(source)), outputs_(ChannelsOf(destination)) {
  const uint32_t rows = inputs_ == 3 ? kRowsForThreeInputs : kRows;
  keys_.Allocate(context, rows);
  // No colour that hashes to row 0 has the key 1, and only row 0 can be
  // asked for the key 0: every row starts empty.
  keys_[0] = 1;
  values_.Allocate(context, rows * kMaxColorChannels);
  const std::span<const Fixed> ranges = source.Ranges();
  ranges_.CopyFrom(context, ranges.data(), static_cast<uint32_t>(ranges.size()));
  transform_ = AcquireTransform(source, destination, intent, cacheMode, linear);
  // Curves at the head of the chain see only 256 values per channel.
  const IccStage* stage = transform_->FirstStage().Get();
  while (stage != nullptr && stage->Channel() >= 0 && static_cast<uint32_t>(stage->Channel()) < inputs_) {
    stage = stage->next.Get();
  }
  rest_ = stage;
  if (rest_ != transform_->FirstStage().Get()) leading_.Allocate(context, kMaxColorChannels * 256);
  // The trailing run: every stage from there on rewrites each channel by
  // itself (a curve or the clamp), so each output byte is a function of
  // its channel's value alone and can be tabulated.
  for (stage = rest_; stage != nullptr; stage = stage->next.Get()) {
    if (stage->Channel() < 0 && stage->Kind() != IccStage::kClamp) {
      tail_ = nullptr;
    } else if (tail_ == nullptr) {
      tail_ = stage;
    }
  }
}

void IccConverter8::TabulateTrailing() {
  if (tail_ == nullptr || trailing_.Count() != 0) return;
  ContextArray<uint8_t> table;
  // Without the memory the curves run as they are.
  if (!table.TryAllocate(Context(), outputs_ * kTrailingEntries)) return;
  Fixed* vectors = batch_.Data();
  for (uint32_t start = 0; start < kTrailingEntries; start += kBatch) {
    const uint32_t count = std::min(kBatch, kTrailingEntries - start);
    for (uint32_t i = 0; i < count; ++i) {
      for (uint32_t c = 0; c < kMaxColorChannels; ++c) vectors[i * kMaxColorChannels + c] = static_cast<Fixed>(start + i);
    }
    for (const IccStage* stage = tail_; stage != nullptr; stage = stage->next.Get()) stage->ApplySpan(vectors, count);
    for (uint32_t o = 0; o < outputs_; ++o) {
      for (uint32_t i = 0; i < count; ++i) {
        table[o * kTrailingEntries + start + i] = ClampedFixedToByte(vectors[i * kMaxColorChannels + o]);
      }
    }
  }
  trailing_ = std::move(table);
}

void IccConverter8::TrailingToBytes(uint32_t count, uint8_t* const* pending, int32_t componentStep,
                                    const uint32_t* rows) {
  Fixed* spill = &batch_[kBatch * kMaxColorChannels];
  uint32_t spilled = 0;
  uint32_t spilledAt[kBatch];
  const uint8_t* table = trailing_.Data();
  for (uint32_t p = 0; p < count; ++p) {
    const Fixed* v = &batch_[p * kMaxColorChannels];
    bool inRange = true;
    for (uint32_t o = 0; o < outputs_; ++o) inRange = inRange && static_cast<uint32_t>(v[o]) <= kFixedOne;
    if (!inRange) {
      for (uint32_t c = 0; c < kMaxColorChannels; ++c) spill[spilled * kMaxColorChannels + c] = v[c];
      spilledAt[spilled++] = p;
      continue;
    }
    uint8_t* row = &values_[rows[p] * kMaxColorChannels];
    for (uint32_t o = 0; o < outputs_; ++o) {
      const uint8_t byte = table[o * kTrailingEntries + static_cast<uint32_t>(v[o])];
      ComponentAt(pending[p], o, componentStep) = byte;
      row[o] = byte;
    }
  }
  if (spilled == 0) return;
  for (const IccStage* stage = tail_; stage != nullptr; stage = stage->next.Get()) stage->ApplySpan(spill, spilled);
  for (uint32_t s = 0; s < spilled; ++s) {
    const uint32_t p = spilledAt[s];
    uint8_t* row = &values_[rows[p] * kMaxColorChannels];
    for (uint32_t o = 0; o < outputs_; ++o) {
      const uint8_t byte = ClampedFixedToByte(spill[s * kMaxColorChannels + o]);
      ComponentAt(pending[p], o, componentStep) = byte;
      row[o] = byte;
    }
  }
}

Fixed IccConverter8::LeadingCurves(uint32_t c, uint32_t b) {
  uint64_t& word = leadingFilled_[c][b >> 6];
  const uint64_t bit = uint64_t{1} << (b & 63);
  Fixed& slot = leading_[c * 256 + b];
  if ((word & bit) == 0) {
    Fixed v[kMaxColorChannels] = {};
    v[c] = ByteToFixed(b);
    for (const IccStage* stage = transform_->FirstStage().Get(); stage != rest_; stage = stage->next.Get()) {
      if (stage->Channel() == static_cast<int32_t>(c)) stage->Apply(v);
    }
    slot = v[c];
    word |= bit;
  }
  return slot;
}

inline void IccConverter8::Convert(uint8_t* out, int32_t outStep, const uint8_t* in, int32_t inStep) {
  uint32_t key = 0, index = 0;
  for (uint32_t i = 0; i < inputs_; ++i) {
    const uint32_t b = ComponentAt(in, i, inStep);
    key |= b << (8 * i);
    index |= inputs_ == 1 ? b : (inputs_ == 3 ? (b & 7) << (3 * i) : (b & 3) << (2 * i));
  }
  uint8_t* row = &values_[index * kMaxColorChannels];
  if (keys_[index] == key) {
    for (uint32_t o = 0; o < outputs_; ++o) ComponentAt(out, o, outStep) = row[o];
    return;
  }
  Fixed v[kMaxColorChannels] = {};
  if (leading_.Count() != 0) {
    for (uint32_t i = 0; i < inputs_; ++i) v[i] = LeadingCurves(i, ComponentAt(in, i, inStep));
  } else {
    for (uint32_t i = 0; i < inputs_; ++i) v[i] = ByteToFixed(ComponentAt(in, i, inStep));
  }
  transform_->RunChainFrom(rest_, v);
  keys_[index] = key;
  for (uint32_t o = 0; o < outputs_; ++o) {
    const uint8_t byte = ClampedFixedToByte(v[o]);
    ComponentAt(out, o, outStep) = byte;
    row[o] = byte;
  }
}

void IccConverter8::ConvertPixel(void* destination, int32_t destinationStep, const void* source,
                                 int32_t sourceStep) {
  Convert(static_cast<uint8_t*>(destination), destinationStep, static_cast<const uint8_t*>(source), sourceStep);
}

void IccConverter8::ConvertRect(const ColorBuffer& destination, const ColorBuffer& source, int32_t x0, int32_t y0,
                                int32_t x1, int32_t y1) {
  if (x1 <= x0 || y1 <= y0) return;
  if (batch_.Count() == 0) batch_.Allocate(Context(), 2 * kBatch * kMaxColorChannels);
  // A large rectangle meets most input bytes: the leading curves are
  // tabulated whole once, and the loop reads them without the test.
  const int64_t pixels = (static_cast<int64_t>(x1) - x0) * (static_cast<int64_t>(y1) - y0);
  if (!leadingComplete_ && leading_.Count() != 0 && pixels >= kWholeLeadingPixels) {
    for (uint32_t c = 0; c < inputs_; ++c) {
      for (uint32_t b = 0; b < 256; ++b) LeadingCurves(c, b);
    }
    leadingComplete_ = true;
  }
  // A larger one also meets most values of the trailing curves.
  if (pixels >= kWholeTrailingPixels) TabulateTrailing();
  // The pixel loop is compiled once per input count, so that the key and
  // row of each pixel are formed without loops or tests over the count.
  switch (inputs_) {
    case 1:
      ConvertRows<1>(destination, source, x0, y0, x1, y1);
      break;
    case 2:
      ConvertRows<2>(destination, source, x0, y0, x1, y1);
      break;
    case 3:
      ConvertRows<3>(destination, source, x0, y0, x1, y1);
      break;
    default:
      ConvertRows<4>(destination, source, x0, y0, x1, y1);
      break;
  }
}

template <uint32_t kInputs>
void IccConverter8::ConvertRows(const ColorBuffer& destination, const ColorBuffer& source, int32_t x0, int32_t y0,
                                int32_t x1, int32_t y1) {
  // Pixels that miss the cache are gathered and run through the chain
  // stage by stage, a batch at a time, so that each stage's loop stays
  // inside the stage.
  uint8_t* pending[kBatch];
  uint32_t pendingKeys[kBatch];
  uint32_t pendingRows[kBatch];
  uint32_t count = 0;
  const uint32_t outputs = outputs_;
  const int32_t inStep = source.componentStep;
  const int32_t outStep = destination.componentStep;
  const bool tabulated = trailing_.Count() != 0;
  auto flush = [&] {
    if (count == 0) return;
    for (uint32_t p = 0; p < count; ++p) keys_[pendingRows[p]] = pendingKeys[p];
    if (tabulated) {
      transform_->RunChainSpanFrom(rest_, batch_.Data(), count, tail_);
      TrailingToBytes(count, pending, outStep, pendingRows);
      count = 0;
      return;
    }
    transform_->RunChainSpanFrom(rest_, batch_.Data(), count);
    for (uint32_t p = 0; p < count; ++p) {
      const Fixed* v = &batch_[p * kMaxColorChannels];
      uint8_t* row = &values_[pendingRows[p] * kMaxColorChannels];
      for (uint32_t o = 0; o < outputs; ++o) {
        const uint8_t byte = ClampedFixedToByte(v[o]);
        ComponentAt(pending[p], o, outStep) = byte;
        row[o] = byte;
      }
    }
    count = 0;
  };
  const uint32_t* keys = keys_.Data();
  const uint8_t* values = values_.Data();
  for (int32_t y = y0; y < y1; ++y) {
    uint8_t* out = destination.PixelAt(x0, y);
    const uint8_t* in = source.PixelAt(x0, y);
    for (int32_t x = x0; x < x1; ++x, out += destination.pixelStep, in += source.pixelStep) {
      uint32_t bytes[kInputs];
      uint32_t key = 0, index = 0;
      [&]<uint32_t... I>(std::integer_sequence<uint32_t, I...>) {
        ((bytes[I] = ComponentAt(in, I, inStep)), ...);
        key = ((bytes[I] << (8 * I)) | ...);
        if constexpr (kInputs == 1) {
          index = bytes[0];
        } else if constexpr (kInputs == 3) {
          index = (((bytes[I] & 7) << (3 * I)) | ...);
        } else {
          index = (((bytes[I] & 3) << (2 * I)) | ...);
        }
      }(std::make_integer_sequence<uint32_t, kInputs>{});
      if (keys[index] == key) {
        const uint8_t* row = &values[index * kMaxColorChannels];
        if (outputs == 3) {
          ComponentAt(out, 0, outStep) = row[0];
          ComponentAt(out, 1, outStep) = row[1];
          ComponentAt(out, 2, outStep) = row[2];
        } else {
          for (uint32_t o = 0; o < outputs; ++o) ComponentAt(out, o, outStep) = row[o];
        }
        continue;
      }
      Fixed* v = &batch_[count * kMaxColorChannels];
      for (uint32_t i = 0; i < kMaxColorChannels; ++i) {
        v[i] = i >= kInputs                 ? 0
               : leadingComplete_           ? leading_[i * 256 + bytes[i]]
               : leading_.Count() != 0      ? LeadingCurves(i, bytes[i])
                                            : ByteToFixed(bytes[i]);
      }
      pending[count] = out;
      pendingKeys[count] = key;
      pendingRows[count] = index;
      if (++count == kBatch) flush();
    }
  }
  flush();
}

void IccConverter8::EncodePixel(void* destination, int32_t destinationStep, const void* source,
                                int32_t sourceStep) {
  RunCurveChain<uint8_t>(transform_->outputCurves.Get(), outputs_, destination, destinationStep, source, sourceStep);
}

void IccConverter8::DecodePixel(void* destination, int32_t destinationStep, const void* source,
                                int32_t sourceStep) {
  RunCurveChain<uint8_t>(transform_->inputCurves.Get(), outputs_, destination, destinationStep, source, sourceStep);
}

// ---- IccConverterFixed ----

IccConverterFixed::IccConverterFixed(runtime::LibraryContext* context, IccProfile& source, IccProfile& destination,
                                     int32_t intent, int32_t cacheMode, bool linear)
    : ColorConverter(context, kFixed), inputs_(ChannelsOf(source)), outputs_(ChannelsOf(destination)) {
  const std::span<const Fixed> ranges = source.Ranges();
  if (!ranges.empty()) {
    ranges_.CopyFrom(context, ranges.data(), static_cast<uint32_t>(ranges.size()));
  } else if (source.dataSpace == IccSig("Lab ")) {
    // Lab without a Range: L* 0..100, a* and b* -128..127.
    static constexpr Fixed kLabRanges[6] = {0, 100 * kFixedOne, -128 * kFixedOne, 127 * kFixedOne,
                                            -128 * kFixedOne, 127 * kFixedOne};
    ranges_.CopyFrom(context, kLabRanges, 6);
  }
  transform_ = AcquireTransform(source, destination, intent, cacheMode, linear);
}

void IccConverterFixed::ConvertPixel(void* destination, int32_t destinationStep, const void* source,
                                     int32_t sourceStep) {
  auto* out = static_cast<Fixed*>(destination);
  const auto* in = static_cast<const Fixed*>(source);
  Fixed v[kMaxColorChannels] = {};
  for (uint32_t i = 0; i < inputs_; ++i) {
    const Fixed value = ComponentAt(in, i, sourceStep);
    if (2 * i + 1 < ranges_.Count()) {
      const Fixed low = ranges_[2 * i], high = ranges_[2 * i + 1];
      // An empty or reversed range maps everything to its low end.
      v[i] = high > low ? runtime::FixedDiv(std::clamp(value, low, high) - low, high - low) : 0;
    } else {
      v[i] = ClampUnit(value);
    }
  }
  transform_->Evaluate(v);
  for (uint32_t o = 0; o < outputs_; ++o) ComponentAt(out, o, destinationStep) = ClampUnit(v[o]);
}

void IccConverterFixed::EncodePixel(void* destination, int32_t destinationStep, const void* source,
                                    int32_t sourceStep) {
  RunCurveChain<Fixed>(transform_->outputCurves.Get(), outputs_, destination, destinationStep, source, sourceStep);
}

void IccConverterFixed::DecodePixel(void* destination, int32_t destinationStep, const void* source,
                                    int32_t sourceStep) {
  RunCurveChain<Fixed>(transform_->inputCurves.Get(), outputs_, destination, destinationStep, source, sourceStep);
}

}  // namespace color
