#pragma once
// The probe's "ops" command: a page's content played into a logging
// handler.
namespace pdf {
class Document;
}

namespace probe {

// `page` is a 1-based page number, or "all" for every page up to
// `maxPages` (0: no limit). With `quiet` each page prints one summary line
// instead of its calls.
int PlayPageOperations(pdf::Document& document, const char* page, unsigned maxPages, bool quiet);

}  // namespace probe
