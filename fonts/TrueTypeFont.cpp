#include "fonts/TrueTypeFont.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "fonts/FontError.h"
#include "fonts/GlyphOutline.h"
#include "fonts/TrueTypeGlyph.h"
#include "resources/TrueTypeTables.h"
#include "runtime/ErrorTrap.h"
#include "runtime/Scheduler.h"

namespace fonts {

namespace {

constexpr uint32_t kHeadMagic = 0x5F0F3CF5;

// Unicode of the codes of the encoding a simple font names.
const uint16_t* EncodingUnicode(TtEncodingHint hint) {
  // MacExpertEncoding names small capitals and old-style figures that
  // have no Unicode values of their own; its codes are looked up as
  // WinAnsi ones.
  return hint == TtEncodingHint::kMacRoman ? resources::kMacRomanUnicode : resources::kWinAnsiUnicode;
}

}  // namespace

TrueTypeFont::TrueTypeFont(runtime::LibraryContext* context, std::span<const uint8_t> data)
    : FontProgram(context), arena_(context, 4096, 1024) {
  uint8_t* copy = static_cast<uint8_t*>(arena_.Alloc(std::max<size_t>(data.size(), 1)));
  if (!data.empty()) std::memcpy(copy, data.data(), data.size());
  data_ = {copy, data.size()};
  const uint32_t version = U32(0);
  if (version != 0x00010000 && version != Tag('O', 'T', 'T', 'O') && version != Tag('t', 'r', 'u', 'e') &&
      version != Tag('t', 'y', 'p', '1')) {
    ThrowMalformedFont();
  }
  ReadTableDirectory();
  ReadHead();
  ReadMaxp();
  if (!outlinesUnusable_ && !ReadMetricsTables()) outlinesUnusable_ = true;
  if (outlinesUnusable_ && Find(Tag('h', 'h', 'e', 'a')) != nullptr) {
    // Names, codes and metrics stay usable; only outlines are lost.
  }
}

TrueTypeFont::~TrueTypeFont() = default;

uint32_t TrueTypeFont::U8(uint64_t at) const {
  if (at >= data_.size()) ThrowMalformedFont();
  return data_[at];
}

uint32_t TrueTypeFont::U16(uint64_t at) const {
  if (at + 2 > data_.size()) ThrowMalformedFont();
  return (uint32_t{data_[at]} << 8) | data_[at + 1];
}

uint32_t TrueTypeFont::U32(uint64_t at) const {
  if (at + 4 > data_.size()) ThrowMalformedFont();
  return (uint32_t{data_[at]} << 24) | (uint32_t{data_[at + 1]} << 16) | (uint32_t{data_[at + 2]} << 8) |
         data_[at + 3];
}

std::span<const uint8_t> TrueTypeFont::Bytes(uint64_t at, uint64_t length) const {
  if (at > data_.size() || length > data_.size() - at) ThrowMalformedFont();
  return data_.subspan(at, length);
}

void TrueTypeFont::ReadTableDirectory() {
  tableCount_ = U16(4);
  tables_ = static_cast<SfntTableEntry*>(arena_.Alloc(sizeof(SfntTableEntry) * std::max(tableCount_, 1u)));
  for (uint32_t i = 0; i < tableCount_; ++i) {
    const uint64_t at = 12 + 16 * uint64_t{i};
    tables_[i] = {U32(at), U32(at + 4), U32(at + 8), U32(at + 12)};
    // A table that runs past the data keeps only what is there.
    const uint64_t end = uint64_t{tables_[i].offset} + tables_[i].length;
    if (tables_[i].offset > data_.size()) {
      tables_[i].length = 0;
    } else if (end > data_.size()) {
      tables_[i].length = static_cast<uint32_t>(data_.size() - tables_[i].offset);
    }
  }
  glyf_ = Find(Tag('g', 'l', 'y', 'f'));
  loca_ = Find(Tag('l', 'o', 'c', 'a'));
}

const SfntTableEntry* TrueTypeFont::Find(uint32_t tag) const {
  for (uint32_t i = 0; i < tableCount_; ++i) {
    if (tables_[i].tag == tag) return &tables_[i];
  }
  return nullptr;
}

void TrueTypeFont::ReadHead() {
  const SfntTableEntry* head = Find(Tag('h', 'e', 'a', 'd'));
  if (head == nullptr || head->length < 54) ThrowMalformedFont();
  const uint64_t h = head->offset;
  const bool valid = U32(h + 12) == kHeadMagic;
  headFlags_ = static_cast<uint16_t>(U16(h + 16));
  unitsPerEm_ = static_cast<uint16_t>(U16(h + 18));
  if (unitsPerEm_ == 0) ThrowMalformedFont();
  xMin_ = static_cast<int16_t>(I16(h + 36));
  yMin_ = static_cast<int16_t>(I16(h + 38));
  xMax_ = static_cast<int16_t>(I16(h + 40));
  yMax_ = static_cast<int16_t>(I16(h + 42));
  indexToLocFormat_ = I16(h + 50) == 0 ? 0 : 1;  // any other value reads long offsets
  if (valid && glyf_ != nullptr && loca_ != nullptr) outlinesUnusable_ = false;
}

void TrueTypeFont::ReadMaxp() {
  const SfntTableEntry* maxp = Find(Tag('m', 'a', 'x', 'p'));
  if (maxp == nullptr || maxp->length < 6 || U32(maxp->offset) != 0x00010000) {
    // Version 0.5 (CFF outlines) carries only the glyph count.
    if (maxp == nullptr || maxp->length < 6 || U32(maxp->offset) != 0x00005000) ThrowMalformedFont();
  }
  uint16_t* fields = &maxp_.numGlyphs;
  for (uint32_t i = 0; i < 14; ++i) {
    const uint64_t at = uint64_t{maxp->offset} + 4 + 2 * i;
    fields[i] = (at + 2 <= uint64_t{maxp->offset} + maxp->length) ? static_cast<uint16_t>(U16(at)) : 0;
  }
  numGlyphs_ = maxp_.numGlyphs;
  if (numGlyphs_ == 0) ThrowMalformedFont();
  if (maxp_.maxComponentElements < 3) maxp_.maxComponentElements = 3;
  if (maxp_.maxComponentDepth == 0) maxp_.maxComponentDepth = 1;
}

bool TrueTypeFont::ReadMetricsTables() {
  const SfntTableEntry* hhea = Find(Tag('h', 'h', 'e', 'a'));
  if (hhea == nullptr || hhea->length < 36) return false;
  numberOfHMetrics_ = static_cast<uint16_t>(U16(hhea->offset + 34));
  const SfntTableEntry* hmtx = Find(Tag('h', 'm', 't', 'x'));
  if (numberOfHMetrics_ == 0 || hmtx == nullptr) return false;
  const int16_t hheaAscender = static_cast<int16_t>(I16(hhea->offset + 4));
  hheaDescender_ = static_cast<int16_t>(I16(hhea->offset + 6));
  const SfntTableEntry* os2 = Find(Tag('O', 'S', '/', '2'));
  if (os2 != nullptr && os2->length >= 72) {
    ascent_ = static_cast<int16_t>(I16(os2->offset + 68));
    descent_ = static_cast<int16_t>(I16(os2->offset + 70));
  } else {
    ascent_ = hheaAscender;
    descent_ = hheaDescender_;
  }
  const SfntTableEntry* vhea = Find(Tag('v', 'h', 'e', 'a'));
  const SfntTableEntry* vmtx = Find(Tag('v', 'm', 't', 'x'));
  hasVerticalMetrics_ = vhea != nullptr && vmtx != nullptr && vhea->length >= 36;
  numOfLongVerMetrics_ = hasVerticalMetrics_ ? static_cast<uint16_t>(U16(vhea->offset + 34)) : 0;
  if (numOfLongVerMetrics_ == 0) hasVerticalMetrics_ = false;
  // The box in em units with a tenth of an em as margin.
  const int32_t upem = unitsPerEm_;
  const int32_t margin = runtime::FixedMul(upem, 6553);
  const int32_t deepest = std::max(std::abs(int32_t{descent_}), std::abs(int32_t{hheaDescender_}));
  auto em = [upem](int32_t v) { return runtime::FixedDiv(v, upem); };
  fontBox_ = {em(xMin_ - margin), em(std::min<int32_t>(yMin_, -deepest) - margin), em(xMax_ + margin),
              em(std::max<int32_t>(yMax_, ascent_) + margin)};
  return true;
}

Matrix TrueTypeFont::FontMatrix() const {
  const Fixed s = runtime::FixedDiv(runtime::kFixedOne, unitsPerEm_);
  return {s, 0, 0, s, 0, 0};
}

uint32_t TrueTypeFont::ByteSize() const {
  // The font's bytes live in its arena, so the arena's size covers them.
  const uint64_t total = 620 + 116 + (128 + 16 * uint64_t{tableCount_}) + (100 + uint64_t{arena_.totalBytes});
  return static_cast<uint32_t>(std::min<uint64_t>(total, UINT32_MAX));
}

bool TrueTypeFont::LocateGlyph(uint32_t glyph, uint32_t& offset, uint32_t& length) const {
  if (glyf_ == nullptr || loca_ == nullptr || glyph >= numGlyphs_) return false;
  uint64_t start, end;
  if (indexToLocFormat_ != 0) {
    const uint64_t at = uint64_t{loca_->offset} + 4 * uint64_t{glyph};
    if (at + 8 > uint64_t{loca_->offset} + loca_->length) return false;
    start = U32(at);
    end = U32(at + 4);
    // A next offset below this one gives the glyph the rest of "glyf".
    if (end < start) end = glyf_->length;
  } else {
    const uint64_t at = uint64_t{loca_->offset} + 2 * uint64_t{glyph};
    if (at + 4 > uint64_t{loca_->offset} + loca_->length) return false;
    start = 2 * uint64_t{U16(at)};
    end = 2 * uint64_t{U16(at + 2)};
    if (end < start) end = start;
  }
  if (end == start) return false;
  // Subsets often end "loca" past the end of "glyf": the glyph keeps the
  // bytes that are there. A glyph that starts beyond "glyf" is malformed.
  if (start >= glyf_->length) ThrowMalformedFont();
  end = std::min<uint64_t>(end, glyf_->length);
  offset = static_cast<uint32_t>(glyf_->offset + start);
  length = static_cast<uint32_t>(end - start);
  return true;
}

// ---- Glyph names ----

const char* const* TrueTypeFont::GlyphNames() {
  const char* const* names = nullptr;
  runtime::ErrorTrap trap(context_);
  if (trap.Run([&] { names = ReadPost(); })) return names;
  trap.SetHandled();
  if (!trap.Held().IsRuntime(runtime::kMalformed)) trap.Rethrow();
  trap.Close();
  return nullptr;
}

const char* const* TrueTypeFont::ReadPost() {
  if (postRead_) return postNames_;
  postRead_ = true;
  const SfntTableEntry* post = Find(Tag('p', 'o', 's', 't'));
  if (post == nullptr || post->length < 32) return nullptr;
  const uint32_t version = U32(post->offset);
  const char** names = nullptr;
  if (version == 0x00010000) {
    if (numGlyphs_ >= 259) ThrowMalformedFont();
    names = static_cast<const char**>(arena_.Alloc(sizeof(char*) * numGlyphs_));
    for (uint32_t i = 0; i < numGlyphs_; ++i) names[i] = resources::kMacStandardGlyphNames[i];
  } else if (version == 0x00020000) {
    const uint64_t base = post->offset;
    const uint64_t end = base + post->length;
    if (U16(base + 32) != numGlyphs_) ThrowMalformedFont();
    const uint64_t indexes = base + 34;
    if (indexes + 2 * uint64_t{numGlyphs_} > end) ThrowMalformedFont();
    runtime::ChargeWork(context_, static_cast<int32_t>(numGlyphs_ / 16 + 1));
    // The names after the index array, cut at their length bytes.
    uint32_t extra = 0;
    for (uint32_t i = 0; i < numGlyphs_; ++i) {
      const uint32_t index = U16(indexes + 2 * i);
      if (index >= 258 && index < 32768) ++extra;
    }
    const char** custom = static_cast<const char**>(arena_.Alloc(sizeof(char*) * std::max(extra, 1u)));
    uint32_t found = 0;
    uint64_t p = indexes + 2 * uint64_t{numGlyphs_};
    while (found < extra && p < end) {
      const uint32_t n = U8(p);
      if (p + 1 + n > end) ThrowMalformedFont();
      char* text = static_cast<char*>(arena_.Alloc(n + 1));
      std::memcpy(text, data_.data() + p + 1, n);
      text[n] = '\0';
      custom[found++] = text;
      p += 1 + n;
    }
    names = static_cast<const char**>(arena_.Alloc(sizeof(char*) * numGlyphs_));
    for (uint32_t i = 0; i < numGlyphs_; ++i) {
      uint32_t index = U16(indexes + 2 * i);
      if (index >= 32768) index = 0;
      if (index < 258) {
        names[i] = index == 0 ? ".notdef" : resources::kMacStandardGlyphNames[index];
      } else {
        names[i] = index - 258 < found ? custom[index - 258] : ".notdef";
      }
    }
  } else {
    return nullptr;
  }
  postNames_ = names;
  return names;
}

void TrueTypeFont::CodeToGlyphByName(const char* const* postNames, uint32_t count,
                                     const char* const encodingNames[256], uint16_t out[256]) {
  // A sorted index of the names stands for the name-to-id map.
  struct NamedGlyph {
    const char* name;
    uint32_t glyph;
  };
  NamedGlyph* sorted = static_cast<NamedGlyph*>(arena_.Alloc(sizeof(NamedGlyph) * std::max(count, 1u)));
  uint32_t n = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (postNames[i] != nullptr) sorted[n++] = {postNames[i], i};
  }
  runtime::ChargeWork(context_, static_cast<int32_t>(count / 16 + 1));
  // Stable, so that the first glyph of a repeated name wins.
  std::stable_sort(sorted, sorted + n, [](const NamedGlyph& a, const NamedGlyph& b) {
    return std::strcmp(a.name, b.name) < 0;
  });
  auto lookup = [&](const char* name, uint32_t fallback) {
    const NamedGlyph* it = std::lower_bound(sorted, sorted + n, name, [](const NamedGlyph& g, const char* key) {
      return std::strcmp(g.name, key) < 0;
    });
    return (it != sorted + n && std::strcmp(it->name, name) == 0) ? it->glyph : fallback;
  };
  const uint32_t notdef = lookup(".notdef", 0);
  for (int code = 0; code < 256; ++code) {
    const char* name = encodingNames[code];
    out[code] = static_cast<uint16_t>(name != nullptr ? lookup(name, notdef) : notdef);
  }
}

