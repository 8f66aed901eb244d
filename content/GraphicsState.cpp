#include "content/GraphicsState.h"

#include <algorithm>

#include "runtime/ErrorTrap.h"

namespace content {

void ColorRecord::SetSpace(ColorSpaceKind kind) {
  space = kind;
  hasPattern = false;
  std::fill(std::begin(components), std::end(components), 0);
  switch (kind) {
    case ColorSpaceKind::kDeviceGray: count = 1; break;
    case ColorSpaceKind::kDeviceRgb: count = 3; break;
    case ColorSpaceKind::kDeviceCmyk:
      count = 4;
      components[3] = runtime::kFixedOne;  // black
      break;
    case ColorSpaceKind::kNamed: count = 0; break;
  }
}

void ColorRecord::SetColor(uint32_t componentCount, const runtime::Fixed* values,
                           bool pattern) {
  count = static_cast<uint8_t>(std::min(componentCount, kMaxComponents));
  std::copy(values, values + count, components);
  hasPattern = pattern;
}

GraphicsState::GraphicsState(runtime::LibraryContext* context, const runtime::Matrix& pageMatrix,
                             const runtime::Rect& clipRect)
    : owner(context), ctm(pageMatrix), clip(clipRect), stroke(context) {}

void GraphicsState::ConcatMatrix(const runtime::Matrix& m) {
  ctm = runtime::Matrix::Concat(m, ctm);
}

runtime::FontBase& GraphicsState::RequireFont() const {
  if (font.Get() == nullptr) runtime::ThrowRuntime(runtime::kMalformed);
  return *font.Get();
}

}  // namespace content
