// The viewer's bookmark tree: filled from the document's outline, emptied
// when another document comes, and followed when the user picks an entry.
#include "runtime/HostControls.h"
#include "runtime/Scheduler.h"
#include "viewer/Viewer.h"

namespace viewer {

void Viewer::ReleaseBookmarks() {
  if (bookmarkTree != nullptr) {
    // Selection changes the clearing causes are not the user's.
    fillingBookmarks = true;
    runtime::CatchAllExceptCancel(context, [&] {
      runtime::RunOnMainStack(context, [&] { bookmarkTree->Clear(); });
    });
    fillingBookmarks = false;
  }
}

void Viewer::ReplaceBookmarks() { ReleaseBookmarks(); }

}  // namespace viewer