// ---- Character maps ----

uint32_t TrueTypeFont::ChooseCmapSubtable(TtEncodingHint hint, bool symbolic, CmapKind* kind) const {
  const SfntTableEntry* cmap = Find(Tag('c', 'm', 'a', 'p'));
  if (cmap == nullptr || U16(cmap->offset) != 0) ThrowMalformedFont();
  const uint32_t count = U16(cmap->offset + 2);
  uint32_t mac = 0, unicode = 0, symbol = 0;
  bool hasMac = false, hasUnicode = false, hasSymbol = false;
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t at = uint64_t{cmap->offset} + 4 + 8 * uint64_t{i};
    const uint32_t platform = U16(at), encoding = U16(at + 2);
    const uint32_t offset = U32(at + 4);
    if (offset >= cmap->length) continue;
    const uint32_t where = cmap->offset + offset;
    // A subtable in a format the code table cannot read is passed over:
    // chosen, it would make the whole font unusable although another
    // subtable maps its codes.
    if (!IsReadableCmapFormat(where)) continue;
    // The first record of a kind wins: fonts list the Macintosh table of
    // plain MacRoman first and regional variants (Romanian, Croatian, ...)
    // after it, which put other letters at the same codes.
    if (platform == 1 && encoding == 0 && !hasMac) {
      mac = where;
      hasMac = true;
    } else if (platform == 3 && encoding == 1 && !hasUnicode) {
      unicode = where;
      hasUnicode = true;
    } else if (platform == 3 && encoding == 0 && !hasSymbol) {
      symbol = where;
      hasSymbol = true;
    }
  }
  CmapKind chosen = CmapKind::kUnicode;
  uint32_t subtable = 0;
  if (hint == TtEncodingHint::kWinAnsi && hasUnicode) {
    subtable = unicode;
  } else if (hasSymbol && (symbolic || !hasMac)) {
    chosen = CmapKind::kSymbol;
    subtable = symbol;
  } else if (hasMac) {
    chosen = CmapKind::kMacRoman;
    subtable = mac;
  } else if (hasUnicode) {
    subtable = unicode;
  } else {
    ThrowMalformedFont();
  }
  if (kind != nullptr) *kind = chosen;
  return subtable;
}

