// Image lists: equally sized images cut from bitmap strips, drawn by index.
#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

#include "platform/Controls.h"
#include "platform/Gdi.h"
#include "platform/Resources.h"

namespace platform {
namespace {

struct ImageList {
  int width;
  int height;
  int grow;
  std::vector<HBITMAP> images;  // one DIB section each
  HDC dc = nullptr;
};

std::set<ImageList*>& Lists() {
  static auto* lists = new std::set<ImageList*>();
  return *lists;
}

ImageList* ListOf(HIMAGELIST handle) {
  auto* list = reinterpret_cast<ImageList*>(handle);
  return Lists().count(list) != 0 ? list : nullptr;
}

// Images are this many pixels wide and high at most.
constexpr int kMaxImageSide = 1024;

}  // namespace

HIMAGELIST ImageList_Create(int width, int height, UINT, int, int grow) {
  if (width < 1 || height < 1 || width > kMaxImageSide || height > kMaxImageSide) return nullptr;
  auto* list = new ImageList{width, height, std::max(1, grow), {}, CreateCompatibleDC(nullptr)};
  Lists().insert(list);
  return reinterpret_cast<HIMAGELIST>(list);
}

int ImageList_Add(HIMAGELIST handle, HBITMAP images, HBITMAP) {
  ImageList* list = ListOf(handle);
  BITMAP strip{};
  if (list == nullptr || GetObjectW(images, sizeof strip, &strip) == 0) return -1;
  const int count = strip.bmWidth / list->width;
  if (count < 1) return -1;
  const int first = static_cast<int>(list->images.size());
  const HDC source = CreateCompatibleDC(nullptr);
  const HGDIOBJ previous = SelectObject(source, images);
  for (int i = 0; i < count; ++i) {
    const HBITMAP image = CreateCompatibleBitmap(nullptr, list->width, list->height);
    if (image == nullptr) break;
    const HGDIOBJ old = SelectObject(list->dc, image);
    BitBlt(list->dc, 0, 0, list->width, list->height, source, i * list->width, 0, SRCCOPY);
    SelectObject(list->dc, old);
    list->images.push_back(image);
  }
  SelectObject(source, previous);
  DeleteDC(source);
  return first;
}

BOOL ImageList_Draw(HIMAGELIST handle, int index, HDC dc, int x, int y, UINT) {
  ImageList* list = ListOf(handle);
  if (list == nullptr || index < 0 || static_cast<size_t>(index) >= list->images.size()) return FALSE;
  const HGDIOBJ old = SelectObject(list->dc, list->images[static_cast<size_t>(index)]);
  BitBlt(dc, x, y, list->width, list->height, list->dc, 0, 0, SRCCOPY);
  SelectObject(list->dc, old);
  return TRUE;
}

int ImageList_GetImageCount(HIMAGELIST handle) {
  const ImageList* list = ListOf(handle);
  return list == nullptr ? 0 : static_cast<int>(list->images.size());
}

BOOL ImageList_GetIconSize(HIMAGELIST handle, int* width, int* height) {
  const ImageList* list = ListOf(handle);
  if (list == nullptr) return FALSE;
  if (width != nullptr) *width = list->width;
  if (height != nullptr) *height = list->height;
  return TRUE;
}

BOOL ImageList_Destroy(HIMAGELIST handle) {
  ImageList* list = ListOf(handle);
  if (list == nullptr) return FALSE;
  DeleteDC(list->dc);
  for (HBITMAP image : list->images) DeleteObject(image);
  Lists().erase(list);
  delete list;
  return TRUE;
}

HBITMAP LoadBitmapW(HINSTANCE module, LPCWSTR name) {
  const HRSRC resource = FindResourceW(module, name, RT_BITMAP);
  const DWORD size = SizeofResource(module, resource);
  const auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(module, resource)));
  if (data == nullptr || size < sizeof(BITMAPINFOHEADER)) return nullptr;
  BITMAPINFO info{};
  std::memcpy(&info.bmiHeader, data, sizeof(BITMAPINFOHEADER));
  size_t offset = info.bmiHeader.biSize;
  if (offset < sizeof(BITMAPINFOHEADER) || offset > size) return nullptr;
  if (info.bmiHeader.biCompression == BI_BITFIELDS) {
    if (offset + 12 > size) return nullptr;
    std::memcpy(info.bmiColors, data + offset, 12);
    offset += 12;
  }
  void* bits = nullptr;
  const HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr) return nullptr;
  const int64_t stride = (static_cast<int64_t>(info.bmiHeader.biWidth) * info.bmiHeader.biBitCount + 31) / 32 * 4;
  const int64_t bytes = stride * std::abs(static_cast<int64_t>(info.bmiHeader.biHeight));
  if (offset + static_cast<size_t>(bytes) > size) {
    DeleteObject(bitmap);
    return nullptr;
  }
  std::memcpy(bits, data + offset, static_cast<size_t>(bytes));
  return bitmap;
}

}  // namespace platform
