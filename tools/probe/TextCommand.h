#pragma once
// The probe's "text" command: a page's text in reading order, one line per
// line, blocks separated by a blank line, UTF-8.
namespace pdf {
class Document;
}

namespace probe {

// `page` is a 1-based page number or "all" (the first `maxPages` pages
// when that is not 0); with "all" a form feed line ends each page.
int PrintText(pdf::Document& document, const char* page, unsigned maxPages = 0);

}  // namespace probe
