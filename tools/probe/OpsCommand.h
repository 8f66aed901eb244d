#pragma once
// The probe's "ops" command: a page's content played into a logging
// handler.
#include <cstdint>

#include "runtime/ObjectHandle.h"

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

// `page` is a 1-based page number, or "all" for every page up to
// `maxPages` (0: no limit). With `quiet` each page prints one summary line
// instead of its calls.
int PlayPageOperations(pdf::Document& document, const char* page, unsigned maxPages, bool quiet);

}  // namespace probe
