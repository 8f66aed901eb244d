#pragma once
// The cooperative thread a search runs on: it walks the document to the
// next match, shows it, and waits there until Find Next resumes it, so
// that the pages are read in slices between the user's input and Cancel
// can end the search however long it runs. The viewer holds the thread as
// its long operation; destroying the thread kills it.
#include "runtime/CoThread.h"
#include "runtime/Event.h"

namespace viewer {

class ViewerSearch;

class SearchThread final : public runtime::CoThread {
 public:
  SearchThread(runtime::LibraryContext* context, ViewerSearch& search);
  // Tells the search its thread is gone, after the thread has unwound.
  ~SearchThread() override;

  // Runs the search's job to its end, stopping at each match.
  void Run(runtime::LibraryContext* context) override;

  // Find Next while the thread waits at a match: on to the next one.
  void Resume() {
    atMatch_ = false;
    resume_.Set();
  }
  // The thread shows a match and waits to be resumed.
  bool AtMatch() const { return atMatch_; }
  // Called by the search between two matches.
  void WaitForResume();

 private:
  ViewerSearch& search_;
  runtime::Event resume_;
  bool atMatch_ = false;
};

}  // namespace viewer
