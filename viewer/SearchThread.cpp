#include "viewer/SearchThread.h"

#include "viewer/ViewerSearch.h"

namespace viewer {

SearchThread::SearchThread(runtime::LibraryContext* context, ViewerSearch& search)
    : CoThread(context, runtime::kJobArenaBlockBytes, runtime::kJobArenaThreshold, runtime::kJobStackBytes),
      search_(search),
      resume_(context) {}

SearchThread::~SearchThread() {
  // The stack unwinds first: until then the search may still be used.
  Release();
  search_.ThreadGone(this);
}

void SearchThread::Run(runtime::LibraryContext*) { search_.RunJob(this); }

void SearchThread::WaitForResume() {
  atMatch_ = true;
  struct Clear {
    bool& flag;
    ~Clear() { flag = false; }
  } clear{atMatch_};
  resume_.Wait();
}

}  // namespace viewer
