#pragma once
// A font program in the sfnt container with TrueType outlines: an
// embedded "FontFile2" or CIDFontType2 program, or a font file. The tables
// are found and checked once; glyphs are read from "glyf" on demand,
// hinted by the bytecode interpreter at the instance size, and handed on
// as glyph path points.
#include <cstdint>
#include <span>

#include "fonts/FontProgram.h"
#include "fonts/TtInterpreter.h"
#include "runtime/ArenaAllocator.h"

namespace fonts {

struct SfntTableEntry {
  uint32_t tag = 0;
  uint32_t checksum = 0;
  uint32_t offset = 0;
  uint32_t length = 0;
};

// The encoding a simple font names, which decides the Unicode values a
// (3, 1) "cmap" subtable is searched with.
enum class TtEncodingHint : int { kNone = 0, kMacRoman = 1, kMacExpert = 2, kWinAnsi = 3 };

// One glyph's outline in the instance space: 26.6 points (phantom points
// after them), on-curve flags and contour ends.
struct TtOutline {
  const int32_t* x = nullptr;
  const int32_t* y = nullptr;
  const uint8_t* onCurve = nullptr;
  const uint16_t* contourEnds = nullptr;
  uint32_t pointCount = 0;
  uint32_t contourCount = 0;
  bool hinted = false;
  // Maps the outline to the device (undoes the instance oversizing).
  Matrix toDevice;
};

class TrueTypeFont : public FontProgram {
 public:
  static constexpr uint32_t Tag(char a, char b, char c, char d) {
    return (uint32_t(uint8_t(a)) << 24) | (uint32_t(uint8_t(b)) << 16) | (uint32_t(uint8_t(c)) << 8) |
           uint32_t(uint8_t(d));
  }

  // Reads the table directory, "head", "maxp" and the metrics tables of
  // `data` (copied into the font's arena). (runtime, 2) when malformed.
  TrueTypeFont(runtime::LibraryContext* context, std::span<const uint8_t> data);
  ~TrueTypeFont() override;

  // The glyph space of a TrueType program is the em square: `matrix`
  // maps one em to the device (GlyphSpaceMatrix passes the text matrix
  // through unchanged, so no precision is lost to 1/unitsPerEm).
  void Glyph(uint32_t glyph, const Matrix& matrix, runtime::ArenaVector<FixedPoint>& points,
             runtime::ArenaAllocator& work, Matrix& orientation) override;
  Matrix GlyphSpaceMatrix(const Matrix& textToDevice) const override { return textToDevice; }
  runtime::Rect FontBBox() const override { return fontBox_; }
  uint32_t GlyphCount() const override { return numGlyphs_; }
  Matrix FontMatrix() const override;
  GlyphKeyKind KeyKind() const override { return GlyphKeyKind::kCodes; }
  // The "post" names; a malformed "post" table gives none (it only names
  // glyphs: the font draws without it).
  const char* const* GlyphNames() override;
  const char* const* BuiltinEncoding() override { return nullptr; }
  // A "cmap" table with a subtable a simple font can use: (1, 0), (3, 0)
  // or (3, 1) in format 0, 4 or 6.
  bool HasCodeMapping() const override;
  bool CodeToGlyphTable(int kind, bool symbolic, uint16_t (&glyphs)[256]) override;
  bool IsUsable() const override { return true; }
  uint32_t ByteSize() const override;

  // Glyph names from "post" (numGlyphs entries), or null.
  const char* const* ReadPost();
  bool HasCmap() const { return Find(Tag('c', 'm', 'a', 'p')) != nullptr; }
  // The 256-entry code-to-glyph table of a simple font.
  void CodeToGlyphTable(TtEncodingHint hint, bool symbolic, uint16_t out[256]);
  // Glyph ids by the glyph names of an encoding, through "post" names.
  void CodeToGlyphByName(const char* const* postNames, uint32_t count,
                         const char* const encodingNames[256], uint16_t out[256]);
  // The glyph of a Unicode value through the (3, 1) subtable (0 when none).
  uint32_t UnicodeToGlyph(uint32_t unicode);

  // The byte offset (from the start of the data) and length of a glyph in
  // "glyf"; false for an empty glyph. (runtime, 2) beyond "glyf".
  bool LocateGlyph(uint32_t glyph, uint32_t& offset, uint32_t& length) const;
  const SfntTableEntry* Find(uint32_t tag) const;

  // Builds glyph `glyph` for the em-to-device transform `matrix` into the
  // glyph zone (work memory from `work`); false when nothing is drawn.
  bool BuildOutline(uint32_t glyph, const Matrix& matrix, runtime::ArenaAllocator& work,
                    TtOutline& out);

