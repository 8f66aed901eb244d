// The viewer's bookmark tree: filled from the document's outline, emptied
// when another document comes, and followed when the user picks an entry.
#include <utility>

#include "runtime/ErrorTrap.h"
#include "runtime/HostControls.h"
#include "runtime/HostTreeItems.h"
#include "runtime/Scheduler.h"
#include "runtime/TransientBlocks.h"
#include "viewer/BookmarkTree.h"
#include "viewer/DocumentInteraction.h"
#include "viewer/OpenDocument.h"
#include "viewer/OutlineJob.h"
#include "viewer/PageView.h"
#include "viewer/Viewer.h"

namespace viewer {
namespace {

// The rows of the host's tree, when its tree control offers them.
runtime::TreeItems* TreeRowsOf(runtime::HostTreeView* tree) {
  return tree != nullptr ? dynamic_cast<runtime::TreeItems*>(tree) : nullptr;
}

}  // namespace

void Viewer::ReleaseBookmarks() {
  // The job first: it is still adding entries and rows.
  outlineJob.Destroy();
  if (bookmarkTree != nullptr) {
    // Selection changes the clearing causes are not the user's.
    fillingBookmarks = true;
    runtime::CatchAllExceptCancel(context, [&] {
      runtime::RunOnMainStack(context, [&] { bookmarkTree->Clear(); });
    });
    fillingBookmarks = false;
  }
  if (BookmarkTree* old = std::exchange(bookmarks, nullptr)) runtime::DestroyAndFree(context, old);
}

void Viewer::FillBookmarks() {
  outlineJob.Destroy();
  if (currentDocument == nullptr || currentDocument->Document() == nullptr) return;
  if (BookmarkTree* old = std::exchange(bookmarks, nullptr)) runtime::DestroyAndFree(context, old);
  bookmarks = runtime::NewObject<BookmarkTree>(context, context, *currentDocument->Document(),
                                               TreeRowsOf(bookmarkTree));
  auto* job = runtime::NewObject<OutlineJob>(context, context, bookmarks);
  outlineJob.Reset(job);
  // The first items show at once; the work timer reads the rest.
  if (context->scheduler != nullptr) context->scheduler->StartThread(job);
}

void Viewer::OpenSelectedBookmark(bool fromCommand) {
  runtime::TreeItems* rows = TreeRowsOf(bookmarkTree);
  if (rows == nullptr || bookmarks == nullptr) return;
  runtime::TreeItem* selected = nullptr;
  runtime::RunOnMainStack(context, [&] { selected = rows->GetSelected(); });
  // Only the viewer's own entries are rows of this tree.
  if (selected == nullptr) return;
  GoToBookmark(static_cast<BookmarkEntry*>(selected), fromCommand);
}

void Viewer::GoToBookmark(BookmarkEntry* entry, bool fromCommand) {
  if (entry == nullptr || bookmarks == nullptr || currentDocument == nullptr) return;
  runtime::ObjectHandle item;
  runtime::CatchAllExceptCancel(context, [&] { item = bookmarks->TargetItemOf(entry); });
  if (item.IsNull()) return;
  if (ownedPageView != nullptr && pageView == ownedPageView && documentInteraction != nullptr) {
    RunPageViewRequest([&] {
      BeginBusy(kBusyLongOperation);
      // A target that cannot be followed leaves the view where it is.
      runtime::CatchAllExceptCancel(context, [&] { documentInteraction->actions.FollowOutlineItem(item); });
      EndBusy(kBusyLongOperation);
    });
  }
  // Without the button bar the tree stands in the page view's place: the
  // page view comes back to show where the bookmark led.
  if (fromCommand && !optionPocketPc) ToggleBookmarks();
}

}  // namespace viewer
