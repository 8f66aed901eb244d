#include "content/ImageInfo.h"

#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "runtime/KeyNameTable.h"

namespace content {

using runtime::Array;
using runtime::Dictionary;
using runtime::Fixed;
using runtime::KeyRow;
using runtime::ObjectHandle;
using runtime::ObjectTag;

namespace {

ObjectHandle ImageEntry(const ObjectHandle& dictionary, KeyRow row, bool abbreviations) {
  if (abbreviations) return Dictionary::GetByNamePair(dictionary, row);
  return Dictionary::Get(dictionary, runtime::KeyNames(row).full);
}

int32_t PositiveSize(const ObjectHandle& dictionary, KeyRow row, bool abbreviations) {
  const ObjectHandle value = ImageEntry(dictionary, row, abbreviations);
  if (!value->Is(ObjectTag::kInteger) || value->AsInteger() < 1) runtime::ThrowMalformed();
  return value->AsInteger();
}

bool ValidImageBits(int32_t bits) { return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16; }

// The n numbers of a decode array, or the integers of a colour key, as
// 16.16 values: a number beyond 16.16 saturates.
Fixed NumberAt(const ObjectHandle& array, uint32_t i) {
  const ObjectHandle value = Array::Get(array, i);
  if (!value->IsNumber()) runtime::ThrowMalformed();
  return value->AsNumber();
}

}  // namespace

uint64_t ImageInfo::RowBytes() const {
  if (width <= 0 || bitsPerComponent <= 0 || components <= 0) return 0;
  return (uint64_t{static_cast<uint32_t>(width)} * static_cast<uint32_t>(bitsPerComponent) *
              static_cast<uint32_t>(components) +
          7) /
         8;
}

void ImageInfo::ReadLayout(ImageInfo& info, const ObjectHandle& dictionary, bool abbreviations, bool softMaskInData) {
  info.width = PositiveSize(dictionary, KeyRow::kWidth, abbreviations);
  info.height = PositiveSize(dictionary, KeyRow::kHeight, abbreviations);
  const ObjectHandle imageMask = ImageEntry(dictionary, KeyRow::kImageMask, abbreviations);
  if (!imageMask.IsNull() && !imageMask->Is(ObjectTag::kBoolean)) runtime::ThrowMalformed();
  info.imageMask = !imageMask.IsNull() && imageMask->AsBoolean();
  const ObjectHandle interpolate = ImageEntry(dictionary, KeyRow::kInterpolate, abbreviations);
  info.interpolate = interpolate->Is(ObjectTag::kBoolean) && interpolate->AsBoolean();
  info.maskKind = kNoMask;
  info.mask = ObjectHandle();
  if (info.imageMask) {
    info.bitsPerComponent = 1;
    info.components = 1;
    return;
  }
  const ObjectHandle softMask = Dictionary::Get(dictionary, "SMask");
  const ObjectHandle mask = Dictionary::Get(dictionary, "Mask");
  if (softMaskInData && Dictionary::GetIntegerOr(dictionary, "SMaskInData", 0) != 0) {
    info.maskKind = kSoftMask;
  } else if (softMask.Tag() == ObjectTag::kDictionary) {
    info.maskKind = kSoftMask;
    info.mask = softMask;
  } else if (mask.Tag() == ObjectTag::kArray) {
    info.maskKind = kColorKeyMask;
  } else if (!mask.IsNull()) {
    info.maskKind = kStencilMask;
    info.mask = mask;
  }
  const ObjectHandle bits = ImageEntry(dictionary, KeyRow::kBitsPerComponent, abbreviations);
  if (!bits.IsNull() && !bits->Is(ObjectTag::kInteger)) runtime::ThrowMalformed();
  info.bitsPerComponent = bits.IsNull() ? 8 : bits->AsInteger();
  if (!ValidImageBits(info.bitsPerComponent)) runtime::ThrowMalformed();
}

void ImageInfo::ReadArrays(ImageInfo& info, const ObjectHandle& dictionary, bool abbreviations,
                           runtime::ArenaAllocator& arena) {
  if (info.components < 1 || info.components > kMaxComponents) runtime::ThrowMalformed();
  const uint32_t count = 2 * static_cast<uint32_t>(info.components);
  info.decode = nullptr;
  info.colorKey = nullptr;
  info.inverted = false;
  if (info.maskKind == kColorKeyMask) {
    const ObjectHandle ranges = Dictionary::Get(dictionary, "Mask");
    if (Array::Count(ranges) != count) runtime::ThrowMalformed();
    auto* key = static_cast<int32_t*>(arena.Alloc(count * sizeof(int32_t)));
    for (uint32_t i = 0; i < count; ++i) {
      const ObjectHandle value = Array::Get(ranges, i);
      if (!value->IsNumber()) runtime::ThrowMalformed();
      key[i] = value->Is(ObjectTag::kInteger) ? value->AsInteger() : runtime::FixedToIntFloor(value->AsNumber());
    }
    info.colorKey = key;
    return;
  }
  const ObjectHandle array = ImageEntry(dictionary, KeyRow::kDecode, abbreviations);
  Fixed pairs[2 * kMaxComponents];
  bool given = !array.IsNull();
  if (given) {
    if (array.Tag() != ObjectTag::kArray || Array::Count(array) < count) runtime::ThrowMalformed();
    for (uint32_t i = 0; i < count; ++i) pairs[i] = NumberAt(array, i);
  }
  // The default pair, in the domain the pairs are given in.
  Fixed low = 0, high = runtime::kFixedOne;
  if (info.indexed) high = runtime::FixedFromInt((1 << (info.bitsPerComponent > 8 ? 8 : info.bitsPerComponent)) - 1);
  if (info.imageMask) {
    // Coverage: a sample decoding to 0 is painted.
    if (!given) {
      pairs[0] = runtime::kFixedOne;
      pairs[1] = 0;
      given = true;
    } else {
      pairs[0] = runtime::kFixedOne - pairs[0];
      pairs[1] = runtime::kFixedOne - pairs[1];
    }
  }
  if (!given) return;
  bool isDefault = true;
  bool allInverted = true;
  for (uint32_t i = 0; i < count; i += 2) {
    isDefault = isDefault && pairs[i] == low && pairs[i + 1] == high;
    allInverted = allInverted && pairs[i] == high && pairs[i + 1] == low;
  }
  if (isDefault) return;
  auto* kept = static_cast<Fixed*>(arena.Alloc(count * sizeof(Fixed)));
  for (uint32_t i = 0; i < count; ++i) kept[i] = pairs[i];
  info.decode = kept;
  info.inverted = allInverted && !info.indexed;
}

}  // namespace content
