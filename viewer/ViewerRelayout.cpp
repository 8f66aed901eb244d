// The main container's geometry: the bookmark tree above the button bar
// that divides it from the page view (Pocket PC), or in the page view's
// place (Smartphone), the page-view window, and the bottom toolbar with
// its fit-width and find buttons, the page-number box and the two zoom
// buttons.
#include <algorithm>

#include "runtime/HostControls.h"
#include "runtime/HostWindow.h"
#include "viewer/Viewer.h"

namespace viewer {

namespace {

// Screens from this resolution on get the double-size controls (halfway
// between the nominal 108 and 216 dots per inch).
constexpr int32_t kDoubleClassDpi = 162;

bool SameRect(const runtime::HostRect& a, const runtime::HostRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// Places a control unless it is there already; false when it was.
bool Place(runtime::HostWindow* control, const runtime::HostRect& rect) {
  if (control == nullptr) return false;
  runtime::HostRect now{};
  control->GetRect(&now);
  if (SameRect(now, rect)) return false;
  control->SetRect(rect);
  return true;
}

}  // namespace

void Viewer::SetDisplayClass(int32_t dpi) {
  const bool large = dpi >= kDoubleClassDpi;
  toolbarHeight = large ? 76 : 38;
  barThickness = large ? 45 : 23;
  barOffset = barThickness * 7 / 6;
  buttonSize = large ? 64 : 32;
  bookmarksButtonWidth = large ? 42 : 21;
}

void Viewer::ShowControl(runtime::HostWindow* control, bool on, int8_t& state) {
  if (control == nullptr || state == static_cast<int8_t>(on)) return;
  state = static_cast<int8_t>(on);
  control->Show(on);
}

void Viewer::RelayoutToContainer() {
  if (mainContainer == nullptr) return;
  runtime::HostRect client{};
  mainContainer->GetRect(&client);
  Relayout(client.right - client.left, client.bottom - client.top);
}

void Viewer::Relayout(int32_t w, int32_t h) {
  w = std::max(w, 0);
  h = std::max(h, 0);
  const bool hasToolbar = toolbar != nullptr;
  const bool hasBar = optionPocketPc;
  // 1. The divider's limits and position.
  if (hasBar) {
    splitMinimum = 3 * barThickness;
    splitMaximum = h - 4 * barThickness - (hasToolbar ? toolbarHeight : 0);
    if (splitMaximum < splitMinimum) splitMaximum = splitMinimum;
    if (splitPosition < 0) splitPosition = (splitMinimum + splitMaximum) / 2;
    splitPosition = std::clamp(splitPosition, splitMinimum, splitMaximum);
  }
  // 2. The tree's and the page's areas.
  runtime::HostRect tree{0, 0, w, h};
  runtime::HostRect page{0, 0, w, h};
  if (hasToolbar && (!fullScreen || keepToolbarInFullScreen)) page.bottom = h - toolbarHeight;
  // 3. What shows.
  bool treeShown = false;
  bool pageShown = true;
  bool toolbarShown = true;
  if (hasOutline && bookmarksShown) {
    if (hasBar) {
      treeShown = !fullScreen;
      if (!fullScreen) {
        tree.bottom = splitPosition;
        page.top = splitPosition + barThickness;
      } else {
        tree = {0, 0, w, 0};
      }
    } else {
      treeShown = true;
      pageShown = false;
      toolbarShown = false;
    }
  } else {
    tree = {0, 0, w, 0};
    if (hasOutline && !fullScreen && hasBar) page.top += barOffset;
    if (!hasOutline && !hasBar) tree = {0, 0, w, h};
  }
  ShowControl(bookmarkTree, treeShown, treeVisible_);
  if (!hasBar) {
    ShowControl(pageViewWindow, pageShown, pageViewVisible_);
    ShowControl(toolbar, toolbarShown, toolbarVisible_);
  }
  // 4. The tree.
  Place(bookmarkTree, tree);
  // 5. The button bar and its bookmarks button, centred.
  if (buttonBar != nullptr && Place(buttonBar, {0, tree.bottom, w, std::max(page.top, tree.bottom)})) {
    bookmarkSlots = std::max(1, (barThickness >= 45 ? 45 : 23) / std::max(barThickness, 1));
    const int32_t width = bookmarksButtonWidth * bookmarkSlots;
    const int32_t left = (w - width) / 2;
    Place(bookmarksButton, {left, 0, left + width, std::max(page.top, tree.bottom) - tree.bottom});
  }
  // 6. The toolbar and its controls.
  if (hasToolbar) {
    const runtime::HostRect bar = (!fullScreen || keepToolbarInFullScreen)
                                      ? runtime::HostRect{0, h - toolbarHeight, w, h}
                                      : runtime::HostRect{0, h, w, h};
    if (Place(toolbar, bar)) {
      const int32_t b = buttonSize, H = toolbarHeight, W = bar.right - bar.left;
      const int32_t m = 2 * (H - b) / 3, g = 2 * (H - b) / 5;
      Place(fitWidthButton, {m, m, m + b, m + b});
      Place(findButton, {m + b + g, m, m + 2 * b + g, m + b});
      // A toolbar too narrow for the buttons leaves the box no width rather
      // than a negative one.
      const int32_t boxWidth = std::max(0, std::min(3 * b, W - 4 * (g + b) - g));
      const int32_t boxLeft = W / 2 - boxWidth / 2;
      Place(pageNumberEdit, {boxLeft, m, boxLeft + boxWidth, m + b});
      Place(zoomInButton, {W - m - b, m, W - m, m + b});
      Place(zoomOutButton, {W - m - 2 * b - g, m, W - m - b - g, m + b});
    }
  }
  // 7. The page view gets the page area.
  if (pageViewShown && pageViewWindow != nullptr) {
    Place(pageViewWindow, page);
    if (pageView != nullptr) {
      const int32_t width = std::max(0, page.right - page.left), height = std::max(0, page.bottom - page.top);
      RunPageViewRequest([&] { pageView->ResizeView(width, height); }, false);
    }
  }
}

}  // namespace viewer
