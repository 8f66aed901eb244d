#include "shell/OffscreenBitmap.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "ShellWindowFixture.h"
#include "raster/HostTransfer.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/LibraryContext.h"
#include "runtime/Region.h"
#include "shell/DrawTarget.h"

namespace shell {
namespace {

struct BitmapDeleter {
  void operator()(OffscreenBitmap* bitmap) const { delete bitmap; }
};
using BitmapPtr = std::unique_ptr<OffscreenBitmap, BitmapDeleter>;

struct DepthCase {
  int bitsPerPixel;
  uint32_t format;
  int32_t bytesPerPixel;
};
constexpr DepthCase kDepths[] = {{16, kFormatRgb565, 2}, {24, kFormatBgr24, 3}, {32, kFormatBgrx32, 4}};

// The bytes of one pixel as each format stores it: RGB565 as a
// little-endian word, 24 bits as blue, green, red, 32 bits the same and an
// unused byte.
std::vector<uint8_t> StoredBytes(uint32_t format, HostColor color) {
  if (format == kFormatRgb565) {
    const uint16_t word = static_cast<uint16_t>((color.red >> 3) << 11 | (color.green >> 2) << 5 | (color.blue >> 3));
    return {static_cast<uint8_t>(word & 0xFF), static_cast<uint8_t>(word >> 8)};
  }
  return {color.blue, color.green, color.red};
}

std::vector<uint8_t> PixelAt(const PixelInfo& info, int x, int y, int compared) {
  const uint8_t* at = info.bits + static_cast<ptrdiff_t>(y) * info.stride + static_cast<ptrdiff_t>(x) * compared;
  return std::vector<uint8_t>(at, at + (info.format == kFormatBgrx32 ? 3 : compared));
}

// Every pixel gets its own value, so that a moved pixel can be traced.
void WriteRamp(const PixelInfo& info, int bytesPerPixel) {
  for (int y = 0; y < info.height; ++y) {
    for (int x = 0; x < info.width * bytesPerPixel; ++x) info.bits[y * info.stride + x] = static_cast<uint8_t>(y * 37 + x + 1);
  }
}

class OffscreenBitmapTest : public testing::ShellWindowTest {};

TEST_F(OffscreenBitmapTest, PixelInfoFollowsTheScreenDepth) {
  for (const DepthCase& depth : kDepths) {
    UseDevice("pocketpc-qvga", depth.bitsPerPixel);
    const BitmapPtr bitmap(OffscreenBitmap::Create(3, 2));
    ASSERT_NE(bitmap, nullptr) << depth.bitsPerPixel;
    const PixelInfo& info = *bitmap->GetPixelInfo();
    EXPECT_EQ(info.format, depth.format);
    EXPECT_NE(info.bits, nullptr);
    EXPECT_EQ(info.width, 3);
    EXPECT_EQ(info.height, 2);
    // Rows are 4-byte aligned.
    EXPECT_EQ(info.stride, (3 * depth.bytesPerPixel + 3) / 4 * 4);
    // The library's view agrees.
    const runtime::HostPixelLayout* layout = bitmap->Begin(0);
    EXPECT_EQ(layout->kind, static_cast<int32_t>(depth.format));
    EXPECT_EQ(layout->firstRow, info.bits);
    EXPECT_EQ(layout->rowStride, info.stride);
    EXPECT_EQ(layout->width, 3);
    bitmap->End();
  }
  // The case the issue names: 24 bits, 3 x 2, 12 bytes a row.
  UseDevice("pocketpc-qvga", 24);
  const BitmapPtr bitmap(OffscreenBitmap::Create(3, 2));
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->GetPixelInfo()->stride, 12);
}

TEST_F(OffscreenBitmapTest, EmptyAndImpossibleSizes) {
  struct SizeCase {
    int32_t width, height;
  };
  for (const SizeCase& size : {SizeCase{0, 0}, SizeCase{-5, 3}, SizeCase{3, -1}, SizeCase{INT32_MIN, INT32_MIN}}) {
    const BitmapPtr bitmap(OffscreenBitmap::Create(size.width, size.height));
    ASSERT_NE(bitmap, nullptr);
    const PixelInfo& info = *bitmap->GetPixelInfo();
    EXPECT_EQ(info.width, 0) << size.width << " x " << size.height;
    EXPECT_EQ(info.height, 0);
    EXPECT_EQ(info.bits, nullptr);
    EXPECT_EQ(info.stride, 0);
    EXPECT_EQ(bitmap->Layout()->firstRow, nullptr);
    // Drawing into it or from it does nothing.
    const BitmapPtr other(OffscreenBitmap::Create(4, 4));
    EXPECT_FALSE(bitmap->FillRect({0, 0, 4, 4}, {255, 0, 0}));
    EXPECT_FALSE(bitmap->BlitFrom(*other, 0, 0, {0, 0, 4, 4}));
    EXPECT_FALSE(other->StretchFrom(*bitmap, {0, 0, 1, 1}, {0, 0, 4, 4}));
    bitmap->Scroll(1, 1);
  }
  // Rows or images too large for a DIB section are refused.
  for (const SizeCase& size : {SizeCase{INT32_MAX, 1}, SizeCase{100000, 100000}, SizeCase{1, INT32_MAX}}) {
    EXPECT_EQ(BitmapPtr(OffscreenBitmap::Create(size.width, size.height)), nullptr) << size.width;
  }
}

TEST_F(OffscreenBitmapTest, FillBlitStretchAndScrollInEveryFormat) {
  const HostColor red{255, 0, 0};
  const HostColor teal{0, 128, 128};
  for (const DepthCase& depth : kDepths) {
    SCOPED_TRACE(depth.bitsPerPixel);
    UseDevice("pocketpc-qvga", depth.bitsPerPixel);
    const int bpp = depth.bytesPerPixel;
    const BitmapPtr target(OffscreenBitmap::Create(8, 6));
    const BitmapPtr source(OffscreenBitmap::Create(8, 6));
    ASSERT_TRUE(target && source);
    const PixelInfo& out = *target->GetPixelInfo();
    const PixelInfo& in = *source->GetPixelInfo();

    // Fill: right and bottom are exclusive.
    EXPECT_TRUE(target->FillRect({0, 0, 8, 6}, teal));
    EXPECT_TRUE(target->FillRect({2, 1, 4, 3}, red));
    EXPECT_EQ(PixelAt(out, 2, 1, bpp), StoredBytes(depth.format, red));
    EXPECT_EQ(PixelAt(out, 3, 2, bpp), StoredBytes(depth.format, red));
    EXPECT_EQ(PixelAt(out, 4, 2, bpp), StoredBytes(depth.format, teal));
    EXPECT_EQ(PixelAt(out, 3, 3, bpp), StoredBytes(depth.format, teal));

    // Blit: the destination's size from the source point.
    WriteRamp(in, bpp);
    EXPECT_TRUE(target->BlitFrom(*source, 1, 2, {5, 3, 8, 5}));
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 3; ++x) EXPECT_EQ(PixelAt(out, 5 + x, 3 + y, bpp), PixelAt(in, 1 + x, 2 + y, bpp));
    }
    EXPECT_EQ(PixelAt(out, 4, 3, bpp), StoredBytes(depth.format, teal));

