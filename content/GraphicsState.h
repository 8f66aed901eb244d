#pragma once
// One save level of the graphics state. `q` copies the record whole and
// `Q` drops the copy, so every member is a plain value or owns its storage.
#include <cstdint>

#include "runtime/Fixed.h"
#include "runtime/FontBase.h"
#include "runtime/Matrix.h"
#include "runtime/Rect.h"
#include "runtime/StrokeStyle.h"

namespace runtime {
class LibraryContext;
class ObjectHandle;
}  // namespace runtime

namespace content {

enum class ColorSpaceKind : uint8_t { kDeviceGray = 0, kDeviceRgb = 1, kDeviceCmyk = 2, kNamed = 3 };

// A fill or stroke colour: its space and its components.
struct ColorRecord {
  // The most components a colour may carry (the largest DeviceN space).
  static constexpr uint32_t kMaxComponents = 32;

  ColorSpaceKind space = ColorSpaceKind::kDeviceGray;
  uint8_t count = 1;
  runtime::Fixed components[kMaxComponents] = {};
  // Whether the colour is a pattern (its name went to the handler).
  bool hasPattern = false;

  // The space and its initial colour: black, or nothing set for a named
  // space until a colour arrives.
  void SetSpace(ColorSpaceKind kind);
  void SetColor(uint32_t componentCount, const runtime::Fixed* values, bool pattern);
};

class GraphicsState {
 public:
  using Fixed = runtime::Fixed;

  // The state of a fresh page: the page's matrix and clip, every other
  // member at its initial value.
  GraphicsState(runtime::LibraryContext* context, const runtime::Matrix& pageMatrix,
                const runtime::Rect& clip);
  GraphicsState(const GraphicsState&) = default;
  GraphicsState& operator=(const GraphicsState&) = default;

  // ctm := m × ctm.
  void ConcatMatrix(const runtime::Matrix& m);
  ColorRecord& Color(bool stroke) { return stroke ? strokeColor : fillColor; }
  // The current font for a text show: (runtime, 2) when no font is set.
  runtime::FontBase& RequireFont() const;

  runtime::LibraryContext* owner;
  // Where names are looked up (page or form resources); not owned.
  const runtime::ObjectHandle* resources = nullptr;

  ColorRecord fillColor;
  ColorRecord strokeColor;
  Fixed fillAlpha = runtime::kFixedOne;
  Fixed strokeAlpha = runtime::kFixedOne;
  // 0 perceptual, 1 relative colorimetric, 2 saturation, 3 absolute.
  uint8_t renderingIntent = 1;

  runtime::Matrix ctm;
  runtime::Matrix baseMatrix;  // identity on a fresh page
  runtime::Matrix extraMatrix;
  bool hasExtraMatrix = false;
  runtime::Rect clip;

  runtime::StrokeStyle stroke;

  Fixed charSpacing = 0;
  Fixed wordSpacing = 0;
  Fixed horizontalScale = runtime::kFixedOne;
  // Kept negated: T* moves by it as it stands.
  Fixed negatedLeading = 0;
  uint8_t renderMode = 0;
  Fixed rise = 0;

  // Counted: the font cache may purge a font while a state still uses it.
  runtime::FontHold font;
  Fixed fontSize = 0;

  bool textKnockout = true;
  bool alphaIsShape = false;
  uint8_t blendMode = 0;
  bool fillOverprint = false;
  bool strokeOverprint = false;
};

}  // namespace content
