#pragma once
// The application's picture (shown by the splash popup): stored in the
// program as two zlib streams, palette indices and a palette, and drawn
// scaled to fit, centred on white, into a caller's buffer.
#include <cstdint>

namespace runtime {
class LibraryContext;
}

namespace shell {

class AppImage {
 public:
  // Draws the picture into a `width` x `height` buffer of three components
  // per pixel: component k of pixel (x, y) at y x rowStride + x x pixelStep
  // + k x componentStep, in the order blue, green, red. The picture's
  // rows are stored bottom row first, so an unflipped draw suits a
  // bottom-up bitmap and `flip` a top-down one. Working memory comes from the context; an error (no
  // memory, a stream that does not inflate) is raised in it. Nothing
  // happens without a buffer or with an empty area.
  static void Draw(runtime::LibraryContext* context, int32_t width, int32_t height, int32_t componentStep,
                   int32_t pixelStep, int32_t rowStride, uint8_t* buffer, bool flip);
};

// Draws the picture with a context of its own and drops any error: the
// area then stays white. True when the picture was drawn.
bool DrawSplashPicture(int32_t width, int32_t height, int32_t componentStep, int32_t pixelStep, int32_t rowStride,
                       uint8_t* buffer, bool flip);

}  // namespace shell
