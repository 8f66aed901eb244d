#pragma once
// The probe's "find" command: the viewer's search over a document, from
// its start, one line "match PAGE OP.STRING.GLYPH" per match (PAGE
// 1-based), then "matches: N".
namespace pdf {
class Document;
}

namespace probe {

// `word` is UTF-8; `maxPages` 0 searches every page. Status 1 when the
// search failed on a page (after the matches before it).
int FindText(pdf::Document& document, const char* word, unsigned maxPages);

}  // namespace probe
