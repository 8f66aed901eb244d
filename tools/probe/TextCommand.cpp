#include "tools/probe/TextCommand.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "content/PageModel.h"
#include "fonts/DocumentFontSource.h"
#include "pdf/Document.h"
#include "pdf/PageTree.h"
#include "platform/WideText.h"
#include "runtime/ErrorTrap.h"

namespace probe {

namespace {

// The characters as UTF-16 (code points that are no characters become
// U+FFFD), then UTF-8.
void AppendUtf16(std::u16string& out, uint32_t c) {
  if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
  if (c < 0x10000) {
    out += static_cast<char16_t>(c);
    return;
  }
  out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
  out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
}

std::string ModelText(const content::PageModel& model) {
  std::u16string out;
  const auto& chars = model.Chars();
  const auto& lines = model.Lines();
  bool firstBlock = true;
  for (const content::TextBlockRecord& block : model.Blocks()) {
    if (!firstBlock) out += u'\n';
    firstBlock = false;
    for (uint32_t i = block.firstLine; i < block.firstLine + block.lineCount; ++i) {
      const content::TextLineRecord& line = lines[i];
      for (uint32_t k = line.firstChar; k < line.firstChar + line.charCount; ++k) AppendUtf16(out, chars[k]);
      out += u'\n';
    }
  }
  return platform::Utf8FromWide(out);
}

// One page's text; an error ends the page with an "error" line after the
// text gathered before it.
void PrintPage(pdf::Document& document, fonts::DocumentFontSource& fonts, int32_t index) {
  runtime::LibraryContext* context = document.Context();
  content::PageModel model(context);
  std::string error;
  runtime::ErrorTrap trap(context);
  if (!trap.Run([&] { model.Build(document, index, &fonts, nullptr, content::PageModel::kNoLimits); })) {
    trap.SetHandled();
    if (trap.Held().IsRuntime(runtime::kCancelled)) trap.Rethrow();
    error = std::string(trap.Held().domain) + " " + std::to_string(trap.Held().code);
    trap.Close();
  }
  const std::string text = ModelText(model);
  std::fwrite(text.data(), 1, text.size(), stdout);
  if (!error.empty()) std::fprintf(stderr, "probe: page %d: error %s\n", index + 1, error.c_str());
}

}  // namespace

int PrintText(pdf::Document& document, const char* page, unsigned maxPages) {
  int32_t count = pdf::PageTree::CountPages(document);
  fonts::DocumentFontSource fonts(document);
  if (std::strcmp(page, "all") == 0) {
    if (maxPages != 0 && static_cast<unsigned>(count) > maxPages) count = static_cast<int32_t>(maxPages);
    for (int32_t index = 0; index < count; ++index) {
      PrintPage(document, fonts, index);
      std::fputs("\f\n", stdout);
    }
    return 0;
  }
  char* stop = nullptr;
  const long number = std::strtol(page, &stop, 10);
  if (stop == page || *stop != '\0' || number < 1 || number > count) {
    std::fprintf(stderr, "probe: no page %s (the document has %d)\n", page, count);
    return 1;
  }
  PrintPage(document, fonts, static_cast<int32_t>(number - 1));
  return 0;
}

}  // namespace probe
