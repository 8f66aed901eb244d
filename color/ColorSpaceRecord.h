#pragma once
// What resolving a colour-space value gives: the resolution of one family
// (ResolvedColorSpace), and the record that graphics states, images,
// shadings and groups keep (ColorSpaceRecord): the kind of space, the
// space itself, its component count and its flags.
#include <cstdint>

#include "color/ColorSpace.h"
#include "runtime/Fixed.h"

namespace color {

class ColorContext;

// The table every family's resolution points at: four 1.0 values and a
// terminating 0.
extern const Fixed kUnitComponentTable[5];

struct ResolvedColorSpace {
  streams::Ref<ColorSpace> space;
  const Fixed* table = kUnitComponentTable;
  uint32_t zero = 0;
  int32_t componentCount = 0;
};

struct ColorSpaceRecord {
  enum Kind : int32_t {
    kOrdinary = 1,  // Separation and DeviceN included
    kPattern = 2,
    kIndexed = 4,
    kUnresolved = 16,
  };

  int32_t kind = kUnresolved;
  // Null for a Pattern space without an underlying space.
  streams::Ref<ColorSpace> space;
  int32_t componentCount = 0;
  const Fixed* table = nullptr;
  // Every colorant of a Separation or DeviceN space is named "None".
  bool allNone = false;
  // A Pattern space that names an underlying space.
  bool hasUnderlying = false;

  // A record of `kind` that holds no space yet. An Indexed space always
  // has one component (the index), whatever it will hold; the others have
  // none until a space is put in.
  static ColorSpaceRecord Empty(int32_t kind) {
    ColorSpaceRecord record;
    record.kind = kind;
    record.componentCount = kind == kIndexed ? 1 : 0;
    return record;
  }
  void Assign(const ColorSpaceRecord& other) { *this = other; }
  // The colour context's device gray space (the plain colour a pattern or
  // shading falls back to).
  static ColorSpaceRecord DeviceGray(ColorContext& colors);
  static ColorSpaceRecord FromResolved(int32_t kind, const ResolvedColorSpace& resolved) {
    ColorSpaceRecord record;
    record.kind = kind;
    record.space = resolved.space;
    record.componentCount = resolved.componentCount;
    record.table = resolved.table;
    return record;
  }
};

}  // namespace color
