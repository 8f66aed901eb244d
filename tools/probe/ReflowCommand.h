#pragma once
// The probe's "reflow" command: a page's text reflowed into a column of a
// given width, its placed lines printed and the column painted to PNG.
namespace pdf {
class Document;
}

namespace probe {

// Parses reflow FILE PAGE|all --width W [--height H] [--pages N]
// [-o OUT.png] (W and H in pixels at 96 dpi; "all" reflows the first N
// pages, or every page, each ended by a form feed line, and paints none;
// OUT "-" paints without writing). False on a usage error.
bool ParseReflowOptions(int argc, char** argv);
// Reflows the page the options name, prints the placed lines' text (one a
// line, UTF-8) and paints the column when asked; 0 when all went well.
int ReflowPage(pdf::Document& document);

}  // namespace probe
