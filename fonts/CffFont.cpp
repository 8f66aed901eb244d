#include "fonts/CffFont.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "fonts/CffDictParser.h"
#include "fonts/CharstringInterpreter.h"
#include "fonts/FontError.h"
#include "resources/CffStandardTables.h"
#include "runtime/Comparators.h"
#include "runtime/Scheduler.h"

namespace fonts {

namespace {

constexpr uint32_t kCffStandardStringCount = 391;
constexpr uint32_t kMaxFontDicts = 256;

uint32_t ReadBigEndian32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// The CFF data of an OpenType wrapper: the offset of its "CFF " table.
uint32_t FindCffTable(std::span<const uint8_t> data) {
  if (data.size() < 12) return 0;
  const uint32_t tag = ReadBigEndian32(data.data());
  if (tag != 0x00010000u && tag != 0x4F54544Fu && tag != 0x74727565u && tag != 0x74797031u) {
    return 0;
  }
  const uint32_t tables = (uint32_t{data[4]} << 8) | data[5];
  for (uint32_t i = 0; i < tables; ++i) {
    const uint64_t record = 12 + uint64_t{i} * 16;
    if (record + 16 > data.size()) ThrowMalformedFont();
    if (ReadBigEndian32(data.data() + record) == 0x43464620u) {
      const uint32_t offset = ReadBigEndian32(data.data() + record + 8);
      if (offset >= data.size()) ThrowMalformedFont();
      return offset;
    }
  }
  ThrowMalformedFont();
}

}  // namespace

CffFont::CffFont(runtime::LibraryContext* context, SkipParse)
    : FontProgram(context), arena_(context, 8192, 2048) {
  records_ = static_cast<PrivateRecord*>(arena_.Alloc(sizeof(PrivateRecord)));
  new (records_) PrivateRecord();
}

CffFont::CffFont(runtime::LibraryContext* context, std::span<const uint8_t> data, bool staticData)
    : CffFont(context, SkipParse{}) {
  if (data.size() > 0x7FFFFFFF) ThrowMalformedFont();
  if (staticData) {
    data_ = data;
    staticData_ = true;
  } else {
    uint8_t* copy = static_cast<uint8_t*>(arena_.Alloc(data.size()));
    if (!data.empty()) std::memcpy(copy, data.data(), data.size());
    data_ = {copy, data.size()};
  }

  base_ = FindCffTable(data_);
  if (uint64_t{base_} + 4 > data_.size()) ThrowMalformedFont();
  const uint32_t major = data_[base_];
  const uint32_t headerSize = data_[base_ + 2];
  if (major != 1) ThrowMalformedFont();
  names_ = CffIndex::ReadHeader(data_, uint64_t{base_} + headerSize);
  if (names_.count != 1) ThrowMalformedFont();
  topDicts_ = CffIndex::ReadHeader(data_, names_.end);
  strings_ = CffIndex::ReadHeader(data_, topDicts_.end);
  globalSubrs_ = CffIndex::ReadHeader(data_, strings_.end);

  const CffBytes topDict = topDicts_.Entry(data_, 0);
  CffDictParser(data_, base_, top_, records_[0])
      .Parse(static_cast<uint64_t>(topDict.data - data_.data()), topDict.length, true);
  cidKeyed_ = top_.hasRos;
  if (cidKeyed_) {
    ReadFdArray();
  } else {
    ReadPrivate(records_[0]);
  }
  if (top_.charStrings < 0) ThrowMalformedFont();
  charStrings_ = CffIndex::ReadHeader(data_, static_cast<uint64_t>(top_.charStrings));
  if (charStrings_.count == 0) ThrowMalformedFont();
  ReadCharset();
  if (cidKeyed_) ReadFdSelect();
  ComputeTextBox();
}

uint32_t CffFont::ReadU8(uint64_t position) const {
  if (position >= data_.size()) ThrowMalformedFont();
  return data_[position];
}

uint32_t CffFont::ReadU16(uint64_t position) const {
  if (position + 2 > data_.size()) ThrowMalformedFont();
  return (uint32_t{data_[position]} << 8) | data_[position + 1];
}

void CffFont::ReadPrivate(PrivateRecord& record) {
  if (record.privateStart < 0) ThrowMalformedFont();
  const int64_t length = record.privateEnd - record.privateStart;
  CffDictParser(data_, base_, top_, record)
      .Parse(static_cast<uint64_t>(record.privateStart), static_cast<uint64_t>(length), false);
  if (record.subrsPosition >= 0) {
    record.localSubrs = CffIndex::ReadHeader(data_, static_cast<uint64_t>(record.subrsPosition));
  }
}

void CffFont::ReadFdArray() {
  if (top_.fdArray < 0) ThrowMalformedFont();
  fdArray_ = CffIndex::ReadHeader(data_, static_cast<uint64_t>(top_.fdArray));
  if (fdArray_.count == 0 || fdArray_.count > kMaxFontDicts) ThrowMalformedFont();
  const PrivateRecord first = records_[0];
  records_ = static_cast<PrivateRecord*>(arena_.Alloc(sizeof(PrivateRecord) * fdArray_.count));
  recordCount_ = fdArray_.count;
  for (uint32_t i = 0; i < fdArray_.count; ++i) {
    new (&records_[i]) PrivateRecord();
    // A font dict without a FontMatrix keeps the top matrix with the
    // default 0.001 scale after it.
    records_[i].matrix = Matrix::Concat(top_.topMatrix, first.matrix);
    const CffBytes dict = fdArray_.Entry(data_, i);
    CffDictParser(data_, base_, top_, records_[i])
        .Parse(static_cast<uint64_t>(dict.data - data_.data()), dict.length, false);
    // Subset CID fonts may leave out the Private DICT of a font dict that no
    // glyph uses for hints; the defaults serve it.
    if (records_[i].privateStart >= 0) ReadPrivate(records_[i]);
  }
}

void CffFont::ReadCharset() {
  const uint32_t glyphs = charStrings_.count;
  charset_ = runtime::NewInArena<runtime::ArenaVector<CharsetRange>>(arena_, arena_, 16);
  if (top_.charset <= 2) {
    if (cidKeyed_) {
      charsetIdentity_ = true;
      cidLimit_ = glyphs;
      return;
    }
    if (top_.charset == 0) {
      charset_->PushBack({1, 1, std::min<uint32_t>(glyphs - 1, 228)});
    } else {
      const uint16_t* table =
          top_.charset == 1 ? resources::kCffExpertCharset : resources::kCffExpertSubsetCharset;
      const uint32_t size = top_.charset == 1 ? 166 : 87;
      for (uint32_t g = 1; g < std::min(glyphs, size); ++g) charset_->PushBack({g, table[g], 1});
    }
  } else {
    uint64_t p = static_cast<uint64_t>(top_.charset);
    const uint32_t format = ReadU8(p++);
    uint32_t glyph = 1;
    uint32_t largest = 0;
    if (format == 0) {
      for (; glyph < glyphs; ++glyph, p += 2) {
        const uint32_t sid = ReadU16(p);
        charset_->PushBack({glyph, sid, 1});
        largest = std::max(largest, sid);
      }
      cidLimit_ = largest + 1;
    } else if (format == 1 || format == 2) {
      bool identity = true;
      while (glyph < glyphs) {
        const uint32_t first = ReadU16(p);
        const uint32_t left = format == 1 ? ReadU8(p + 2) : ReadU16(p + 2);
        p += format == 1 ? 3 : 4;
        if (first != glyph) identity = false;
        const uint32_t count = std::min(left + 1, glyphs - glyph);
        charset_->PushBack({glyph, first, count});
        largest = std::max(largest, first + count - 1);
        glyph += count;
        runtime::ChargeWork(context_, 1);
      }
      cidLimit_ = largest + 1;
      if (cidKeyed_ && identity) {
        charsetIdentity_ = true;
        charset_->Clear();
        return;
      }
    } else {
      ThrowMalformedFont();
    }
  }
  static_assert(offsetof(CharsetRange, firstSid) == 4, "the first SID is the second word");
  std::stable_sort(charset_->begin(), charset_->end(),
                   [](const CharsetRange& a, const CharsetRange& b) {
                     return runtime::CompareSecondWord(a, b) < 0;  // by first SID
                   });
}

void CffFont::ReadFdSelect() {
  if (top_.fdSelect < 0) ThrowMalformedFont();
  const uint32_t glyphs = charStrings_.count;
  fdSelect_ = runtime::NewInArena<runtime::ArenaVector<FdRange>>(arena_, arena_, 16);
  uint64_t p = static_cast<uint64_t>(top_.fdSelect);
  const uint32_t format = ReadU8(p++);
  if (format == 0) {
    if (p + glyphs > data_.size()) ThrowMalformedFont();
    for (uint32_t g = 0; g < glyphs; ++g) {
      const uint32_t fd = data_[p + g];
      if (fd >= recordCount_) ThrowMalformedFont();
      fdSelect_->PushBack({g, fd});
    }
  } else if (format == 3) {
    const uint32_t ranges = ReadU16(p);
    p += 2;
    for (uint32_t i = 0; i < ranges; ++i, p += 3) {
      const uint32_t first = ReadU16(p);
      const uint32_t fd = ReadU8(p + 2);
      if (fd >= recordCount_) ThrowMalformedFont();
      if (!fdSelect_->IsEmpty()) {
        FdRange& last = (*fdSelect_)[fdSelect_->Size() - 1];
        if (first < last.firstGlyph) ThrowMalformedFont();
        if (first == last.firstGlyph) {
          last.fd = fd;
          continue;
        }
      }
      fdSelect_->PushBack({first, fd});
    }
  } else {
    ThrowMalformedFont();
  }
  fdSelect_->PushBack({glyphs, 0x7FFFFFFF});
}

uint32_t CffFont::FdOf(uint32_t glyph) const {
  if (fdSelect_ == nullptr) return 0;
  uint32_t fd = 0;
  // The last range whose first glyph is not above the glyph.
  const FdRange* begin = fdSelect_->begin();
  const FdRange* end = fdSelect_->end();
  const FdRange* it = std::upper_bound(begin, end, glyph,
                                       [](uint32_t g, const FdRange& r) { return g < r.firstGlyph; });
  if (it != begin) fd = (it - 1)->fd;
  return fd < recordCount_ ? fd : 0;
}

void CffFont::ComputeTextBox() {
  const Matrix m = records_[0].matrix;
  runtime::Rect box;
  if (IsFontUnitScale(m)) {
    auto div = [](Fixed v) { return static_cast<Fixed>((int64_t{v >> 8} * 16777) >> 16); };
    box = {div(top_.fontBBox[0]), div(top_.fontBBox[1]), div(top_.fontBBox[2]), div(top_.fontBBox[3])};
  } else {
    box = Matrix::TransformRectBounds(
        {top_.fontBBox[0], top_.fontBBox[1], top_.fontBBox[2], top_.fontBBox[3]}, m);
  }
  box.x0 = std::min(box.x0, -16384);
  box.y0 = std::min(box.y0, -16384);
  box.x1 = std::max(box.x1, 49152);
  box.y1 = std::max(box.y1, 49152);
  textBox_ = box;
}

uint32_t CffFont::GlyphCount() const { return cidKeyed_ ? cidLimit_ : charStrings_.count; }

uint32_t CffFont::ByteSize() const {
  return 652 + recordCount_ * sizeof(PrivateRecord) +
         (charset_ != nullptr ? charset_->Size() * sizeof(CharsetRange) : 0) +
         (fdSelect_ != nullptr ? fdSelect_->Size() * sizeof(FdRange) : 0) +
         (staticData_ ? 0 : static_cast<uint32_t>(data_.size()));
}

CffBytes CffFont::CharstringOf(uint32_t glyph) { return charStrings_.Entry(data_, glyph); }
CffBytes CffFont::GlobalSubr(uint32_t n) { return globalSubrs_.Entry(data_, n); }
CffBytes CffFont::LocalSubr(const PrivateRecord& record, uint32_t n) {
  return record.localSubrs.Entry(data_, n);
}

uint32_t CffFont::SidToGlyph(int32_t sid) const {
  if (sid <= 0 || charset_ == nullptr) return 0;
  const uint32_t s = static_cast<uint32_t>(sid);
  const CharsetRange* begin = charset_->begin();
  const CharsetRange* end = charset_->end();
  const CharsetRange* it = std::upper_bound(
      begin, end, s, [](uint32_t v, const CharsetRange& r) { return v < r.firstSid; });
  if (it == begin) return 0;
  --it;
  return s - it->firstSid < it->count ? it->firstGlyph + (s - it->firstSid) : 0;
}

uint32_t CffFont::CidToGlyph(uint32_t cid) const {
  if (charsetIdentity_) return cid;
  return cid == 0 ? 0 : SidToGlyph(static_cast<int32_t>(std::min<uint32_t>(cid, INT32_MAX)));
}

uint32_t CffFont::StandardCodeToGlyph(int32_t code) {
  if (code < 32 || code > 251) return SidToGlyph(0);
  return SidToGlyph(resources::kCffStandardEncoding[code]);
}

const char* CffFont::GlyphNameFromSid(int32_t sid) {
  if (sid < 0) return ".notdef";
  if (static_cast<uint32_t>(sid) < kCffStandardStringCount) return resources::kCffStandardStrings[sid];
  const uint32_t n = static_cast<uint32_t>(sid) - kCffStandardStringCount;
  if (n >= strings_.count) return ".notdef";
  const CffBytes bytes = strings_.Entry(data_, n);
  char* copy = static_cast<char*>(arena_.Alloc(bytes.length + 1));
  std::memcpy(copy, bytes.data, bytes.length);
  copy[bytes.length] = '\0';
  return copy;
}

const char* const* CffFont::GlyphNames() {
  if (cidKeyed_) return nullptr;
  if (glyphNames_ != nullptr) return glyphNames_;
  const uint32_t n = charStrings_.count;
  const char** names = static_cast<const char**>(arena_.Alloc(sizeof(char*) * n));
  for (uint32_t i = 0; i < n; ++i) names[i] = ".notdef";
  for (const CharsetRange& r : *charset_) {
    for (uint32_t k = 0; k < r.count && r.firstGlyph + k < n; ++k) {
      names[r.firstGlyph + k] = GlyphNameFromSid(static_cast<int32_t>(r.firstSid + k));
    }
    runtime::ChargeWork(context_, static_cast<int32_t>(std::min<uint32_t>(r.count, 100000)));
  }
  glyphNames_ = names;
  return names;
}

int32_t CffFont::FindGlyph(const char* name) {
  const char* const* names = GlyphNames();
  if (names == nullptr) return -1;
  for (uint32_t i = 0; i < GlyphCount(); ++i) {
    if (std::strcmp(names[i], name) == 0) return static_cast<int32_t>(i);
  }
  return -1;
}

const char* const* CffFont::BuiltinEncoding() {
  if (cidKeyed_) return nullptr;
  if (encodingNames_ != nullptr) return encodingNames_;
  const char** names = static_cast<const char**>(arena_.Alloc(sizeof(char*) * 256));
  for (int i = 0; i < 256; ++i) names[i] = ".notdef";
  if (top_.encoding == 0 || top_.encoding == 1) {
    const uint16_t* predefined =
        top_.encoding == 0 ? resources::kCffStandardEncoding : resources::kCffExpertEncoding;
    for (int code = 0; code < 256; ++code) {
      const uint16_t sid = predefined[code];
      if (sid != 0) names[code] = resources::kCffStandardStrings[sid];
    }
  } else if (top_.encoding > 1) {
    const char* const* glyphNames = GlyphNames();
    uint64_t p = static_cast<uint64_t>(top_.encoding);
    const uint32_t format = ReadU8(p++);
    const uint32_t glyphs = charStrings_.count;
    if ((format & 0x7F) == 0) {
      const uint32_t count = ReadU8(p++);
      for (uint32_t i = 0; i < count; ++i) {
        const uint32_t code = ReadU8(p++);
        if (i + 1 < glyphs) names[code] = glyphNames[i + 1];
      }
    } else if ((format & 0x7F) == 1) {
      const uint32_t ranges = ReadU8(p++);
      uint32_t glyph = 1;
      for (uint32_t i = 0; i < ranges; ++i, p += 2) {
        const uint32_t first = ReadU8(p);
        const uint32_t left = ReadU8(p + 1);
        for (uint32_t k = 0; k <= left && first + k < 256; ++k, ++glyph) {
          if (glyph < glyphs) names[first + k] = glyphNames[glyph];
        }
      }
    } else {
      ThrowMalformedFont();
    }
    if ((format & 0x80) != 0) {
      const uint32_t count = ReadU8(p++);
      for (uint32_t i = 0; i < count; ++i, p += 3) {
        const uint32_t code = ReadU8(p);
        names[code] = GlyphNameFromSid(static_cast<int32_t>(ReadU16(p + 1)));
      }
    }
  }
  encodingNames_ = names;
  return names;
}

void CffFont::Glyph(uint32_t glyph, const Matrix& matrix, runtime::ArenaVector<FixedPoint>& points,
                    runtime::ArenaAllocator& work, Matrix& orientation) {
  uint32_t index = glyph;
  if (cidKeyed_) {
    index = CidToGlyph(glyph);
  } else if (charstringKind_ == 2 && glyph == 0) {
    // .notdef asked for by name-keyed CFF draws nothing.
    orientation = Matrix{};
    return;
  }
  if (index >= IndexCount()) index = 0;
  GlyphByIndex(index, matrix, points, work, orientation);
}

void CffFont::GlyphByIndex(uint32_t index, const Matrix& matrix,
                           runtime::ArenaVector<FixedPoint>& points, runtime::ArenaAllocator& work,
                           Matrix& orientation) {
  if (index >= IndexCount()) index = 0;
  const PrivateRecord& record = records_[cidKeyed_ ? FdOf(index) : 0];
  // Split the matrix into an upright scaling, which the charstring draws
  // and hints, and the orientation left for the rasteriser.
  CharstringInterpreter::Transform scaling{};
  const int sa = matrix.a < 0 ? -1 : 1;
  const int sd = matrix.d < 0 ? -1 : 1;
  if (matrix.b == 0) {
    scaling = {runtime::AbsSat(matrix.a), sa < 0 ? runtime::NegateSat(matrix.c) : matrix.c,
               runtime::AbsSat(matrix.d)};
    orientation = Matrix{sa * runtime::kFixedOne, 0, 0, sd * runtime::kFixedOne, 0, 0};
  } else if (matrix.a == 0 && matrix.d == 0) {
    scaling = {runtime::AbsSat(matrix.b), 0, runtime::AbsSat(matrix.c)};
    orientation = Matrix{0, matrix.b < 0 ? -runtime::kFixedOne : runtime::kFixedOne,
                         matrix.c < 0 ? -runtime::kFixedOne : runtime::kFixedOne, 0, 0, 0};
  } else {
    scaling = {runtime::kFixedOne, 0, runtime::kFixedOne};
    orientation = Matrix{matrix.a, matrix.b, matrix.c, matrix.d, 0, 0};
  }
  CharstringInterpreter::Run(*this, points, CharstringOf(index), record, scaling, work);
}

}  // namespace fonts
