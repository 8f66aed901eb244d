#include "shell/BitmapResource.h"

#include <cstring>

#include "platform/Gdi.h"

namespace shell {

std::vector<uint8_t> MakeBitmapResource(int width, int height, const uint8_t* bgrRows) {
  const size_t rowBytes = static_cast<size_t>(width) * 3;
  const size_t stride = (rowBytes + 3) / 4 * 4;
  platform::BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = -height;  // top-down
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = platform::BI_RGB;
  header.biSizeImage = static_cast<platform::DWORD>(stride * static_cast<size_t>(height));
  std::vector<uint8_t> bytes(sizeof header + stride * static_cast<size_t>(height), 0);
  std::memcpy(bytes.data(), &header, sizeof header);
  for (size_t y = 0; y < static_cast<size_t>(height); ++y) {
    std::memcpy(bytes.data() + sizeof header + y * stride, bgrRows + y * rowBytes, rowBytes);
  }
  return bytes;
}

}  // namespace shell
