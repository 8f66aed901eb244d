#pragma once
// The library context's own memory device context, compatible with the
// screen: white text on a black background, so that text drawn into it
// comes out as coverage (255 where the glyph is, 0 elsewhere). Made once
// with the context and deleted with it.
#include "platform/Types.h"

namespace runtime {

// The text and background colours the context's device context starts with.
inline constexpr platform::COLORREF kScreenDcTextColor = 0xFFFFFF;
inline constexpr platform::COLORREF kScreenDcBackColor = 0;

class ScreenDeviceContext {
 public:
  ScreenDeviceContext();
  ~ScreenDeviceContext();
  ScreenDeviceContext(const ScreenDeviceContext&) = delete;
  ScreenDeviceContext& operator=(const ScreenDeviceContext&) = delete;

  // Null when the system could not make one; users then go without.
  platform::HDC Handle() const { return dc_; }

 private:
  platform::HDC dc_;
};

}  // namespace runtime
