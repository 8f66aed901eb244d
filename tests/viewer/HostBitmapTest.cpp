// The viewer's host bitmap handle: bitmaps come from the host and go back
// to it, and contents move in place when the host does not scroll them
// itself.
#include <gtest/gtest.h>

#include <vector>

#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "tests/support/FakeHostServices.h"
#include "viewer/HostBitmap.h"

namespace viewer {
namespace {

// Pixels in memory, one byte value per pixel repeated over its bytes.
class MemoryBitmap final : public runtime::HostBitmap {
 public:
  MemoryBitmap(int32_t kind, int32_t width, int32_t height, int32_t bytes) {
    layout_.kind = kind;
    layout_.width = width;
    layout_.height = height;
    layout_.rowStride = int64_t{width} * bytes + 3;  // rows with padding
    pixels_.resize(static_cast<size_t>(layout_.rowStride * height));
    layout_.firstRow = pixels_.data();
    bytes_ = bytes;
    for (int32_t y = 0; y < height; ++y) {
      for (int32_t x = 0; x < width; ++x) Set(x, y, static_cast<uint8_t>(1 + y * width + x));
    }
  }
  const runtime::HostPixelLayout* Begin(uintptr_t) override { return &layout_; }
  void End() override {}
  const runtime::HostPixelLayout* Layout() override { return &layout_; }
  bool PrefersDeviceScroll() override { return deviceScroll; }
  void Scroll(int32_t dx, int32_t dy) override { scrolled = {dx, dy}; }

  void Set(int32_t x, int32_t y, uint8_t v) {
    for (int32_t i = 0; i < bytes_; ++i) pixels_[static_cast<size_t>(y * layout_.rowStride + x * bytes_ + i)] = v;
  }
  uint8_t At(int32_t x, int32_t y) const { return pixels_[static_cast<size_t>(y * layout_.rowStride + x * bytes_)]; }

  bool deviceScroll = false;
  std::pair<int32_t, int32_t> scrolled{0, 0};

 private:
  runtime::HostPixelLayout layout_;
  std::vector<uint8_t> pixels_;
  int32_t bytes_ = 0;
};

class BitmapHost : public testsupport::FakeHostServices {
 public:
  runtime::HostBitmap* CreateBitmap(int32_t width, int32_t height) override {
    ++made;
    if (refuse) return nullptr;
    return new MemoryBitmap(runtime::kHostRgb565, width, height, 2);
  }
  void DestroyBitmap(runtime::HostBitmap* bitmap) override {
    ++destroyed;
    delete static_cast<MemoryBitmap*>(bitmap);
  }
  bool refuse = false;
  int made = 0, destroyed = 0;
};

TEST(HostBitmapTest, MovingPixelsInPlaceKeepsWhatIsUncovered) {
  struct Case {
    const char* what;
    int32_t kind, bytes, dx, dy;
    // The pixel values after the move, rows top-down, for a 3 x 3 bitmap
    // holding 1..9.
    uint8_t expected[9];
  };
  const Case cases[] = {
      {"16 bits down by one: bottom-up, the top row stays", runtime::kHostRgb565, 2, 0, 1, {1, 2, 3, 1, 2, 3, 4, 5, 6}},
      {"16 bits up by one", runtime::kHostRgb565, 2, 0, -1, {4, 5, 6, 7, 8, 9, 7, 8, 9}},
      {"24 bits right by one", runtime::kHostBgr24, 3, 1, 0, {1, 1, 2, 4, 4, 5, 7, 7, 8}},
      {"32 bits left and up", runtime::kHostBgrx32, 4, -1, -1, {5, 6, 3, 8, 9, 6, 7, 8, 9}},
      {"an offset as large as the bitmap moves nothing", runtime::kHostRgb565, 2, 3, 0, {1, 2, 3, 4, 5, 6, 7, 8, 9}},
      {"nor does one beyond it upwards", runtime::kHostBgrx32, 4, 0, -7, {1, 2, 3, 4, 5, 6, 7, 8, 9}},
      {"an unknown kind is left alone", 9, 2, 0, 1, {1, 2, 3, 4, 5, 6, 7, 8, 9}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryBitmap bitmap(c.kind, 3, 3, c.bytes);
    HostBitmap::MovePixels(*bitmap.Layout(), c.dx, c.dy);
    for (int32_t i = 0; i < 9; ++i) EXPECT_EQ(bitmap.At(i % 3, i / 3), c.expected[i]) << "pixel " << i;
  }
}

TEST(HostBitmapTest, BitmapsComeFromTheHostAndGoBack) {
  runtime::LibraryContext context;
  BitmapHost host;
  {
    HostBitmap bitmap(&context, &host, 3, 3);
    EXPECT_EQ(bitmap.Width(), 3);
    EXPECT_EQ(host.made, 1);
    // A host without its own scroll: the pixels move in place.
    bitmap.Scroll(0, 1);
    EXPECT_EQ(static_cast<MemoryBitmap&>(bitmap.Handle()).At(0, 1), 1);
    // A host that scrolls itself is asked to.
    static_cast<MemoryBitmap&>(bitmap.Handle()).deviceScroll = true;
    bitmap.Scroll(2, -1);
    EXPECT_EQ(static_cast<MemoryBitmap&>(bitmap.Handle()).scrolled, std::make_pair(2, -1));
  }
  EXPECT_EQ(host.destroyed, 1);

  // No bitmap from the host, or a size without pixels: out of memory, and
  // nothing to give back.
  auto codeOf = [&](int32_t width, int32_t height) {
    runtime::ErrorTrap trap(&context);
    if (trap.Run([&] { HostBitmap bitmap(&context, &host, width, height); })) return -1;
    trap.SetHandled();
    const int code = trap.Held().IsRuntime(trap.Held().code) ? static_cast<int>(trap.Held().code) : -2;
    trap.Close();
    return code;
  };
  EXPECT_EQ(codeOf(0, 5), 0);
  EXPECT_EQ(codeOf(5, -1), 0);
  host.refuse = true;
  EXPECT_EQ(codeOf(4, 4), 0);
  EXPECT_EQ(host.destroyed, 1);
}

}  // namespace
}  // namespace viewer
