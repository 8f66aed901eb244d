// Every shading of every corpus file, found at test time: shading objects,
// the shadings of shading patterns and of "Shading" resource entries, each
// built for a small DeviceRGB target and painted. Nothing may crash or
// hang, and every failure must be a clear code (0, 1, 2 or 5).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "color/ColorContext.h"
#include "pdf/Document.h"
#include "platform/Files.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "streams/FileStream.h"
#include "tests/pdf/CorpusFiles.h"
#include "tests/support/ColorObjectsWalk.h"
#include "tests/support/ShadingPaint.h"

namespace color {
namespace {

using runtime::Dictionary;
using runtime::ObjectHandle;
using runtime::ObjectTag;

// Objects walked per file and shadings painted per file: enough for every
// corpus file, bounded for hostile ones.
constexpr uint32_t kMaxShadingWalkObjects = 200000;
constexpr uint32_t kMaxShadings = 400;

using shadingpaint::ShadingCounts;

void PaintBounded(runtime::LibraryContext* context, ColorContext& colors, const ObjectHandle& shading,
                  bool ignoreBackground, uint32_t number, ShadingCounts& counts) {
  if (counts.Total() < kMaxShadings) shadingpaint::PaintShading(context, colors, shading, ignoreBackground, number, counts);
}

void CheckShadings(const std::string& name) {
  runtime::LibraryContext context;
  const std::string path = pdftest::CorpusDir() + "/" + name;
  pdftest::DocumentHolder holder{&context};
  runtime::ErrorTrap trap(&context);
  const bool opened = trap.Run([&] {
    const std::u16string device = platform::DevicePathFromHost(path);
    streams::DataStoreRef file = streams::FileStream::Open(&context, device.c_str());
    holder.document = pdf::Document::Open(&context, std::move(file));
  });
  if (!opened) {
    trap.SetHandled();
    trap.Close();
    return;
  }
  runtime::CatchAllExceptCancel(&context, [&] { holder.document->SetupSecurity("Standard", nullptr, 0); });
  pdf::Document& document = *holder.document;
  ColorContext colors(&context, &document);
  ShadingCounts counts;
  // Objects that do not parse are the document layer's concern; they are
  // counted apart from the shadings.
  colorwalk::WalkResult walk;
  uint32_t end = 0;
  if (!colorwalk::TryColorWork(&context, walk, "object count", 0,
                               [&] { end = std::min(document.ObjectCount(), kMaxShadingWalkObjects); }))
    return;
  for (uint32_t number = 1; number < end; ++number) {
    ObjectHandle object;
    if (!colorwalk::TryColorWork(&context, walk, "object", number, [&] {
          uint32_t generation = 0;
          object = document.GetObjectAnyGeneration(number, &generation);
        }))
      continue;
    if (!object->Is(ObjectTag::kDictionary)) continue;
    colorwalk::TryColorWork(&context, walk, "dictionary", number, [&] {
      // Shading objects as "sh" paints them; patterns with their background.
      if (!Dictionary::Get(object, "ShadingType").IsNull()) PaintBounded(&context, colors, object, true, number, counts);
      if (Dictionary::GetIntegerOr(object, "PatternType", 0) == 2) {
        const ObjectHandle shading = Dictionary::Get(object, "Shading");
        if (shading->Is(ObjectTag::kDictionary)) PaintBounded(&context, colors, shading, false, number, counts);
      }
      // Inline shadings of resource dictionaries.
      const ObjectHandle resources = Dictionary::Get(object, "Shading");
      if (Dictionary::Get(object, "PatternType").IsNull() && resources->Is(ObjectTag::kDictionary) &&
          Dictionary::Get(resources, "ShadingType").IsNull()) {
        for (runtime::DictionaryIterator it(resources); !it.AtEnd(); it.Next()) {
          const ObjectHandle value = it.GetEntry().value.Resolved();
          if (value->Is(ObjectTag::kDictionary)) PaintBounded(&context, colors, value, true, number, counts);
        }
      }
    });
  }
  if (counts.built + counts.empty + counts.result.failures > 0) {
    std::printf("%s: %u shadings painted, %u paint nothing, %u refused\n", name.c_str(), counts.built, counts.empty,
                counts.result.failures);
  }
  EXPECT_EQ(counts.result.unexpected, "") << name;
  EXPECT_EQ(walk.unexpected, "") << name;
}

class CorpusShadingsTest : public ::testing::TestWithParam<int> {};

TEST_P(CorpusShadingsTest, ShadingsPaintOrFailCleanly) {
  for (const std::string& file : pdftest::CorpusGroup(GetParam())) {
    SCOPED_TRACE(file);
    CheckShadings(file);
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusShadingsTest, ::testing::ValuesIn(pdftest::CorpusGroups()),
                         pdftest::CorpusGroupName);

}  // namespace
}  // namespace color
