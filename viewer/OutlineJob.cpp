#include "viewer/OutlineJob.h"

#include "runtime/ErrorTrap.h"

namespace viewer {

OutlineJob::OutlineJob(runtime::LibraryContext* context, BookmarkTree* tree)
    : CoThread(context, runtime::kJobArenaBlockBytes, runtime::kJobArenaThreshold,
               runtime::kJobStackBytes),
      tree_(tree) {}

void OutlineJob::Run(runtime::LibraryContext* context) {
  runtime::CatchAllExceptCancel(context, [&] { tree_->Fill(); });
}

}  // namespace viewer
