#include "color/ColorContext.h"

#include "color/ColorSpaceRecord.h"
#include "color/EmbeddedProfiles.h"
#include "color/IccProfile.h"
#include "content/DocumentArrayOperands.h"
#include "runtime/ErrorTrap.h"
#include "streams/MemoryDataSource.h"

namespace color {

namespace {

// The white point of the device spaces (D50) and their gamma 2.2.
constexpr Fixed kDeviceWhite[3] = {0xF6D5, 0x10000, 0xD32D};
constexpr Fixed kDeviceBlack[3] = {0, 0, 0};
constexpr Fixed kDeviceGamma = 0x23333;
// The colorant columns of the device RGB space.
constexpr Fixed kDeviceRed[3] = {0x6FA2, 0x38F5, 0x390};
constexpr Fixed kDeviceGreen[3] = {0x6299, 0xB784, 0x18DA};
constexpr Fixed kDeviceBlue[3] = {0x24A0, 0xF84, 0xB6CF};

}  // namespace

ColorContext::ColorContext(runtime::LibraryContext* context, pdf::Document* document)
    : context_(context), document_(document), scratch_(context, 4096, 1024), cieSpaces_(context),
      iccSpaces_(context) {}

content::ColorSpaceOperands* ColorContext::OperandsOver(const runtime::ObjectHandle& array) {
  if (document_ == nullptr) runtime::ThrowRuntime(runtime::kMalformed);
  return runtime::NewInArena<content::DocumentArrayOperands>(scratch_, array, document_, scratch_);
}

streams::Ref<ColorSpace> ColorContext::DeviceGray() {
  if (!deviceGray_) deviceGray_ = IccProfile::SynthesiseGray(context_, kDeviceWhite, kDeviceBlack, kDeviceGamma);
  return deviceGray_;
}

streams::Ref<ColorSpace> ColorContext::DeviceRgb() {
  if (!deviceRgb_) {
    const Fixed gammas[3] = {kDeviceGamma, kDeviceGamma, kDeviceGamma};
    deviceRgb_ = IccProfile::SynthesiseRgb(context_, kDeviceWhite, kDeviceBlack, kDeviceRed, kDeviceGreen,
                                           kDeviceBlue, gammas, true);
  }
  return deviceRgb_;
}

streams::Ref<ColorSpace> ColorContext::DeviceCmyk() {
  if (!deviceCmyk_) {
    auto source = streams::MakeRef<streams::MemoryDataSource>(context_, GetEmbeddedCmykProfile(),
                                                              GetEmbeddedCmykProfileSize());
    deviceCmyk_ = IccProfile::Parse(context_, source);
  }
  return deviceCmyk_;
}

streams::Ref<IccProfile> IccProfile::BuiltinRgb(runtime::LibraryContext* context, streams::Ref<IccProfile>& holder) {
  if (!holder) {
    auto source = streams::MakeRef<streams::MemoryDataSource>(context, GetEmbeddedRgbProfile(),
                                                              GetEmbeddedRgbProfileSize());
    holder = IccProfile::Parse(context, source);
  }
  return holder;
}

streams::Ref<ColorSpace> ColorContext::CachedSpace(SpaceCache& cache, const runtime::ObjectHandle& object,
                                                   uint32_t variant, SpaceBuilder build) {
  const runtime::ContainerRecord* record =
      object->Is(runtime::ObjectTag::kDictionary) ? object->payload.list->Record() : nullptr;
  if (record == nullptr) return build(*this, object, variant);
  const SpaceKey key{record->startPosition, record->objectNumber, variant};
  SpaceCache::Ref cached = cache.Get(key, [&] {
    streams::Ref<ColorSpace> built = build(*this, object, variant);
    const uint32_t size = built ? built->MemorySize() : 0;
    // The cache holds counted references of its own kind: hand the first
    // count over.
    return SpaceCache::Built{SpaceCache::Ref::Adopt(context_, built.Detach()), size};
  });
  if (cached) {
    if (runtime::CacheEntry* entry = cache.Cache().Find(&key)) cached->SetCacheEntry(entry);
  }
  return streams::Ref<ColorSpace>(cached.Get());
}

}  // namespace color
