#include "streams/DctFilter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

#include "tests/streams/StreamTestSupport.h"
#include "tests/support/JpegEncoder.h"

namespace streams {
namespace {

using testing::Capture;
using testing::Chunks;

using testsupport::EncodeJpeg;

struct LibraryDecode {
  std::vector<std::string> rows;
  int warnings = 0;
};

// The rows the JPEG library decodes from the same bytes on its own.
LibraryDecode DecodeWithLibrary(const std::string& jpeg, unsigned scaleDenominator = 1) {
  jpeg_decompress_struct cinfo{};
  jpeg_error_mgr errors{};
  cinfo.err = jpeg_std_error(&errors);
  errors.output_message = [](j_common_ptr) {};
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(jpeg.data()), jpeg.size());
  jpeg_read_header(&cinfo, TRUE);
  cinfo.scale_num = 1;
  cinfo.scale_denom = scaleDenominator;
  jpeg_start_decompress(&cinfo);
  LibraryDecode result;
  std::string row(size_t(cinfo.output_width) * size_t(cinfo.output_components), '\0');
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW rows[1] = {reinterpret_cast<JSAMPROW>(row.data())};
    jpeg_read_scanlines(&cinfo, rows, 1);
    result.rows.push_back(row);
  }
  jpeg_finish_decompress(&cinfo);
  result.warnings = static_cast<int>(errors.num_warnings);
  jpeg_destroy_decompress(&cinfo);
  return result;
}

class DctFilterTest : public ::testing::Test {
 protected:
  Ref<DctFilter> Filter(const std::string& jpeg, size_t chunk = 4096) {
    return MakeRef<DctFilter>(&context_, Chunks(&context_, jpeg, chunk));
  }
  std::vector<std::string> Rows(DctFilter& filter) {
    std::vector<std::string> rows;
    for (;;) {
      BlockRef block = filter.FetchBlock();
      if (CountOf(block) == 0) return rows;
      rows.emplace_back(reinterpret_cast<const char*>(block->Data()), block->Count());
    }
  }

  LibraryContext context_;
};

TEST_F(DctFilterTest, SameSamplesAsTheLibrarysOwnDecode) {
  struct Case {
    const char* name;
    int width, height, components;
    bool progressive;
    size_t chunk;
  };
  const Case cases[] = {
      {"baseline RGB", 100, 37, 3, false, 4096},
      {"baseline grey, byte blocks", 33, 20, 1, false, 1},
      {"progressive RGB", 64, 50, 3, true, 500},
  };
  for (const Case& c : cases) {
    std::string jpeg = EncodeJpeg(c.width, c.height, c.components, c.progressive);
    uint64_t before = context_.memory.bytesInUse;
    context_.memory.peakBytes = before;
    Ref<DctFilter> filter = Filter(jpeg, c.chunk);
    EXPECT_EQ(filter->Width(), uint32_t(c.width));
    EXPECT_EQ(filter->Components(), uint32_t(c.components));
    std::vector<std::string> rows = Rows(*filter);
    std::vector<std::string> expected = DecodeWithLibrary(jpeg).rows;
    ASSERT_EQ(rows.size(), expected.size()) << c.name;
    EXPECT_EQ(rows[0].size(), size_t(c.width * c.components)) << c.name;
    EXPECT_TRUE(rows == expected) << c.name;
    EXPECT_EQ(CountOf(filter->FetchBlock()), 0u);
    // The library's working memory came from the memory context.
    EXPECT_GT(context_.memory.peakBytes, before + 10000) << c.name;
    // A restart decodes the image again.
    filter->Restart(0);
    EXPECT_TRUE(Rows(*filter) == expected) << c.name;
  }
}

TEST_F(DctFilterTest, TruncatedDataGivesRowsWithAWarning) {
  std::string jpeg = EncodeJpeg(80, 60, 3, false);
  std::string truncated = jpeg.substr(0, jpeg.size() * 6 / 10);
  Ref<DctFilter> filter = Filter(truncated, 700);
  std::vector<std::string> rows = Rows(*filter);
  LibraryDecode expected = DecodeWithLibrary(truncated);
  EXPECT_EQ(rows.size(), 60u);
  EXPECT_TRUE(rows == expected.rows);
  EXPECT_GT(expected.warnings, 0);
  EXPECT_GT(filter->WarningCount(), 0u);
  EXPECT_EQ(filter->FirstWarning(), JWRN_JPEG_EOF);
}

TEST_F(DctFilterTest, EveryRefillPastATruncatedEndWarnsOnceAndEndsTheImage) {
  // Cut inside the entropy-coded data at several places: every refill past
  // the end warns "premature end" once and answers an end-of-image marker,
  // as the library's own memory source does, so the warning counts match
  // and the image keeps its full height.
  std::string jpeg = EncodeJpeg(160, 48, 3, false);
  const size_t scan = jpeg.find("\xFF\xDA");
  ASSERT_NE(scan, std::string::npos);
  for (size_t percent : {10u, 50u, 80u, 99u}) {
    // Cut `percent` of the way through the scan data.
    std::string truncated = jpeg.substr(0, scan + 20 + (jpeg.size() - scan - 20) * percent / 100);
    LibraryDecode expected = DecodeWithLibrary(truncated);
    for (size_t chunk : {size_t{64}, size_t{4096}}) {
      Ref<DctFilter> filter = Filter(truncated, chunk);
      std::vector<std::string> rows = Rows(*filter);
      EXPECT_EQ(rows.size(), 48u) << percent << "% in chunks of " << chunk;
      EXPECT_TRUE(rows == expected.rows) << percent << "%";
      EXPECT_EQ(filter->WarningCount(), uint32_t(expected.warnings)) << percent << "%";
      EXPECT_EQ(filter->FirstWarning(), JWRN_JPEG_EOF) << percent << "%";
      EXPECT_EQ(JWRN_JPEG_EOF, 120);
    }
  }
  // Nothing at all: the library's "empty input" (message 42) ends the
  // decode as a malformed stream.
  EXPECT_EQ(JERR_INPUT_EMPTY, 42);
  EXPECT_TRUE(Capture(&context_, [&] { Filter(""); }).IsRuntime(runtime::kMalformed));
}

