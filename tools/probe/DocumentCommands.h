#pragma once
// Probe commands over document-level data: the outline, the information
// fields and named destinations.
#include "pdf/Document.h"

namespace probe {

// One line per outline item, depth first:
//   FLAG <tab> DEPTH <tab> PAGE <tab> TITLE
// FLAG is '+' for an open branch, '-' for a closed one and '|' for a leaf;
// PAGE is the zero-based page index of the item's destination, or '-'.
int PrintOutline(pdf::Document& document);
// "Title: ...", "Subject: ...", "Author: ...", "Keywords: ...",
// "ModDate: ..." (the date made readable).
int PrintMeta(pdf::Document& document);
// "page N fit F" for the named destination, or "not found" (status 1).
int PrintDestination(pdf::Document& document, const char* name);

}  // namespace probe
