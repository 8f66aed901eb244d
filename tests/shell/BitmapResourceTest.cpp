// The shell's bitmap resources as the platform reads them: a 24-bit
// top-down header, then rows padded to four bytes holding the source
// pixels. The widths used (13, 26, 48, 54, 66, 96) leave every kind of row
// padding.
#include <gtest/gtest.h>

#include <cstring>
#include <span>
#include <string>

#include "platform/Gdi.h"
#include "resources/AppPictures.h"
#include "shell/BitmapResource.h"
#include "shell/BrowserBitmaps.h"
#include "shell/TreeBitmaps.h"

namespace shell {
namespace {

// A bitmap resource's header checked, and its pixel at (x, y).
class ReadBitmap {
 public:
  explicit ReadBitmap(const platform::ResourceEntry& entry)
      : bytes_(static_cast<const uint8_t*>(entry.data)), size_(entry.size) {
    EXPECT_EQ(entry.type, kBitmapResourceType);
    if (size_ < sizeof header_) {
      ADD_FAILURE() << "resource " << entry.id << " holds no header";
      return;
    }
    std::memcpy(&header_, bytes_, sizeof header_);
    EXPECT_EQ(header_.biSize, sizeof header_);
    EXPECT_EQ(header_.biBitCount, 24);
    EXPECT_EQ(header_.biCompression, platform::BI_RGB);
    EXPECT_LT(header_.biHeight, 0) << "rows run top-down";
    stride_ = (static_cast<size_t>(Width()) * 3 + 3) / 4 * 4;
    EXPECT_EQ(header_.biSizeImage, stride_ * static_cast<size_t>(Height()));
    EXPECT_EQ(size_, sizeof header_ + stride_ * static_cast<size_t>(Height()));
  }
  int Width() const { return header_.biWidth; }
  int Height() const { return -header_.biHeight; }
  std::string Pixel(int x, int y) const {
    const size_t at = sizeof header_ + static_cast<size_t>(y) * stride_ + static_cast<size_t>(x) * 3;
    if (at + 3 > size_) return "outside";
    return std::to_string(bytes_[at]) + "," + std::to_string(bytes_[at + 1]) + "," + std::to_string(bytes_[at + 2]);
  }

 private:
  const uint8_t* bytes_;
  size_t size_;
  platform::BITMAPINFOHEADER header_{};
  size_t stride_ = 0;
};

TEST(BitmapResourceTest, BrowserStripsHoldTheirPicturesRowByRow) {
  const std::span<const platform::ResourceEntry> entries = BrowserBitmapResources();
  ASSERT_EQ(entries.size(), 4u);
  for (size_t i = 0; i < entries.size(); ++i) {
    const resources::BrowserImageStrip& strip = resources::kBrowserImageStrips[i];
    SCOPED_TRACE(strip.id);
    EXPECT_EQ(entries[i].id, strip.id);
    const ReadBitmap bitmap(entries[i]);
    ASSERT_EQ(bitmap.Width(), strip.imageWidth * 3);
    ASSERT_EQ(bitmap.Height(), strip.height);
    int wrong = 0;
    for (int y = 0; y < bitmap.Height(); ++y) {
      for (int x = 0; x < bitmap.Width(); ++x) {
        const uint8_t* source = strip.pixels + (static_cast<size_t>(y) * bitmap.Width() + x) * 3;
        const std::string expected =
            std::to_string(source[0]) + "," + std::to_string(source[1]) + "," + std::to_string(source[2]);
        if (bitmap.Pixel(x, y) != expected && ++wrong <= 3) {
          ADD_FAILURE() << "pixel " << x << "," << y << ": " << bitmap.Pixel(x, y) << " not " << expected;
        }
      }
    }
    EXPECT_EQ(wrong, 0);
  }
}

TEST(BitmapResourceTest, LargeTreeImagesAreTheSmallOnesAtTwiceTheSize) {
  const std::span<const platform::ResourceEntry> entries = TreeBitmapResources();
  ASSERT_EQ(entries.size(), 4u);
  const auto entryOf = [&](uint32_t id) -> const platform::ResourceEntry& {
    for (const platform::ResourceEntry& entry : entries) {
      if (entry.id == id) return entry;
    }
    ADD_FAILURE() << "no resource " << id;
    return entries[0];
  };
  const struct {
    uint32_t small, large;
  } kPairs[] = {{kTreeBookSmall, kTreeBookLarge}, {kTreePageSmall, kTreePageLarge}};
  for (const auto& pair : kPairs) {
    SCOPED_TRACE(pair.small);
    const ReadBitmap small(entryOf(pair.small));
    const ReadBitmap large(entryOf(pair.large));
    ASSERT_EQ(small.Width(), 13);
    ASSERT_EQ(small.Height(), 16);
    ASSERT_EQ(large.Width(), 26);
    ASSERT_EQ(large.Height(), 32);
    int wrong = 0;
    for (int y = 0; y < large.Height(); ++y) {
      for (int x = 0; x < large.Width(); ++x) {
        if (large.Pixel(x, y) != small.Pixel(x / 2, y / 2)) ++wrong;
      }
    }
    EXPECT_EQ(wrong, 0);
    // A picture, not a blank: more than one colour.
    bool varied = false;
    for (int y = 0; y < small.Height() && !varied; ++y) {
      for (int x = 0; x < small.Width(); ++x) varied = varied || small.Pixel(x, y) != small.Pixel(0, 0);
    }
    EXPECT_TRUE(varied);
  }
}

}  // namespace
}  // namespace shell