void TrueTypeFont::CodeToGlyphTable(TtEncodingHint hint, bool symbolic, uint16_t out[256]) {
  CmapKind kind = CmapKind::kUnicode;
  const uint32_t subtable = ChooseCmapSubtable(hint, symbolic, &kind);
  // A symbol subtable keeps its glyphs at 0xF000 + code (or at the code)
  // whatever the descriptor's flags say: looked up by Unicode value, a
  // font flagged non-symbolic would show nothing.
  BuildCodeTable(subtable, symbolic || kind == CmapKind::kSymbol, EncodingUnicode(hint), out);
  const uint32_t format = U16(subtable);
  if (kind != CmapKind::kMacRoman || hint != TtEncodingHint::kWinAnsi || (format != 0 && format != 6)) return;
  // A Macintosh table is indexed by MacRoman codes: a WinAnsi code goes
  // there through its character (216, Oslash, is MacRoman 175), or it
  // would show the MacRoman character of its number.
  uint16_t byMacCode[256];
  std::copy(out, out + 256, byMacCode);
  for (int code = 0; code < 256; ++code) {
    // Codes WinAnsi leaves without a character keep their own number.
    const uint16_t unicode = resources::kWinAnsiUnicode[code];
    if (unicode == 0) continue;
    uint16_t glyph = 0;
    for (int mac = 0; mac < 256; ++mac) {
      if (resources::kMacRomanUnicode[mac] == unicode) {
        glyph = byMacCode[mac];
        break;
      }
    }
    out[code] = glyph;
  }
}

