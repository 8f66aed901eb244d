#include "tools/probe/OpsCommand.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "content/ContentMachine.h"
#include "content/ContentStream.h"
#include "content/LoggingHandler.h"
#include "pdf/Document.h"
#include "pdf/Page.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "runtime/TransientBlocks.h"

namespace probe {

namespace {

using runtime::ObjectHandle;
using runtime::ObjectTag;

// Page trees deeper than this are broken or hostile.
constexpr unsigned kMaxTreeDepth = 64;

struct PageEntry {
  ObjectHandle page;
  ObjectHandle resources;  // the page's own or the nearest inherited one
};

// Collects the leaves of the page tree in order, each node visited once.
void CollectPages(const ObjectHandle& node, const ObjectHandle& inherited, unsigned depth,
                  std::vector<uint32_t>& visited, std::vector<PageEntry>& pages) {
  if (depth > kMaxTreeDepth || node.Tag() != ObjectTag::kDictionary) return;
  const runtime::ContainerRecord* record = node->AsDictionary().Record();
  if (record != nullptr && record->objectNumber != 0) {
    for (uint32_t seen : visited) {
      if (seen == record->objectNumber) return;
    }
    visited.push_back(record->objectNumber);
  }
  ObjectHandle own = runtime::Dictionary::Get(node, "Resources").Resolved();
  const ObjectHandle& resources = own.Tag() == ObjectTag::kDictionary ? own : inherited;
  ObjectHandle kids = runtime::Dictionary::Get(node, "Kids").Resolved();
  if (kids.Tag() != ObjectTag::kArray) {
    pages.push_back({node, resources});
    return;
  }
  const uint32_t count = runtime::Array::Count(kids);
  for (uint32_t i = 0; i < count; ++i) {
    CollectPages(runtime::Array::Get(kids, i).Resolved(), resources, depth + 1, visited, pages);
  }
}

// Plays one page; returns the number of calls and sets `error` when
// playback raised one.
size_t PlayPage(pdf::Document& document, const PageEntry& entry, bool quiet, std::string& error) {
  runtime::LibraryContext* context = document.Context();
  content::PageInfo info;
  info.document = &document;
  info.structParents = runtime::Dictionary::GetIntegerOr(entry.page, "StructParents", -1);
  content::LoggingHandler handler(context, info, &entry.resources);
  runtime::ErrorTrap trap(context);
  if (!trap.Run([&] {
        content::ContentMachine* machine = runtime::NewObject<content::ContentMachine>(
            context, context, &document, pdf::Page::GetContents(document, entry.page),
            entry.resources);
        struct Holder {
          runtime::LibraryContext* context;
          content::ContentMachine* machine;
          ~Holder() { runtime::DestroyAndFree(context, machine); }
        } holder{context, machine};
        content::ContentStream::Run(*machine, handler);
      })) {
    trap.SetHandled();
    if (trap.Held().IsRuntime(runtime::kCancelled)) trap.Rethrow();
    error = std::string(trap.Held().domain) + " " + std::to_string(trap.Held().code);
    trap.Close();
  }
  if (!quiet) std::fputs(handler.Log().c_str(), stdout);
  size_t calls = 0;
  for (char c : handler.Log()) calls += c == '\n' ? 1 : 0;
  return calls;
}

}  // namespace

int PlayPageOperations(pdf::Document& document, const char* page, unsigned maxPages,
                       bool quiet) {
  ObjectHandle root = runtime::Dictionary::Get(document.GetTrailer(), "Root").Resolved();
  if (root.Tag() != ObjectTag::kDictionary) runtime::ThrowRuntime(runtime::kMalformed);
  std::vector<uint32_t> visited;
  std::vector<PageEntry> pages;
  CollectPages(runtime::Dictionary::Get(root, "Pages").Resolved(), ObjectHandle(), 0, visited,
               pages);
  size_t first = 0;
  size_t end = pages.size();
  if (std::strcmp(page, "all") != 0) {
    char* stop = nullptr;
    const unsigned long number = std::strtoul(page, &stop, 10);
    if (stop == page || *stop != '\0' || number == 0 || number > pages.size()) {
      std::fprintf(stderr, "probe: no page %s (the document has %zu)\n", page, pages.size());
      return 1;
    }
    first = number - 1;
    end = number;
  } else if (maxPages != 0 && end > maxPages) {
    end = maxPages;
  }
  for (size_t i = first; i < end; ++i) {
    std::string error;
    const size_t calls = PlayPage(document, pages[i], quiet, error);
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
