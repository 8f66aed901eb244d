#pragma once
// Builds small sfnt fonts with TrueType outlines for the tests: a table
// list written with its directory, and helpers for the usual tables.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace fonttest {

class SfntWriter {
 public:
  static void U16(std::vector<uint8_t>& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v >> 8));
    b.push_back(static_cast<uint8_t>(v));
  }
  static void U32(std::vector<uint8_t>& b, uint32_t v) {
    U16(b, v >> 16);
    U16(b, v & 0xFFFF);
  }
  void Add(const std::string& tag, std::vector<uint8_t> bytes) { tables_[tag] = std::move(bytes); }
  std::vector<uint8_t> Build(uint32_t version = 0x00010000) const {
    std::vector<uint8_t> out;
    U32(out, version);
    U16(out, static_cast<uint32_t>(tables_.size()));
    U16(out, 0);
    U16(out, 0);
    U16(out, 0);
    uint32_t offset = 12 + 16 * static_cast<uint32_t>(tables_.size());
    for (const auto& [tag, bytes] : tables_) {
      for (char ch : tag) out.push_back(static_cast<uint8_t>(ch));
      U32(out, 0);
      U32(out, offset);
      U32(out, static_cast<uint32_t>(bytes.size()));
      offset += (static_cast<uint32_t>(bytes.size()) + 3) & ~3u;
    }
    for (const auto& [tag, bytes] : tables_) {
      out.insert(out.end(), bytes.begin(), bytes.end());
      while (out.size() % 4 != 0) out.push_back(0);
    }
    return out;
  }

 private:
  std::map<std::string, std::vector<uint8_t>> tables_;
};

struct TestFontSpec {
  uint32_t magic = 0x5F0F3CF5;
  int16_t indexToLocFormat = 1;
  uint16_t unitsPerEm = 1000;
  uint16_t limits = 64;  // every maxp limit
  std::vector<std::vector<uint8_t>> glyphs;  // "glyf" data per glyph
  std::vector<uint32_t> locaOverride;        // raw long offsets, when set
  std::vector<uint8_t> cmap;
  std::vector<uint8_t> post;
  std::map<std::string, std::vector<uint8_t>> extra;  // e.g. "prep", "fpgm", "cvt "
};

// A simple glyph: one contour through the given on-curve points.
inline std::vector<uint8_t> SimpleGlyph(const std::vector<std::pair<int16_t, int16_t>>& points,
                                        const std::vector<uint8_t>& instructions = {}) {
  std::vector<uint8_t> g;
  int16_t x0 = 32767, y0 = 32767, x1 = -32768, y1 = -32768;
  for (auto [x, y] : points) {
    x0 = std::min(x0, x);
    y0 = std::min(y0, y);
    x1 = std::max(x1, x);
    y1 = std::max(y1, y);
  }
  SfntWriter::U16(g, 1);
  for (int16_t v : {x0, y0, x1, y1}) SfntWriter::U16(g, static_cast<uint16_t>(v));
  SfntWriter::U16(g, static_cast<uint32_t>(points.size() - 1));
  SfntWriter::U16(g, static_cast<uint32_t>(instructions.size()));
  g.insert(g.end(), instructions.begin(), instructions.end());
  for (size_t i = 0; i < points.size(); ++i) g.push_back(1);  // on curve, word deltas
  int16_t prev = 0;
  for (auto [x, y] : points) {
    SfntWriter::U16(g, static_cast<uint16_t>(x - prev));
    prev = x;
  }
  prev = 0;
  for (auto [x, y] : points) {
    SfntWriter::U16(g, static_cast<uint16_t>(y - prev));
    prev = y;
  }
  return g;
}