bool TrueTypeFont::CodeToGlyphTable(int kind, bool symbolic, uint16_t (&glyphs)[256]) {
  const TtEncodingHint hint = kind >= 1 && kind <= 3 ? static_cast<TtEncodingHint>(kind) : TtEncodingHint::kNone;
  CodeToGlyphTable(hint, symbolic, &glyphs[0]);
  return true;
}

bool TrueTypeFont::HasCodeMapping() const {
  // Reads bounds-checked by hand: this answers, it never throws.
  const SfntTableEntry* cmap = Find(Tag('c', 'm', 'a', 'p'));
  if (cmap == nullptr) return false;
  const uint64_t tableEnd = uint64_t{cmap->offset} + cmap->length;
  auto u16 = [&](uint64_t at, uint32_t& value) {
    if (at + 2 > tableEnd || at + 2 > data_.size()) return false;
    value = (uint32_t{data_[at]} << 8) | data_[at + 1];
    return true;
  };
  uint32_t version = 0, count = 0;
  if (!u16(cmap->offset, version) || version != 0 || !u16(cmap->offset + 2, count)) return false;
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t at = uint64_t{cmap->offset} + 4 + 8 * uint64_t{i};
    uint32_t platform = 0, encoding = 0, high = 0, low = 0, format = 0;
    if (!u16(at, platform) || !u16(at + 2, encoding) || !u16(at + 4, high) || !u16(at + 6, low)) return false;
    const bool known = (platform == 1 && encoding == 0) || (platform == 3 && (encoding == 0 || encoding == 1));
    const uint64_t offset = (uint64_t{high} << 16) | low;
    if (!known || offset >= cmap->length) continue;
    if (u16(cmap->offset + offset, format) && (format == 0 || format == 4 || format == 6)) return true;
  }
  return false;
}

