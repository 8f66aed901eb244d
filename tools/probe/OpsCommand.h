#pragma once
// The probe's "ops" command: a page's content played into a logging
// handler.
#include <cstdint>
#include <string>

#include "runtime/ObjectHandle.h"

namespace content {
class ContentHandler;
}
namespace pdf {
class Document;
}

namespace probe {

struct PageEntry {
  runtime::ObjectHandle page;
  runtime::ObjectHandle resources;  // the page's own or inherited from the tree
};

// Page `index` (from 0) and its resources.
PageEntry LoadPage(pdf::Document& document, int32_t index);
// Plays the page's content into `handler`; an error other than a
// cancellation ends the play and is described in `error`.
void PlayPageInto(pdf::Document& document, const PageEntry& entry, content::ContentHandler& handler,
                  std::string& error);

// `page` is a 1-based page number, or "all" for every page up to
// `maxPages` (0: no limit). With `quiet` each page prints one summary line
// instead of its calls.
int PlayPageOperations(pdf::Document& document, const char* page, unsigned maxPages, bool quiet);

}  // namespace probe
