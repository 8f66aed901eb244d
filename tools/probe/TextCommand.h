#pragma once
// The probe's "text" command: a page's text in reading order, one line per
// line, blocks separated by a blank line, UTF-8.
#include <cstdint>
#include <string>

namespace pdf {
class Document;
}

namespace probe {

// Appends code point `c` as UTF-16 (code points that are no characters
// become U+FFFD).
void AppendUtf16(std::u16string& out, uint32_t c);
// `page` is a 1-based page number or "all" (the first `maxPages` pages
// when that is not 0); with "all" a form feed line ends each page.
// `contentOrder`: blocks as the content shows them, not in reading order.
int PrintText(pdf::Document& document, const char* page, unsigned maxPages = 0, bool contentOrder = false);

}  // namespace probe
