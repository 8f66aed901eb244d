// Mesh shadings (types 4 to 7): mesh streams written bit by bit, painted
// into a 64 x 64 device, and the malformed streams that must fail with
// code 2.
#include <gtest/gtest.h>

#include <cmath>
#include <zlib.h>

#include <functional>
#include <string>
#include <vector>

#include "color/PatchMeshShading.h"
#include "color/TriangleMeshShading.h"
#include "tests/color/ShadingHarness.h"
#include "tests/runtime/ThreadFixture.h"
#include "tests/support/RaisedCode.h"
#include "tests/support/SmallPdfFile.h"

namespace color {
namespace {

using shadingtest::NearColour;
using shadingtest::ShadingHarness;

// Big-endian bit packing, as mesh streams are read.
class MeshBits {
 public:
  MeshBits& Put(uint32_t value, int bits) {
    for (int b = bits - 1; b >= 0; --b) {
      if (count_ % 8 == 0) bytes_.push_back('\0');
      if ((value >> b) & 1) bytes_.back() = static_cast<char>(bytes_.back() | (0x80 >> (count_ % 8)));
      ++count_;
    }
    return *this;
  }
  MeshBits& Align() {
    count_ = (count_ + 7) / 8 * 8;
    return *this;
  }
  // Flag, x, y and colour bytes of one free-form vertex, byte aligned.
  MeshBits& Vertex(int flag, int x, int y, std::vector<int> colour) {
    Put(static_cast<uint32_t>(flag), 8).Put(static_cast<uint32_t>(x), 8).Put(static_cast<uint32_t>(y), 8);
    for (int c : colour) Put(static_cast<uint32_t>(c), 8);
    return Align();
  }
  const std::string& Bytes() const { return bytes_; }

