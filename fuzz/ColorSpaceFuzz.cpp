// Colour-space arrays and functions on hostile bytes. The input up to its
// first zero byte is the text of object 2, which the resources name as
// /CS; the rest is the data of stream 3, which object 2 may refer to (an
// ICC profile, a palette, samples or a calculator program). Every colour
// space and function of the file is then built, converted and evaluated.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "color/IccProfile.h"
#include "fuzz/FuzzDocument.h"
#include "tests/support/ColorObjectsWalk.h"
#include "tests/support/SmallPdfFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 16)) return 0;
  const fuzzing::SplitInput input(data, size);
  const std::string& text = input.text;
  const std::string& stream = input.rest;
  const std::string file = testsupport::SmallPdfFile(
      {"<< /ColorSpace << /CS 2 0 R >> >>", text,
       testsupport::StreamBody("/N 3 /FunctionType 4 /Domain [0 1 0 1] /Range [0 1 0 1 0 1] /Size [2 2] "
                               "/BitsPerSample 8",
                               stream)});
  fuzzing::WithDocument(reinterpret_cast<const uint8_t*>(file.data()), file.size(),
                        [&](runtime::LibraryContext* context, pdf::Document& document) {
                          color::IccProfileRef holder;
                          color::IccProfileRef display = color::IccProfile::BuiltinRgb(context, holder);
                          colorwalk::WalkResult result;
                          colorwalk::WalkColorObjects(context, document, *display, 16, result);
                        });
  return 0;
}
