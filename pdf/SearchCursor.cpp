#include "pdf/SearchCursor.h"

#include "pdf/Document.h"

namespace pdf {

SearchCursor::SearchCursor(Document& document) : lastPage(document.GetPageCount() - 1) {}

}  // namespace pdf