    // Stretch: equal sizes copy exactly; doubling repeats each pixel.
    EXPECT_TRUE(target->StretchFrom(*source, {0, 0, 4, 3}, {0, 0, 4, 3}));
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 4; ++x) EXPECT_EQ(PixelAt(out, x, y, bpp), PixelAt(in, x, y, bpp));
    }
    EXPECT_TRUE(target->StretchFrom(*source, {0, 0, 2, 2}, {0, 0, 4, 4}));
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 4; ++x) EXPECT_EQ(PixelAt(out, x, y, bpp), PixelAt(in, x / 2, y / 2, bpp));
    }

    // Scroll: the block that stays inside moves; what it uncovers is
    // stale and repainted by the caller, so it is not compared.
    struct Offset {
      int dx, dy;
    };
    for (const Offset offset : {Offset{2, 1}, Offset{-3, 0}, Offset{0, -2}, Offset{-1, 4}, Offset{9, 0}, Offset{0, -7}}) {
      WriteRamp(out, bpp);
      const std::vector<uint8_t> before(out.bits, out.bits + out.stride * out.height);
      const auto old = [&](int x, int y) {
        const uint8_t* at = before.data() + y * out.stride + x * bpp;
        return std::vector<uint8_t>(at, at + (depth.format == kFormatBgrx32 ? 3 : bpp));
      };
      EXPECT_TRUE(target->PrefersDeviceScroll());
      target->Scroll(offset.dx, offset.dy);
      for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
          const int fromX = x - offset.dx;
          const int fromY = y - offset.dy;
          if (fromX < 0 || fromX >= out.width || fromY < 0 || fromY >= out.height) continue;
          EXPECT_EQ(PixelAt(out, x, y, bpp), old(fromX, fromY))
              << offset.dx << "," << offset.dy << " at " << x << "," << y;
        }
      }
    }
  }
}

