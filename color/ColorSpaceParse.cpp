// Colour-space values of a PDF file (family names, arrays, names of the
// resources' "ColorSpace" entries) turned into colour spaces.
#include <cstring>
#include <string_view>

#include "color/CieColorSpace.h"
#include "color/ColorContext.h"
#include "color/ColorSpace.h"
#include "color/ColorSpaceFamily.h"
#include "color/ColorSpaceRecord.h"
#include "color/IccBasedColorSpace.h"
#include "color/IdentityFunction.h"
#include "color/IndexedColorSpace.h"
#include "color/TintColorSpace.h"
#include "content/ColorSpaceOperands.h"
#include "content/DocumentArrayOperands.h"
#include "pdf/Document.h"
#include "pdf/ResourceScope.h"
#include "runtime/ArenaScope.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"

namespace color {

using content::ColorSpaceOperands;
using runtime::ObjectHandle;
using runtime::ObjectTag;

namespace {

// Resource names lead to arrays whose elements may name resources again
// (an Indexed base, a tint space's alternate); a crafted cycle of them
// ends here.
constexpr uint32_t kMaxColorSpaceNesting = 16;

class NestingGuard {
 public:
  explicit NestingGuard(uint32_t& depth) : depth_(depth) {
    if (depth_ >= kMaxColorSpaceNesting) runtime::ThrowRuntime(runtime::kMalformed);
    ++depth_;
  }
  ~NestingGuard() { --depth_; }
  NestingGuard(const NestingGuard&) = delete;
  NestingGuard& operator=(const NestingGuard&) = delete;

