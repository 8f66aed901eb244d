#pragma once
// Where a text search over a document starts: the last page it may reach
// and its positions, none found yet. The viewer's find operation makes one
// per search and moves it along.
#include <cstdint>

namespace pdf {

class Document;

struct SearchCursor {
  // The page count less one: the linearisation dictionary's "N" when the
  // file has one, else the page tree's "Count" (see PageTree::CountPages).
  int32_t lastPage = -1;
  // The search's positions (page indexes), -1 while it has none.
  int32_t positions[3] = {-1, -1, -1};
  uint8_t flags[3] = {0, 1, 0};

  explicit SearchCursor(Document& document);
};

}  // namespace pdf
