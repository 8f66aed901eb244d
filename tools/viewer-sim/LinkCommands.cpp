#include "tools/viewer-sim/LinkCommands.h"

#include "runtime/ErrorTrap.h"
#include "viewer/DocumentInteraction.h"
#include "viewer/PageView.h"
#include "viewer/ViewerApp.h"

namespace viewersim {

void NextLinkKey(ScriptState& s) {
  s.app->OnKeyNextLink(s.app->viewer.pageViewWindow);
  PrintFocus(s);
}

void ActionKey(ScriptState& s) { s.app->OnKeyAction(s.app->viewer.pageViewWindow); }

bool ShowLinksArgumentsValid(const std::vector<std::string>& args) {
  return args.size() == 1 && (args[0] == "on" || args[0] == "off");
}

void ShowLinks(ScriptState& s, const std::vector<std::string>& args) {
  viewer::DocumentInteraction* interaction = s.app->viewer.documentInteraction;
  if (interaction != nullptr) interaction->linkHighlights.SetShowLinks(args[0] == "on");
}

void PrintFocus(ScriptState& s) {
  viewer::Viewer& v = s.app->viewer;
  if (v.documentInteraction == nullptr || v.ownedPageView == nullptr ||
      !v.documentInteraction->pen.FocusedLink().Exists()) {
    s.output.push_back("focus none");
    return;
  }
  const viewer::PageLink link = v.documentInteraction->pen.FocusedLink();
  std::string line = "focus page " + std::to_string(link.page) + " index " + std::to_string(link.index);
  runtime::Rect bounds;
  bool mapped = false;
  runtime::CatchAllExceptCancel(&s.app->context, [&] {
    mapped = viewer::PageLink::BoundsInView(*v.ownedPageView, link, bounds);
  });
  if (mapped) {
    const runtime::IntRect pixels = runtime::Rect::ToPixelBounds(bounds);
    line += " " + std::to_string(pixels.x0) + " " + std::to_string(pixels.y0) + " " + std::to_string(pixels.x1) +
            " " + std::to_string(pixels.y1);
  }
  s.output.push_back(line);
}

}  // namespace viewersim
