#include "tools/probe/OpsCommand.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "content/ContentMachine.h"
#include "content/ContentOwner.h"
#include "content/ContentStream.h"
#include "content/LoggingHandler.h"
#include "content/Page.h"
#include "pdf/Document.h"
#include "pdf/Page.h"
#include "pdf/PageTree.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "runtime/TransientBlocks.h"

namespace probe {

namespace {

using runtime::ObjectHandle;
using runtime::ObjectTag;

// Plays one page; returns the number of calls and sets `error` when
// playback raised one.
size_t PlayPage(pdf::Document& document, const PageEntry& entry, bool quiet, std::string& error) {
  runtime::LibraryContext* context = document.Context();
  content::PageInfo info;
  info.document = &document;
  info.structParents = runtime::Dictionary::GetIntegerOr(entry.page, "StructParents", -1);
  content::LoggingHandler handler(context, info, &entry.resources);
  PlayPageInto(document, entry, handler, error);
  if (!quiet) std::fputs(handler.Log().c_str(), stdout);
  size_t calls = 0;
  for (char c : handler.Log()) calls += c == '\n' ? 1 : 0;
  return calls;
}

}  // namespace

void PlayPageInto(pdf::Document& document, const PageEntry& entry, content::ContentHandler& handler,
                  std::string& error) {
  runtime::LibraryContext* context = document.Context();
  runtime::ErrorTrap trap(context);
  if (!trap.Run([&] {
        content::ContentMachine* machine = content::Page::NewMachine(document, entry.page);
        if (machine == nullptr) runtime::ThrowRuntime(runtime::kOutOfMemory);
        content::MachineHolder holder(context, machine);
        content::ContentStream::Run(*machine, handler);
      })) {
    trap.SetHandled();
    if (trap.Held().IsRuntime(runtime::kCancelled)) trap.Rethrow();
    error = std::string(trap.Held().domain) + " " + std::to_string(trap.Held().code);
    trap.Close();
  }
}

PageEntry LoadPage(pdf::Document& document, int32_t index) {
  const runtime::ObjectReference reference = pdf::PageTree::FindPageRef(document, index);
  PageEntry entry;
  entry.page = document.GetObject(reference.number, reference.generation);
  entry.resources = pdf::Page::GetResources(entry.page).resources;
  return entry;
}

int PlayPageOperations(pdf::Document& document, const char* page, unsigned maxPages,
                       bool quiet) {
  const size_t count = static_cast<size_t>(std::max(pdf::PageTree::CountPages(document), 0));
  size_t first = 0;
  size_t end = count;
  if (std::strcmp(page, "all") != 0) {
    char* stop = nullptr;
    const unsigned long number = std::strtoul(page, &stop, 10);
    if (stop == page || *stop != '\0' || number == 0 || number > count) {
      std::fprintf(stderr, "probe: no page %s (the document has %zu)\n", page, count);
      return 1;
    }
    first = number - 1;
    end = number;
  } else if (maxPages != 0 && end > maxPages) {
    end = maxPages;
  }
  for (size_t i = first; i < end; ++i) {
    std::string error;
    size_t calls = 0;
    // A page the tree cannot give is reported like a page that fails to
    // play, and the next page is tried.
    runtime::ErrorTrap trap(document.Context());
    if (!trap.Run([&] {
          calls = PlayPage(document, LoadPage(document, static_cast<int32_t>(i)), quiet, error);
        })) {
      trap.SetHandled();
      if (trap.Held().IsRuntime(runtime::kCancelled)) trap.Rethrow();
      error = std::string(trap.Held().domain) + " " + std::to_string(trap.Held().code);
      trap.Close();
    }
    if (quiet) {
      std::printf("page %zu: %zu calls%s%s\n", i + 1, calls, error.empty() ? "" : ", error ",
                  error.c_str());
    } else if (!error.empty()) {
      std::printf("error %s\n", error.c_str());
    }
  }
  return 0;
}

}  // namespace probe