bool TrueTypeFont::IsReadableCmapFormat(uint64_t subtable) const {
  if (subtable + 2 > data_.size()) return false;
  const uint32_t format = (uint32_t{data_[subtable]} << 8) | data_[subtable + 1];
  return format == 0 || format == 4 || format == 6;
}

uint32_t TrueTypeFont::Format4Lookup(uint32_t subtable, uint32_t code) const {
  const uint32_t segCount = U16(subtable + 6) / 2;
  const uint64_t ends = uint64_t{subtable} + 14;
  const uint64_t starts = ends + 2 * uint64_t{segCount} + 2;
  const uint64_t deltas = starts + 2 * uint64_t{segCount};
  const uint64_t rangeOffsets = deltas + 2 * uint64_t{segCount};
  if (code == 0xFFFF) return 0;
  // The segments are sorted by end code: the first whose end reaches the
  // code is the only candidate.
  uint32_t lo = 0, hi = segCount;
  while (lo < hi) {
    const uint32_t mid = (lo + hi) / 2;
    if (U16(ends + 2 * mid) < code) lo = mid + 1; else hi = mid;
  }
  if (lo >= segCount) return 0;
  const uint32_t start = U16(starts + 2 * lo);
  if (code < start) return 0;
  const uint32_t delta = U16(deltas + 2 * lo);
  const uint64_t rangeAt = rangeOffsets + 2 * uint64_t{lo};
  const uint32_t rangeOffset = U16(rangeAt);
  uint32_t glyph;
  if (rangeOffset == 0) {
    glyph = (code + delta) & 0xFFFF;
  } else {
    const uint64_t at = rangeAt + rangeOffset + 2 * uint64_t{code - start};
    // An id outside the subtable (or the "cmap" table) is 0.
    const SfntTableEntry* cmap = Find(Tag('c', 'm', 'a', 'p'));
    const uint64_t subtableEnd = std::min<uint64_t>(uint64_t{subtable} + U16(subtable + 2),
                                                    uint64_t{cmap->offset} + cmap->length);
    if (at + 2 > subtableEnd) return 0;
    glyph = U16(at);
    if (glyph != 0) glyph = (glyph + delta) & 0xFFFF;
  }
  return glyph < numGlyphs_ ? glyph : 0;
}

