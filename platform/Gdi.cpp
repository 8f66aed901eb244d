#include "platform/Gdi.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "platform/Device.h"
#include "platform/FontEngine.h"
#include "platform/TextLayout.h"
#include "platform/HandheldShell.h"
#include "platform/Heap.h"
#include "platform/Messages.h"
#include "platform/Screen.h"
#include "platform/Window.h"
#include "platform/WindowSystem.h"

namespace platform {
namespace {

// Bitmaps larger than this are refused rather than exhausting memory.
constexpr int kMaxBitmapSide = 16384;
constexpr uint64_t kMaxBitmapBytes = uint64_t{256} << 20;

enum class ObjectKind { kBitmap, kBrush, kFont };

struct GdiObject {
  explicit GdiObject(ObjectKind objectKind) : kind(objectKind) {}
  ObjectKind kind;
  bool stock = false;
  // Bitmap.
  Surface surface;
  void* memory = nullptr;
  int selections = 0;  // device contexts holding it
  // Brush.
  COLORREF color = 0;
  bool hollow = false;
  // Font.
  LOGFONTW font{};
  std::shared_ptr<SizedFont> sized;
};

enum class DcKind { kScreen, kWindow, kFrame, kMemory };

struct DeviceContext {
  DcKind kind = DcKind::kScreen;
  HWND window = nullptr;
  bool painting = false;
  RECT paintClip{};  // client coordinates
  GdiObject* bitmap = nullptr;
  GdiObject* font = nullptr;
  GdiObject* brush = nullptr;
  COLORREF textColor = RGB(0, 0, 0);
  COLORREF backColor = RGB(255, 255, 255);
  int backMode = OPAQUE;
  UINT textAlign = TA_TOP;
  POINT viewport{};
};

std::set<GdiObject*>& Objects() {
  static auto* objects = new std::set<GdiObject*>();
  return *objects;
}

std::set<DeviceContext*>& Contexts() {
  static auto* contexts = new std::set<DeviceContext*>();
  return *contexts;
}

GdiObject* ObjectOf(const void* handle) {
  auto* object = static_cast<GdiObject*>(const_cast<void*>(handle));
  return Objects().count(object) != 0 ? object : nullptr;
}

DeviceContext* ContextOf(HDC handle) {
  auto* context = reinterpret_cast<DeviceContext*>(handle);
  return Contexts().count(context) != 0 ? context : nullptr;
}

GdiObject* NewObject(GdiObject object) {
  auto* created = new GdiObject(std::move(object));
  Objects().insert(created);
  return created;
}

GdiObject* StockObject(int index) {
  static GdiObject* stock[16] = {};
  if (index < 0 || index >= 16) return nullptr;
  if (stock[index] == nullptr) {
    GdiObject object(ObjectKind::kBrush);
    object.stock = true;
    switch (index) {
      case WHITE_BRUSH: object.color = RGB(255, 255, 255); break;
      case LTGRAY_BRUSH: object.color = RGB(192, 192, 192); break;
      case GRAY_BRUSH: object.color = RGB(128, 128, 128); break;
      case 3: object.color = RGB(64, 64, 64); break;
      case BLACK_BRUSH: object.color = RGB(0, 0, 0); break;
      case NULL_BRUSH: object.hollow = true; break;
      case SYSTEM_FONT:
        object.kind = ObjectKind::kFont;
        object.font.lfWeight = FW_NORMAL;
        object.font.lfHeight = -13;
        std::memcpy(object.font.lfFaceName, u"Tahoma", sizeof(u"Tahoma"));
        break;
      default: return nullptr;
    }
    stock[index] = NewObject(std::move(object));
  }
  return stock[index];
}

GdiObject* DefaultFont() {
  static GdiObject* font = [] {
    GdiObject object(ObjectKind::kFont);
    object.stock = true;
    object.font.lfWeight = FW_NORMAL;
    object.font.lfHeight = -ScaleForDpi(12);
    std::memcpy(object.font.lfFaceName, u"Tahoma", sizeof(u"Tahoma"));
    return NewObject(std::move(object));
  }();
  return font;
}

// The 1 x 1 bitmap a new memory context starts with.
GdiObject* DefaultBitmap() {
  static GdiObject* bitmap = [] {
    static uint8_t pixel[4] = {};
    GdiObject object(ObjectKind::kBitmap);
    object.stock = true;
    object.surface = Surface{pixel, 1, 1, 4, 32};
    return NewObject(std::move(object));
  }();
  return bitmap;
}

// Rectangle lists for clipping.
using Region = std::vector<RECT>;

void Subtract(Region& region, const RECT& hole) {
  Region result;
  for (const RECT& rect : region) {
    RECT overlap;
    if (!IntersectRect(rect, hole, overlap)) {
      result.push_back(rect);
      continue;
    }
    if (rect.top < overlap.top) result.push_back(RECT{rect.left, rect.top, rect.right, overlap.top});
    if (overlap.bottom < rect.bottom) result.push_back(RECT{rect.left, overlap.bottom, rect.right, rect.bottom});
    if (rect.left < overlap.left) result.push_back(RECT{rect.left, overlap.top, overlap.left, overlap.bottom});
    if (overlap.right < rect.right) result.push_back(RECT{overlap.right, overlap.top, rect.right, overlap.bottom});
  }
  region.swap(result);
}

void Intersect(Region& region, const RECT& with) {
  Region result;
  for (const RECT& rect : region) {
    RECT overlap;
    if (IntersectRect(rect, with, overlap)) result.push_back(overlap);
  }
  region.swap(result);
}

// The part of the screen a window's client area shows: inside its
// ancestors, not under its children, its siblings above it or other
// top-level windows above it.
Region VisibleRegion(HWND window, bool frame) {
  if (!IsShownOnScreen(window)) return {};
  Region region{frame ? WindowRectOnScreen(window) : ClientRectOnScreen(window)};
  if (frame) {
    Subtract(region, ClientRectOnScreen(window));
  } else if (const WindowRecord* record = LookupWindow(window); record != nullptr) {
    for (HWND child : record->children) {
      if (IsShownOnScreen(child)) Subtract(region, WindowRectOnScreen(child));
    }
  }
  HWND current = window;
  while (const WindowRecord* record = LookupWindow(current)) {
    const std::vector<HWND>& siblings = record->parent != nullptr ? LookupWindow(record->parent)->children
                                                                  : TopLevelWindows();
    for (HWND sibling : siblings) {
      if (sibling == current) break;
      if (IsShownOnScreen(sibling)) Subtract(region, WindowRectOnScreen(sibling));
    }
    if (record->parent == nullptr) break;
    Intersect(region, ClientRectOnScreen(record->parent));
    current = record->parent;
  }
  return region;
}

// Where a context draws: its surface, its origin in surface pixels and its
// clip rectangles (surface coordinates).
// Coordinates come from callers and may be anything.
int ClampedAdd(int64_t a, int64_t b) { return ClampToInt(a + b); }

struct Target {
  Surface surface;
  POINT origin{};
  Region clip;
};

Target TargetOf(const DeviceContext& context) {
  Target target;
  switch (context.kind) {
    case DcKind::kMemory:
      target.surface = context.bitmap->surface;
      target.clip = {target.surface.Bounds()};
      break;
    case DcKind::kScreen:
      target.surface = ScreenSurface();
      target.clip = {target.surface.Bounds()};
      break;
    case DcKind::kFrame: {
      target.surface = ScreenSurface();
      const RECT outer = WindowRectOnScreen(context.window);
      target.origin = POINT{outer.left, outer.top};
      target.clip = VisibleRegion(context.window, true);
      Intersect(target.clip, target.surface.Bounds());
      break;
    }
    case DcKind::kWindow: {
      target.surface = ScreenSurface();
      const RECT client = ClientRectOnScreen(context.window);
      target.origin = POINT{client.left, client.top};
      target.clip = VisibleRegion(context.window, false);
      if (context.painting) {
        RECT paint = context.paintClip;
        paint = RECT{paint.left + client.left, paint.top + client.top, paint.right + client.left,
                     paint.bottom + client.top};
        Intersect(target.clip, paint);
      }
      Intersect(target.clip, target.surface.Bounds());
      break;
    }
  }
  target.origin.x = ClampedAdd(target.origin.x, context.viewport.x);
  target.origin.y = ClampedAdd(target.origin.y, context.viewport.y);
  return target;
}

RECT Logical(const Target& target, int64_t left, int64_t top, int64_t right, int64_t bottom) {
  return RECT{ClampedAdd(left, target.origin.x), ClampedAdd(top, target.origin.y), ClampedAdd(right, target.origin.x),
              ClampedAdd(bottom, target.origin.y)};
}

bool BrushColor(HBRUSH brush, COLORREF& color) {
  const auto value = reinterpret_cast<uintptr_t>(brush);
  // System-colour brushes are colour index + 1, optionally flagged.
  const uintptr_t index = value & ~kSystemColorFlag;
  if ((value == index || (value & kSystemColorFlag)) && index >= 1 && index <= 32) {
    color = GetSysColor(static_cast<int>(index - 1));
    return true;
  }
  const GdiObject* object = ObjectOf(brush);
  if (object == nullptr || object->kind != ObjectKind::kBrush || object->hollow) return false;
  color = object->color;
  return true;
}

SizedFont* FontOf(DeviceContext& context) {
  GdiObject* font = context.font != nullptr ? context.font : DefaultFont();
  if (font->sized == nullptr) font->sized = FontEngine::Get().Open(font->font, GetDeviceProfile().dpi);
  return font->sized.get();
}

void Release(GdiObject*& slot) {
  if (slot != nullptr && slot->kind == ObjectKind::kBitmap) --slot->selections;
  slot = nullptr;
}

// Sets one drawing attribute of a context; gives the previous value.
template <typename Value>
Value SetField(HDC dc, Value DeviceContext::*field, Value value) {
  DeviceContext* context = ContextOf(dc);
  if (context == nullptr) return Value{};
  return std::exchange(context->*field, value);
}

// Decodes one character of UTF-16 text.
char32_t NextCharacter(LPCWSTR text, UINT count, UINT& i) {
  char32_t c = text[i++];
  if (c >= 0xD800 && c <= 0xDBFF && i < count && text[i] >= 0xDC00 && text[i] <= 0xDFFF) {
    c = 0x10000 + ((c - 0xD800) << 10) + (text[i++] - 0xDC00);
  }
  return c;
}

}  // namespace

// ---- bitmaps ---------------------------------------------------------------------------

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT, void** bits, HANDLE, DWORD) {
  if (bits != nullptr) *bits = nullptr;
  if (info == nullptr || info->bmiHeader.biSize < sizeof(BITMAPINFOHEADER)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const BITMAPINFOHEADER& header = info->bmiHeader;
  const int64_t width = header.biWidth;
  const int64_t height = header.biHeight < 0 ? -static_cast<int64_t>(header.biHeight) : header.biHeight;
  const int depth = header.biBitCount;
  bool supported = (depth == 24 || depth == 32) && header.biCompression == BI_RGB;
  if (depth == 16 && header.biCompression == BI_BITFIELDS) {
    DWORD masks[3];
    std::memcpy(masks, info->bmiColors, sizeof masks);
    supported = masks[0] == 0xF800 && masks[1] == 0x07E0 && masks[2] == 0x001F;
  }
  if (!supported || width < 1 || height < 1 || width > kMaxBitmapSide || height > kMaxBitmapSide) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const int64_t stride = (width * depth + 31) / 32 * 4;
  const auto bytes = static_cast<uint64_t>(stride * height);
  if (bytes > kMaxBitmapBytes) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  void* memory = HeapAlloc(GetProcessHeap(), 0, bytes);
  if (memory == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  std::memset(memory, 0, bytes);
  GdiObject object(ObjectKind::kBitmap);
  object.memory = memory;
  auto* base = static_cast<uint8_t*>(memory);
  const bool topDown = header.biHeight < 0;
  object.surface = Surface{topDown ? base : base + (height - 1) * stride, static_cast<int>(width),
                           static_cast<int>(height), topDown ? stride : -stride, depth};
  if (bits != nullptr) *bits = memory;
  return reinterpret_cast<HBITMAP>(NewObject(std::move(object)));
}

HBITMAP CreateCompatibleBitmap(HDC, int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader = BITMAPINFOHEADER{40, width, -height, 1, static_cast<WORD>(ScreenSurface().bitsPerPixel),
                                    BI_RGB, 0, 0, 0, 0, 0};
  if (ScreenSurface().bitsPerPixel == 16) {
    info.bmiHeader.biCompression = BI_BITFIELDS;
    const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
    std::memcpy(info.bmiColors, masks, sizeof masks);
  }
  return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, nullptr, nullptr, 0);
}

// ---- device contexts -----------------------------------------------------------------

HDC CreateCompatibleDC(HDC) {
  auto* context = new DeviceContext();
  context->kind = DcKind::kMemory;
  context->bitmap = DefaultBitmap();
  ++context->bitmap->selections;
  Contexts().insert(context);
  return reinterpret_cast<HDC>(context);
}

BOOL DeleteDC(HDC dc) {
  DeviceContext* context = ContextOf(dc);
  if (context == nullptr) return FALSE;
  Release(context->bitmap);
  Contexts().erase(context);
  delete context;
  return TRUE;
}

HDC GetDC(HWND window) {
  if (window != nullptr && LookupWindow(window) == nullptr) return nullptr;
  auto* context = new DeviceContext();
  context->kind = window == nullptr ? DcKind::kScreen : DcKind::kWindow;
  context->window = window;
  Contexts().insert(context);
  return reinterpret_cast<HDC>(context);
}

int ReleaseDC(HWND, HDC dc) { return DeleteDC(dc); }

HDC GetWindowDC(HWND window) {
  if (LookupWindow(window) == nullptr) return nullptr;
  auto* context = new DeviceContext();
  context->kind = DcKind::kFrame;
  context->window = window;
  Contexts().insert(context);
  return reinterpret_cast<HDC>(context);
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ handle) {
  DeviceContext* context = ContextOf(dc);
  GdiObject* object = ObjectOf(handle);
  if (context == nullptr || object == nullptr) return nullptr;
  GdiObject* previous = nullptr;
  switch (object->kind) {
    case ObjectKind::kBitmap:
      if (context->kind != DcKind::kMemory) return nullptr;
      previous = context->bitmap;
      --context->bitmap->selections;
      context->bitmap = object;
      ++object->selections;
      break;
    case ObjectKind::kBrush:
      previous = context->brush != nullptr ? context->brush : StockObject(WHITE_BRUSH);
      context->brush = object;
      break;
    case ObjectKind::kFont:
      previous = context->font != nullptr ? context->font : DefaultFont();
      context->font = object;
      break;
  }
  return reinterpret_cast<HGDIOBJ>(previous);
}

BOOL DeleteObject(HGDIOBJ handle) {
  GdiObject* object = ObjectOf(handle);
  if (object == nullptr) return FALSE;
  if (object->stock) return TRUE;
  // A bitmap still selected into a context stays, as on the device.
  if (object->kind == ObjectKind::kBitmap && object->selections > 0) return FALSE;
  for (DeviceContext* context : Contexts()) {
    if (context->font == object) context->font = nullptr;
    if (context->brush == object) context->brush = nullptr;
  }
  Objects().erase(object);
  if (object->memory != nullptr) HeapFree(GetProcessHeap(), 0, object->memory);
  delete object;
  return TRUE;
}

int GetObjectW(HGDIOBJ handle, int size, void* buffer) {
  const GdiObject* object = ObjectOf(handle);
  if (object == nullptr) return 0;
  if (object->kind == ObjectKind::kFont) {
    if (buffer == nullptr) return sizeof(LOGFONTW);
    if (size < static_cast<int>(sizeof(LOGFONTW))) return 0;
    std::memcpy(buffer, &object->font, sizeof(LOGFONTW));
    return sizeof(LOGFONTW);
  }
  if (object->kind == ObjectKind::kBitmap) {
    if (buffer == nullptr) return sizeof(BITMAP);
    if (size < static_cast<int>(sizeof(BITMAP))) return 0;
    const Surface& surface = object->surface;
    BITMAP bitmap{0, surface.width, surface.height, static_cast<LONG>(std::abs(surface.pitch)), 1,
                  static_cast<WORD>(surface.bitsPerPixel), object->memory};
    std::memcpy(buffer, &bitmap, sizeof bitmap);
    return sizeof(BITMAP);
  }
  return 0;
}

int GetDeviceCaps(HDC, int index) {
  const DeviceProfile& profile = GetDeviceProfile();
  switch (index) {
    case HORZRES: return profile.width;
    case VERTRES: return profile.height;
    case BITSPIXEL: return ScreenSurface().bitsPerPixel;
    case PLANES: return 1;
    case LOGPIXELSX:
    case LOGPIXELSY: return profile.dpi;
    default: return 0;
  }
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
  WindowRecord* record = LookupWindow(window);
  if (record == nullptr || paint == nullptr) return nullptr;
  *paint = PAINTSTRUCT{};
  RECT update{};
  GetUpdateRect(window, &update, FALSE);
  const bool erase = record->erasePending;
  ValidateRect(window, nullptr);
  auto* context = new DeviceContext();
  context->kind = DcKind::kWindow;
  context->window = window;
  context->painting = true;
  context->paintClip = update;
  Contexts().insert(context);
  const HDC dc = reinterpret_cast<HDC>(context);
  paint->hdc = dc;
  paint->rcPaint = update;
  if (erase) paint->fErase = SendMessageW(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) == 0;
  return dc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT* paint) { return paint != nullptr && DeleteDC(paint->hdc); }

BOOL SetViewportOrgEx(HDC dc, int x, int y, POINT* previous) {
  DeviceContext* context = ContextOf(dc);
  if (context == nullptr) return FALSE;
  if (previous != nullptr) *previous = context->viewport;
  context->viewport = POINT{x, y};
  return TRUE;
}

// ---- transfers -----------------------------------------------------------------------------

BOOL StretchBlt(HDC targetDc, int x, int y, int width, int height, HDC sourceDc, int sourceX, int sourceY,
                int sourceWidth, int sourceHeight, DWORD operation) {
  DeviceContext* targetContext = ContextOf(targetDc);
  DeviceContext* sourceContext = ContextOf(sourceDc);
  if (targetContext == nullptr || sourceContext == nullptr || operation != SRCCOPY) return FALSE;
  const Target target = TargetOf(*targetContext);
  const Target source = TargetOf(*sourceContext);
  const RECT targetRect = Logical(target, x, y, int64_t{x} + width, int64_t{y} + height);
  const RECT sourceRect =
      Logical(source, sourceX, sourceY, int64_t{sourceX} + sourceWidth, int64_t{sourceY} + sourceHeight);
  for (const RECT& clip : target.clip) StretchSurface(target.surface, targetRect, source.surface, sourceRect, clip);
  return TRUE;
}

BOOL BitBlt(HDC target, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, DWORD operation) {
  return StretchBlt(target, x, y, width, height, source, sourceX, sourceY, width, height, operation);
}

BOOL ScrollDC(HDC dc, int dx, int dy, const RECT* scroll, const RECT* clipRect, HRGN, RECT* update) {
  DeviceContext* context = ContextOf(dc);
  if (context == nullptr) return FALSE;
  const Target target = TargetOf(*context);
  if (target.clip.empty()) {
    if (update != nullptr) *update = RECT{};
    return TRUE;
  }
  RECT bounds = target.clip.front();
  for (const RECT& rect : target.clip) {
    bounds = RECT{std::min(bounds.left, rect.left), std::min(bounds.top, rect.top), std::max(bounds.right, rect.right),
                  std::max(bounds.bottom, rect.bottom)};
  }
  RECT area = bounds;
  if (scroll != nullptr) IntersectRect(area, Logical(target, scroll->left, scroll->top, scroll->right, scroll->bottom), area);
  RECT limit = area;
  if (clipRect != nullptr) {
    IntersectRect(limit, Logical(target, clipRect->left, clipRect->top, clipRect->right, clipRect->bottom), limit);
  }
  RECT moved{ClampedAdd(area.left, dx), ClampedAdd(area.top, dy), ClampedAdd(area.right, dx),
             ClampedAdd(area.bottom, dy)};
  RECT destination;
  if (IntersectRect(moved, limit, destination)) {
    CopySurface(target.surface, destination, target.surface, ClampedAdd(destination.left, -int64_t{dx}),
                ClampedAdd(destination.top, -int64_t{dy}));
  }
  if (update != nullptr) {
    // The uncovered band, in logical coordinates.
    RECT band = limit;
    if (dx > 0) band.right = std::min(limit.right, ClampedAdd(limit.left, dx));
    if (dx < 0) band.left = std::max(limit.left, ClampedAdd(limit.right, dx));
    if (dy > 0) band.bottom = std::min(limit.bottom, ClampedAdd(limit.top, dy));
    if (dy < 0) band.top = std::max(limit.top, ClampedAdd(limit.bottom, dy));
    if (dx == 0 && dy == 0) band = RECT{};
    const int64_t ox = target.origin.x, oy = target.origin.y;
    *update = RECT{ClampedAdd(band.left, -ox), ClampedAdd(band.top, -oy), ClampedAdd(band.right, -ox),
                   ClampedAdd(band.bottom, -oy)};
  }
  return TRUE;
}

int SetDIBitsToDevice(HDC dc, int x, int y, DWORD width, DWORD height, int sourceX, int sourceY, UINT startScan,
                      UINT lines, const void* bits, const BITMAPINFO* info, UINT) {
  DeviceContext* context = ContextOf(dc);
  if (context == nullptr || bits == nullptr || info == nullptr) return 0;
  const BITMAPINFOHEADER& header = info->bmiHeader;
  const int depth = header.biBitCount;
  if ((depth != 16 && depth != 24 && depth != 32) || header.biWidth < 1 || header.biWidth > kMaxBitmapSide ||
      header.biHeight == 0 || std::abs(static_cast<int64_t>(header.biHeight)) > kMaxBitmapSide ||
      width > static_cast<DWORD>(kMaxBitmapSide) || height > static_cast<DWORD>(kMaxBitmapSide)) {
    return 0;
  }
  const int totalHeight = std::abs(header.biHeight);
  const bool topDown = header.biHeight < 0;
  const ptrdiff_t stride = (static_cast<ptrdiff_t>(header.biWidth) * depth + 31) / 32 * 4;
  lines = std::min<UINT>(lines, static_cast<UINT>(totalHeight));
  if (startScan >= static_cast<UINT>(totalHeight) || lines == 0) return 0;
  lines = std::min<UINT>(lines, static_cast<UINT>(totalHeight) - startScan);
  auto* base = static_cast<uint8_t*>(const_cast<void*>(bits));
  // The rows given, as a surface whose row 0 is the topmost of them.
  Surface source{topDown ? base : base + static_cast<ptrdiff_t>(lines - 1) * stride, static_cast<int>(header.biWidth),
                 static_cast<int>(lines), topDown ? stride : -stride, depth};
  // Source rows counted from the top of the whole bitmap.
  int sourceTop = topDown ? sourceY : totalHeight - sourceY - static_cast<int>(height);
  const int firstGiven = topDown ? static_cast<int>(startScan) : totalHeight - static_cast<int>(startScan + lines);
  sourceTop -= firstGiven;
  const Target target = TargetOf(*context);
  const RECT rect = Logical(target, x, y, x + static_cast<int>(width), y + static_cast<int>(height));
  for (const RECT& clip : target.clip) {
    RECT part;
    if (!IntersectRect(rect, clip, part)) continue;
    CopySurface(target.surface, part, source, sourceX + part.left - rect.left, sourceTop + part.top - rect.top);
  }
  return static_cast<int>(height);
}

// ---- brushes and rectangles ------------------------------------------------------------------

HBRUSH CreateSolidBrush(COLORREF color) {
  GdiObject object(ObjectKind::kBrush);
  object.color = color & 0xFFFFFF;
  return reinterpret_cast<HBRUSH>(NewObject(std::move(object)));
}

HBRUSH GetSysColorBrush(int index) {
  return reinterpret_cast<HBRUSH>(kSystemColorFlag | static_cast<uintptr_t>(index + 1));
}

COLORREF GetSysColor(int index) {
  // One calm palette for every control: white fields, light grey faces,
  // a blue selection.
  switch (index) {
    case COLOR_WINDOW: return RGB(255, 255, 255);
    case COLOR_WINDOWTEXT:
    case COLOR_BTNTEXT: return RGB(0, 0, 0);
    case COLOR_HIGHLIGHT: return RGB(0, 82, 164);
    case COLOR_HIGHLIGHTTEXT: return RGB(255, 255, 255);
    case COLOR_BTNFACE: return RGB(222, 222, 222);
    case COLOR_BTNSHADOW: return RGB(128, 128, 128);
    case COLOR_GRAYTEXT: return RGB(128, 128, 128);
    case COLOR_SCROLLBAR: return RGB(200, 200, 200);
    case COLOR_BACKGROUND: return RGB(58, 110, 165);
    default: return RGB(192, 192, 192);
  }
}

HGDIOBJ GetStockObject(int index) { return reinterpret_cast<HGDIOBJ>(StockObject(index)); }

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
  DeviceContext* context = ContextOf(dc);
  COLORREF color = 0;
  if (context == nullptr || rect == nullptr || !BrushColor(brush, color)) return 0;
  const Target target = TargetOf(*context);
  const RECT area = Logical(target, rect->left, rect->top, rect->right, rect->bottom);
  for (const RECT& clip : target.clip) {
    RECT part;
    if (IntersectRect(area, clip, part)) FillSurface(target.surface, part, ColorOf(color));
  }
  return 1;
}

