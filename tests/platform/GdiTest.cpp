#include "platform/Gdi.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>

#include "WindowTestSupport.h"
#include "platform/Device.h"
#include "platform/Heap.h"
#include "platform/Screen.h"
#include "platform/Surface.h"

namespace platform {
namespace {

struct Dib {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  uint8_t* bits = nullptr;
  int stride = 0;
};

Dib MakeDib(int width, int height, int depth) {
  BITMAPINFO info{};
  info.bmiHeader = BITMAPINFOHEADER{40, width, -height, 1, static_cast<WORD>(depth), BI_RGB, 0, 0, 0, 0, 0};
  if (depth == 16) {
    info.bmiHeader.biCompression = BI_BITFIELDS;
    const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
    std::memcpy(info.bmiColors, masks, sizeof masks);
  }
  Dib dib;
  dib.dc = CreateCompatibleDC(nullptr);
  void* bits = nullptr;
  dib.bitmap = CreateDIBSection(dib.dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  dib.bits = static_cast<uint8_t*>(bits);
  dib.stride = (width * depth + 31) / 32 * 4;
  if (dib.bitmap != nullptr) SelectObject(dib.dc, dib.bitmap);
  return dib;
}

void Free(Dib& dib) {
  EXPECT_TRUE(DeleteDC(dib.dc));
  EXPECT_TRUE(DeleteObject(dib.bitmap));
}

uint16_t Word(const Dib& dib, int x, int y) {
  uint16_t value;
  std::memcpy(&value, dib.bits + y * dib.stride + x * 2, 2);
  return value;
}

TEST(GdiTest, DibFormatsStrideAndFill) {
  Dib sixteen = MakeDib(4, 2, 16);
  ASSERT_NE(sixteen.bitmap, nullptr);
  const HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  RECT all{0, 0, 4, 2};
  FillRect(sixteen.dc, &all, red);
  EXPECT_EQ(Word(sixteen, 0, 0), 0xF800);
  EXPECT_EQ(Word(sixteen, 3, 1), 0xF800);
  DeleteObject(red);

  // Rows are padded to four bytes.
  Dib twentyFour = MakeDib(3, 2, 24);
  BITMAP info{};
  ASSERT_EQ(GetObjectW(twentyFour.bitmap, sizeof info, &info), static_cast<int>(sizeof info));
  EXPECT_EQ(info.bmWidthBytes, 12);
  EXPECT_EQ(info.bmBitsPixel, 24);
  const HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
  RECT second{1, 1, 2, 2};
  FillRect(twentyFour.dc, &second, blue);
  EXPECT_EQ(twentyFour.bits[12 + 3], 255);  // blue first, then green, red
  EXPECT_EQ(twentyFour.bits[12 + 5], 0);
  DeleteObject(blue);

  // Deleting the context with the bitmap still selected, then the bitmap.
  Free(sixteen);
  Free(twentyFour);

  // A bitmap still selected cannot be deleted from under its context.
  Dib held = MakeDib(2, 2, 32);
  EXPECT_FALSE(DeleteObject(held.bitmap));
  Free(held);

  BITMAPINFO bad{};
  bad.bmiHeader = BITMAPINFOHEADER{40, 0, 10, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  EXPECT_EQ(CreateDIBSection(nullptr, &bad, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  bad.bmiHeader = BITMAPINFOHEADER{40, 100000, 100000, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  EXPECT_EQ(CreateDIBSection(nullptr, &bad, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  bad.bmiHeader = BITMAPINFOHEADER{40, 10, 10, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  GetHeapTestHooks().failNext = 1;
  EXPECT_EQ(CreateDIBSection(nullptr, &bad, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  EXPECT_EQ(bits, nullptr);
}

TEST(GdiTest, BlitStretchAndScroll) {
  Dib source = MakeDib(4, 4, 32);
  for (int i = 0; i < 16; ++i) source.bits[i * 4] = static_cast<uint8_t>(i + 1);  // blue = index + 1
  Dib target = MakeDib(8, 8, 32);
  ASSERT_TRUE(BitBlt(target.dc, 2, 2, 4, 4, source.dc, 0, 0, SRCCOPY));
  EXPECT_EQ(target.bits[(2 * 8 + 2) * 4], 1);
  EXPECT_EQ(target.bits[(5 * 8 + 5) * 4], 16);
  EXPECT_EQ(target.bits[(1 * 8 + 1) * 4], 0);
  // Doubling repeats every pixel twice; equal sizes copy exactly.
  ASSERT_TRUE(StretchBlt(target.dc, 0, 0, 8, 8, source.dc, 0, 0, 4, 4, SRCCOPY));
  EXPECT_EQ(target.bits[(0 * 8 + 0) * 4], 1);
  EXPECT_EQ(target.bits[(0 * 8 + 1) * 4], 1);
  EXPECT_EQ(target.bits[(0 * 8 + 2) * 4], 2);
  EXPECT_EQ(target.bits[(7 * 8 + 7) * 4], 16);

  // Scrolling right by one moves pixels right and keeps column 0.
  Dib scrolled = MakeDib(4, 1, 16);
  for (int x = 0; x < 4; ++x) {
    const uint16_t value = static_cast<uint16_t>(x + 1);
    std::memcpy(scrolled.bits + x * 2, &value, 2);
  }
  RECT whole{0, 0, 4, 1};
  RECT update{};
  ASSERT_TRUE(ScrollDC(scrolled.dc, 1, 0, &whole, &whole, nullptr, &update));
  EXPECT_EQ(Word(scrolled, 0, 0), 1);
  EXPECT_EQ(Word(scrolled, 1, 0), 1);
  EXPECT_EQ(Word(scrolled, 2, 0), 2);
  EXPECT_EQ(Word(scrolled, 3, 0), 3);
  EXPECT_EQ(update.left, 0);
  EXPECT_EQ(update.right, 1);
  ASSERT_TRUE(ScrollDC(scrolled.dc, -2, 0, &whole, &whole, nullptr, &update));
  EXPECT_EQ(Word(scrolled, 0, 0), 2);
  EXPECT_EQ(Word(scrolled, 1, 0), 3);
  EXPECT_EQ(Word(scrolled, 3, 0), 3);  // uncovered: stale
  Free(source);
  Free(target);
  Free(scrolled);
}

TEST(GdiTest, SetDIBitsToDeviceReadsBottomUpRows) {
  Dib target = MakeDib(2, 2, 24);
  // 2 x 2, 24-bit, bottom-up: the first row in memory is the bottom one.
  uint8_t bits[16] = {};
  bits[2] = 200;       // bottom-left red
  bits[8 + 1] = 100;   // top-left green
  BITMAPINFO info{};
  info.bmiHeader = BITMAPINFOHEADER{40, 2, 2, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  EXPECT_EQ(SetDIBitsToDevice(target.dc, 0, 0, 2, 2, 0, 0, 0, 2, bits, &info, DIB_RGB_COLORS), 2);
  EXPECT_EQ(target.bits[1], 100);                 // top-left green
  EXPECT_EQ(target.bits[target.stride + 2], 200);  // bottom-left red
  Free(target);
}

TEST(GdiTest, SansTextIsDarkWhereItsExtentSays) {
  Dib canvas = MakeDib(200, 40, 24);
  std::memset(canvas.bits, 255, static_cast<size_t>(canvas.stride) * 40);
  LOGFONTW logical{};
  logical.lfHeight = -16;
  logical.lfWeight = FW_NORMAL;
  std::memcpy(logical.lfFaceName, u"Tahoma", sizeof(u"Tahoma"));
  const HFONT font = CreateFontIndirectW(&logical);
  ASSERT_NE(font, nullptr);
  SelectObject(canvas.dc, font);
  LOGFONTW back{};
  ASSERT_EQ(GetObjectW(font, sizeof back, &back), static_cast<int>(sizeof back));
  EXPECT_EQ(back.lfHeight, -16);
  TEXTMETRICW metrics{};
  ASSERT_TRUE(GetTextMetricsW(canvas.dc, &metrics));
  EXPECT_GE(metrics.tmHeight, 16);
  EXPECT_EQ(metrics.tmHeight, metrics.tmAscent + metrics.tmDescent);
  SIZE extent{};
  ASSERT_TRUE(GetTextExtentPoint32W(canvas.dc, u"Hello", 5, &extent));
  EXPECT_GT(extent.cx, 20);
  EXPECT_LT(extent.cx, 80);
  ABC abc[2]{};
  ASSERT_TRUE(GetCharABCWidths(canvas.dc, 'H', 'I', abc));
  EXPECT_GT(abc[0].abcB, 0u);

  SetBkMode(canvas.dc, TRANSPARENT);
  ASSERT_TRUE(ExtTextOutW(canvas.dc, 10, 5, 0, nullptr, u"Hello", 5, nullptr));
  int darkInside = 0, darkOutside = 0;
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 200; ++x) {
      const uint8_t* pixel = canvas.bits + y * canvas.stride + x * 3;
      const bool dark = pixel[0] < 128 && pixel[1] < 128 && pixel[2] < 128;
      const bool inside = x >= 10 && x < 10 + extent.cx && y >= 5 && y < 5 + extent.cy;
      (inside ? darkInside : darkOutside) += dark ? 1 : 0;
    }
  }
  EXPECT_GT(darkInside, 40);
  EXPECT_EQ(darkOutside, 0);
  Free(canvas);
  EXPECT_TRUE(DeleteObject(font));
}

// A Japanese font request: its character set is reported only when the
// matched font has kana; an "@" face with escapement 2700 draws each glyph
// turned a quarter clockwise, to the left of the reference point.
TEST(GdiTest, VerticalFacesDrawGlyphsTurnedAQuarter) {
  LOGFONTW logical{};
  logical.lfHeight = -24;
  logical.lfCharSet = SHIFTJIS_CHARSET;
  std::memcpy(logical.lfFaceName, u"MS Gothic", sizeof(u"MS Gothic"));
  LOGFONTW turnedLogical = logical;
  turnedLogical.lfEscapement = 2700;
  std::memcpy(turnedLogical.lfFaceName, u"@MS Gothic", sizeof(u"@MS Gothic"));
  const HFONT upright = CreateFontIndirectW(&logical);
  const HFONT turned = CreateFontIndirectW(&turnedLogical);
  Dib a = MakeDib(64, 64, 24);
  Dib b = MakeDib(64, 64, 24);
  SelectObject(a.dc, upright);
  SelectObject(b.dc, turned);
  TEXTMETRICW metrics{};
  ASSERT_TRUE(GetTextMetricsW(a.dc, &metrics));
  if (metrics.tmCharSet != SHIFTJIS_CHARSET) {
    Free(a);
    Free(b);
    DeleteObject(upright);
    DeleteObject(turned);
    GTEST_SKIP() << "no Japanese font installed";
  }
  for (Dib* dib : {&a, &b}) {
    SetTextColor(dib->dc, RGB(255, 255, 255));
    SetBkMode(dib->dc, TRANSPARENT);
  }
  // The upright cell's top-left at (8, 8); the turned one's reference
  // point at (56, 8), its cell reaching left.
  ASSERT_TRUE(ExtTextOutW(a.dc, 8, 8, 0, nullptr, u"\u3042", 1, nullptr));
  ASSERT_TRUE(ExtTextOutW(b.dc, 56, 8, 0, nullptr, u"\u3042", 1, nullptr));
  int ink = 0, differing = 0;
  for (int y = 0; y < 48; ++y) {
    for (int x = 0; x < 48; ++x) {
      // Upright pixel (8 + x, 8 + y) lands at (55 - y, 8 + x).
      const uint8_t up = a.bits[(8 + y) * a.stride + (8 + x) * 3];
      const uint8_t down = b.bits[(8 + x) * b.stride + (55 - y) * 3];
      ink += up > 0;
      differing += up != down;
    }
  }
  EXPECT_GT(ink, 40);
  EXPECT_EQ(differing, 0);
  Free(a);
  Free(b);
  DeleteObject(upright);
  DeleteObject(turned);
}

class WindowDrawingTest : public testing::WindowTest {
 protected:
  void SetUp() override {
    testing::WindowTest::SetUp();
    ResetScreen();
  }
};

TEST_F(WindowDrawingTest, WindowContextsDrawOnTheScreenAroundTheirChildren) {
  const HWND top = TopLevel(u"Top", RECT{0, 40, 100, 140});
  const HWND child = Child(top, 1, RECT{10, 10, 30, 30});
  Pump();
  const HDC dc = GetDC(top);
  const HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
  RECT all{0, 0, 100, 100};
  FillRect(dc, &all, green);
  ReleaseDC(top, dc);
  const Surface& screen = ScreenSurface();
  EXPECT_EQ(ReadPixel(screen, 5, 45).green, 255);
  EXPECT_NE(ReadPixel(screen, 15, 55).green, 255);  // the child's area is left alone
  EXPECT_NE(ReadPixel(screen, 5, 35).green, 255);   // outside the window
  // Painting inside BeginPaint is clipped to the update area.
  RECT part{0, 0, 10, 10};
  InvalidateRect(top, &part, FALSE);
  PAINTSTRUCT paint{};
  const HDC paintDc = BeginPaint(top, &paint);
  EXPECT_EQ(paint.rcPaint.right, 10);
  const HBRUSH black = CreateSolidBrush(RGB(0, 0, 0));
  FillRect(paintDc, &all, black);
  EndPaint(top, &paint);
  EXPECT_FALSE(GetUpdateRect(top, nullptr, FALSE));
  EXPECT_EQ(ReadPixel(screen, 5, 45).green, 0);
  EXPECT_EQ(ReadPixel(screen, 50, 90).green, 255);
  DeleteObject(green);
  DeleteObject(black);
  (void)child;
}

// Coordinates at the ends of the int range draw what lies on the bitmap and
// nothing else, without overflowing (the sanitizer build checks) or walking
// billions of points.
TEST(GdiTest, ExtremeCoordinatesAreClamped) {
  constexpr int kMin = std::numeric_limits<int>::min();
  constexpr int kMax = std::numeric_limits<int>::max();
  Dib dib = MakeDib(16, 16, 16);
  ASSERT_NE(dib.bitmap, nullptr);
  const HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
  RECT all{0, 0, 16, 16};
  FillRect(dib.dc, &all, white);

  // A line from one end of the range to the other crosses the bitmap.
  EXPECT_TRUE(DrawLine(dib.dc, kMin, 5, kMax, 5, RGB(0, 0, 0)));
  for (int x = 0; x < 16; ++x) EXPECT_EQ(Word(dib, x, 5), 0) << x;
  EXPECT_EQ(Word(dib, 3, 4), 0xFFFF);

  const HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  RECT huge{kMin, kMin, kMax, kMax};
  FrameRect(dib.dc, &huge, red);
  RECT edge{kMax, kMax, kMax, kMax};
  FrameRect(dib.dc, &edge, red);
  BitBlt(dib.dc, kMax - 1, kMax - 1, kMax, kMax, dib.dc, kMin, kMin, SRCCOPY);
  RECT update{};
  ScrollDC(dib.dc, kMin, kMax, nullptr, nullptr, nullptr, &update);
  ExtTextOutW(dib.dc, kMax, kMax, 0, nullptr, u"ab", 2, nullptr);
  const int advances[2] = {kMax, kMax};
  ExtTextOutW(dib.dc, kMax - 5, 0, 0, nullptr, u"ab", 2, advances);
  SetViewportOrgEx(dib.dc, kMax, kMin, nullptr);
  FillRect(dib.dc, &huge, red);
  DrawLine(dib.dc, kMin, kMin, kMax, kMax, RGB(0, 0, 0));
  SetViewportOrgEx(dib.dc, 0, 0, nullptr);
  // The bitmap still shows the line and the white around it.
  EXPECT_EQ(Word(dib, 8, 5), 0);
  DeleteObject(white);
  DeleteObject(red);
  Free(dib);
}

}  // namespace
}  // namespace platform
