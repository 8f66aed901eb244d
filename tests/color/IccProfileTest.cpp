#include "color/IccProfile.h"

#include <gtest/gtest.h>

#include "color/EmbeddedProfiles.h"
#include "color/IccLutAtoB.h"
#include "color/LutTable.h"
#include "streams/SubRangeStream.h"
#include "tests/color/IccTestSupport.h"

namespace color {
namespace {

using testing::Bytes;
using testing::CurveTag;
using testing::GammaTag;
using testing::MakeProfile;
using testing::Tag;
using testing::TryParse;
using testing::XyzTag;

std::string Bytes8(const uint8_t* data, uint32_t size) { return std::string(reinterpret_cast<const char*>(data), size); }

TEST(IccProfileTest, BuiltInDisplayProfile) {
  runtime::LibraryContext context;
  std::string bytes = Bytes8(GetEmbeddedRgbProfile(), GetEmbeddedRgbProfileSize());
  IccProfileRef profile;
  ASSERT_EQ(TryParse(&context, bytes, &profile), -1);
  EXPECT_EQ(bytes.size(), 3144u);
  EXPECT_EQ(profile->deviceClass, IccSig("mntr"));
  EXPECT_EQ(profile->dataSpace, IccSig("RGB "));
  EXPECT_EQ(profile->pcs, IccSig("XYZ "));
  EXPECT_EQ(profile->version >> 24, 2u);
  EXPECT_EQ(profile->ComponentCount(), 3);
  EXPECT_FALSE(profile->IsSubtractive());
  EXPECT_EQ(profile->illuminant[0], 63190);
  EXPECT_EQ(profile->illuminant[2], 54061);
  EXPECT_EQ(profile->colorant[0]->x, 28578);
  EXPECT_EQ(profile->colorant[0]->y, 14581);
  EXPECT_EQ(profile->colorant[0]->z, 912);
  EXPECT_EQ(profile->colorant[2]->z, 46799);
  EXPECT_EQ(profile->whitePoint->x, 62289);
  EXPECT_EQ(profile->whitePoint->z, 71372);
  for (int c = 0; c < 3; ++c) {
    ASSERT_TRUE(profile->trc[c]);
    EXPECT_EQ(profile->trc[c]->kind, IccCurve::kSampled);
    EXPECT_EQ(profile->trc[c]->table.Count(), 1024u);
  }
  EXPECT_EQ(profile->trc[0]->table[1023], 0x10000);
  EXPECT_TRUE(IccProfile::CanBeDestination(*profile));
  // A display profile's media white is the illuminant.
  Fixed white[3];
  IccProfile::MediaWhite(*profile, white);
  EXPECT_EQ(white[0], 63190);
}

TEST(IccProfileTest, BuiltInPrinterProfile) {
  runtime::LibraryContext context;
  std::string bytes = Bytes8(GetEmbeddedCmykProfile(), GetEmbeddedCmykProfileSize());
  IccProfileRef profile;
  ASSERT_EQ(TryParse(&context, bytes, &profile), -1);
  EXPECT_EQ(bytes.size(), 5608u);
  EXPECT_EQ(profile->deviceClass, IccSig("prtr"));
  EXPECT_EQ(profile->pcs, IccSig("Lab "));
  EXPECT_EQ(profile->ComponentCount(), 4);
  EXPECT_TRUE(profile->IsSubtractive());
  EXPECT_EQ(profile->whitePoint->x, 46426);
  EXPECT_EQ(profile->whitePoint->y, 48231);
  EXPECT_EQ(profile->whitePoint->z, 37424);
  for (int intent = 0; intent < 3; ++intent) {
    auto* a2b = static_cast<LutTable*>(profile->aToB[intent].Get());
    auto* b2a = static_cast<LutTable*>(profile->bToA[intent].Get());
    ASSERT_TRUE(a2b != nullptr && b2a != nullptr);
    EXPECT_TRUE(a2b->IsLegacyLut() && a2b->IsLut8OrAToB());
    EXPECT_EQ(a2b->inputs, 4u);
    EXPECT_EQ(a2b->outputs, 3u);
    EXPECT_EQ(a2b->grid, 2u);
    EXPECT_EQ(b2a->inputs, 3u);
    EXPECT_EQ(b2a->outputs, 4u);
    EXPECT_EQ(b2a->grid, 7u);
    EXPECT_EQ(b2a->clut.Count(), 7u * 7 * 7 * 4);
  }
  // One shared body, read into separate objects per intent.
  EXPECT_NE(profile->aToB[0].Get(), profile->aToB[1].Get());
  Fixed white[3];
  IccProfile::MediaWhite(*profile, white);
  EXPECT_EQ(white[0], 46426);
}

const std::vector<uint16_t> kRamp256 = [] {
  std::vector<uint16_t> v(256);
  for (int i = 0; i < 256; ++i) v[i] = static_cast<uint16_t>(i * 257);
  return v;
}();

std::vector<Tag> GrayTags() { return {{"kTRC", GammaTag(0x0233)}, {"wtpt", XyzTag(0.9642, 1.0, 0.8249)}}; }

struct HeaderCase {
  const char* name;
  std::string bytes;
  bool fails;
  uint32_t code;
};

TEST(IccProfileTest, HeaderAndTagTableChecks) {
  runtime::LibraryContext context;
  std::string good = MakeProfile("mntr", "GRAY", "XYZ ", GrayTags());
  std::string badMagic = good;
  badMagic[36] = 'x';
  std::vector<Tag> many(4096, Tag{"desc", "", 0});
  many[0] = {"kTRC", GammaTag(0x0100)};
  std::vector<Tag> tooMany(4097, Tag{"desc", "", 0});
  std::vector<Tag> duplicateRed = {{"rTRC", GammaTag(0x0100)}, {"rTRC", GammaTag(0x0100)}};
  std::vector<uint16_t> badRed = kRamp256, okRed = kRamp256;
  badRed[8] = 0;
  badRed[9] = 1;
  okRed[8] = 1;
  okRed[9] = 1;
  std::vector<uint16_t> badBlue = kRamp256;
  badBlue[0] = badBlue[1] = 65530;
  badBlue[2] = 0;
  const HeaderCase cases[] = {
      {"good", good, false, 0},
      {"size 127", MakeProfile("mntr", "GRAY", "XYZ ", GrayTags(), 127), true, 2},
      {"size 128", MakeProfile("mntr", "GRAY", "XYZ ", GrayTags(), 128), false, 0},
      {"no acsp", badMagic, true, 2},
      {"truncated header", good.substr(0, 100), true, 2},
      {"no tags", MakeProfile("mntr", "GRAY", "XYZ ", {}), true, 2},
      {"4096 tags", MakeProfile("mntr", "GRAY", "XYZ ", many), false, 0},
      {"4097 tags", MakeProfile("mntr", "GRAY", "XYZ ", tooMany), true, 2},
      {"unread tags", MakeProfile("mntr", "GRAY", "XYZ ",
                                  {{"desc", "garbage that is never read"}, {"cprt", "x"}, {"kTRC", GammaTag(0x100)}}),
       false, 0},
      {"two rTRC", MakeProfile("mntr", "RGB ", "XYZ ", duplicateRed), true, 2},
      {"rTRC broken writer", MakeProfile("mntr", "RGB ", "XYZ ", {{"rTRC", CurveTag(badRed)}}), true, 2},
      {"rTRC fine", MakeProfile("mntr", "RGB ", "XYZ ", {{"rTRC", CurveTag(okRed)}}), false, 0},
      {"bTRC broken writer", MakeProfile("mntr", "RGB ", "XYZ ", {{"bTRC", CurveTag(badBlue)}}), true, 2},
      {"5CLR", MakeProfile("prtr", "5CLR", "Lab ", GrayTags()), true, 5},
      {"unknown space", MakeProfile("prtr", "ABCD", "Lab ", GrayTags()), true, 2},
      {"tag past the end", MakeProfile("mntr", "GRAY", "XYZ ", {{"kTRC", GammaTag(0x100)}}).substr(0, 150), true, 2},
  };
  for (const HeaderCase& c : cases) {
    EXPECT_EQ(TryParse(&context, c.bytes), c.fails ? static_cast<long>(c.code) : -1) << c.name;
  }
}

struct TagCase {
  const char* name;
  Tag tag;
  bool fails;
  uint32_t code;
};

std::string Mft2(uint32_t in, uint32_t out, uint32_t grid, uint32_t inEntries, uint32_t outEntries,
                 bool writeTables = true) {
  Bytes b;
  b.Sig("mft2").U32(0).U8(in).U8(out).U8(grid).U8(0);
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) b.S15(r == c ? 1.0 : 0.0);
  }
  b.U16(inEntries).U16(outEntries);
  if (!writeTables) return b.data;
  for (uint32_t i = 0; i < in * inEntries; ++i) b.U16(i % inEntries * 65535 / (inEntries > 1 ? inEntries - 1 : 1));
  uint64_t clut = out;
  for (uint32_t i = 0; i < in; ++i) clut *= grid;
  for (uint64_t i = 0; i < clut; ++i) b.U16(static_cast<uint32_t>(i * 977 % 65536));
  for (uint32_t i = 0; i < out * outEntries; ++i) b.U16(i % outEntries * 65535 / (outEntries > 1 ? outEntries - 1 : 1));
  return b.data;
}