  void SetHinting(bool on) { hinting_ = on; }
  bool Hinting() const { return hinting_; }
  bool OutlinesUsable() const { return !outlinesUnusable_; }
  uint16_t UnitsPerEm() const { return unitsPerEm_; }
  bool HintingUsable() const { return hintingUsable_; }
  // The error of the last "fpgm", "prep" and glyph-program runs (tests).
  uint32_t FontProgramError() const { return fpgmError_; }
  uint32_t ControlProgramError() const { return prepError_; }
  uint32_t GlyphProgramError() const { return glyphError_; }
  // The error of the last glyph build (0 when it was drawn as asked).
  uint32_t LastBuildError() const { return lastBuildError_; }

  // Big-endian reads of the data, bounds-checked ((runtime, 2) beyond).
  uint32_t U8(uint64_t at) const;
  uint32_t U16(uint64_t at) const;
  int32_t I16(uint64_t at) const { return static_cast<int16_t>(U16(at)); }
  uint32_t U32(uint64_t at) const;
  std::span<const uint8_t> Bytes(uint64_t at, uint64_t length) const;

  struct Maxp {
    uint16_t numGlyphs, maxPoints, maxContours, maxCompositePoints, maxCompositeContours, maxZones,
        maxTwilightPoints, maxStorage, maxFunctionDefs, maxInstructionDefs, maxStackElements,
        maxSizeOfInstructions, maxComponentElements, maxComponentDepth;
  };
  const Maxp& Limits() const { return maxp_; }
  uint32_t NumberOfHMetrics() const { return numberOfHMetrics_; }
  bool HasVerticalMetrics() const { return hasVerticalMetrics_; }
  uint32_t NumOfLongVerMetrics() const { return numOfLongVerMetrics_; }
  int32_t Ascent() const { return ascent_; }
  int32_t Descent() const { return descent_; }
  // The interpreter state of the current instance.
  TtInstanceState& State() { return state_; }

 private:
  void ReadTableDirectory();
  void ReadHead();
  void ReadMaxp();
  bool ReadMetricsTables();
  enum class CmapKind : int { kUnicode, kMacRoman, kSymbol };
  // The chosen subtable's offset and what kind of record named it.
  uint32_t ChooseCmapSubtable(TtEncodingHint hint, bool symbolic, CmapKind* kind = nullptr) const;
  // Whether the subtable at `subtable` is in a format the code table reads
  // (0, 4 or 6); never throws.
  bool IsReadableCmapFormat(uint64_t subtable) const;
  void BuildCodeTable(uint32_t subtable, bool symbolic, const uint16_t* unicode, uint16_t out[256]);
  uint32_t Format4Lookup(uint32_t subtable, uint32_t code) const;
  void SetUpInstance();
  void SetTransform(const Matrix& instance);

  std::span<const uint8_t> data_;
  runtime::ArenaAllocator arena_;
  SfntTableEntry* tables_ = nullptr;
  uint32_t tableCount_ = 0;
  const SfntTableEntry* glyf_ = nullptr;
  const SfntTableEntry* loca_ = nullptr;
  uint16_t headFlags_ = 0;
  uint16_t unitsPerEm_ = 0;
  int16_t xMin_ = 0, yMin_ = 0, xMax_ = 0, yMax_ = 0;
  uint16_t indexToLocFormat_ = 0;
  uint16_t numberOfHMetrics_ = 0;
  uint16_t numOfLongVerMetrics_ = 0;
  bool hasVerticalMetrics_ = false;
  int16_t ascent_ = 0, descent_ = 0, hheaDescender_ = 0;
  runtime::Rect fontBox_{};
  uint32_t numGlyphs_ = 0;
  Maxp maxp_{};
  bool outlinesUnusable_ = true;
  const char** postNames_ = nullptr;
  bool postRead_ = false;
  bool hinting_ = true;

  // The instance: interpreter storage (from the arena, made on first
  // use), the transform it is set for and the outcome of its programs.
  TtInstanceState state_;
  bool instanceReady_ = false;
  bool firstRun_ = true;
  bool hintingUsable_ = true;
  Matrix instanceTransform_{0, 0, 0, 0, 0, 0};
  bool instanceHasTransform_ = false;
  bool prepDone_ = false;
  uint32_t fpgmError_ = 0, prepError_ = 0, glyphError_ = 0, lastBuildError_ = 0;
  GlyphZone glyphZone_;
};

}  // namespace fonts