inline std::vector<uint8_t> BuildTestFont(const TestFontSpec& spec) {
  SfntWriter w;
  std::vector<uint8_t> head(54, 0);
  auto put16 = [](std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v >> 8);
    b[at + 1] = static_cast<uint8_t>(v);
  };
  put16(head, 0, 1);
  put16(head, 12, spec.magic >> 16);
  put16(head, 14, spec.magic & 0xFFFF);
  put16(head, 18, spec.unitsPerEm);
  put16(head, 40, 1000);
  put16(head, 42, 1000);
  put16(head, 50, static_cast<uint16_t>(spec.indexToLocFormat));
  w.Add("head", head);
  std::vector<uint8_t> maxp;
  SfntWriter::U32(maxp, 0x00010000);
  SfntWriter::U16(maxp, static_cast<uint32_t>(spec.glyphs.size()));
  for (int i = 0; i < 13; ++i) SfntWriter::U16(maxp, spec.limits);
  w.Add("maxp", maxp);
  std::vector<uint8_t> hhea(36, 0);
  put16(hhea, 4, 800);
  put16(hhea, 6, static_cast<uint16_t>(-200));
  put16(hhea, 34, 1);
  w.Add("hhea", hhea);
  std::vector<uint8_t> hmtx;
  SfntWriter::U16(hmtx, 600);
  SfntWriter::U16(hmtx, 0);
  for (size_t i = 1; i < spec.glyphs.size(); ++i) SfntWriter::U16(hmtx, 0);
  w.Add("hmtx", hmtx);
  std::vector<uint8_t> glyf, loca;
  for (const auto& g : spec.glyphs) {
    SfntWriter::U32(loca, static_cast<uint32_t>(glyf.size()));
    glyf.insert(glyf.end(), g.begin(), g.end());  // unpadded: lengths stay exact
  }
  SfntWriter::U32(loca, static_cast<uint32_t>(glyf.size()));
  if (!spec.locaOverride.empty()) {
    loca.clear();
    for (uint32_t v : spec.locaOverride) SfntWriter::U32(loca, v);
  }
  w.Add("glyf", glyf);
  w.Add("loca", loca);
  if (!spec.cmap.empty()) w.Add("cmap", spec.cmap);
  if (!spec.post.empty()) w.Add("post", spec.post);
  for (const auto& [tag, bytes] : spec.extra) w.Add(tag, bytes);
  return w.Build();
}

// A "cmap" with one format 4 subtable of the given segments {start, end,
// delta} plus the final 0xFFFF segment, under (3, 1) unless told.
inline std::vector<uint8_t> Format4Cmap(const std::vector<std::array<uint16_t, 3>>& segments,
                                        uint16_t platform = 3, uint16_t encoding = 1) {
  std::vector<uint8_t> sub;
  const uint32_t n = static_cast<uint32_t>(segments.size()) + 1;
  SfntWriter::U16(sub, 4);
  SfntWriter::U16(sub, 16 + 8 * n);
  SfntWriter::U16(sub, 0);
  SfntWriter::U16(sub, 2 * n);
  SfntWriter::U16(sub, 0);
  SfntWriter::U16(sub, 0);
  SfntWriter::U16(sub, 0);
  for (const auto& s : segments) SfntWriter::U16(sub, s[1]);
  SfntWriter::U16(sub, 0xFFFF);
  SfntWriter::U16(sub, 0);
  for (const auto& s : segments) SfntWriter::U16(sub, s[0]);
  SfntWriter::U16(sub, 0xFFFF);
  for (const auto& s : segments) SfntWriter::U16(sub, s[2]);
  SfntWriter::U16(sub, 1);
  for (uint32_t i = 0; i < n; ++i) SfntWriter::U16(sub, 0);
  std::vector<uint8_t> cmap;
  SfntWriter::U16(cmap, 0);
  SfntWriter::U16(cmap, 1);
  SfntWriter::U16(cmap, platform);
  SfntWriter::U16(cmap, encoding);
  SfntWriter::U32(cmap, 12);
  cmap.insert(cmap.end(), sub.begin(), sub.end());
  return cmap;
}

// A version 2 "post" table naming each glyph: a standard Macintosh name
// by its index, any other name stored in the table.
inline std::vector<uint8_t> Version2Post(const std::vector<std::pair<uint16_t, std::string>>& glyphs) {
  std::vector<uint8_t> post;
  SfntWriter::U32(post, 0x00020000);
  for (int i = 0; i < 7; ++i) SfntWriter::U32(post, 0);
  SfntWriter::U16(post, static_cast<uint32_t>(glyphs.size()));
  uint32_t custom = 0;
  for (const auto& [index, name] : glyphs) SfntWriter::U16(post, name.empty() ? index : 258 + custom++);
  for (const auto& [index, name] : glyphs) {
    if (name.empty()) continue;
    post.push_back(static_cast<uint8_t>(name.size()));
    post.insert(post.end(), name.begin(), name.end());
  }
  return post;
}

}  // namespace fonttest
