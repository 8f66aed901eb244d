// A page's content stream on hostile bytes, played the way the painter
// plays it: with a path-cache record (paths kept by position are read
// again), every text object played a second time (text knockout), and
// resources that name parameter sets, forms that draw each other, a font,
// colour spaces, marked-content properties and a structure tree. The first
// byte chooses whether a prologue of 40000 segments comes first, so that
// the paths of the input are kept by position. Playback must end in calls
// or an error record, within bounded memory and time.
#include <cstddef>
#include <cstdint>
#include <string>

#include "content/ContentOwner.h"
#include "content/ContentStream.h"
#include "content/LoggingHandler.h"
#include "content/Page.h"
#include "fuzz/FuzzDocument.h"
#include "runtime/ArenaAllocator.h"
#include "tests/support/SmallPdfFile.h"

namespace {

using testsupport::StreamBody;

std::string PageFile(const std::string& content) {
  return testsupport::SmallPdfFile({
      "<< /Type /Catalog /Pages 2 0 R /StructTreeRoot 9 0 R >>",
      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /Resources 4 0 R /Contents 5 0 R /StructParents 0 >>",
      "<< /ExtGState << /G0 << /LW 2 /CA 0.5 /D [[1 2] 0] /Font [6 0 R 9] /BM /Multiply >>"
      " /G1 << /SMask /None /TK false /OP true >> >>"
      " /XObject << /Fm0 7 0 R /Fm1 8 0 R >> /Font << /F1 6 0 R >>"
      " /ColorSpace << /CS0 [/Indexed /DeviceRGB 1 <000000FFFFFF>] /CS1 [/ICCBased 10 0 R] >>"
      " /Properties << /P0 << /MCID 0 >> >> >>",
      StreamBody("", content),
      "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
      StreamBody("/Type /XObject /Subtype /Form /BBox [0 0 9 9] /Resources 4 0 R",
                 "0 0 m 1 1 l S /Fm1 Do BT /F1 9 Tf (x) Tj ET"),
      StreamBody("/Type /XObject /Subtype /Form /BBox [0 0 9 9]", "/Fm0 Do q 1 w Q"),
      "<< /Type /StructTreeRoot /ParentTree << /Nums [0 [11 0 R]] >> >>",
      StreamBody("/N 3", ""),
      "<< /Type /StructElem /S /P >>",
  });
}

// Logs every call, keeps a path-cache record and replays each text object.
class PaintingLikeHandler : public content::LoggingHandler {
 public:
  PaintingLikeHandler(runtime::LibraryContext* context, const content::PageInfo& page,
                      const runtime::ObjectHandle* resources)
      : LoggingHandler(context, page, resources), arena_(context, 4096, 1024), slot_(arena_) {}

  content::PathCacheSlot* GetPathCacheSlot() override { return &slot_; }
  void EndText(content::Span& span, content::ContentStream& player) override {
    LoggingHandler::EndText(span, player);
    if (replaying_) return;
    replaying_ = true;
    player.ReplaySpan(span);
    replaying_ = false;
  }

 private:
  runtime::ArenaAllocator arena_;
  content::PathCacheSlot slot_;
  bool replaying_ = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > (1u << 16)) return 0;
  std::string content;
  if (data[0] % 4 == 0) {
    content.reserve(8000 * 12 + size);
    for (int i = 0; i < 8000; ++i) content += "0 0 1 1 re\n";
    content += "n\n";
  }
  content.append(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string file = PageFile(content);
  fuzzing::WithDocument(reinterpret_cast<const uint8_t*>(file.data()), file.size(),
                        [&](runtime::LibraryContext* context, pdf::Document& document) {
                          const runtime::ObjectHandle page = document.GetPageDict(0);
                          content::ContentMachine* machine =
                              content::Page::NewMachine(document, page);
                          if (machine == nullptr) return;
                          content::MachineHolder holder(context, machine);
                          content::PageInfo info;
                          info.document = &document;
                          PaintingLikeHandler handler(context, info, &machine->Resources());
                          content::ContentStream::Run(*machine, handler);
                        });
  return 0;
}