// An "mAB " with the given elements; curves are identity "curv" tags.
std::string MAB(uint32_t in, uint32_t out, bool matrix, bool clut, std::vector<uint32_t> grid = {},
                uint32_t precision = 2, const char* type = "mAB ") {
  Bytes body;
  const uint32_t header = 32;
  uint32_t offsets[5] = {};
  Bytes elements;
  auto curves = [&](uint32_t n) {
    uint32_t at = header + static_cast<uint32_t>(elements.Size());
    for (uint32_t i = 0; i < n; ++i) elements.Append(CurveTag({})).Align4();
    return at;
  };
  const bool aToB = std::string(type) == "mAB ";
  offsets[0] = curves(aToB ? out : in);
  if (matrix) {
    offsets[1] = header + static_cast<uint32_t>(elements.Size());
    for (int r = 0; r < 3; ++r) {
      for (int c = 0; c < 3; ++c) elements.S15(r == c ? 1.0 : 0.0);
    }
    elements.S15(0).S15(0).S15(0);
    offsets[2] = curves(aToB ? out : in);
  }
  if (clut) {
    offsets[3] = header + static_cast<uint32_t>(elements.Size());
    Bytes g;
    for (uint32_t v : grid) g.U8(v);
    g.Zeros(16 - grid.size());
    elements.Append(g.data).U8(precision).Zeros(3);
    uint64_t count = out;
    for (uint32_t v : grid) count *= v;
    for (uint64_t i = 0; i < count; ++i) {
      if (precision == 1) {
        elements.U8(static_cast<uint32_t>(i * 37 % 256));
      } else {
        elements.U16(static_cast<uint32_t>(i * 977 % 65536));
      }
    }
    elements.Align4();
    offsets[4] = curves(aToB ? in : out);
  }
  body.Sig(type).U32(0).U8(in).U8(out).U16(0);
  for (uint32_t o : offsets) body.U32(o);
  return body.Append(elements.data).data;
}

