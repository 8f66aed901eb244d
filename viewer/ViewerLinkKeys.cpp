// Links reached with keys: one key moves the focus from link to link on
// screen, another follows the focused one, as a tap would.
#include "viewer/DocumentInteraction.h"
#include "viewer/Viewer.h"

namespace viewer {

void Viewer::OnLinkKey(const runtime::HostWindow* source, bool follow) {
  if (!AcceptsNavigationKey(source) || documentInteraction == nullptr) return;
  PagePen& pen = documentInteraction->pen;
  RunPageViewRequest([&] {
    if (follow) {
      pen.FollowFocusedLink();
    } else {
      pen.FocusNextLink();
    }
  });
}

}  // namespace viewer