TEST_F(DctFilterTest, BadDataIsAnErrorNotACrash) {
  std::string jpeg = EncodeJpeg(16, 16, 1, false);
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"empty", ""},
      {"not a JPEG", "GIF89a and then some"},
      {"header cut short", jpeg.substr(0, 40)},
  };
  for (const Case& c : cases) {
    uint64_t before = context_.memory.bytesInUse;
    EXPECT_TRUE(Capture(&context_, [&] { Filter(c.bytes); }).IsRuntime(runtime::kMalformed)) << c.name;
    // Nothing the failed decoder held is left behind.
    EXPECT_EQ(context_.memory.bytesInUse, before) << c.name;
  }
}

TEST_F(DctFilterTest, AHugeClaimedSizeIsRefusedBeforeItIsAllocated) {
  // A progressive header that claims 65000 x 65000 pixels over a few bytes
  // of data would need gigabytes of coefficient buffers.
  std::string jpeg = EncodeJpeg(16, 16, 3, true);
  size_t frame = jpeg.find("\xFF\xC2");
  ASSERT_NE(frame, std::string::npos);
  for (size_t at : {frame + 5, frame + 7}) {
    jpeg[at] = static_cast<char>(0xFD);
    jpeg[at + 1] = static_cast<char>(0xE8);
  }
  Ref<DctFilter> filter = Filter(jpeg);
  EXPECT_EQ(filter->Width(), 65000u);
  EXPECT_TRUE(Capture(&context_, [&] { filter->FetchBlock(); }).IsRuntime(runtime::kOutOfMemory));
}

TEST_F(DctFilterTest, SourceErrorsPassThroughTheLibrary) {
  std::string jpeg = EncodeJpeg(40, 40, 3, false);
  auto source = MakeRef<testing::ChunkSource>(&context_, jpeg, 100);
  source->failAtFetch = 4;
  testing::Caught caught = Capture(&context_, [&] {
    auto filter = MakeRef<DctFilter>(&context_, source);
    Rows(*filter);
  });
  EXPECT_TRUE(caught.IsRuntime(runtime::kMalformed));
}

TEST_F(DctFilterTest, ARestartThatFailsLeavesAnErrorNotADanglingDecoder) {
  std::string jpeg = EncodeJpeg(24, 24, 3, false);
  auto source = MakeRef<testing::ChunkSource>(&context_, jpeg, 100);
  auto filter = MakeRef<DctFilter>(&context_, source);
  DctScaling* scaling = filter->Scaling();
  Rows(*filter);
  source->failAtFetch = source->fetches + 1;
  EXPECT_TRUE(Capture(&context_, [&] { filter->Restart(0); }).IsRuntime(runtime::kMalformed));
  EXPECT_TRUE(Capture(&context_, [&] { filter->FetchBlock(); }).IsRuntime(runtime::kMalformed));
  EXPECT_EQ(scaling->RequestReduction(2), 1u);
  // A restart that succeeds brings the image back.
  filter->Restart(0);
  EXPECT_EQ(Rows(*filter), DecodeWithLibrary(jpeg).rows);
}

TEST_F(DctFilterTest, ReducedSizeDecoding) {
  std::string jpeg = EncodeJpeg(100, 30, 3, false);
  Ref<DctFilter> odd = Filter(jpeg);
  EXPECT_EQ(odd->Scaling()->RequestReduction(3), 1u);
  EXPECT_EQ(odd->FetchBlock()->Count(), 300u);
  // Too late once decoding has started.
  EXPECT_EQ(odd->Scaling()->RequestReduction(2), 1u);

  StreamRef chain = Chunks(&context_, jpeg);
  FilterExtras extras;
  FilterStep step{"DCTDecode", nullptr};
  ApplyFilters(&context_, chain, {&step, 1}, DecodeFilterRegistry::Document(), false, &extras);
  ASSERT_NE(extras.scaling, nullptr);
  EXPECT_EQ(extras.scaling->RequestReduction(4), 4u);
  EXPECT_EQ(testing::Drain(*chain).size(), 25u * 3u * 8u);
  // 100 / 4 rounded up is 25 pixels of 3 bytes.
  StreamRef again = Chunks(&context_, jpeg);
  Ref<DctFilter> quarter = MakeRef<DctFilter>(&context_, again);
  quarter->Scaling()->RequestReduction(4);
  std::vector<std::string> quarterRows = Rows(*quarter);
  ASSERT_FALSE(quarterRows.empty());
  EXPECT_EQ(quarterRows[0].size(), 75u);
  EXPECT_TRUE(quarterRows == DecodeWithLibrary(jpeg, 4).rows);
  // A restart decodes at the reduced size again.
  quarter->Restart(0);
  EXPECT_EQ(quarter->Width(), 25u);
  EXPECT_TRUE(Rows(*quarter) == quarterRows);
}

}  // namespace
}  // namespace streams