TEST(IccProfileTest, TagBodies) {
  runtime::LibraryContext context;
  std::vector<uint16_t> entries4096(4096, 0x8000), entries4097(4097, 0x8000);
  const TagCase cases[] = {
      {"xyz padded", {"wtpt", XyzTag(0.9, 1, 0.8) + std::string(12, '\0')}, true, 2},
      {"xyz size 32", {"wtpt", XyzTag(0.9, 1, 0.8), 32}, true, 2},
      {"curv 4096", {"kTRC", CurveTag(entries4096)}, false, 0},
      {"curv 4097", {"kTRC", CurveTag(entries4097)}, true, 2},
      {"para type 4", {"kTRC", Bytes().Sig("para").U32(0).U16(4).U16(0).S15(2.4).S15(1).S15(0).S15(1).S15(0).S15(0).S15(0).data}, false, 0},
      {"para type 5", {"kTRC", Bytes().Sig("para").U32(0).U16(5).U16(0).S15(2.4).data}, true, 2},
      {"other curve type", {"kTRC", Bytes().Sig("sf32").U32(0).data}, true, 2},
      {"unknown lut type", {"A2B0", Bytes().Sig("mpet").U32(0).Zeros(16).data}, true, 2},
      {"mft2 good", {"A2B0", Mft2(3, 3, 9, 256, 256)}, false, 0},
      {"mft2 curve of 1 entry", {"A2B0", Mft2(3, 3, 2, 1, 256)}, true, 2},
      {"mft2 curve of 0 entries", {"A2B0", Mft2(3, 3, 2, 256, 0)}, true, 2},
      {"mft2 4097 entries", {"A2B0", Mft2(3, 3, 2, 4097, 2, false)}, true, 2},
      {"mft2 grid 1", {"A2B0", Mft2(3, 3, 1, 2, 2)}, true, 2},
      {"mft2 5 inputs", {"A2B0", Mft2(5, 3, 2, 2, 2, false)}, true, 5},
      {"mft2 0 inputs", {"A2B0", Mft2(0, 3, 2, 2, 2, false)}, true, 2},
      // 255^4 x 4 samples: more than the tag holds; refused before any
      // allocation.
      {"mft2 huge clut", {"A2B0", Mft2(4, 4, 255, 2, 2, false)}, true, 2},
      {"mAB matrix clut", {"A2B0", MAB(3, 3, true, true, {3, 4, 5})}, false, 0},
      {"mAB 8-bit clut", {"A2B0", MAB(4, 3, false, true, {2, 3, 2, 3}, 1)}, false, 0},
      {"mBA", {"B2A0", MAB(3, 4, true, true, {5, 5, 5}, 2, "mBA ")}, false, 0},
      {"mAB curves only", {"A2B0", MAB(3, 3, false, false)}, false, 0},
      {"mAB matrix on two outputs", {"A2B0", MAB(3, 2, true, true, {2, 2, 2})}, true, 2},
      {"mAB no clut, in != out", {"A2B0", MAB(3, 1, false, false)}, true, 2},
      {"mAB grid 1", {"A2B0", MAB(3, 3, false, true, {2, 1, 2})}, true, 2},
      {"mAB precision 3", {"A2B0", MAB(3, 3, false, true, {2, 2, 2}, 3)}, true, 2},
      {"mAB 5 inputs", {"A2B0", MAB(5, 3, false, false)}, true, 5},
  };
  for (const TagCase& c : cases) {
    EXPECT_EQ(TryParse(&context, MakeProfile("scnr", "RGB ", "XYZ ", {c.tag})), c.fails ? static_cast<long>(c.code) : -1)
        << c.name;
  }
}

