#include "tools/probe/ReflowCommand.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "content/ReflowPage.h"
#include "fonts/DocumentFontSource.h"
#include "fonts/DocumentTextFontSource.h"
#include "pdf/Document.h"
#include "pdf/PageTree.h"
#include "platform/WideText.h"
#include "runtime/ErrorTrap.h"
#include "tools/probe/RenderCommand.h"
#include "tools/probe/TextCommand.h"

namespace probe {

namespace {

// The column is measured in pixels at this resolution.
constexpr double kScreenDpi = 96.0;

struct ReflowOptions {
  std::string page;
  uint32_t maxPages = 0;
  double width = 0;
  double height = 0;
  std::string output;
};

ReflowOptions gReflow;

void PrintLines(const content::ReflowModel& model) {
  for (const content::TextLine& line : model.TextLines()) {
    uint32_t end = line.first + line.count;
    while (end > line.first && model.Text()[end - 1] == 0x20) --end;
    std::u16string text;
    for (uint32_t i = line.first; i < end; ++i) AppendUtf16(text, model.Text()[i]);
    const std::string utf8 = platform::Utf8FromWide(text) + "\n";
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  }
}

}  // namespace

bool ParseReflowOptions(int argc, char** argv) {
  gReflow = ReflowOptions{};
  if (argc < 4) return false;
  gReflow.page = argv[3];
  for (int i = 4; i < argc; ++i) {
    const std::string option = argv[i];
    if ((option == "--width" || option == "--height") && i + 1 < argc) {
      const double value = std::atof(argv[++i]);
      if (!(value >= 1.0 && value <= 32767.0)) return false;
      (option == "--width" ? gReflow.width : gReflow.height) = value;
    } else if (option == "-o" && i + 1 < argc) {
      gReflow.output = argv[++i];
    } else if (option == "--pages" && i + 1 < argc) {
      const long pages = std::atol(argv[++i]);
      if (pages < 1) return false;
      gReflow.maxPages = static_cast<uint32_t>(pages);
    } else {
      return false;
    }
  }
  // Every page goes to the text only.
  if (gReflow.page == "all" && !gReflow.output.empty()) return false;
  return gReflow.width > 0;
}

namespace {

int ReflowOnePage(pdf::Document& document, fonts::DocumentFontSource& fonts, fonts::DocumentTextFontSource& unicode,
                  int32_t index) {
  runtime::LibraryContext* context = document.Context();
  const double toUnits = 72.0 / kScreenDpi;
  content::ReflowPage page(context, document, index, &fonts, &unicode,
                           runtime::FixedFromFloat(gReflow.width * toUnits),
                           runtime::FixedFromFloat(gReflow.height * toUnits));
  int status = 0;
  runtime::ErrorTrap trap(context);
  // An error of the page's content ends its reflow: the lines placed
  // before it are printed and painted.
  if (!trap.Run([&] { page.Build(content::ReflowPage::PageStyle(runtime::FixedFromInt(10))); })) {
    trap.SetHandled();
    if (trap.Held().IsRuntime(runtime::kCancelled)) trap.Rethrow();
    std::fprintf(stderr, "probe: page %d: error %s %u\n", index + 1, trap.Held().domain, trap.Held().code);
    trap.Close();
    status = 1;
  }
  PrintLines(page.Model());
  if (!gReflow.output.empty() && RenderReflowed(document, index, page.Model(), kScreenDpi, gReflow.output) != 0) {
    status = 1;
  }
  return status;
}

}  // namespace

int ReflowPage(pdf::Document& document) {
  int32_t count = pdf::PageTree::CountPages(document);
  fonts::DocumentFontSource fonts(document);
  fonts::DocumentTextFontSource unicode(document);
  if (gReflow.page == "all") {
    if (gReflow.maxPages != 0 && static_cast<uint32_t>(count) > gReflow.maxPages) {
      count = static_cast<int32_t>(gReflow.maxPages);
    }
    int status = 0;
    for (int32_t index = 0; index < count; ++index) {
      // A page that cannot be loaded ends with an error line; the next
      // pages still reflow.
      runtime::ErrorTrap trap(document.Context());
      if (!trap.Run([&] { status |= ReflowOnePage(document, fonts, unicode, index); })) {
        trap.SetHandled();
        if (trap.Held().IsRuntime(runtime::kCancelled)) trap.Rethrow();
        std::fprintf(stderr, "probe: page %d: error %s %u\n", index + 1, trap.Held().domain, trap.Held().code);
        trap.Close();
        status = 1;
      }
      std::fputs("\f\n", stdout);
    }
    return status;
  }
  const char* pageText = gReflow.page.c_str();
  char* stop = nullptr;
  const long number = std::strtol(pageText, &stop, 10);
  if (stop == pageText || *stop != '\0' || number < 1 || number > count) {
    std::fprintf(stderr, "probe: no page %s (the document has %d)\n", pageText, count);
    return 1;
  }
  return ReflowOnePage(document, fonts, unicode, static_cast<int32_t>(number - 1));
}

}  // namespace probe