void TrueTypeFont::BuildCodeTable(uint32_t subtable, bool symbolic, const uint16_t* unicode,
                                  uint16_t out[256]) {
  std::fill(out, out + 256, uint16_t{0});
  const uint32_t format = U16(subtable);
  if (format == 0) {
    for (uint32_t code = 0; code < 256; ++code) {
      const uint32_t glyph = U8(uint64_t{subtable} + 6 + code);
      out[code] = static_cast<uint16_t>(glyph < numGlyphs_ ? glyph : 0);
    }
  } else if (format == 6) {
    const uint32_t first = U16(subtable + 6);
    const uint32_t count = U16(subtable + 8);
    for (uint32_t code = first; code < std::min<uint32_t>(first + count, 256); ++code) {
      const uint32_t glyph = U16(uint64_t{subtable} + 10 + 2 * (code - first));
      out[code] = static_cast<uint16_t>(glyph < numGlyphs_ ? glyph : 0);
    }
  } else if (format == 4) {
    const uint32_t segCount = U16(subtable + 6) / 2;
    const uint64_t ends = uint64_t{subtable} + 14;
    const uint64_t starts = ends + 2 * uint64_t{segCount} + 2;
    // The arrays must be there; a segment whose end is below its start
    // less one is malformed.
    Bytes(ends, 8 * uint64_t{segCount} + 2);
    runtime::ChargeWork(context_, static_cast<int32_t>(segCount / 64 + 1));
    for (uint32_t s = 0; s < segCount; ++s) {
      if (U16(ends + 2 * s) + 1 < U16(starts + 2 * s)) ThrowMalformedFont();
    }
    for (uint32_t code = 0; code < 256; ++code) {
      uint32_t glyph;
      if (symbolic) {
        // Symbolic subsets put their codes at 0xF000 + code or at the
        // code itself.
        glyph = Format4Lookup(subtable, 0xF000 + code);
        if (glyph == 0) glyph = Format4Lookup(subtable, code);
      } else {
        glyph = unicode[code] != 0 ? Format4Lookup(subtable, unicode[code]) : 0;
      }
      out[code] = static_cast<uint16_t>(glyph);
    }
  } else {
    ThrowMalformedFont();
  }
}

uint32_t TrueTypeFont::UnicodeToGlyph(uint32_t unicode) {
  const SfntTableEntry* cmap = Find(Tag('c', 'm', 'a', 'p'));
  if (cmap == nullptr || unicode > 0xFFFF) return 0;
  const uint32_t count = U16(cmap->offset + 2);
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t at = uint64_t{cmap->offset} + 4 + 8 * uint64_t{i};
    if (U16(at) == 3 && U16(at + 2) == 1 && U32(at + 4) < cmap->length) {
      const uint32_t subtable = cmap->offset + U32(at + 4);
      return U16(subtable) == 4 ? Format4Lookup(subtable, unicode) : 0;
    }
  }
  return 0;
}

// ---- Outlines ----

void TrueTypeFont::Glyph(uint32_t glyph, const Matrix& matrix, runtime::ArenaVector<FixedPoint>& points,
                         runtime::ArenaAllocator& work, Matrix& orientation) {
  TtOutline outline;
  orientation = Matrix{};
  if (!BuildOutline(glyph, matrix, work, outline)) return;
  QuadContoursToPath(points, {outline.x, outline.pointCount}, {outline.y, outline.pointCount},
                     {outline.onCurve, outline.pointCount}, {outline.contourEnds, outline.contourCount});
  orientation = outline.toDevice;
}

}  // namespace fonts