int FrameRect(HDC dc, const RECT* rect, HBRUSH brush) {
  if (rect == nullptr) return 0;
  const RECT sides[4] = {{rect->left, rect->top, rect->right, ClampedAdd(rect->top, 1)},
                         {rect->left, ClampedAdd(rect->bottom, -1), rect->right, rect->bottom},
                         {rect->left, rect->top, ClampedAdd(rect->left, 1), rect->bottom},
                         {ClampedAdd(rect->right, -1), rect->top, rect->right, rect->bottom}};
  for (const RECT& side : sides) FillRect(dc, &side, brush);
  return 1;
}

BOOL DrawLine(HDC dc, int x1, int y1, int x2, int y2, COLORREF color) {
  DeviceContext* context = ContextOf(dc);
  if (context == nullptr) return FALSE;
  const Target target = TargetOf(*context);
  const Rgb rgb = ColorOf(color);
  // Only the part of the line over the surface is walked, so a line between
  // far-away points costs no more than one across the surface.
  double ax = static_cast<double>(x1) + target.origin.x, ay = static_cast<double>(y1) + target.origin.y;
  double bx = static_cast<double>(x2) + target.origin.x, by = static_cast<double>(y2) + target.origin.y;
  double from = 0.0, to = 1.0;
  const double limits[4][2] = {{-(bx - ax), ax + 1.0},
                               {bx - ax, target.surface.width - ax},
                               {-(by - ay), ay + 1.0},
                               {by - ay, target.surface.height - ay}};
  for (const auto& [p, q] : limits) {
    if (p == 0.0) {
      if (q < 0.0) return TRUE;
      continue;
    }
    const double t = q / p;
    if (p < 0.0) from = std::max(from, t);
    if (p > 0.0) to = std::min(to, t);
  }
  if (from > to) return TRUE;
  const auto startX = static_cast<int64_t>(std::lround(ax + (bx - ax) * from));
  const auto startY = static_cast<int64_t>(std::lround(ay + (by - ay) * from));
  const auto endX = static_cast<int64_t>(std::lround(ax + (bx - ax) * to));
  const auto endY = static_cast<int64_t>(std::lround(ay + (by - ay) * to));
  const int64_t steps = std::max(std::abs(endX - startX), std::abs(endY - startY));
  for (int64_t i = 0; i <= steps; ++i) {
    const auto x = static_cast<int>(startX + (steps == 0 ? 0 : (endX - startX) * i / steps));
    const auto y = static_cast<int>(startY + (steps == 0 ? 0 : (endY - startY) * i / steps));
    for (const RECT& clip : target.clip) {
      if (x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom) {
        WritePixel(target.surface, x, y, rgb);
        break;
      }
    }
  }
  return TRUE;
}