TEST_F(OffscreenBitmapTest, SixteenBitPureRedIsTheTopFiveBits) {
  UseDevice("pocketpc-qvga", 16);
  const BitmapPtr bitmap(OffscreenBitmap::Create(2, 2));
  ASSERT_NE(bitmap, nullptr);
  // Red 31 of 31 in five bits, from an 8-bit 255.
  bitmap->FillRect({0, 0, 1, 1}, {255, 0, 0});
  uint16_t word = 0;
  std::memcpy(&word, bitmap->GetPixelInfo()->bits, 2);
  EXPECT_EQ(word, 0xF800);
}

// The library's raster transfers and the device's drawing agree on the
// pixels of an off-screen bitmap in every screen format.
TEST_F(OffscreenBitmapTest, RasterTransfersWriteWhatTheDeviceDraws) {
  runtime::LibraryContext context;
  runtime::ArenaAllocator arena(&context, 16384, 4096);
  for (const DepthCase& depth : kDepths) {
    SCOPED_TRACE(depth.bitsPerPixel);
    UseDevice("pocketpc-qvga", depth.bitsPerPixel);
    const BitmapPtr rendered(OffscreenBitmap::Create(9, 5));
    const BitmapPtr drawn(OffscreenBitmap::Create(9, 5));
    ASSERT_TRUE(rendered && drawn);
    raster::HostTransfer::FillWhite(*rendered, arena, {0, 0, 9, 5});
    runtime::Region whole(&context);
    whole.FromRect({0, 0, 9, 5});
    raster::HostTransfer::FillColour(*rendered, arena, whole, {2, 1, 6, 4}, runtime::kFixedOne, 0, 0);
    raster::HostTransfer::FillColour(*rendered, arena, whole, {7, 0, 9, 2}, 0, 0, runtime::kFixedOne);
    drawn->FillRect({0, 0, 9, 5}, {255, 255, 255});
    drawn->FillRect({2, 1, 6, 4}, {255, 0, 0});
    drawn->FillRect({7, 0, 9, 2}, {0, 0, 255});
    const PixelInfo& a = *rendered->GetPixelInfo();
    const PixelInfo& b = *drawn->GetPixelInfo();
    for (int y = 0; y < 5; ++y) {
      for (int x = 0; x < 9; ++x) {
        EXPECT_EQ(PixelAt(a, x, y, depth.bytesPerPixel), PixelAt(b, x, y, depth.bytesPerPixel)) << x << "," << y;
      }
    }
  }
  // An empty bitmap takes no pixels.
  const BitmapPtr empty(OffscreenBitmap::Create(0, 0));
  raster::HostTransfer::FillWhite(*empty, arena, {0, 0, 9, 5});
}

// A bitmap of another host, for the refusals below.
class ForeignBitmap final : public runtime::HostBitmap {
 public:
  const runtime::HostPixelLayout* Begin(uintptr_t) override { return &layout; }
  void End() override {}
  const runtime::HostPixelLayout* Layout() override { return &layout; }
  runtime::HostPixelLayout layout;
};

