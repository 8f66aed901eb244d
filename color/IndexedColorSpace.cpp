#include "color/IndexedColorSpace.h"

#include "color/IndexedLutConverter.h"
#include "runtime/ErrorTrap.h"
#include "streams/ChainedStream.h"
#include "streams/FilterChainBuilder.h"

namespace color {

uint32_t CountedReferenceCharge(const ColorSpace& space) {
  return 24 + (space.IsUnique() ? space.MemorySize() : 0);
}

IndexedColorSpace::IndexedColorSpace(runtime::LibraryContext* context, streams::Ref<ColorSpace> base, int32_t hival,
                                     const uint8_t* palette, uint32_t paletteLength)
    : ColorSpace(context, 1), base_(std::move(base)), hival_(static_cast<uint32_t>(hival)) {
  // Unsigned, so that a negative hival fails too.
  if (hival_ > static_cast<uint32_t>(kMaxHival) || !base_) runtime::ThrowRuntime(runtime::kMalformed);
  const int32_t baseCount = base_->ComponentCount();
  if (baseCount <= 0) runtime::ThrowRuntime(runtime::kMalformed);
  const uint32_t needed = (hival_ + 1) * static_cast<uint32_t>(baseCount);
  if (paletteLength < needed) runtime::ThrowRuntime(runtime::kMalformed);
  palette_.CopyFrom(context, palette, needed);
}

streams::Ref<IndexedColorSpace> IndexedColorSpace::FromString(runtime::LibraryContext* context,
                                                              streams::Ref<ColorSpace> base, int32_t hival,
                                                              const uint8_t* first, const uint8_t* end) {
  return streams::MakeRef<IndexedColorSpace>(context, std::move(base), hival, first,
                                             static_cast<uint32_t>(end - first));
}

streams::Ref<IndexedColorSpace> IndexedColorSpace::FromStream(runtime::LibraryContext* context,
                                                              streams::Ref<ColorSpace> base, int32_t hival,
                                                              const runtime::ObjectHandle& stream,
                                                              streams::StreamOpener* opener) {
  if (opener == nullptr || !base || hival < 0 || hival > kMaxHival) runtime::ThrowRuntime(runtime::kMalformed);
  const uint32_t needed = static_cast<uint32_t>(hival + 1) * static_cast<uint32_t>(base->ComponentCount());
  ContextArray<uint8_t> bytes;
  bytes.Allocate(context, needed);
  auto data = streams::MakeRef<streams::ChainedStream>(context, opener->OpenStream(stream));
  const uint32_t got = static_cast<uint32_t>(data->Read(bytes.Data(), needed));
  return streams::MakeRef<IndexedColorSpace>(context, std::move(base), hival, bytes.Data(), got);
}

ColorConverterPtr IndexedColorSpace::MakeConverter8(ColorSpace& target, int32_t intent, int32_t cacheMode,
                                                    bool linear) {
  ColorConverterPtr wrapped = base_->MakeConverter8(target, intent, cacheMode, linear);
  if (!wrapped) return {};
  return NewConverter<IndexedLutConverter>(Context(), *this, target, std::move(wrapped));
}

ColorConverterPtr IndexedColorSpace::MakeConverterFixed(ColorSpace& target, int32_t intent, int32_t cacheMode,
                                                        bool linear) {
  ColorConverterPtr wrapped = base_->MakeConverterFixed(target, intent, cacheMode, linear);
  if (!wrapped) return {};
  return NewConverter<IndexedLutConverterFixed>(Context(), *this, target, std::move(wrapped));
}

uint32_t IndexedColorSpace::MemorySize() const {
  return 88 + palette_.ByteSize() + CountedReferenceCharge(*base_);
}

}  // namespace color
