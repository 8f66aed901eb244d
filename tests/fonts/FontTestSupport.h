#pragma once
// Test support for the font programs: files, opening a program in a trap,
// our outline and coverage of a glyph, and the same from FreeType.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "fonts/FontProgramFile.h"
#include "fonts/GlyphBitmapCache.h"
#include "fonts/GlyphOutline.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/TransientBlocks.h"
#include "tests/support/CaughtError.h"

namespace fonttest {

inline const char* kUrwType1Dir = "/usr/share/fonts/type1/urw-base35";
inline const char* kUrwOpenTypeDir = "/usr/share/fonts/opentype/urw-base35";

inline bool UnderCi() {
  const char* ci = std::getenv("CI");
  return ci != nullptr && std::string(ci) == "true";
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The 35 base faces, by file stem.
inline std::vector<std::string> UrwFaces() {
  std::vector<std::string> faces;
  std::error_code error;
  if (!std::filesystem::is_directory(kUrwType1Dir, error)) return faces;
  for (const auto& entry : std::filesystem::directory_iterator(kUrwType1Dir, error)) {
    if (entry.path().extension() == ".t1") faces.push_back(entry.path().stem().string());
  }
  std::sort(faces.begin(), faces.end());
  return faces;
}

// A point of an outline in pixels (y up), without its kind.
struct OutlinePoint {
  double x;
  double y;
};

// A font program opened from bytes; released at the end of the scope.
class OpenedFont {
 public:
  OpenedFont(runtime::LibraryContext* context, const std::vector<uint8_t>& bytes) : context_(context) {
    error_ = testsupport::CaughtError(context, [&] { font_ = fonts::OpenFontProgram(context, bytes); });
  }
  ~OpenedFont() { runtime::DestroyAndFree(context_, font_); }
  OpenedFont(const OpenedFont&) = delete;
  OpenedFont& operator=(const OpenedFont&) = delete;

  fonts::CffFont* get() const { return font_; }
  fonts::CffFont* operator->() const { return font_; }
  explicit operator bool() const { return font_ != nullptr; }
  const std::optional<runtime::ErrorRecord>& Error() const { return error_; }

 private:
  runtime::LibraryContext* context_;
  fonts::CffFont* font_ = nullptr;
  std::optional<runtime::ErrorRecord> error_;
};

// Our outline of glyph index `index` at `px` pixels per em (upright, y up),
// drawing points only (the side-bearing start points of Type 1 glyphs and
// other subpaths that draw nothing are left out). False when the glyph
// raised an error.
inline bool OurOutline(runtime::LibraryContext* context, fonts::CffFont& font, uint32_t index,
                       double px, std::vector<OutlinePoint>& out,
                       std::vector<runtime::FixedPoint>* raw = nullptr) {
  out.clear();
  runtime::ArenaAllocator arena(context, 16384, 4096);
  runtime::ArenaVector<runtime::FixedPoint> points(arena, 64);
  const runtime::Fixed scale = runtime::FixedFromFloat(px);
  fonts::GlyphBitmapCache cache(font, fonts::Matrix{scale, 0, 0, scale, 0, 0}, 1, 1, {}, nullptr);
  const auto error = testsupport::CaughtError(context, [&] {
    fonts::Matrix orientation;
    font.GlyphByIndex(index, cache.GlyphMatrix(), points, arena, orientation);
  });
  if (error) return false;
  if (raw != nullptr) raw->assign(points.begin(), points.end());
  std::vector<OutlinePoint> subpath;
  bool draws = false;
  auto flush = [&] {
    if (draws) out.insert(out.end(), subpath.begin(), subpath.end());
    subpath.clear();
    draws = false;
  };
  for (const runtime::FixedPoint& p : points) {
    const fonts::PointKind kind = fonts::GlyphOutline::KindOf(p);
    if (kind == fonts::PointKind::kClose) {
      flush();
      continue;
    }
    if (kind == fonts::PointKind::kMove) flush();
    if (kind != fonts::PointKind::kMove) draws = true;
    subpath.push_back({(p.x & ~1) / 65536.0, (p.y & ~1) / 65536.0});
  }
  flush();
  return true;
}

class FreeTypeLibrary {
 public:
  FreeTypeLibrary() { FT_Init_FreeType(&library_); }
  ~FreeTypeLibrary() { FT_Done_FreeType(library_); }
  FT_Library get() const { return library_; }

 private:
  FT_Library library_ = nullptr;
};

class FreeTypeFace {
 public:
  FreeTypeFace(FT_Library library, const std::vector<uint8_t>& bytes) : bytes_(bytes) {
    if (FT_New_Memory_Face(library, bytes_.data(), static_cast<FT_Long>(bytes_.size()), 0, &face_) != 0) {
      face_ = nullptr;
    }
  }
  ~FreeTypeFace() {
    if (face_ != nullptr) FT_Done_Face(face_);
  }
  FT_Face get() const { return face_; }
  explicit operator bool() const { return face_ != nullptr; }

 private:
  std::vector<uint8_t> bytes_;
  FT_Face face_ = nullptr;
};

// FreeType's unhinted outline points of glyph `index` at `px` per em.
inline bool FreeTypeOutline(FT_Face face, uint32_t index, double px, std::vector<OutlinePoint>& out) {
  out.clear();
  FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(px * 64), 72, 72);
  if (FT_Load_Glyph(face, index, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0) return false;
  const FT_Outline& o = face->glyph->outline;
  for (int i = 0; i < o.n_points; ++i) out.push_back({o.points[i].x / 64.0, o.points[i].y / 64.0});
  return true;
}

inline std::string GlyphName(FT_Face face, uint32_t index) {
  char name[128] = {};
  if (FT_Get_Glyph_Name(face, index, name, sizeof(name)) != 0) return {};
  return name;
}

// Each point of `a` within `tolerance` of a point of `b`; the first that is
// not, or -1.
inline int FirstUnmatched(const std::vector<OutlinePoint>& a, std::vector<OutlinePoint> b, double tolerance) {
  std::sort(b.begin(), b.end(), [](const OutlinePoint& p, const OutlinePoint& q) { return p.x < q.x; });
  for (size_t i = 0; i < a.size(); ++i) {
    auto it = std::lower_bound(b.begin(), b.end(), a[i].x - tolerance,
                               [](const OutlinePoint& p, double x) { return p.x < x; });
    bool found = false;
    for (; it != b.end() && it->x <= a[i].x + tolerance; ++it) {
      if (std::abs(it->y - a[i].y) <= tolerance) {
        found = true;
        break;
      }
    }
    if (!found) return static_cast<int>(i);
  }
  return -1;
}

// Our coverage record against FreeType's rendered bitmap in `slot`, over
// the union of both boxes (y down): the summed coverage of each, and the
// pixels solid (192 or more) in one and empty in the other.
struct CoverageComparison {
  double ours = 0;
  double theirs = 0;
  int solidMismatches = 0;
  int firstX = 0, firstY = 0;  // the first solid mismatch
};

inline CoverageComparison CompareCoverage(const fonts::CoverageRecord& record, FT_GlyphSlot slot) {
  CoverageComparison result;
  const FT_Bitmap& bitmap = slot->bitmap;
  const int fx0 = slot->bitmap_left, fy0 = -slot->bitmap_top;
  const int fx1 = fx0 + static_cast<int>(bitmap.width), fy1 = fy0 + static_cast<int>(bitmap.rows);
  const int x0 = std::min(fx0, record.x0), y0 = std::min(fy0, record.y0);
  const int x1 = std::max(fx1, record.x1), y1 = std::max(fy1, record.y1);
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      const int a = record.At(x, y);
      int b = 0;
      if (x >= fx0 && x < fx1 && y >= fy0 && y < fy1) b = bitmap.buffer[(y - fy0) * bitmap.pitch + (x - fx0)];
      result.ours += a;
      result.theirs += b;
      if ((a >= 192 && b == 0) || (b >= 192 && a == 0)) {
        if (result.solidMismatches++ == 0) {
          result.firstX = x;
          result.firstY = y;
        }
      }
    }
  }
  return result;
}

}  // namespace fonttest