TEST(IccProfileTest, TagValues) {
  runtime::LibraryContext context;
  IccProfileRef profile;
  ASSERT_FALSE(TryParse(&context,
                        MakeProfile("scnr", "RGB ", "XYZ ",
                                    {{"wtpt", XyzTag(96.42, 100.0, 82.49)},
                                     {"rXYZ", XyzTag(10.0, 5.0, -1.0)},
                                     {"gXYZ", XyzTag(0.9642, 1.0, 0.8249)},
                                     {"rTRC", GammaTag(0x0233)},
                                     {"gTRC", CurveTag({})},
                                     {"bTRC", Bytes().Sig("para").U32(0).U16(3).U16(0).S15(2.4).S15(0.947867).S15(0.052133).S15(0.077399).S15(0.04045).data},
                                     {"A2B0", MAB(3, 3, true, true, {3, 4, 5})}}),
                        &profile)
                   != -1);
  // A white written in percent is divided by 100; 10.0 itself is not.
  EXPECT_EQ(profile->whitePoint->x, (96.42 * 65536 + 0.5 >= 0 ? static_cast<int32_t>(96.42 * 65536 + 0.5) : 0) / 100);
  EXPECT_NEAR(profile->whitePoint->x / 65536.0, 0.9642, 1e-4);
  EXPECT_NEAR(profile->whitePoint->z / 65536.0, 0.8249, 1e-4);
  EXPECT_EQ(profile->colorant[0]->x, 10 * 65536);
  EXPECT_EQ(profile->colorant[0]->z, -65536);
  EXPECT_EQ(profile->colorant[1]->x, 63190);
  EXPECT_EQ(profile->trc[0]->kind, IccCurve::kGamma);
  EXPECT_EQ(profile->trc[0]->gamma, 0x23533);
  EXPECT_EQ(profile->trc[1]->kind, IccCurve::kIdentity);
  EXPECT_EQ(profile->trc[2]->kind, IccCurve::kParametric3);
  EXPECT_EQ(profile->trc[2]->d, static_cast<Fixed>(0.04045 * 65536 + 0.5));
  auto* lut = static_cast<IccLutAtoB*>(profile->aToB[0].Get());
  EXPECT_FALSE(lut->IsLegacyLut());
  EXPECT_EQ(lut->grid[0], 3u);
  EXPECT_EQ(lut->grid[2], 5u);
  EXPECT_EQ(lut->bCurveCount, 3u);
  EXPECT_EQ(lut->aCurveCount, 3u);
  EXPECT_EQ(lut->clut.Count(), 3u * 4 * 5 * 3);
  EXPECT_EQ(lut->clut.Samples()[1], 977);
  // An identity matrix scaled to the illuminant stays within rounding.
  EXPECT_TRUE(lut->hasMatrix);
}

