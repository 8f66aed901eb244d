#pragma once
// The job that reads the shown document's outline into the bookmark tree
// on a cooperative thread of its own, so that a long outline fills the
// tree while the user goes on reading. Destroying the job (its handle)
// kills it; the entries read so far stay with the tree.
#include "runtime/CoThread.h"
#include "viewer/BookmarkTree.h"

namespace viewer {

class OutlineJob final : public runtime::CoThread {
 public:
  OutlineJob(runtime::LibraryContext* context, BookmarkTree* tree);
  ~OutlineJob() override { Release(); }

  // Errors end the job quietly: a broken outline shows what was read.
  void Run(runtime::LibraryContext* context) override;

 private:
  BookmarkTree* tree_;
};

}  // namespace viewer
