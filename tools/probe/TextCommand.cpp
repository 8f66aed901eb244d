#include "tools/probe/TextCommand.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "content/CharClass.h"
#include "content/PageModel.h"
#include "content/ReadingOrder.h"
#include "fonts/DocumentFontSource.h"
#include "fonts/DocumentTextFontSource.h"
#include "pdf/Document.h"
#include "pdf/PageTree.h"
#include "platform/WideText.h"
#include "runtime/ErrorTrap.h"

namespace probe {

namespace {

// The blocks, one line per line and a blank line between blocks; a word
// broken by a hyphen at a line's end is joined with its rest.
std::string ModelText(const content::PageModel& model) {
  std::u16string out;
  const auto& chars = model.Chars();
  const auto& lines = model.Lines();
  bool firstBlock = true;
  for (const content::TextBlockRecord& block : model.Blocks()) {
    if (!firstBlock) out += u'\n';
    firstBlock = false;
    const uint32_t end = block.firstLine + block.lineCount;
    for (uint32_t i = block.firstLine; i < end; ++i) {
      const content::TextLineRecord& line = lines[i];
      uint32_t stop = line.firstChar + line.charCount;
      while (stop > line.firstChar && chars[stop - 1] == 0x20) --stop;
      bool joined = false;
      if (i + 1 < end && stop - line.firstChar >= 2 && lines[i + 1].charCount > 0) {
        joined = content::CharClass::JoinsBrokenWord(chars[stop - 2], chars[stop - 1], chars[lines[i + 1].firstChar]);
      }
      for (uint32_t k = line.firstChar; k < (joined ? stop - 1 : stop); ++k) AppendUtf16(out, chars[k]);
      if (!joined) out += u'\n';
    }
  }
  return platform::Utf8FromWide(out);
}

// One page's text; an error ends the page with an "error" line after the
// text gathered before it.
void PrintPage(pdf::Document& document, fonts::DocumentFontSource& fonts, fonts::DocumentTextFontSource& unicode,
               int32_t index, bool contentOrder) {
  runtime::LibraryContext* context = document.Context();
  content::PageModel model(context);
  std::string error;
  runtime::ErrorTrap trap(context);
  if (!trap.Run([&] { model.Build(document, index, &fonts, &unicode, content::PageModel::kNoLimits); })) {
    trap.SetHandled();
    if (trap.Held().IsRuntime(runtime::kCancelled)) trap.Rethrow();
    error = std::string(trap.Held().domain) + " " + std::to_string(trap.Held().code);
    trap.Close();
  }
  if (!contentOrder) content::ReadingOrder::Apply(model);
  const std::string text = ModelText(model);
  std::fwrite(text.data(), 1, text.size(), stdout);
  if (!error.empty()) std::fprintf(stderr, "probe: page %d: error %s\n", index + 1, error.c_str());
}

}  // namespace

void AppendUtf16(std::u16string& out, uint32_t c) {
  if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
  if (c < 0x10000) {
    out += static_cast<char16_t>(c);
    return;
  }
  out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
  out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
}

int PrintText(pdf::Document& document, const char* page, unsigned maxPages, bool contentOrder) {
  int32_t count = pdf::PageTree::CountPages(document);
  fonts::DocumentFontSource fonts(document);
  fonts::DocumentTextFontSource unicode(document);
  if (std::strcmp(page, "all") == 0) {
    if (maxPages != 0 && static_cast<unsigned>(count) > maxPages) count = static_cast<int32_t>(maxPages);
    for (int32_t index = 0; index < count; ++index) {
      PrintPage(document, fonts, unicode, index, contentOrder);
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
  PrintPage(document, fonts, unicode, static_cast<int32_t>(number - 1), contentOrder);
  return 0;
}

}  // namespace probe