// The library reaches the device drawing through its own bitmap interface.
TEST_F(OffscreenBitmapTest, DeviceDrawingThroughTheLibrarysInterface) {
  UseDevice("pocketpc-qvga", 24);
  const BitmapPtr first(OffscreenBitmap::Create(6, 4));
  const BitmapPtr second(OffscreenBitmap::Create(6, 4));
  runtime::HostBitmap& target = *first;
  runtime::HostBitmap& source = *second;
  EXPECT_TRUE(source.FillRect({0, 0, 6, 4}, 0, 0, 255));
  EXPECT_TRUE(source.FillRect({1, 1, 2, 2}, 255, 0, 0));
  EXPECT_TRUE(target.FillRect({0, 0, 6, 4}, 255, 255, 255));
  EXPECT_TRUE(target.BlitFrom(source, 1, 1, {4, 2, 5, 3}));
  EXPECT_EQ(PixelAt(*first->GetPixelInfo(), 4, 2, 3), StoredBytes(kFormatBgr24, {255, 0, 0}));
  EXPECT_TRUE(target.StretchFrom(source, {0, 0, 3, 2}, {0, 0, 3, 2}));
  EXPECT_EQ(PixelAt(*first->GetPixelInfo(), 1, 1, 3), StoredBytes(kFormatBgr24, {255, 0, 0}));
  EXPECT_EQ(PixelAt(*first->GetPixelInfo(), 0, 0, 3), StoredBytes(kFormatBgr24, {0, 0, 255}));
  EXPECT_TRUE(target.PrefersDeviceScroll());
  target.Scroll(1, 0);
  EXPECT_EQ(PixelAt(*first->GetPixelInfo(), 2, 1, 3), StoredBytes(kFormatBgr24, {255, 0, 0}));
  // A bitmap of another kind of host is not a source.
  ForeignBitmap foreign;
  EXPECT_FALSE(target.BlitFrom(foreign, 0, 0, {0, 0, 1, 1}));
  EXPECT_FALSE(target.StretchFrom(foreign, {0, 0, 1, 1}, {0, 0, 2, 2}));
  // And such a bitmap draws nothing through the device by default.
  EXPECT_FALSE(foreign.PrefersDeviceScroll());
  EXPECT_FALSE(foreign.FillRect({0, 0, 1, 1}, 1, 2, 3));
}

// A window target paints bitmaps onto the screen where the window is.
TEST_F(OffscreenBitmapTest, DrawTargetsCopyOntoTheWindow) {
  UseDevice("pocketpc-qvga", 24);
  const platform::HWND window =
      platform::CreateWindowExW(0, kMainWindowClass, u"", platform::WS_VISIBLE | platform::WS_POPUP, 10, 40, 50, 50,
                                nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  Pump();
  const BitmapPtr bitmap(OffscreenBitmap::Create(4, 4));
  bitmap->FillRect({0, 0, 4, 4}, {0, 0, 255});
  std::unique_ptr<DrawTarget> target(DrawTarget::OpenWindow(window));
  ASSERT_NE(target, nullptr);
  EXPECT_EQ(target->GetKind(), DrawTarget::Kind::kWindow);
  EXPECT_TRUE(target->BlitRect(*bitmap, {0, 0, 4, 4}, {0, 0, 4, 4}));
  EXPECT_TRUE(target->StretchBlit(*bitmap, {0, 0, 4, 4}, {10, 10, 18, 18}));
  EXPECT_TRUE(target->FillRect({20, 20, 22, 22}, {255, 255, 0}));
  target.reset();
  const platform::Surface& screen = platform::ScreenSurface();
  const platform::Rgb blit = platform::ReadPixel(screen, 10 + 3, 40 + 3);
  const platform::Rgb stretched = platform::ReadPixel(screen, 10 + 17, 40 + 17);
  const platform::Rgb filled = platform::ReadPixel(screen, 10 + 21, 40 + 21);
  EXPECT_EQ((std::vector<int>{blit.red, blit.green, blit.blue}), (std::vector<int>{0, 0, 255}));
  EXPECT_EQ((std::vector<int>{stretched.red, stretched.green, stretched.blue}), (std::vector<int>{0, 0, 255}));
  EXPECT_EQ((std::vector<int>{filled.red, filled.green, filled.blue}), (std::vector<int>{255, 255, 0}));
  // An empty target (a window without a handle) draws nothing.
  std::unique_ptr<DrawTarget> empty(DrawTarget::OpenWindow(nullptr));
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->GetKind(), DrawTarget::Kind::kEmpty);
  EXPECT_FALSE(empty->FillRect({0, 0, 4, 4}, {1, 2, 3}));
}

}  // namespace
}  // namespace shell
