#include "fonts/DeviceFont.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "runtime/TransientBlocks.h"

namespace fonts {

namespace {

struct VerticalFormRange {
  uint16_t first;
  uint16_t last;
};

// Units that the collections' fonts draw in a form of their own in
// vertical writing (brackets, dashes, long vowel marks, square unit
// words, ...), in ascending order.
constexpr VerticalFormRange kJapan1VerticalForms[] = {
    {0x00B4, 0x00B4}, {0x2010, 0x2010}, {0x2015, 0x2016}, {0x2018, 0x201A}, {0x201C, 0x201E}, {0x2025,
    0x2026}, {0x203E, 0x203E}, {0x2194, 0x2194}, {0x21C4, 0x21C6}, {0x21E6, 0x21E9}, {0x2504, 0x250B},
    {0x250D, 0x250E}, {0x2511, 0x2512}, {0x2515, 0x2516}, {0x2519, 0x251A}, {0x251E, 0x251F}, {0x2521,
    0x2522}, {0x2526, 0x2527}, {0x2529, 0x252A}, {0x252D, 0x252E}, {0x2531, 0x2532}, {0x2535, 0x2536},
    {0x2539, 0x253A}, {0x253D, 0x253E}, {0x2540, 0x2541}, {0x2543, 0x254A}, {0x261C, 0x261F}, {0x2702,
    0x2702}, {0x27A1, 0x27A1}, {0x2B07, 0x2B07}, {0x3008, 0x3011}, {0x3013, 0x3015}, {0x3018, 0x3019},
    {0x301C, 0x301C}, {0x3095, 0x3096}, {0x30FC, 0x30FC}, {0x3300, 0x3302}, {0x3304, 0x330C}, {0x330E,
    0x3313}, {0x3315, 0x3317}, {0x3319, 0x3321}, {0x3324, 0x3325}, {0x3328, 0x332A}, {0x332D, 0x3335},
    {0x3337, 0x333A}, {0x333C, 0x3348}, {0x334B, 0x334C}, {0x334E, 0x3350}, {0x3352, 0x3356}, {0x337F,
    0x337F}, {0x624C, 0x624C}, {0xFE30, 0xFE33}, {0xFE35, 0xFE44}, {0xFE47, 0xFE48}, {0xFF08, 0xFF09},
    {0xFF0E, 0xFF0E}, {0xFF1A, 0xFF1A}, {0xFF1D, 0xFF1D}, {0xFF3B, 0xFF3B}, {0xFF3D, 0xFF3D}, {0xFF3F,
    0xFF40}, {0xFF5B, 0xFF60}, {0xFFCF, 0xFFCF}, {0xFFE3, 0xFFE3}
};
constexpr VerticalFormRange kGB1VerticalForms[] = {
    {0x3013, 0x3013}, {0x3016, 0x3017}, {0xFF0E, 0xFF0E}, {0xFF1D, 0xFF1D},
    {0xFF3B, 0xFF3B}, {0xFF3D, 0xFF3D}, {0xFF5E, 0xFF5E}, {0xFFE3, 0xFFE3},
};

const char* DeviceFaceNameOf(Collection collection, bool sans) {
  switch (collection) {
    case Collection::kJapan1: return sans ? "MS Gothic" : "MS Mincho";
    case Collection::kGB1: return sans ? "SimHei" : "SimSun";
    case Collection::kCNS1: return "MingLiU";
    case Collection::kKorea1: return "Batang";
    default: return "Arial";
  }
}

// Selects an object into a DC for the life of the holder and selects the
// previous one back, also when an error unwinds past it.
class GdiSelection {
 public:
  GdiSelection(platform::HDC dc, platform::HGDIOBJ object) : dc_(dc), previous_(platform::SelectObject(dc, object)) {}
  ~GdiSelection() {
    if (previous_ != nullptr) platform::SelectObject(dc_, previous_);
  }
  GdiSelection(const GdiSelection&) = delete;
  GdiSelection& operator=(const GdiSelection&) = delete;