// ---- fonts and text ---------------------------------------------------------------------------

HFONT CreateFontIndirectW(const LOGFONTW* font) {
  if (font == nullptr) return nullptr;
  GdiObject object(ObjectKind::kFont);
  object.font = *font;
  object.font.lfFaceName[LF_FACESIZE - 1] = 0;
  return reinterpret_cast<HFONT>(NewObject(std::move(object)));
}

namespace {

// Whether `font` itself (not a fallback) has a character typical of the
// character set: a kana, a hangul syllable or a common ideograph.
bool FontCoversCharSet(const SizedFont& font, BYTE charset) {
  switch (charset) {
    case SHIFTJIS_CHARSET: return font.HasGlyph(U'\u3042');
    case HANGUL_CHARSET: return font.HasGlyph(U'\uAC00');
    case GB2312_CHARSET:
    case CHINESEBIG5_CHARSET: return font.HasGlyph(U'\u4E2D');
    default: return true;
  }
}

}  // namespace

BOOL GetTextMetricsW(HDC dc, TEXTMETRICW* metrics) {
  DeviceContext* context = ContextOf(dc);
  if (context == nullptr || metrics == nullptr) return FALSE;
  SizedFont* font = FontOf(*context);
  if (font == nullptr) return FALSE;
  *metrics = TEXTMETRICW{};
  metrics->tmAscent = font->ascent();
  metrics->tmDescent = font->descent();
  metrics->tmHeight = font->ascent() + font->descent();
  metrics->tmInternalLeading = std::max(0, metrics->tmHeight - font->emSize());
  metrics->tmAveCharWidth = font->averageWidth();
  metrics->tmMaxCharWidth = font->maxWidth();
  metrics->tmWeight = font->bold() ? FW_BOLD : FW_NORMAL;
  metrics->tmDigitizedAspectX = metrics->tmDigitizedAspectY = GetDeviceProfile().dpi;
  metrics->tmFirstChar = 0x20;
  metrics->tmLastChar = 0xFFFC;
  metrics->tmDefaultChar = u'?';
  metrics->tmBreakChar = u' ';
  const GdiObject* object = context->font != nullptr ? context->font : DefaultFont();
  metrics->tmPitchAndFamily = object->font.lfPitchAndFamily;
  // A CJK character set is reported only when the matched font has its
  // characters: callers ask this to learn whether the device can draw a
  // collection at all.
  metrics->tmCharSet = FontCoversCharSet(*font, object->font.lfCharSet) ? object->font.lfCharSet : ANSI_CHARSET;
  metrics->tmItalic = object->font.lfItalic;
  return TRUE;
}

BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, SIZE* size) {
  DeviceContext* context = ContextOf(dc);
  if (context == nullptr || size == nullptr || count < 0 || (text == nullptr && count > 0)) return FALSE;
  SizedFont* font = FontOf(*context);
  if (font == nullptr) return FALSE;
  int width = 0;
  const std::u16string_view line(text, static_cast<size_t>(count));
  if (NeedsShaping(line)) {
    width = LayoutText(*font, line).width;
  } else {
    for (UINT i = 0; i < static_cast<UINT>(count);) width += font->Glyph(NextCharacter(text, static_cast<UINT>(count), i)).advance;
  }
  *size = SIZE{width, font->ascent() + font->descent()};
  return TRUE;
}

BOOL GetCharABCWidths(HDC dc, UINT first, UINT last, ABC* widths) {
  DeviceContext* context = ContextOf(dc);
  if (context == nullptr || widths == nullptr || last < first || last > 0x10FFFF) return FALSE;
  SizedFont* font = FontOf(*context);
  if (font == nullptr) return FALSE;
  for (UINT c = first; c <= last; ++c) {
    const GlyphImage& glyph = font->Glyph(c);
    widths[c - first] = ABC{glyph.left, static_cast<UINT>(glyph.width), glyph.advance - glyph.left - glyph.width};
  }
  return TRUE;
}

BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count, const int* widths) {
  DeviceContext* context = ContextOf(dc);
  if (context == nullptr || (text == nullptr && count > 0)) return FALSE;
  const Target target = TargetOf(*context);
  Region clip = target.clip;
  if (rect != nullptr) {
    const RECT area = Logical(target, rect->left, rect->top, rect->right, rect->bottom);
    if (options & ETO_OPAQUE) {
      for (const RECT& part : clip) {
        RECT fill;
        if (IntersectRect(area, part, fill)) FillSurface(target.surface, fill, ColorOf(context->backColor));
      }
    }
    if (options & ETO_CLIPPED) Intersect(clip, area);
  }
  SizedFont* font = FontOf(*context);
  if (font == nullptr || count == 0) return TRUE;
  const int baseline = ClampedAdd(ClampedAdd(y, target.origin.y),
                                  (context->textAlign & TA_BASELINE) == TA_BASELINE ? 0 : font->ascent());
  int pen = ClampedAdd(x, target.origin.x);
  if (context->backMode == OPAQUE && !(options & ETO_OPAQUE)) {
    SIZE extent{};
    GetTextExtentPoint32W(dc, text, static_cast<int>(count), &extent);
    const RECT cell{pen, ClampedAdd(baseline, -font->ascent()), ClampedAdd(pen, extent.cx),
                    ClampedAdd(baseline, font->descent())};
    for (const RECT& part : clip) {
      RECT fill;
      if (IntersectRect(cell, part, fill)) FillSurface(target.surface, fill, ColorOf(context->backColor));
    }
  }
  const Rgb color = ColorOf(context->textColor);
  const GdiObject* fontObject = context->font != nullptr ? context->font : DefaultFont();
  if (fontObject->font.lfEscapement == 2700) {
    // Text running down the page ("@" faces of vertical writing): each
    // glyph turned a quarter clockwise, the cell to the left of the
    // reference point, its top towards it.
    const int top = ClampedAdd(x, target.origin.x);
    int down = ClampedAdd(y, target.origin.y);
    std::vector<uint8_t> turned;
    for (UINT i = 0; i < count;) {
      const UINT start = i;
      const GlyphImage& glyph = font->Glyph(NextCharacter(text, count, i));
      if (glyph.width > 0 && glyph.height > 0) {
        const int w = glyph.width, h = glyph.height;
        turned.assign(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
        for (int row = 0; row < h; ++row) {
          for (int column = 0; column < w; ++column) {
            turned[static_cast<size_t>(column) * static_cast<size_t>(h) + static_cast<size_t>(h - 1 - row)] =
                glyph.coverage[static_cast<size_t>(row) * static_cast<size_t>(w) + static_cast<size_t>(column)];
          }
        }
        const int left = ClampedAdd(ClampedAdd(top, -(font->ascent() - glyph.top)), -h);
        for (const RECT& part : clip) {
          BlendMask(target.surface, left, ClampedAdd(down, glyph.left), turned.data(), h, w, h, color, part);
        }
      }
      down = ClampedAdd(down, widths != nullptr ? widths[start] : glyph.advance);
    }
    return TRUE;
  }
  if (widths == nullptr) {
    // Shaped and ordered for display (plain text comes out one glyph per
    // character).
    const TextLine line = LayoutText(*font, std::u16string_view(text, count));
    for (const PlacedGlyph& placed : line.glyphs) {
      const GlyphImage& glyph = *placed.image;
      if (glyph.width <= 0 || glyph.height <= 0) continue;
      for (const RECT& part : clip) {
        BlendMask(target.surface, ClampedAdd(pen, placed.x + glyph.left), ClampedAdd(baseline, -glyph.top - placed.y),
                  glyph.coverage.data(), glyph.width, glyph.height, glyph.width, color, part);
      }
    }
    return TRUE;
  }
  for (UINT i = 0; i < count;) {
    const UINT start = i;
    const GlyphImage& glyph = font->Glyph(NextCharacter(text, count, i));
    if (glyph.width > 0 && glyph.height > 0) {
      for (const RECT& part : clip) {
        BlendMask(target.surface, ClampedAdd(pen, glyph.left), ClampedAdd(baseline, -glyph.top),
                  glyph.coverage.data(), glyph.width, glyph.height, glyph.width, color, part);
      }
    }
    pen = ClampedAdd(pen, widths != nullptr ? widths[start] : glyph.advance);
  }
  return TRUE;
}

COLORREF SetTextColor(HDC dc, COLORREF color) { return SetField(dc, &DeviceContext::textColor, color); }

COLORREF SetBkColor(HDC dc, COLORREF color) { return SetField(dc, &DeviceContext::backColor, color); }

int SetBkMode(HDC dc, int mode) { return SetField(dc, &DeviceContext::backMode, mode); }

UINT SetTextAlign(HDC dc, UINT align) { return SetField(dc, &DeviceContext::textAlign, align); }

int DrawTextW(HDC dc, LPCWSTR text, int count, RECT* rect, UINT format) {
  DeviceContext* context = ContextOf(dc);
  if (context == nullptr || rect == nullptr || text == nullptr) return 0;
  const std::u16string_view all(text, count < 0 ? std::char_traits<char16_t>::length(text) : static_cast<size_t>(count));
  SizedFont* font = FontOf(*context);
  if (font == nullptr) return 0;
  const int lineHeight = font->ascent() + font->descent();
  const int available = rect->right - rect->left;
  const auto measure = [&](std::u16string_view piece) {
    SIZE size{};
    GetTextExtentPoint32W(dc, piece.data(), static_cast<int>(piece.size()), &size);
    return static_cast<int>(size.cx);
  };
  // Break into lines: at line feeds, and at blanks when words must wrap.
  std::vector<std::u16string_view> lines;
  size_t start = 0;
  while (start <= all.size()) {
    size_t end = (format & DT_SINGLELINE) ? all.size() : all.find(u'\n', start);
    if (end == std::u16string_view::npos) end = all.size();
    std::u16string_view line = all.substr(start, end - start);
    if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
    while ((format & DT_WORDBREAK) && !line.empty() && measure(line) > available) {
      size_t cut = line.size();
      while (cut > 0 && measure(line.substr(0, cut)) > available) {
        const size_t blank = line.rfind(u' ', cut - 1);
        if (blank == std::u16string_view::npos || blank == 0) break;
        cut = blank;
      }
      if (cut == line.size() || measure(line.substr(0, cut)) > available) {
        // One word wider than the rectangle: break it where it must.
        cut = 1;
        while (cut < line.size() && measure(line.substr(0, cut + 1)) <= available) ++cut;
      }
      lines.push_back(line.substr(0, cut));
      line.remove_prefix(cut);
      while (!line.empty() && line.front() == u' ') line.remove_prefix(1);
    }
    lines.push_back(line);
    if (end == all.size()) break;
    start = end + 1;
  }
  const int totalHeight = lineHeight * static_cast<int>(lines.size());
  if (format & DT_CALCRECT) {
    int widest = 0;
    for (auto line : lines) widest = std::max(widest, measure(line));
    rect->right = rect->left + widest;
    rect->bottom = rect->top + totalHeight;
    return totalHeight;
  }
  int top = rect->top;
  if ((format & DT_SINGLELINE) && (format & DT_VCENTER)) top = rect->top + (rect->bottom - rect->top - lineHeight) / 2;
  if ((format & DT_SINGLELINE) && (format & DT_BOTTOM)) top = rect->bottom - lineHeight;
  const int savedMode = SetBkMode(dc, TRANSPARENT);
  for (auto line : lines) {
    const int width = measure(line);
    int left = rect->left;
    if (format & DT_CENTER) left = rect->left + (available - width) / 2;
    if (format & DT_RIGHT) left = rect->right - width;
    ExtTextOutW(dc, left, top, ETO_CLIPPED, rect, line.data(), static_cast<UINT>(line.size()), nullptr);
    top += lineHeight;
  }
  SetBkMode(dc, savedMode);
  return totalHeight;
}

}  // namespace platform