 private:
  std::string bytes_;
  size_t count_ = 0;
};

// 8-bit coordinates that are whole device pixels, 8-bit colours.
const std::string kMeshEntries =
    "/ColorSpace /DeviceRGB /BitsPerCoordinate 8 /BitsPerComponent 8 /Decode [0 255 0 255 0 1 0 1 0 1]";

std::string RgbTriangle() {
  MeshBits bits;
  bits.Vertex(0, 4, 4, {255, 0, 0}).Vertex(0, 60, 4, {0, 255, 0}).Vertex(0, 32, 60, {0, 0, 255});
  return bits.Bytes();
}

TEST(TriangleMeshTest, GouraudTriangleBetweenItsVertices) {
  ShadingHarness harness({testsupport::StreamBody("/ShadingType 4 /BitsPerFlag 8 " + kMeshEntries, RgbTriangle())});
  ASSERT_TRUE(harness.Paint({0, 0, 64, 64}));
  EXPECT_TRUE(NearColour(harness.Pixel(5, 4), 255, 0, 0, 16));
  EXPECT_TRUE(NearColour(harness.Pixel(58, 4), 0, 255, 0, 16));
  EXPECT_TRUE(NearColour(harness.Pixel(32, 58), 0, 0, 255, 16));
  // The centroid (32, 22.7) mixes the three equally.
  EXPECT_TRUE(NearColour(harness.Pixel(32, 22), 85, 85, 85, 4));
  for (auto [x, y] : {std::pair{2, 2}, {62, 2}, {32, 62}, {10, 40}, {55, 40}, {32, 0}})
    EXPECT_EQ(harness.Pixel(x, y)[3], 0) << x << "," << y;
}

TEST(TriangleMeshTest, DecodeRangeBeyondTheFixedRangeKeepsCoordinatesExact) {
  // 32-bit coordinates over [-40000, 40000], as some producers write them:
  // the vertices (8, 8), (56, 8), (8, 56) must land where they are, not on
  // a range cut down to what 16.16 holds.
  const auto encode = [](double v) {
    return static_cast<uint32_t>(std::llround((v + 40000.0) / 80000.0 * 4294967295.0));
  };
  MeshBits bits;
  for (auto [x, y] : {std::pair{8, 8}, {56, 8}, {8, 56}}) {
    bits.Put(0, 8).Put(encode(x), 32).Put(encode(y), 32);
    bits.Put(255, 8).Put(0, 8).Put(0, 8).Align();
  }
  ShadingHarness harness({testsupport::StreamBody(
      "/ShadingType 4 /BitsPerFlag 8 /ColorSpace /DeviceRGB /BitsPerCoordinate 32 /BitsPerComponent 8 "
      "/Decode [-40000 40000 -40000 40000 0 1 0 1 0 1]",
      bits.Bytes())});
  ASSERT_TRUE(harness.Paint({0, 0, 64, 64}));
  for (auto [x, y] : {std::pair{9, 9}, {50, 9}, {9, 50}, {30, 30}})
    EXPECT_TRUE(NearColour(harness.Pixel(x, y), 255, 0, 0, 0)) << x << "," << y;
  for (auto [x, y] : {std::pair{6, 6}, {58, 9}, {40, 40}})
    EXPECT_EQ(harness.Pixel(x, y)[3], 0) << x << "," << y;
}

TEST(TriangleMeshTest, IndexedVerticesConvertAtTheVertex) {
  MeshBits bits;
  bits.Put(0, 8).Put(4, 8).Put(4, 8).Put(0, 8).Align();
  bits.Put(0, 8).Put(60, 8).Put(4, 8).Put(1, 8).Align();
  bits.Put(0, 8).Put(32, 8).Put(60, 8).Put(2, 8).Align();
  ShadingHarness harness({testsupport::StreamBody(
      "/ShadingType 4 /BitsPerFlag 8 /ColorSpace [/Indexed /DeviceRGB 2 <FF000000FF000000FF>] "
      "/BitsPerCoordinate 8 /BitsPerComponent 8 /Decode [0 255 0 255 0 255]",
      bits.Bytes())});
  ASSERT_TRUE(harness.Paint({0, 0, 64, 64}));
  EXPECT_TRUE(NearColour(harness.Pixel(32, 22), 85, 85, 85, 4));
  EXPECT_TRUE(NearColour(harness.Pixel(5, 4), 255, 0, 0, 16));
}

TEST(TriangleMeshTest, IndexedMeshOverAnIndexedTargetPaintsNothing) {
  MeshBits bits;
  bits.Put(0, 8).Put(4, 8).Put(4, 8).Put(0, 8).Align();
  bits.Put(0, 8).Put(60, 8).Put(4, 8).Put(1, 8).Align();
  bits.Put(0, 8).Put(32, 8).Put(60, 8).Put(1, 8).Align();
  ShadingHarness harness({testsupport::StreamBody(
                              "/ShadingType 4 /BitsPerFlag 8 /ColorSpace 3 0 R /BitsPerCoordinate 8 "
                              "/BitsPerComponent 8 /Decode [0 255 0 255 0 255]",
                              bits.Bytes()),
                          "[/Indexed /DeviceRGB 1 <FF000000FF00>]"});
  harness.SetTargetSpace(ColorSpace::FromObject(harness.Colors(), harness.Object(3), runtime::ObjectHandle()));
  EXPECT_EQ(harness.Stage({0, 0, 64, 64}), nullptr);
}

TEST(TriangleMeshTest, FlagsReuseTheEdgesOfThePreviousTriangle) {
  // A square of two triangles: (A B C), then flag 1 gives (B C D).
  MeshBits bits;
  bits.Vertex(0, 8, 8, {255, 0, 0}).Vertex(0, 56, 8, {255, 0, 0}).Vertex(0, 8, 56, {255, 0, 0});
  bits.Vertex(1, 56, 56, {255, 0, 0});
  ShadingHarness harness({testsupport::StreamBody("/ShadingType 4 /BitsPerFlag 8 " + kMeshEntries, bits.Bytes())});
  ASSERT_TRUE(harness.Paint({0, 0, 64, 64}));
  auto* mesh = static_cast<TriangleMeshShading*>(harness.Stage({0, 0, 64, 64}));
  EXPECT_EQ(mesh->Triangles(), 2u);
  for (int32_t y = 8; y < 56; ++y)
    for (int32_t x = 8; x < 56; ++x) ASSERT_TRUE(NearColour(harness.Pixel(x, y), 255, 0, 0, 0)) << x << "," << y;
  EXPECT_EQ(harness.Pixel(4, 30)[3], 0);
}

TEST(TriangleMeshTest, LatticeRowsMakeTwoTrianglesPerCell) {
  MeshBits bits;
  for (int y : {8, 32, 56})
    for (int x : {8, 56}) bits.Put(static_cast<uint32_t>(x), 8).Put(static_cast<uint32_t>(y), 8).Put(0, 8).Put(0, 8).Put(255, 8).Align();
  ShadingHarness harness(
      {testsupport::StreamBody("/ShadingType 5 /VerticesPerRow 2 " + kMeshEntries, bits.Bytes())});
  ASSERT_TRUE(harness.Paint({0, 0, 64, 64}));
  auto* mesh = static_cast<TriangleMeshShading*>(harness.Stage({0, 0, 64, 64}));
  EXPECT_EQ(mesh->Triangles(), 4u);
  for (int32_t y = 8; y < 56; ++y)
    for (int32_t x = 8; x < 56; ++x) ASSERT_TRUE(NearColour(harness.Pixel(x, y), 0, 0, 255, 0)) << x << "," << y;
  EXPECT_EQ(harness.Pixel(30, 60)[3], 0);
}

TEST(TriangleMeshTest, DegenerateTriangleStillPaintsItsRow) {
  // Three vertices on one line, on a pixel boundary and inside a row.
  for (int y2 : {40, 41}) {
    SCOPED_TRACE(y2);
    MeshBits bits;
    bits.Vertex(0, 8, y2, {0, 255, 0}).Vertex(0, 30, y2, {0, 255, 0}).Vertex(0, 50, y2, {0, 255, 0});
    ShadingHarness harness({testsupport::StreamBody(
        "/ShadingType 4 /BitsPerFlag 8 /ColorSpace /DeviceRGB /BitsPerCoordinate 8 /BitsPerComponent 8 "
        "/Decode [0 127.5 0 127.5 0 1 0 1 0 1]",
        bits.Bytes())});
    ASSERT_TRUE(harness.Paint({0, 0, 64, 64}));
    // Every column of the line is painted in one row, or two where the
    // line lies on a row boundary, and nothing else.
    for (int32_t x = 4; x < 25; ++x) {
      int painted = 0;
      for (int32_t y = 0; y < 64; ++y) {
        if (harness.Pixel(x, y)[3] == 0) continue;
        ++painted;
        EXPECT_TRUE(y == 19 || y == 20) << x << "," << y;
        EXPECT_TRUE(NearColour(harness.Pixel(x, y), 0, 255, 0, 0));
      }
      EXPECT_GE(painted, 1) << x;
      EXPECT_LE(painted, 2) << x;
    }
  }
}

TEST(TriangleMeshTest, FlateAndPlainStreamsGiveTheSamePixels) {
  const std::string data = RgbTriangle();
  std::string packed(compressBound(data.size()), '\0');
  uLongf size = packed.size();
  ASSERT_EQ(compress(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(data.data()),
                     data.size()),
            Z_OK);
  packed.resize(size);
  ShadingHarness plain({testsupport::StreamBody("/ShadingType 4 /BitsPerFlag 8 " + kMeshEntries, data)});
  ShadingHarness flate(
      {testsupport::StreamBody("/ShadingType 4 /BitsPerFlag 8 /Filter /FlateDecode " + kMeshEntries, packed)});
  ASSERT_TRUE(plain.Paint({0, 0, 64, 64}));
  ASSERT_TRUE(flate.Paint({0, 0, 64, 64}));
  for (int32_t y = 0; y < 64; ++y)
    for (int32_t x = 0; x < 64; ++x) ASSERT_EQ(plain.Pixel(x, y), flate.Pixel(x, y)) << x << "," << y;
}

TEST(TriangleMeshTest, BackgroundFillsTheRegionForPatterns) {
  ShadingHarness harness({testsupport::StreamBody("/ShadingType 4 /BitsPerFlag 8 /Background [1 1 0] " + kMeshEntries,
                                                  RgbTriangle())});
  ASSERT_TRUE(harness.Paint({0, 0, 64, 64}, {}, false));
  EXPECT_TRUE(NearColour(harness.Pixel(1, 62), 255, 255, 0, 0));
  EXPECT_TRUE(NearColour(harness.Pixel(32, 22), 85, 85, 85, 4));
}

TEST(MeshShadingTest, MalformedMeshesFailWithCodeTwo) {
  MeshBits flagOneFirst;
  flagOneFirst.Vertex(1, 4, 4, {0, 0, 0});
  MeshBits oneVertex;
  oneVertex.Vertex(0, 4, 4, {0, 0, 0});
  MeshBits twoVertices;
  twoVertices.Vertex(0, 4, 4, {0, 0, 0}).Vertex(0, 8, 4, {0, 0, 0});
  MeshBits flagThree;
  flagThree.Vertex(0, 4, 4, {0, 0, 0}).Vertex(0, 8, 4, {0, 0, 0}).Vertex(0, 8, 8, {0, 0, 0}).Vertex(3, 9, 9, {0, 0, 0});
  MeshBits coonsFlagFirst;
  coonsFlagFirst.Put(2, 8);
  for (int k = 0; k < 8; ++k) coonsFlagFirst.Put(10, 8).Put(10, 8);
  for (int k = 0; k < 6; ++k) coonsFlagFirst.Put(0, 8);
  const std::string triangle = RgbTriangle();
  const std::string free = "/ShadingType 4 /ColorSpace /DeviceRGB /Decode [0 255 0 255 0 1 0 1 0 1] ";
  struct Case {
    const char* name;
    std::string shading;
  } cases[] = {
      {"BitsPerCoordinate 7", testsupport::StreamBody(free + "/BitsPerFlag 8 /BitsPerCoordinate 7 /BitsPerComponent 8", triangle)},
      {"BitsPerCoordinate 0", testsupport::StreamBody(free + "/BitsPerFlag 8 /BitsPerCoordinate 0 /BitsPerComponent 8", triangle)},
      {"BitsPerComponent 32", testsupport::StreamBody(free + "/BitsPerFlag 8 /BitsPerCoordinate 8 /BitsPerComponent 32", triangle)},
      {"BitsPerFlag 1", testsupport::StreamBody(free + "/BitsPerFlag 1 /BitsPerCoordinate 8 /BitsPerComponent 8", triangle)},
      {"BitsPerFlag 16", testsupport::StreamBody(free + "/BitsPerFlag 16 /BitsPerCoordinate 8 /BitsPerComponent 8", triangle)},
      {"Decode short", testsupport::StreamBody("/ShadingType 4 /ColorSpace /DeviceRGB /Decode [0 255 0 255 0 1] "
                                               "/BitsPerFlag 8 /BitsPerCoordinate 8 /BitsPerComponent 8", triangle)},
      {"not a stream", "<< /ShadingType 4 /BitsPerFlag 8 " + kMeshEntries + " >>"},
      {"first vertex flag 1", testsupport::StreamBody("/ShadingType 4 /BitsPerFlag 8 " + kMeshEntries, flagOneFirst.Bytes())},
      {"ends after one vertex", testsupport::StreamBody("/ShadingType 4 /BitsPerFlag 8 " + kMeshEntries, oneVertex.Bytes())},
      {"ends after two vertices", testsupport::StreamBody("/ShadingType 4 /BitsPerFlag 8 " + kMeshEntries, twoVertices.Bytes())},
      {"edge flag 3", testsupport::StreamBody("/ShadingType 4 /BitsPerFlag 8 " + kMeshEntries, flagThree.Bytes())},
      {"VerticesPerRow 1", testsupport::StreamBody("/ShadingType 5 /VerticesPerRow 1 " + kMeshEntries, triangle)},
      {"VerticesPerRow -3", testsupport::StreamBody("/ShadingType 5 /VerticesPerRow -3 " + kMeshEntries, triangle)},
      {"lattice of one row", testsupport::StreamBody("/ShadingType 5 /VerticesPerRow 3 " + kMeshEntries, triangle)},
      {"first patch flag 2", testsupport::StreamBody("/ShadingType 6 /BitsPerFlag 8 " + kMeshEntries, coonsFlagFirst.Bytes())},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    ShadingHarness harness({test.shading});
    EXPECT_EQ(testsupport::RaisedCode([&] { harness.Stage({0, 0, 64, 64}); }), runtime::kMalformed);
  }
}

TEST(MeshInputTest, ValuesScaleOntoTheDecodeRange) {
  struct Case {
    const char* name;
    uint32_t raw, bits;
    int64_t low, high;
    Fixed value;
  } cases[] = {
      {"32-bit top", 0xFFFFFFFFu, 32, 0, 1000 << 16, 1000 << 16},
      {"32-bit zero", 0, 32, 0, 1000 << 16, 0},
      {"8-bit middle", 51, 8, 0, 255 << 16, 51 << 16},
      {"1-bit", 1, 1, -5 << 16, 5 << 16, 5 << 16},
      {"reversed", 0xFFFF, 16, 1 << 16, 0, 0},
      {"wide", 0xFFFFFF, 24, -30000 << 16, 30000 << 16, 30000 << 16},
      // Bounds beyond the Fixed range map the values inside it exactly.
      {"bounds beyond 16.16", 0x8051eb85u, 32, -40000LL << 16, 40000LL << 16, 100 << 16},
      {"result beyond 16.16 clamps", 0xFFFFFFFFu, 32, -40000LL << 16, 40000LL << 16, runtime::kFixedMax},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    EXPECT_EQ(MeshInput::Scale(test.raw, test.bits, test.low, test.high), test.value);
  }
}

// Coons patch stream points of the square (8, 8) - (56, 56), straight
// edges with control points at the thirds.
void SquareCoons(MeshBits& bits, int flag, const std::vector<std::vector<int>>& colours) {
  const int points[12][2] = {{8, 8},   {8, 24},  {8, 40},  {8, 56},  {24, 56}, {40, 56},
                             {56, 56}, {56, 40}, {56, 24}, {56, 8},  {40, 8},  {24, 8}};
  bits.Put(static_cast<uint32_t>(flag), 8);
  for (const auto& p : points) bits.Put(static_cast<uint32_t>(p[0]), 8).Put(static_cast<uint32_t>(p[1]), 8);
  for (const auto& colour : colours)
    for (int c : colour) bits.Put(static_cast<uint32_t>(c), 8);
  bits.Align();
}

TEST(PatchMeshTest, FlatCoonsSquareCentreIsTheMeanOfItsCorners) {
  MeshBits bits;
  SquareCoons(bits, 0, {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {0, 0, 0}});
  ShadingHarness harness({testsupport::StreamBody("/ShadingType 6 /BitsPerFlag 8 " + kMeshEntries, bits.Bytes())});
  ASSERT_TRUE(harness.Paint({0, 0, 64, 64}));
  EXPECT_TRUE(NearColour(harness.Pixel(31, 31), 64, 64, 64, 4));
  EXPECT_TRUE(NearColour(harness.Pixel(8, 8), 255, 0, 0, 12));
  EXPECT_TRUE(NearColour(harness.Pixel(8, 55), 0, 255, 0, 12));
  EXPECT_TRUE(NearColour(harness.Pixel(55, 55), 0, 0, 255, 12));
  EXPECT_EQ(harness.Pixel(4, 30)[3], 0);
  EXPECT_EQ(harness.Pixel(60, 30)[3], 0);
  // Every pixel inside the square is painted: no cracks between pieces.
  for (int32_t y = 8; y < 56; ++y)
    for (int32_t x = 8; x < 56; ++x) ASSERT_EQ(harness.Pixel(x, y)[3], 255) << x << "," << y;
}

TEST(PatchMeshTest, SharedEdgeFlagTakesThePreviousPatchsEdge) {
  // Patch 2 (flag 3) shares patch 1's edge P(3,0) .. P(0,0) and its
  // colours c3, c0; its other points fold back onto the same square, so
  // the pixels equal those of patch 1 alone where patch 1 has c3 = c0.
  MeshBits bits;
  SquareCoons(bits, 0, {{255, 0, 0}, {255, 0, 0}, {255, 0, 0}, {255, 0, 0}});
  bits.Put(3, 8);
  const int rest[8][2] = {{40, 8}, {24, 8}, {8, 8}, {8, 0}, {8, 0}, {8, 0}, {8, 0}, {8, 0}};
  for (const auto& p : rest) bits.Put(static_cast<uint32_t>(p[0]), 8).Put(static_cast<uint32_t>(p[1]), 8);
  bits.Put(0, 8).Put(0, 8).Put(255, 8).Put(0, 8).Put(0, 8).Put(255, 8).Align();
  ShadingHarness harness({testsupport::StreamBody("/ShadingType 6 /BitsPerFlag 8 " + kMeshEntries, bits.Bytes())});
  ASSERT_TRUE(harness.Paint({0, 0, 64, 64}));
  EXPECT_TRUE(NearColour(harness.Pixel(31, 31), 255, 0, 0, 0));
  // Near the shared edge y = 8 the second patch starts red (c0, c1 of it).
  EXPECT_TRUE(NearColour(harness.Pixel(50, 7), 255, 0, 0, 40));
}

TEST(PatchMeshTest, FoldedTensorPatchUsesTheSecondPass) {
  // The u-curves overshoot out and back, so the patch folds over itself.
  const int xs[4] = {8, 100, 0, 56}, ys[4] = {8, 24, 40, 56};
  const int order[16] = {0, 1, 2, 3, 7, 11, 15, 14, 13, 12, 8, 4, 5, 6, 10, 9};
  MeshBits bits;
  bits.Put(0, 8);
  for (int k : order) bits.Put(static_cast<uint32_t>(std::min(xs[k / 4], 255)), 8).Put(static_cast<uint32_t>(ys[k % 4]), 8);
  for (int c = 0; c < 4; ++c) bits.Put(0, 8).Put(static_cast<uint32_t>(c * 80), 8).Put(0, 8);
  bits.Align();
  ShadingHarness harness({testsupport::StreamBody("/ShadingType 7 /BitsPerFlag 8 " + kMeshEntries, bits.Bytes())});
  auto* mesh = static_cast<PatchMeshShading*>(harness.Stage({0, 0, 64, 64}));
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(mesh->FoldedPatches(), 1u);
  ASSERT_TRUE(harness.Paint({0, 0, 64, 64}));
  EXPECT_EQ(harness.Pixel(30, 30)[3], 255);
}

TEST(PatchMeshTest, SmallPatchIsOneQuad) {
  // 16 points inside a 3 x 3 box, all corners turning the same way.
  MeshBits bits;
  bits.Put(0, 8);
  const int points[12][2] = {{10, 10}, {10, 11}, {10, 12}, {10, 13}, {11, 13}, {12, 13},
                             {13, 13}, {13, 12}, {13, 11}, {13, 10}, {12, 10}, {11, 10}};
  for (const auto& p : points) bits.Put(static_cast<uint32_t>(p[0]), 8).Put(static_cast<uint32_t>(p[1]), 8);
  for (int c = 0; c < 12; ++c) bits.Put(128, 8);
  bits.Align();
  ShadingHarness harness({testsupport::StreamBody("/ShadingType 6 /BitsPerFlag 8 " + kMeshEntries, bits.Bytes())});
  auto* mesh = static_cast<PatchMeshShading*>(harness.Stage({0, 0, 64, 64}));
  EXPECT_EQ(mesh->Triangles(), 2u);
}

class MeshBudgetTest : public runtime::ThreadFixture {};

TEST_F(MeshBudgetTest, TenMillionTrianglesCanBeCancelled) {
  // 10 million flag-0 triangles of zero bytes (18 bytes each),
  // Flate-compressed a megabyte at a time.
  std::string packed;
  z_stream zip{};
  ASSERT_EQ(deflateInit(&zip, 1), Z_OK);
  std::vector<Bytef> zeros(1 << 20), out(1 << 16);
  for (int chunk = 0; chunk <= 180; ++chunk) {
    const bool last = chunk == 180;
    zip.next_in = zeros.data();
    zip.avail_in = last ? 0 : static_cast<uInt>(zeros.size());
    do {
      zip.next_out = out.data();
      zip.avail_out = static_cast<uInt>(out.size());
      deflate(&zip, last ? Z_FINISH : Z_NO_FLUSH);
      packed.append(reinterpret_cast<char*>(out.data()), out.size() - zip.avail_out);
    } while (zip.avail_out == 0);
  }
  deflateEnd(&zip);
  bool finished = false;
  const runtime::ErrorRecord seen = CancelPartWay([&](runtime::LibraryContext* ctx, const std::function<void()>& ready) {
    ShadingHarness harness(
        {testsupport::StreamBody("/ShadingType 4 /BitsPerFlag 8 /Filter /FlateDecode " + kMeshEntries, packed)}, ctx);
    ready();
    harness.Stage({0, 0, 64, 64});
    finished = true;
  });
  EXPECT_FALSE(finished);
  EXPECT_EQ(seen.code, runtime::kCancelled);
}

}  // namespace
}  // namespace color
