#pragma once
// Test support for TrueType programs: opening one in a trap, our glyph
// points at a size (unhinted device points, or hinted instance points),
// and FreeType's with its classic interpreter.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_DRIVER_H
#include FT_MODULE_H

#include <string>
#include <vector>

#include "fonts/TrueTypeFont.h"
#include "tests/fonts/FontTestSupport.h"

namespace fonttest {

inline std::string DejaVuPath(const std::string& file) { return "/usr/share/fonts/truetype/dejavu/" + file; }

class OpenedTrueType {
 public:
  OpenedTrueType(runtime::LibraryContext* context, const std::vector<uint8_t>& bytes) : context_(context) {
    error_ = testsupport::CaughtError(context, [&] {
      font_ = runtime::NewObject<fonts::TrueTypeFont>(context, context, std::span<const uint8_t>(bytes));
    });
  }
  ~OpenedTrueType() { runtime::DestroyAndFree(context_, font_); }
  OpenedTrueType(const OpenedTrueType&) = delete;
  OpenedTrueType& operator=(const OpenedTrueType&) = delete;
  fonts::TrueTypeFont* get() const { return font_; }
  fonts::TrueTypeFont* operator->() const { return font_; }
  explicit operator bool() const { return font_ != nullptr; }
  const std::optional<runtime::ErrorRecord>& Error() const { return error_; }

 private:
  runtime::LibraryContext* context_;
  fonts::TrueTypeFont* font_ = nullptr;
  std::optional<runtime::ErrorRecord> error_;
};

// Our on-curve outline points of glyph `g` at `px` per em, in pixels
// (y up), mapped back from the instance size. False when nothing is drawn
// or the glyph raised an error.
inline bool OurOnCurve(runtime::LibraryContext* context, fonts::TrueTypeFont& font, uint32_t g, double px,
                       std::vector<OutlinePoint>& out) {
  out.clear();
  runtime::ArenaAllocator arena(context, 16384, 4096);
  const runtime::Fixed s = runtime::FixedFromFloat(px);
  bool built = false;
  fonts::TtOutline outline;
  const auto error = testsupport::CaughtError(
      context, [&] { built = font.BuildOutline(g, fonts::Matrix{s, 0, 0, s, 0, 0}, arena, outline); });
  if (error || !built) return false;
  const double back = outline.toDevice.a / 65536.0;
  for (uint32_t i = 0; i < outline.pointCount; ++i) {
    if (outline.onCurve[i] != 0) out.push_back({outline.x[i] / 64.0 * back, outline.y[i] / 64.0 * back});
  }
  return true;
}

// Our hinted points at the instance size (4 x px), in instance pixels.
inline bool OurInstancePoints(runtime::LibraryContext* context, fonts::TrueTypeFont& font, uint32_t g, int px,
                              std::vector<OutlinePoint>& out, bool& hinted) {
  out.clear();
  runtime::ArenaAllocator arena(context, 16384, 4096);
  bool built = false;
  fonts::TtOutline outline;
  const auto error = testsupport::CaughtError(context, [&] {
    built = font.BuildOutline(g, fonts::Matrix{px << 16, 0, 0, px << 16, 0, 0}, arena, outline);
  });
  if (error || !built) return false;
  hinted = outline.hinted;
  for (uint32_t i = 0; i < outline.pointCount; ++i) out.push_back({outline.x[i] / 64.0, outline.y[i] / 64.0});
  return true;
}

// FreeType's classic (version 35) interpreter for hinted loads.
inline void UseClassicInterpreter(FT_Library library) {
  FT_UInt version = TT_INTERPRETER_VERSION_35;
  FT_Property_Set(library, "truetype", "interpreter-version", &version);
}

// FreeType's points of glyph `g` at `px` per em (on-curve only unless
// `all`), in pixels.
inline bool FreeTypePoints(FT_Face face, uint32_t g, double px, bool hinted, bool all,
                           std::vector<OutlinePoint>& out) {
  out.clear();
  FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(px * 64), 72, 72);
  const FT_Int32 flags = (hinted ? FT_LOAD_DEFAULT : FT_LOAD_NO_HINTING) | FT_LOAD_NO_BITMAP;
  if (FT_Load_Glyph(face, g, flags) != 0) return false;
  const FT_Outline& o = face->glyph->outline;
  if (o.n_points == 0) return false;
  for (int i = 0; i < o.n_points; ++i) {
    if (all || (o.tags[i] & 1) != 0) out.push_back({o.points[i].x / 64.0, o.points[i].y / 64.0});
  }
  return true;
}

inline bool FreeTypeOnCurve(FT_Face face, uint32_t g, double px, bool hinted, std::vector<OutlinePoint>& out) {
  return FreeTypePoints(face, g, px, hinted, false, out);
}

}  // namespace fonttest
