#pragma once
// The Top DICT values of a CFF program. Offsets are absolute positions in
// the font data once parsed (the base offset of an OpenType wrapper added);
// -1 means absent.
#include <cstdint>

#include "runtime/Fixed.h"
#include "runtime/Matrix.h"

namespace fonts {

using runtime::Fixed;

struct CffTopDict {
  int32_t version = -1, notice = -1, copyright = -1, fullName = -1, familyName = -1,
          weight = -1;
  int32_t postScript = 0, baseFontName = 0;
  int32_t isFixedPitch = 0;
  Fixed italicAngle = 0;
  runtime::Matrix topMatrix{};
  Fixed underlinePosition = -100 * 65536;
  Fixed underlineThickness = 50 * 65536;
  Fixed strokeWidth = 0;
  int32_t uniqueId = -1;
  Fixed fontBBox[4] = {0, 0, 0, 0};
  bool hasRos = false;
  int32_t registry = -1, ordering = -1, supplement = 0;
  Fixed cidFontVersion = 0;
  int32_t cidFontRevision = 0;
  int32_t cidCount = 8720;
  int32_t uidBase = -1;
  int64_t charset = 0;   // 0..2 predefined, else a position
  int64_t encoding = 0;  // 0..1 predefined, else a position
  int64_t charStrings = -1;
  int64_t fdArray = -1;
  int64_t fdSelect = -1;
};

}  // namespace fonts
