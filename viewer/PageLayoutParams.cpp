#include "viewer/PageLayoutParams.h"

namespace viewer {

void PageLayoutParams::DeriveGridRange() {
  const int32_t count = pageCount < 0 ? 0 : pageCount;
  pageCount = count;
  const int32_t page = requestedPage;
  switch (layoutMode) {
    case kLayoutTwoUp:
      // Floor to even, also for a negative request.
      firstPage = page - (page & 1);
      columns = count == 1 ? 1 : 2;
      rows = 1;
      break;
    case kLayoutTwoUpCover: {
      // Page 0 stands alone on the right of an empty cell; a one-page
      // document shows it alone, a two-page one shows both together.
      if (count == 1) {
        firstPage = 0;
        columns = 1;
      } else if (count == 2) {
        firstPage = 0;
        columns = 2;
      } else {
        const int64_t next = static_cast<int64_t>(page) + 1;
        firstPage = static_cast<int32_t>(next - (next & 1) - 1);
        columns = 2;
      }
      rows = 1;
      break;
    }
    case kLayoutContinuous:
    case kLayoutReflow:
    case kLayoutReflowContinuousAlt:
      firstPage = 0;
      columns = 1;
      rows = count < 1 ? 1 : count;
      break;
    default:
      firstPage = page;
      columns = 1;
      rows = 1;
      break;
  }
}

}  // namespace viewer
