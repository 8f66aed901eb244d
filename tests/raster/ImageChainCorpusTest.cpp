// Every image XObject of the corpus, as pdfimages lists it, builds its
// source chain and delivers its rows; for 8-bit gray and RGB images in the
// device spaces the rows equal the samples pdfimages writes. The sweep runs
// in both builds; the pixel comparison in the normal build only.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "pdf/Document.h"
#include "pdf/StreamObject.h"
#include "platform/Files.h"
#include "raster/ImageRowSource.h"
#include "raster/ImageSourceChain.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "streams/FileStream.h"
#include "streams/ImageRowSource.h"
#include "tests/pdf/CorpusFiles.h"
#include "tests/pdf/ProbeRunner.h"

namespace raster {
namespace {

// Images larger than this are swept but not compared (pdfimages would write
// them whole to disk).
constexpr uint64_t kMaxComparedBytes = 64u << 20;

struct ListedImage {
  int page = 0, number = 0;
  std::string type, color, encoding;
  int width = 0, height = 0, components = 0, bits = 0;
  uint32_t object = 0, generation = 0;
};

// The image XObjects pdfimages lists, and in `firstOnPage` the number of
// each page's first image of any kind (pdfimages numbers the files it
// writes for one page from that image on, inline images included).
std::vector<ListedImage> ListImages(const std::string& path, std::map<int, int>& firstOnPage) {
  const std::string out = pdftest::RunCommand("timeout 120 pdfimages -list '" + path + "' 2>/dev/null").out;
  std::istringstream lines(out);
  std::string line;
  std::vector<ListedImage> images;
  for (int n = 0; std::getline(lines, line); ++n) {
    if (n < 2) continue;
    std::istringstream fields(line);
    ListedImage image;
    std::string interpolate, object, generation;
    fields >> image.page >> image.number >> image.type >> image.width >> image.height >> image.color >>
        image.components >> image.bits >> image.encoding >> interpolate >> object >> generation;
    if (!fields) continue;
    firstOnPage.try_emplace(image.page, image.number);
    if (object == "[inline]") continue;
    image.object = static_cast<uint32_t>(std::stoul(object));
    image.generation = static_cast<uint32_t>(std::stoul(generation));
    images.push_back(image);
  }
  return images;
}

// A PGM or PPM file's samples, or nothing.
std::vector<uint8_t> ReadNetpbm(const std::string& path, int width, int height, int components) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int w = 0, h = 0, max = 0;
  in >> magic >> w >> h >> max;
  in.get();
  if (!in || w != width || h != height || max != 255 || magic != (components == 1 ? "P5" : "P6")) return {};
  std::vector<uint8_t> bytes(static_cast<size_t>(width) * height * components);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return in ? bytes : std::vector<uint8_t>{};
}

bool Compared(const ListedImage& image) {
  // pdfimages writes ICCBased images through their profiles, so only the
  // device spaces give raw samples to compare.
  return (image.color == "gray" || image.color == "rgb") && image.bits == 8 &&
         (image.components == 1 || image.components == 3) &&
         (image.encoding == "image" || image.encoding == "jpeg") && (image.type == "image" || image.type == "smask") &&
         uint64_t(image.width) * image.height * image.components <= kMaxComparedBytes;
}

class ImageChainCorpusTest : public ::testing::TestWithParam<int> {
 protected:
  // The rows of one image through its chain, or the error that stopped it.
  // `built` says whether the chain could be built.
  std::vector<uint8_t> Decode(pdf::Document& document, const ListedImage& listed, bool& opened, bool& built,
                              runtime::ErrorRecord& error) {
    std::vector<uint8_t> rows;
    opened = built = false;
    runtime::ArenaAllocator arena(&context_, 16384, 4096);
    runtime::ErrorTrap trap(&context_);
    const bool done = trap.Run([&] {
      runtime::ObjectHandle stream = document.GetObject(listed.object, listed.generation);
      runtime::ObjectHandle dict = stream.AsDictionary();
      ImageDescriptor image;
      image.width = listed.width;
      image.height = listed.height;
      image.bitsPerComponent = listed.bits;
      image.components = listed.components;
      std::vector<runtime::Fixed> decode;
      std::vector<int32_t> key;
      const runtime::ObjectHandle decodeArray = runtime::Dictionary::GetOptionalArray(dict, "Decode");
      if (!decodeArray.IsNull() && runtime::Array::Count(decodeArray) >= 2u * listed.components) {
        for (uint32_t i = 0; i < 2u * listed.components; ++i) {
          decode.push_back(runtime::Array::Get(decodeArray, i)->AsNumber());
        }
        image.decode = decode.data();
        image.invertedDecode = decode[0] > decode[1];
      }
      const runtime::ObjectHandle mask = runtime::Dictionary::Get(dict, "Mask");
      if (mask.Tag() == runtime::ObjectTag::kArray && runtime::Array::Count(mask) >= 2u * listed.components) {
        for (uint32_t i = 0; i < 2u * listed.components; ++i) key.push_back(runtime::Array::GetInteger(mask, i));
        image.colorKey = key.data();
      }
      streams::StreamRef data = pdf::StreamObject::OpenData(document, stream);
      streams::ImageRowSource stream_rows(&context_, {image.width, image.height, image.bitsPerComponent,
                                                      image.components},
                                          std::move(data));
      opened = true;
      auto* head = runtime::NewInArena<StreamRowSource>(arena, &stream_rows);
      ImageRowSource* last = ImageSourceChain::Build(arena, head, image, ImageNeed{{0, 0, image.width, image.height}, 0},
                                                     nullptr);
      built = true;
      const IntRect bounds = last->Bounds();
      for (int32_t y = bounds.y0; y < bounds.y1; ++y) {
        const uint8_t* row = last->NextRow();
        rows.insert(rows.end(), row, row + last->RowBytes());
      }
    });
    if (!done) {
      trap.SetHandled();
      error = trap.Held();
      trap.Close();
      rows.clear();
    }
    return rows;
  }

