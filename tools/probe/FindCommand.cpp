#include "tools/probe/FindCommand.h"

#include <cstdio>
#include <string>

#include "fonts/DocumentFontSource.h"
#include "fonts/DocumentTextFontSource.h"
#include "pdf/Document.h"
#include "platform/WideText.h"
#include "runtime/ErrorTrap.h"
#include "viewer/SearchJob.h"

namespace probe {

namespace {

// Prints each match; the document's ends are not wrapped around.
class PrintingSearchListener final : public viewer::SearchListener {
 public:
  bool AskResumeFromStart() override { return false; }
  bool AskResumeFromEnd() override { return false; }
  void ShowMatch(const runtime::TextRange& match) override {
    std::printf("match %d %u.%u.%u\n", match.start.page + 1, match.start.operation, match.start.string,
                match.start.glyph);
  }
};

}  // namespace

int FindText(pdf::Document& document, const char* word, unsigned maxPages) {
  runtime::LibraryContext* context = document.Context();
  const std::u16string text = platform::WideFromUtf8(word);
  fonts::DocumentFontSource fonts(document);
  fonts::DocumentTextFontSource unicode(document);
  viewer::SearchJob job(context, document, &fonts, &unicode, runtime::TextPosition{}, text.data(),
                        static_cast<uint32_t>(text.size()), viewer::SearchOptions{});
  if (maxPages != 0) job.LimitPages(static_cast<int32_t>(maxPages));
  PrintingSearchListener listener;
  int status = 0;
  runtime::ErrorTrap trap(context);
  if (!trap.Run([&] {
        while (job.Resume(listener)) {
        }
      })) {
    trap.SetHandled();
    if (trap.Held().IsRuntime(runtime::kCancelled)) trap.Rethrow();
    std::fprintf(stderr, "probe: search failed: %s %u\n", trap.Held().domain, trap.Held().code);
    trap.Close();
    status = 1;
  }
  std::printf("matches: %u\n", job.MatchCount());
  return status;
}

}  // namespace probe