 private:
  platform::HDC dc_;
  platform::HGDIOBJ previous_;
};

// A GDI object deleted with the holder.
struct DeviceGdiObject {
  platform::HGDIOBJ object;
  ~DeviceGdiObject() {
    if (object != nullptr) platform::DeleteObject(object);
  }
};

// An empty glyph bitmap (no box, no coverage) in `arena`.
runtime::GlyphBitmapRecord* EmptyDeviceGlyph(runtime::ArenaAllocator& arena) {
  return new (arena.Alloc(sizeof(runtime::GlyphBitmapRecord))) runtime::GlyphBitmapRecord{};
}

runtime::GlyphBitmapRecord* NewDeviceGlyph(runtime::ArenaAllocator& arena, int32_t x0, int32_t y0, int32_t x1,
                                      int32_t y1) {
  const size_t bytes = static_cast<size_t>(x1 - x0) * static_cast<size_t>(y1 - y0);
  auto* record = new (arena.Alloc(sizeof(runtime::GlyphBitmapRecord) + bytes)) runtime::GlyphBitmapRecord{};
  record->x0 = x0;
  record->y0 = y0;
  record->x1 = x1;
  record->y1 = y1;
  std::memset(record->Coverage(), 0, bytes);
  return record;
}

// The largest glyph box made, in pixels a side: beyond it a glyph is not
// drawn (it could not be kept within the memory budget).
constexpr int32_t kMaxDeviceGlyphSide = 1024;

}  // namespace

uint8_t DeviceFontFace::CharSetOf(Collection collection) {
  switch (collection) {
    case Collection::kJapan1: return platform::SHIFTJIS_CHARSET;
    case Collection::kGB1: return platform::GB2312_CHARSET;
    case Collection::kCNS1: return platform::CHINESEBIG5_CHARSET;
    case Collection::kKorea1: return platform::HANGUL_CHARSET;
    default: return platform::DEFAULT_CHARSET;
  }
}

platform::LOGFONTW DeviceFontFace::Build(Collection collection, bool sans, bool vertical) {
  platform::LOGFONTW request{};
  request.lfHeight = -1;
  request.lfCharSet = CharSetOf(collection);
  const char* name = DeviceFaceNameOf(collection, sans);
  size_t at = 0;
  if (vertical) {
    request.lfEscapement = 2700;
    request.lfFaceName[at++] = u'@';
  }
  for (; *name != '\0' && at + 1 < static_cast<size_t>(platform::LF_FACESIZE); ++name) {
    request.lfFaceName[at++] = static_cast<platform::WCHAR>(static_cast<uint8_t>(*name));
  }
  return request;
}

bool DeviceFontFace::Choose(platform::HDC dc, Collection collection, bool sans) {
  if (collection == Collection::kNone || dc == nullptr) return false;
  const platform::LOGFONTW request = Build(collection, sans, false);
  DeviceGdiObject font{platform::CreateFontIndirectW(&request)};
  if (font.object == nullptr) return false;
  platform::TEXTMETRICW metrics{};
  bool answer = false;
  {
    GdiSelection selection(dc, font.object);
    answer = platform::GetTextMetricsW(dc, &metrics) && metrics.tmCharSet == CharSetOf(collection);
  }
  return answer;
}

DeviceFont* DeviceFont::Create(runtime::LibraryContext* context, Collection collection, bool sans, bool vertical) {
  return runtime::NewObject<DeviceFont>(context, context, collection, sans, vertical);
}

DeviceFont::DeviceFont(runtime::LibraryContext* context, Collection collection, bool sans, bool vertical)
    : FontProgram(context), collection_(collection), sans_(sans), vertical_(vertical) {
  horizontal_ = DeviceFontFace::Build(collection, sans, false);
  if (vertical) verticalRequest_ = DeviceFontFace::Build(collection, sans, true);
}

runtime::Rect DeviceFont::FontBBox() const {
  return runtime::Rect{-runtime::kFixedOne, -runtime::kFixedOne, runtime::kFixedOne, runtime::kFixedOne};
}

bool DeviceFont::UsesVerticalForm(Collection collection, uint16_t unit) {
  const VerticalFormRange* begin = nullptr;
  const VerticalFormRange* end = nullptr;
  if (collection == Collection::kJapan1) {
    begin = std::begin(kJapan1VerticalForms);
    end = std::end(kJapan1VerticalForms);
  } else if (collection == Collection::kGB1) {
    begin = std::begin(kGB1VerticalForms);
    end = std::end(kGB1VerticalForms);
  } else {
    return false;
  }
  // The first range that ends at or after the unit.
  const VerticalFormRange* at =
      std::lower_bound(begin, end, unit, [](const VerticalFormRange& range, uint16_t u) { return range.last < u; });
  return at != end && at->first <= unit;
}

uint32_t DeviceGlyphRasterizer::PixelSizeOf(const Matrix& m) {
  uint32_t largest = 0;
  for (const Fixed v : {m.a, m.b, m.c, m.d}) {
    const uint32_t magnitude = v < 0 ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
    largest = std::max(largest, magnitude);
  }
  if (largest >= 0x7FFF8000u) return 32768;
  return std::max<uint32_t>(1, (largest + 0x8000u) >> 16);
}

DeviceGlyphRasterizer::DeviceGlyphRasterizer(const DeviceFont& font, const Matrix& matrix)
    : font_(font) {
  const uint32_t wanted = PixelSizeOf(matrix);
  pixelSize_ = std::min(wanted, kMaxPixelSize);
  const int64_t diagonal = int64_t{matrix.a} + matrix.d;
  needsTransform_ = wanted != pixelSize_ || matrix.b != 0 || matrix.c != 0 || matrix.a < 0 ||
                    (diagonal < 0 ? -diagonal : diagonal) >= 2;
  const auto p = static_cast<int64_t>(pixelSize_);
  // The drawn glyph has y down and pixelSize pixels an em: scale it back
  // to text space (y up), then map it by the matrix.
  transform_ = Matrix{static_cast<Fixed>(matrix.a / p), static_cast<Fixed>(matrix.b / p),
                      static_cast<Fixed>(-matrix.c / p), static_cast<Fixed>(-matrix.d / p), 0, 0};
  dc_ = platform::CreateCompatibleDC(nullptr);
  platform::LOGFONTW request = font.HorizontalRequest();
  request.lfHeight = -static_cast<platform::LONG>(pixelSize_);
  horizontal_ = platform::CreateFontIndirectW(&request);
  if (font.Vertical()) {
    request = font.VerticalRequest();
    request.lfHeight = -static_cast<platform::LONG>(pixelSize_);
    vertical_ = platform::CreateFontIndirectW(&request);
  }
}

DeviceGlyphRasterizer::~DeviceGlyphRasterizer() {
  if (horizontal_ != nullptr) platform::DeleteObject(horizontal_);
  if (vertical_ != nullptr) platform::DeleteObject(vertical_);
  if (dc_ != nullptr) platform::DeleteDC(dc_);
}

const runtime::GlyphBitmapRecord* DeviceGlyphRasterizer::DrawGlyph(uint16_t unit, runtime::ArenaAllocator& arena,
                                                                   const runtime::IntRect* clip) {
  const bool useVertical =
      font_.Vertical() && vertical_ != nullptr && DeviceFont::UsesVerticalForm(font_.CollectionOf(), unit);
  platform::HFONT handle = useVertical ? vertical_ : horizontal_;
  if (dc_ == nullptr || handle == nullptr) return EmptyDeviceGlyph(arena);
  GdiSelection fontSelection(dc_, handle);
  platform::TEXTMETRICW metrics{};
  if (!platform::GetTextMetricsW(dc_, &metrics)) return EmptyDeviceGlyph(arena);
  platform::ABC abc{};
  const bool haveAbc = !useVertical && platform::GetCharABCWidths(dc_, unit, unit, &abc);
  const int32_t limit = 4 * static_cast<int32_t>(kMaxPixelSize);
  const int32_t width = std::clamp<int64_t>(haveAbc ? int64_t{abc.abcB} : int64_t{metrics.tmMaxCharWidth}, 1, limit);
  const int32_t height = std::clamp<int64_t>(int64_t{metrics.tmAscent} + metrics.tmDescent, 1, limit);

  platform::BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(platform::BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width + 2;
  info.bmiHeader.biHeight = -(height + 2);
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = platform::BI_RGB;
  void* bits = nullptr;
  DeviceGdiObject dib{platform::CreateDIBSection(dc_, &info, platform::DIB_RGB_COLORS, &bits, nullptr, 0)};
  if (dib.object == nullptr || bits == nullptr) return EmptyDeviceGlyph(arena);
  const size_t stride = (static_cast<size_t>(width + 2) * 24 + 31) / 32 * 4;
  std::memset(bits, 0, stride * static_cast<size_t>(height + 2));
  GdiSelection dibSelection(dc_, dib.object);
  platform::POINT previousOrigin{};
  platform::SetViewportOrgEx(dc_, 1, 1, &previousOrigin);
  // White on a transparent background: the first byte of a pixel is then
  // the glyph's coverage.
  platform::SetTextColor(dc_, platform::RGB(255, 255, 255));
  platform::SetBkMode(dc_, platform::TRANSPARENT);
  const int x = haveAbc ? -abc.abcA : (useVertical ? width : 0);
  const platform::RECT area{0, 0, width, height};
  const platform::WCHAR text = static_cast<platform::WCHAR>(unit);
  const bool drawn = platform::ExtTextOutW(dc_, x, 0, platform::ETO_CLIPPED, &area, &text, 1, nullptr);
  platform::SetViewportOrgEx(dc_, previousOrigin.x, previousOrigin.y, nullptr);
  if (!drawn) return EmptyDeviceGlyph(arena);

  const int32_t descent = metrics.tmDescent;
  runtime::GlyphBitmapRecord box{};
  if (font_.Vertical()) {
    box.x0 = descent;
    box.y0 = -height;
  } else {
    box.x0 = 0;
    box.y0 = descent - height;
  }
  box.x1 = box.x0 + width;
  box.y1 = box.y0 + height;
  const auto* pixels = static_cast<const uint8_t*>(bits);
  if (needsTransform_) return Resample(box, pixels, stride, arena, clip);

  runtime::IntRect kept{box.x0, box.y0, box.x1, box.y1};
  if (clip != nullptr) {
    kept = runtime::IntRect{std::max(kept.x0, clip->x0), std::max(kept.y0, clip->y0), std::min(kept.x1, clip->x1),
                            std::min(kept.y1, clip->y1)};
    if (kept.IsEmpty()) return EmptyDeviceGlyph(arena);
  }
  runtime::GlyphBitmapRecord* record = NewDeviceGlyph(arena, kept.x0, kept.y0, kept.x1, kept.y1);
  for (int32_t y = kept.y0; y < kept.y1; ++y) {
    const uint8_t* row = pixels + stride * static_cast<size_t>(y - box.y0 + 1);
    uint8_t* out = record->Coverage() + static_cast<size_t>(y - kept.y0) * static_cast<size_t>(record->Width());
    for (int32_t x = kept.x0; x < kept.x1; ++x) out[x - kept.x0] = row[3 * static_cast<size_t>(x - box.x0 + 1)];
  }
  return record;
}

const runtime::GlyphBitmapRecord* DeviceGlyphRasterizer::Resample(const runtime::GlyphBitmapRecord& box,
                                                                  const uint8_t* pixels, size_t stride,
                                                                  runtime::ArenaAllocator& arena,
                                                                  const runtime::IntRect* clip) const {
  const double a = transform_.a / 65536.0, b = transform_.b / 65536.0;
  const double c = transform_.c / 65536.0, d = transform_.d / 65536.0;
  const double determinant = a * d - b * c;
  if (!std::isfinite(determinant) || std::abs(determinant) < 1e-9) return EmptyDeviceGlyph(arena);
  // The drawn box mapped to the device.
  double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
  for (const double px : {double(box.x0), double(box.x1)}) {
    for (const double py : {double(box.y0), double(box.y1)}) {
      const double dx = a * px + c * py, dy = b * px + d * py;
      x0 = std::min(x0, dx);
      y0 = std::min(y0, dy);
      x1 = std::max(x1, dx);
      y1 = std::max(y1, dy);
    }
  }
  constexpr double kFar = 1 << 28;
  runtime::IntRect kept{static_cast<int32_t>(std::floor(std::max(x0, -kFar))),
                        static_cast<int32_t>(std::floor(std::max(y0, -kFar))),
                        static_cast<int32_t>(std::ceil(std::min(x1, kFar))),
                        static_cast<int32_t>(std::ceil(std::min(y1, kFar)))};
  if (clip != nullptr) {
    kept = runtime::IntRect{std::max(kept.x0, clip->x0), std::max(kept.y0, clip->y0), std::min(kept.x1, clip->x1),
                            std::min(kept.y1, clip->y1)};
  }
  if (kept.IsEmpty() || int64_t{kept.x1} - kept.x0 > kMaxDeviceGlyphSide || int64_t{kept.y1} - kept.y0 > kMaxDeviceGlyphSide) {
    return EmptyDeviceGlyph(arena);
  }
  runtime::GlyphBitmapRecord* record = NewDeviceGlyph(arena, kept.x0, kept.y0, kept.x1, kept.y1);
  const int32_t width = box.x1 - box.x0, height = box.y1 - box.y0;
  // Coverage of the drawn glyph at (x, y) relative to its box, 0 outside.
  auto at = [&](int32_t x, int32_t y) -> double {
    if (x < 0 || y < 0 || x >= width || y >= height) return 0;
    return pixels[stride * static_cast<size_t>(y + 1) + 3 * static_cast<size_t>(x + 1)];
  };
  for (int32_t y = kept.y0; y < kept.y1; ++y) {
    uint8_t* out = record->Coverage() + static_cast<size_t>(y - kept.y0) * static_cast<size_t>(record->Width());
    for (int32_t x = kept.x0; x < kept.x1; ++x) {
      // The pixel centre mapped back into the drawn glyph, sampled
      // bilinearly between pixel centres.
      const double dx = x + 0.5, dy = y + 0.5;
      const double sx = (d * dx - c * dy) / determinant - box.x0 - 0.5;
      const double sy = (-b * dx + a * dy) / determinant - box.y0 - 0.5;
      const double fx = std::floor(sx), fy = std::floor(sy);
      const auto ix = static_cast<int32_t>(fx), iy = static_cast<int32_t>(fy);
      const double tx = sx - fx, ty = sy - fy;
      const double value = (at(ix, iy) * (1 - tx) + at(ix + 1, iy) * tx) * (1 - ty) +
                           (at(ix, iy + 1) * (1 - tx) + at(ix + 1, iy + 1) * tx) * ty;
      out[x - kept.x0] = static_cast<uint8_t>(std::clamp(value + 0.5, 0.0, 255.0));
    }
  }
  return record;
}

}  // namespace fonts