 private:
  uint32_t& depth_;
};

// Element i of `array` as a name (parsed with no array) or as an array
// (parsed by its element 0), under `forbidden`; any other type is
// malformed.
ColorSpaceRecord ParseElement(ColorContext& colors, ColorSpaceOperands& array, uint32_t i,
                              const ObjectHandle& resources, bool abbreviations, bool tintSpaces, int32_t forbidden,
                              bool sixteenBit) {
  const ObjectTag type = array.TypeAt(i);
  if (type == ObjectTag::kName) {
    return ColorSpace::Parse(colors, array.NameAt(i), resources, abbreviations, tintSpaces, nullptr, forbidden,
                             sixteenBit);
  }
  if (type == ObjectTag::kArray) {
    ColorSpaceOperands* inner = array.SubArrayAt(i);
    if (inner == nullptr) runtime::ThrowRuntime(runtime::kOutOfMemory);
    return ColorSpace::Parse(colors, inner->NameAt(0), resources, abbreviations, tintSpaces, inner, forbidden,
                             sixteenBit);
  }
  runtime::ThrowRuntime(runtime::kMalformed);
}

// The Default space standing in for `row`, or an empty result.
ResolvedColorSpace DefaultFor(ColorContext& colors, const ColorSpaceFamily::Row& row, const ObjectHandle& resources,
                              uint32_t flags) {
  ResolvedColorSpace none;
  none.space = nullptr;
  const ObjectHandle value = pdf::Resources::Lookup(resources, "ColorSpace", row.defaultKey);
  if (!value->Is(ObjectTag::kArray) || runtime::Array::Count(value) == 0) return none;
  ResolvedColorSpace resolved;
  runtime::ErrorTrap trap(colors.Context());
  const bool done = trap.Run([&] {
    runtime::ArenaScope scope(colors.Scratch());
    ColorSpaceOperands* operands = colors.OperandsOver(value);
    const std::string_view family = operands->NameAt(0);
    if (family == row.name) return;
    const uint32_t defaultFlags = (flags & ~uint32_t{ColorSpace::kAllowTintSpaces}) | ColorSpace::kResolvingDefault;
    resolved = ColorSpace::Resolve(colors, family, operands, resources, defaultFlags);
  });
  if (!done) {
    trap.SetHandled();
    const runtime::ErrorRecord& held = trap.Held();
    if (!(held.IsRuntime(runtime::kOutOfMemory) || held.IsRuntime(runtime::kMalformed) ||
          held.IsRuntime(runtime::kUnsupported))) {
      trap.Rethrow();
    }
    trap.Close();
    return none;
  }
  if (!resolved.space || resolved.componentCount != row.defaultCount) return none;
  return resolved;
}

ResolvedColorSpace DeviceResolution(streams::Ref<ColorSpace> space) {
  ResolvedColorSpace resolved;
  resolved.componentCount = space->ComponentCount();
  resolved.space = std::move(space);
  return resolved;
}

streams::Ref<ColorSpace> BuildCieSpace(ColorContext& colors, const ObjectHandle& parameters, uint32_t variant);

}  // namespace

ColorSpaceRecord ColorSpace::Parse(ColorContext& colors, std::string_view family, const ObjectHandle& resources,
                                   bool abbreviations, bool tintSpaces, ColorSpaceOperands* array, int32_t forbidden,
                                   bool sixteenBit) {
  NestingGuard guard(colors.parseDepth);
  const int32_t kind = ColorSpaceFamily::FromName(family, abbreviations);
  if ((kind & forbidden) != 0) runtime::ThrowRuntime(runtime::kMalformed);
  switch (kind) {
    case ColorSpaceFamily::kBaseless:
    case ColorSpaceFamily::kSeparationLike: {
      uint32_t flags = 0;
      if (abbreviations) flags |= kAllowAbbreviations;
      if (tintSpaces) flags |= kAllowTintSpaces;
      if (sixteenBit) flags |= kSixteenBitSamples;
      ColorSpaceRecord record =
          ColorSpaceRecord::FromResolved(ColorSpaceRecord::kOrdinary, Resolve(colors, family, array, resources, flags));
      if (kind == ColorSpaceFamily::kSeparationLike && array != nullptr) {
        if (family == "Separation") {
          record.allNone = array->TypeAt(1) == ObjectTag::kName && array->NameAt(1) == "None";
        } else if (array->TypeAt(1) == ObjectTag::kArray) {
          const uint32_t count = array->CountOfArrayAt(1);
          bool allNone = count != 0;
          for (uint32_t i = 0; i < count && allNone; ++i) allNone = array->NameInArrayAt(1, i) == "None";
          record.allNone = allNone;
        }
      }
      return record;
    }
    case ColorSpaceFamily::kIndexed: {
      if (array == nullptr || array->Count() < 2) runtime::ThrowRuntime(runtime::kMalformed);
      const ColorSpaceRecord base = ParseElement(colors, *array, 1, resources, abbreviations, tintSpaces,
                                                 ColorSpaceFamily::kPattern | ColorSpaceFamily::kIndexed, sixteenBit);
      if (base.kind != ColorSpaceRecord::kOrdinary || !base.space) runtime::ThrowRuntime(runtime::kMalformed);
      const int32_t hival = array->IntAt(2);
      streams::Ref<IndexedColorSpace> indexed;
      if (array->TypeAt(3) == ObjectTag::kString) {
        const auto [first, end] = array->StringAt(3);
        indexed = IndexedColorSpace::FromString(colors.Context(), base.space, hival, first, end);
      } else {
        indexed = IndexedColorSpace::FromStream(colors.Context(), base.space, hival, array->StreamAt(3),
                                                colors.Document());
      }
      ColorSpaceRecord record = ColorSpaceRecord::Empty(ColorSpaceRecord::kIndexed);
      record.space = std::move(indexed);
      record.table = kUnitComponentTable;
      return record;
    }
    case ColorSpaceFamily::kPattern: {
      ColorSpaceRecord record = ColorSpaceRecord::Empty(ColorSpaceRecord::kPattern);
      if (array == nullptr || array->Count() < 2) return record;
      const ColorSpaceRecord underlying = ParseElement(colors, *array, 1, resources, abbreviations, tintSpaces,
                                                       ColorSpaceFamily::kPattern, sixteenBit);
      if (underlying.kind != ColorSpaceRecord::kOrdinary && underlying.kind != ColorSpaceRecord::kIndexed) {
        runtime::ThrowRuntime(runtime::kMalformed);
      }
      record.space = underlying.space;
      record.componentCount = underlying.componentCount;
      record.table = underlying.table;
      record.hasUnderlying = true;
      return record;
    }
    case ColorSpaceFamily::kUnknown: {
      const ObjectHandle value = pdf::Resources::Lookup(resources, "ColorSpace", family);
      const int32_t inner = forbidden | ColorSpaceFamily::kUnknown;
      if (value->Is(ObjectTag::kName)) {
        // The name's bytes live in the value's store, which `value` keeps.
        return Parse(colors, value->AsName().View(), resources, abbreviations, tintSpaces, nullptr, inner,
                     sixteenBit);
      }
      if (!value->Is(ObjectTag::kArray)) runtime::ThrowRuntime(runtime::kMalformed);
      runtime::ArenaScope scope(colors.Scratch());
      ColorSpaceOperands* operands = colors.OperandsOver(value);
      return Parse(colors, operands->NameAt(0), resources, abbreviations, tintSpaces, operands, inner, sixteenBit);
    }
    default:
      runtime::ThrowRuntime(runtime::kMalformed);
  }
}

ResolvedColorSpace ColorSpace::Resolve(ColorContext& colors, std::string_view family, ColorSpaceOperands* array,
                                       const ObjectHandle& resources, uint32_t flags) {
  const ColorSpaceFamily::Row* row = ColorSpaceFamily::Find(family, (flags & kAllowAbbreviations) != 0);
  if (row == nullptr || row->factory == ColorSpaceFamily::Factory::kNone) runtime::ThrowRuntime(runtime::kMalformed);
  if (row->defaultCount != 0 && !resources.IsNull()) {
    ResolvedColorSpace substitute = DefaultFor(colors, *row, resources, flags);
    if (substitute.space) return substitute;
  }
  if (row->needsTintPermission && (flags & kAllowTintSpaces) == 0) runtime::ThrowRuntime(runtime::kMalformed);
  using Factory = ColorSpaceFamily::Factory;
  switch (row->factory) {
    case Factory::kDeviceGray:
      return DeviceResolution(colors.DeviceGray());
    case Factory::kDeviceRgb:
      return DeviceResolution(colors.DeviceRgb());
    case Factory::kDeviceCmyk:
      return DeviceResolution(colors.DeviceCmyk());
    case Factory::kCalGray:
    case Factory::kCalRgb:
    case Factory::kLab: {
      if (array == nullptr) runtime::ThrowRuntime(runtime::kMalformed);
      const ObjectHandle parameters = array->DictionaryAt(1);
      const uint32_t code = row->factory == Factory::kCalGray ? CieColorSpace::kCalGray
                            : row->factory == Factory::kCalRgb ? CieColorSpace::kCalRgb
                                                                 : CieColorSpace::kLab;
      const bool sixteenBit = row->factory == Factory::kLab && (flags & kSixteenBitSamples) != 0;
      return DeviceResolution(colors.CachedSpace(colors.CieCache(), parameters, code | (sixteenBit ? 0x100u : 0u),
                                                 BuildCieSpace));
    }
    case Factory::kIccBased:
      return IccBasedColorSpace::Parse(colors, array, resources, flags);
    case Factory::kTint:
      if (array == nullptr) runtime::ThrowRuntime(runtime::kMalformed);
      return ParseWithFunction(colors, *array, resources, flags);
    default:
      runtime::ThrowRuntime(runtime::kMalformed);
  }
}

ResolvedColorSpace ColorSpace::ParseWithFunction(ColorContext& colors, ColorSpaceOperands& array,
                                                 const ObjectHandle& resources, uint32_t flags) {
  const bool sixteenBit = (flags & kSixteenBitSamples) != 0;
  const ColorSpaceRecord alternate =
      ParseElement(colors, array, 2, resources, false, false,
                   ColorSpaceFamily::kPattern | ColorSpaceFamily::kIndexed | ColorSpaceFamily::kSeparationLike,
                   sixteenBit);
  int32_t colorants = 0;
  bool all = false;
  const ObjectTag namesType = array.TypeAt(1);
  if (namesType == ObjectTag::kName) {
    colorants = 1;
    all = array.NameAt(1) == "All";
  } else if (namesType == ObjectTag::kArray) {
    const uint32_t count = array.CountOfArrayAt(1);
    if (count == 0 || count > PdfFunction::kMaxArity) runtime::ThrowRuntime(runtime::kMalformed);
    colorants = static_cast<int32_t>(count);
    all = count == 1 && array.NameInArrayAt(1, 0) == "All";
  } else {
    runtime::ThrowRuntime(runtime::kMalformed);
  }
  PdfFunctionRef function;
  if (!all) {
    const ObjectTag transformType = array.TypeAt(3);
    if (transformType == ObjectTag::kName) {
      if (array.NameAt(3) != "Identity") runtime::ThrowRuntime(runtime::kMalformed);
      function = IdentityFunction::Create(colors.Context(), static_cast<uint32_t>(colorants));
    } else if (transformType == ObjectTag::kDictionary) {
      function = Function::Create(colors.Context(), array.DictionaryAt(3), colors.Document());
    } else {
      runtime::ThrowRuntime(runtime::kMalformed);
    }
  }
  if (!alternate.space) runtime::ThrowRuntime(runtime::kMalformed);
  ResolvedColorSpace resolved;
  resolved.space = streams::MakeRef<TintColorSpace>(colors.Context(), colorants, alternate.space, std::move(function), all);
  resolved.componentCount = colorants;
  return resolved;
}

streams::Ref<ColorSpace> ColorSpace::FromObject(ColorContext& colors, const ObjectHandle& object,
                                                const ObjectHandle& resources) {
  const ObjectHandle value = object.Resolved();
  if (value->Is(ObjectTag::kName)) {
    return Parse(colors, value->AsName().View(), resources, true, true, nullptr, 0, false).space;
  }
  if (!value->Is(ObjectTag::kArray)) runtime::ThrowRuntime(runtime::kMalformed);
  runtime::ArenaScope scope(colors.Scratch());
  ColorSpaceOperands* operands = colors.OperandsOver(value);
  return Parse(colors, operands->NameAt(0), resources, true, true, operands, 0, false).space;
}

namespace {

streams::Ref<ColorSpace> BuildCieSpace(ColorContext&, const ObjectHandle& parameters, uint32_t variant) {
  return CieColorSpace::Parse(parameters, static_cast<int32_t>(variant & 0xFF), (variant & 0x100) != 0);
}

}  // namespace

}  // namespace color