TEST(IccProfileTest, DeferredTableReadsTheSameSamples) {
  runtime::LibraryContext context;
  std::string body = Mft2(3, 3, 17, 256, 256);
  std::string profile = MakeProfile("scnr", "RGB ", "XYZ ", {{"A2B0", body}});
  IccProfileRef parsed;
  ASSERT_EQ(TryParse(&context, profile, &parsed), -1);
  auto* lut = static_cast<LutTable*>(parsed->aToB[0].Get());
  // 17^3 x 3 samples is above the immediate capacity: deferred, and the
  // profile keeps the source for it.
  ASSERT_TRUE(lut->clut.IsDeferred());
  EXPECT_TRUE(parsed->source);
  // The same bytes read at once.
  auto source = testing::SourceOver(&context, profile);
  auto stream = streams::MakeRef<streams::SubRangeStream>(&context, source, 132 + 12 + 8);
  streams::Ref<IccLutTag> immediate;
  ASSERT_EQ(testsupport::RuntimeCodeOf(&context, [&] {
              immediate = LutTable::Parse(&context, *stream, streams::DataStoreRef(), false,
                                          static_cast<uint32_t>(body.size()));
            }),
            -1);
  auto* now = static_cast<LutTable*>(immediate.Get());
  ASSERT_FALSE(now->clut.IsDeferred());
  ASSERT_EQ(now->clut.Count(), lut->clut.Count());
  const Fixed* a = lut->clut.Samples();
  const Fixed* b = now->clut.Samples();
  EXPECT_FALSE(lut->clut.IsDeferred());
  for (uint32_t i = 0; i < now->clut.Count(); ++i) ASSERT_EQ(a[i], b[i]) << i;
  EXPECT_EQ(b[1], 977);
  EXPECT_EQ(b[34], 34 * 977 % 65536 + 1);  // 16-bit scaling: +1 from 32768 on
}

TEST(IccProfileTest, BuiltTables) {
  runtime::LibraryContext context;
  auto identity = LutTable::Identity(&context);
  EXPECT_EQ(identity->clut.Count(), 24u);
  EXPECT_TRUE(identity->matrix.IsIdentity());
  const Fixed range[4] = {-100 * 65536, 100 * 65536, -100 * 65536, 100 * 65536};
  auto clamp = LutTable::LabRangeClamp(&context, range);
  const Fixed* a = clamp->inputCurves[1].Samples();
  // lo = 28/255 and hi = 228/255.
  EXPECT_EQ(a[0], runtime::FixedDiv(28 << 16, 255 << 16));
  EXPECT_EQ(a[255], runtime::FixedDiv(228 << 16, 255 << 16));
  EXPECT_EQ(a[128], runtime::FixedDiv(128 << 16, 255 << 16));
  EXPECT_EQ(clamp->inputCurves[0].Samples()[255], 0xFFFF);
  EXPECT_EQ(clamp->outputCurves[2].Samples()[1], 257);
}

TEST(IccProfileTest, ValidSpacesAndDestinations) {
  EXPECT_TRUE(IccProfile::IsValidColorSpace(IccSig("Lab "), true));
  EXPECT_FALSE(IccProfile::IsValidColorSpace(IccSig("RGB "), true));
  EXPECT_TRUE(IccProfile::IsValidColorSpace(IccSig("8CLR"), false));
  EXPECT_FALSE(IccProfile::IsValidColorSpace(IccSig("9CLR"), false));
  runtime::LibraryContext context;
  IccProfileRef gray, input;
  ASSERT_EQ(TryParse(&context, MakeProfile("mntr", "GRAY", "XYZ ", GrayTags()), &gray), -1);
  EXPECT_TRUE(IccProfile::CanBeDestination(*gray));
  ASSERT_EQ(TryParse(&context, MakeProfile("scnr", "RGB ", "XYZ ", {{"A2B0", MAB(3, 3, false, false)}}), &input), -1);
  EXPECT_FALSE(IccProfile::CanBeDestination(*input));
}

}  // namespace
}  // namespace color
