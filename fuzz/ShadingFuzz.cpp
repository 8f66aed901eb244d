// Shading dictionaries and mesh streams on hostile bytes. The input up to
// its first zero byte is the entries of shading stream 2; the rest is that
// stream's data (a mesh for types 4 to 7). Objects 3 and 4 are functions of
// one and two inputs the entries may name. The shading is built for a small
// target, as "sh" and as a pattern would, and painted.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/FuzzDocument.h"
#include "tests/support/ShadingPaint.h"
#include "tests/support/SmallPdfFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 16)) return 0;
  const fuzzing::SplitInput input(data, size);
  const std::string& text = input.text;
  const std::string& stream = input.rest;
  const std::string file = testsupport::SmallPdfFile(
      {"<< /Type /Catalog >>", testsupport::StreamBody(text, stream),
       "<< /FunctionType 2 /Domain [0 1] /C0 [1 0 0] /C1 [0 0 1] /N 1 >>",
       testsupport::StreamBody("/FunctionType 4 /Domain [0 1 0 1] /Range [0 1 0 1 0 1]", "{ add 2 div dup dup }")});
  fuzzing::WithDocument(reinterpret_cast<const uint8_t*>(file.data()), file.size(),
                        [&](runtime::LibraryContext* context, pdf::Document& document) {
                          color::ColorContext colors(context, &document);
                          shadingpaint::ShadingCounts counts;
                          const runtime::ObjectHandle shading = document.GetObject(2, 0);
                          shadingpaint::PaintShading(context, colors, shading, true, 2, counts);
                          shadingpaint::PaintShading(context, colors, shading, false, 2, counts);
                          if (!counts.result.unexpected.empty()) __builtin_trap();
                        });
  return 0;
}
