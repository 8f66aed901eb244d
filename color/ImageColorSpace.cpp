#include "color/ImageColorSpace.h"

#include "color/ColorContext.h"
#include "content/ColorSpaceOperands.h"
#include "content/DocumentArrayOperands.h"
#include "runtime/ArenaScope.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"

namespace color {

using runtime::ObjectHandle;
using runtime::ObjectTag;

namespace {

bool ImageBitsSupported(int32_t bits) { return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16; }

// Indexed when the space is, however it was named: a resource name of an
// inline image may stand for an Indexed space too.
ImageColorSpace Checked(ColorSpaceRecord record, int32_t bitsPerComponent) {
  if (record.kind != ColorSpaceRecord::kOrdinary && record.kind != ColorSpaceRecord::kIndexed) {
    runtime::ThrowRuntime(runtime::kMalformed);
  }
  if (!record.space || !ImageBitsSupported(bitsPerComponent)) runtime::ThrowRuntime(runtime::kMalformed);
  ImageColorSpace result;
  result.componentCount = record.componentCount;
  result.indexed = record.kind == ColorSpaceRecord::kIndexed;
  result.record = std::move(record);
  return result;
}

}  // namespace

ImageColorSpace ImageColorSpace::Parse(ColorContext& colors, const ObjectHandle& value, const ObjectHandle& resources,
                                       bool abbreviations, int32_t bitsPerComponent, Provider* provider) {
  const ObjectHandle space = value.Resolved();
  const bool sixteenBit = bitsPerComponent == 16;
  if (space->Is(ObjectTag::kName)) {
    const std::string_view family = space->AsName().View();
    return Checked(ColorSpace::Parse(colors, family, resources, abbreviations, true, nullptr, 0, sixteenBit),
                   bitsPerComponent);
  }
  if (space->Is(ObjectTag::kArray)) {
    runtime::ArenaScope scope(colors.Scratch());
    content::ColorSpaceOperands* operands = colors.OperandsOver(space);
    const std::string_view family = operands->NameAt(0);
    return Checked(ColorSpace::Parse(colors, family, resources, abbreviations, true, operands, 0, sixteenBit),
                   bitsPerComponent);
  }
  if (provider == nullptr) runtime::ThrowRuntime(runtime::kMalformed);
  ColorSpaceRecord record;
  record.kind = ColorSpaceRecord::kOrdinary;
  record.space = provider->ProvideColorSpace(colors);
  if (!record.space) runtime::ThrowRuntime(runtime::kMalformed);
  record.componentCount = record.space->ComponentCount();
  record.table = kUnitComponentTable;
  return Checked(std::move(record), bitsPerComponent);
}

ImageColorSpace ImageColorSpace::ParseCol(ColorContext& colors, std::string_view family,
                                          content::ColorSpaceOperands* array, const ObjectHandle& resources,
                                          int32_t bitsPerComponent) {
  return Checked(ColorSpace::Parse(colors, family, resources, true, true, array, 0, bitsPerComponent == 16),
                 bitsPerComponent);
}

}  // namespace color