namespace platform {

void PaintDesktop(const RECT& area) {
  const Surface& screen = ScreenSurface();
  Region region{area};
  Intersect(region, screen.Bounds());
  for (HWND top : TopLevelWindows()) {
    if (IsShownOnScreen(top)) Subtract(region, WindowRectOnScreen(top));
  }
  if (region.empty()) return;
  const DeviceProfile& profile = GetDeviceProfile();
  const RECT bar{0, 0, profile.width, profile.taskBarHeight};
  for (const RECT& rect : region) {
    FillSurface(screen, rect, ColorOf(GetSysColor(COLOR_BACKGROUND)));
    RECT top;
    if (IsTaskBarShown() && IntersectRect(rect, bar, top)) FillSurface(screen, top, Rgb{16, 32, 64});
  }
  // The system's bar shows the title of the active window.
  const HWND active = GetActiveWindow();
  const WindowRecord* record = LookupWindow(active);
  if (!IsTaskBarShown() || record == nullptr || record->text.empty()) return;
  LOGFONTW logical{};
  logical.lfHeight = -std::max(8, profile.taskBarHeight / 2);
  logical.lfWeight = FW_BOLD;
  std::memcpy(logical.lfFaceName, u"Tahoma", sizeof(u"Tahoma"));
  const std::shared_ptr<SizedFont> font = FontEngine::Get().Open(logical, 96);
  if (font == nullptr) return;
  const int pen = profile.taskBarHeight / 3;
  const int baseline = (profile.taskBarHeight + font->ascent() - font->descent()) / 2;
  const TextLine line = LayoutText(*font, record->text);
  for (const PlacedGlyph& placed : line.glyphs) {
    const GlyphImage& glyph = *placed.image;
    for (const RECT& rect : region) {
      RECT clip;
      if (!IntersectRect(rect, bar, clip)) continue;
      BlendMask(screen, pen + placed.x + glyph.left, baseline - glyph.top - placed.y, glyph.coverage.data(),
                glyph.width, glyph.height, glyph.width, Rgb{255, 255, 255}, clip);
    }
  }
}

RECT WaitMarkRect() {
  const DeviceProfile& profile = GetDeviceProfile();
  const int size = ScaleForDpi(32);
  return RECT{(profile.width - size) / 2, (profile.height - size) / 2, (profile.width + size) / 2,
              (profile.height + size) / 2};
}

void DrawWaitMark() {
  // A ring of dots in the middle of the screen, over whatever is there.
  const Surface& screen = ScreenSurface();
  const RECT mark = WaitMarkRect();
  const int cx = (mark.left + mark.right) / 2, cy = (mark.top + mark.bottom) / 2;
  const int radius = (mark.right - mark.left) / 2 - ScaleForDpi(4);
  const int dot = std::max(2, ScaleForDpi(3));
  static constexpr int kSteps[8][2] = {{0, -10}, {7, -7}, {10, 0}, {7, 7}, {0, 10}, {-7, 7}, {-10, 0}, {-7, -7}};
  for (int i = 0; i < 8; ++i) {
    const int x = cx + kSteps[i][0] * radius / 10, y = cy + kSteps[i][1] * radius / 10;
    const auto shade = static_cast<uint8_t>(40 + i * 25);
    FillSurface(screen, RECT{x - dot, y - dot, x + dot, y + dot}, Rgb{shade, shade, static_cast<uint8_t>(shade + 15)});
  }
}

}  // namespace platform
