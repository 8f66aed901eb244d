#pragma once
// A graphics-state parameter dictionary ("gs") read into a flat record: a
// presence bit per entry and its checked value.
#include <cstdint>
#include <string_view>

#include "runtime/Fixed.h"
#include "runtime/ObjectHandle.h"

namespace content {

struct ExtGState {
  enum Present : uint32_t {
    kLineWidth = 1u << 0,
    kLineCap = 1u << 1,
    kLineJoin = 1u << 2,
    kMiterLimit = 1u << 3,
    kIntent = 1u << 4,
    kFont = 1u << 5,
    kStrokeAlpha = 1u << 6,
    kFillAlpha = 1u << 7,
    kBlendMode = 1u << 8,
    kStrokeOverprint = 1u << 9,
    kFillOverprint = 1u << 10,
    kTextKnockout = 1u << 11,
    kAlphaIsShape = 1u << 12,
  };

  uint32_t present = 0;
  runtime::Fixed lineWidth = 0;
  int32_t lineCap = 0;
  int32_t lineJoin = 0;
  runtime::Fixed miterLimit = 0;
  uint8_t intent = 1;
  // The font dictionary of a "Font" entry and its size.
  runtime::ObjectHandle font;
  runtime::Fixed fontSize = 0;
  runtime::Fixed strokeAlpha = runtime::kFixedOne;
  runtime::Fixed fillAlpha = runtime::kFixedOne;
  uint8_t blendMode = 0;
  bool strokeOverprint = false;
  bool fillOverprint = false;
  bool textKnockout = true;
  bool alphaIsShape = false;

  bool Has(Present flag) const { return (present & flag) != 0; }

  // Reads `dictionary`. Values the operators would refuse (a negative
  // width or miter limit, a cap or join outside 0-2) raise (runtime, 2);
  // alphas are clamped to 0..1.
  void Read(const runtime::ObjectHandle& dictionary);
};

// The blend-mode number of a name (Normal 0 .. Exclusion 11); false and 0
// for a name that is none of them (case matters).
bool ParseBlendModeName(std::string_view name, uint8_t& mode);

}  // namespace content