  runtime::LibraryContext context_;
};

TEST_P(ImageChainCorpusTest, EveryImageBuildsItsChain) {
  if (std::system("command -v pdfimages >/dev/null 2>&1") != 0) {
    if (pdftest::UnderContinuousIntegration()) FAIL() << "pdfimages is missing";
    GTEST_SKIP() << "no pdfimages";
  }
  int compared = 0;
  for (const std::string& file : pdftest::CorpusGroup(GetParam())) {
    const std::string path = pdftest::CorpusDir() + "/" + file;
    std::map<int, int> firstOnPage;
    const std::vector<ListedImage> listed = ListImages(path, firstOnPage);
    if (listed.empty()) continue;
    pdftest::DocumentHolder holder{&context_};
    runtime::ErrorTrap opening(&context_);
    if (!opening.Run([&] {
          streams::DataStoreRef data = streams::FileStream::Open(&context_, platform::DevicePathFromHost(path).c_str());
          holder.document = pdf::Document::Open(&context_, std::move(data));
          holder.document->SetupSecurity("Standard", nullptr, 0);
        })) {
      opening.SetHandled();
      opening.Close();
      continue;  // documents we cannot open are the document tests' business
    }
    std::set<std::pair<uint32_t, uint32_t>> seen;
    std::map<int, std::string> extracted;  // page -> folder of pdfimages' files
    for (const ListedImage& image : listed) {
      if (!seen.insert({image.object, image.generation}).second) continue;
      bool opened = false, built = false;
      runtime::ErrorRecord error;
      const std::vector<uint8_t> rows = Decode(*holder.document, image, opened, built, error);
      const std::string name = file + " object " + std::to_string(image.object);
      // Data the stream layer cannot open or decode is the stream tests'
      // business; it is listed here, and the chain over every stream that
      // opens must build.
      if (!opened || (built && rows.empty())) {
        std::cout << "not decoded: " << name << " (" << image.encoding << "): " << error.domain << " " << error.code
                  << "\n";
        continue;
      }
      EXPECT_TRUE(built) << name << ": " << error.domain << " " << error.code;
      if (!built) continue;
      if (rows.empty() || pdftest::kSanitizerBuild || !Compared(image)) continue;
      auto& folder = extracted[image.page];
      if (folder.empty()) {
        char pattern[] = "/tmp/folvane-chain-XXXXXX";
        if (mkdtemp(pattern) == nullptr) continue;
        folder = pattern;
        const std::string page = std::to_string(image.page);
        pdftest::RunCommand("timeout 120 pdfimages -p -f " + page + " -l " + page + " '" + path + "' '" + folder +
                            "/i' >/dev/null 2>&1");
      }
      char suffix[32];
      std::snprintf(suffix, sizeof suffix, "/i-%03d-%03d.%s", image.page, image.number - firstOnPage[image.page],
                    image.components == 1 ? "pgm" : "ppm");
      const std::vector<uint8_t> reference =
          ReadNetpbm(folder + suffix, image.width, image.height, image.components);
      if (reference.empty()) continue;  // pdfimages could not write it
      ++compared;
      EXPECT_TRUE(rows == reference) << name << " (" << image.color << ", " << image.encoding << ")";
    }
    for (const auto& [page, folder] : extracted) std::filesystem::remove_all(folder);
  }
  RecordProperty("compared", compared);
}

INSTANTIATE_TEST_SUITE_P(Corpus, ImageChainCorpusTest, ::testing::ValuesIn(pdftest::CorpusGroups()),
                         pdftest::CorpusGroupName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(ImageChainCorpusTest);

}  // namespace
}  // namespace raster
