#pragma once
// A font program in the Compact Font Format with Type 2 charstrings: a bare
// CFF program, the "CFF " table of an OpenType font, or a CID-keyed CFF.
// It parses the header, the INDEXes, the DICTs, the charset, encoding and
// FDSelect, answers glyph look-ups and draws glyphs through the charstring
// interpreter. The Type 1 program class derives from it and shares its
// records and glyph method.
#include <cstdint>
#include <span>

#include "fonts/CffIndex.h"
#include "fonts/CffTopDict.h"
#include "fonts/FontProgram.h"
#include "fonts/PrivateRecord.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/ArenaVector.h"

namespace fonts {

class CffFont : public FontProgram {
 public:
  // Parses `data` (copied into the font's arena). (runtime, 2) when it is
  // malformed, (runtime, 0) without memory.
  // `staticData`: the bytes are built into the program and outlive it, so
  // they are read in place instead of copied (and not counted in ByteSize).
  CffFont(runtime::LibraryContext* context, std::span<const uint8_t> data, bool staticData = false);
  ~CffFont() override = default;

  void Glyph(uint32_t glyph, const Matrix& matrix, runtime::ArenaVector<FixedPoint>& points,
             runtime::ArenaAllocator& work, Matrix& orientation) override;
  runtime::Rect FontBBox() const override { return textBox_; }
  uint32_t GlyphCount() const override;
  Matrix FontMatrix() const override { return records_[0].matrix; }
  GlyphKeyKind KeyKind() const override { return cidKeyed_ ? GlyphKeyKind::kCids : GlyphKeyKind::kNames; }
  const char* const* GlyphNames() override;
  const char* const* BuiltinEncoding() override;
  bool IsUsable() const override { return IsSupported(); }
  uint32_t ByteSize() const override;

  // The outline of glyph index `index` (not a CID), drawn even for glyph 0.
  void GlyphByIndex(uint32_t index, const Matrix& matrix, runtime::ArenaVector<FixedPoint>& points,
                    runtime::ArenaAllocator& work, Matrix& orientation);
  // The glyph index of a CID (CID-keyed fonts; 0 when absent).
  uint32_t CidToGlyph(uint32_t cid) const;
  // The index of the glyph named `name`, or -1.
  int32_t FindGlyph(const char* name);
  // The number of charstrings (glyph indexes) the program holds.
  virtual uint32_t IndexCount() const { return charStrings_.count; }

  // ---- The charstring font operations (the Type 1 class overrides them).
  int CharstringKind() const { return charstringKind_; }
  virtual bool IsSupported() const { return true; }
  virtual CffBytes CharstringOf(uint32_t glyph);
  virtual CffBytes GlobalSubr(uint32_t n);
  virtual uint32_t GlobalSubrCount() const { return globalSubrs_.count; }
  virtual CffBytes LocalSubr(const PrivateRecord& record, uint32_t n);
  virtual uint32_t LocalSubrCount(const PrivateRecord& record) const {
    return record.localSubrs.count;
  }
  // The glyph of StandardEncoding code `code` (.notdef's glyph when none).
  virtual uint32_t StandardCodeToGlyph(int32_t code);
  // The multiple-master weight vector (four Fixed), or null.
  const Fixed* WeightVector() const { return hasWeights_ ? weights_ : nullptr; }
  Fixed MultipleMasterOffset() const { return mmOffset_; }
  // Whether glyphs are hinted (y fitted to the pixel grid); on by default.
  void SetHinting(bool on) { hinting_ = on; }
  bool Hinting() const { return hinting_; }

  // The string of a SID: the standard strings below 391, else the String
  // INDEX (copied into the arena, zero-terminated); ".notdef" when absent.
  const char* GlyphNameFromSid(int32_t sid);
  uint32_t SidToGlyph(int32_t sid) const;

  const CffTopDict& Top() const { return top_; }
  const PrivateRecord& Record(uint32_t i) const { return records_[i]; }
  uint32_t RecordCount() const { return recordCount_; }
  bool IsCidKeyed() const { return cidKeyed_; }

 protected:
  struct SkipParse {};
  // The base set-up of the Type 1 class: records and arena, nothing parsed.
  CffFont(runtime::LibraryContext* context, SkipParse);
  void ComputeTextBox();
  std::span<const uint8_t> Data() const { return data_; }

  runtime::ArenaAllocator arena_;
  int charstringKind_ = 2;
  CffTopDict top_;
  PrivateRecord* records_ = nullptr;
  uint32_t recordCount_ = 1;
  runtime::Rect textBox_{};
  const char** glyphNames_ = nullptr;
  const char** encodingNames_ = nullptr;
  Fixed weights_[4] = {};
  bool hasWeights_ = false;
  Fixed mmOffset_ = 0;
  bool hinting_ = true;
  bool staticData_ = false;

 private:
  struct CharsetRange {
    uint32_t firstGlyph;
    uint32_t firstSid;
    uint32_t count;
  };
  struct FdRange {
    uint32_t firstGlyph;
    uint32_t fd;
  };

  void ReadPrivate(PrivateRecord& record);
  void ReadFdArray();
  void ReadCharset();
  void ReadFdSelect();
  uint32_t FdOf(uint32_t glyph) const;
  uint32_t ReadU8(uint64_t position) const;
  uint32_t ReadU16(uint64_t position) const;

  std::span<const uint8_t> data_;
  uint32_t base_ = 0;
  bool cidKeyed_ = false;
  CffIndex names_, topDicts_, strings_, globalSubrs_, charStrings_, fdArray_;
  runtime::ArenaVector<CharsetRange>* charset_ = nullptr;  // sorted by SID
  bool charsetIdentity_ = false;
  uint32_t cidLimit_ = 0;  // highest CID + 1
  runtime::ArenaVector<FdRange>* fdSelect_ = nullptr;
};

}  // namespace fonts
