#include "viewer/MenuTree.h"

#include "resources/UIStringTable.h"
#include "runtime/ErrorTrap.h"

namespace viewer {

using runtime::MenuItemDesc;

namespace {

// Columns of the UI string table the menus show.
enum MenuText : uint32_t {
  kTextOpen = 0,
  kTextBookmarks = 3,
  kTextExit = 6,
  kTextZoom = 7,
  kTextIn = 8,
  kTextOut = 9,
  kTextZoomTo = 10,
  kTextFitScreen = 11,
  kTextFitWidth = 12,
  kTextFindText = 13,
  kTextFindNext = 14,
  kTextView = 15,
  kTextFullScreen = 16,
  kTextRotateRight = 17,
  kTextRotateLeft = 18,
  kTextSinglePage = 19,
  kTextContinuous = 20,
  kTextGoTo = 21,
  kTextPageNumber = 22,
  kTextNextPage = 23,
  kTextPreviousPage = 24,
  kTextFirstPage = 25,
  kTextLastPage = 26,
  kTextDetails = 27,
  kTextFind = 28,
  kTextAbout = 32,
  kTextOk = 52,
  kTextMenu = 53,
  kTextSelect = 55,
  kTextCancel = 56,
  kTextTools = 61,
  kTextReflow = 82,
  kTextQuickZoom = 83,
};

}  // namespace

bool CanGoNext(const PageViewState& state) {
  const int64_t last = static_cast<int64_t>(state.pageCount) - 1;
  switch (state.layoutMode) {
    case 0:
    case 4:
    case 6:
      return state.firstViewPage < last;
    case 1:
    case 2:
      return state.firstViewPage < last - 1 ||
             (state.firstViewPage == last - 1 && state.currentPage != last &&
              !state.lastPageWhollyInView);
    default:
      return state.currentPage < last;
  }
}

bool CanGoPrevious(const PageViewState& state) {
  switch (state.layoutMode) {
    case 0:
    case 4:
    case 6:
      return state.firstViewPage >= 1;
    case 1:
    case 2:
      return state.firstViewPage > 0 ||
             (state.firstViewPage == 0 && state.currentPage != 0 && !state.firstPageWhollyInView);
    default:
      return state.currentPage >= 1;
  }
}

MenuItemDesc* MenuTree::Add(MenuItemDesc** link, uint32_t id, uint32_t column, char16_t shortcut) {
  // The capacity holds the largest tree; running out is a programming error.
  if (used_ >= kCapacity) runtime::ThrowRuntime(runtime::kOverflow);
  MenuItemDesc* item = &items_[used_++];
  *item = MenuItemDesc{};
  item->id = id;
  item->text = resources::GetUIString(language_, column);
  item->shortcut = shortcut;
  *link = item;
  return item;
}

MenuItemDesc* MenuTree::AddSeparator(MenuItemDesc** link) {
  if (used_ >= kCapacity) runtime::ThrowRuntime(runtime::kOverflow);
  MenuItemDesc* item = &items_[used_++];
  *item = MenuItemDesc{};
  *link = item;
  return item;
}

void MenuTree::Build(uint32_t language, uint32_t options, int32_t pageCount,
                     const char16_t* busyLabel) {
  used_ = 0;
  language_ = language;
  const bool singlePage = (options & kOptionNoSinglePage) == 0;
  const bool reflow = (options & kOptionReflow) != 0;

  MenuItemDesc* tools = Add(&root_, kCmdTools, kTextTools);
  MenuItemDesc* zoom = Add(&tools->submenu, kCmdZoom, kTextZoom);
  MenuItemDesc* find = Add(&zoom->next, kCmdFind, kTextFind);
  MenuItemDesc* view = Add(&find->next, kCmdView, kTextView);
  MenuItemDesc* goTo = pageCount != 1 ? Add(&view->next, kCmdGoTo, kTextGoTo) : nullptr;
  MenuItemDesc* menu = Add(&tools->next, kCmdMenu, kTextMenu);

  MenuItemDesc* item = Add(&zoom->submenu, kCmdZoomIn, kTextIn, u'1');
  item = Add(&item->next, kCmdZoomOut, kTextOut, u'3');
  if ((options & kOptionQuickZoom) != 0) item = Add(&item->next, kCmdQuickZoom, kTextQuickZoom);
  item = Add(&item->next, kCmdZoomTo, kTextZoomTo);
  item = Add(&item->next, kCmdFitScreen, kTextFitScreen, u'2');
  Add(&item->next, kCmdFitWidth, kTextFitWidth);

  item = Add(&find->submenu, kCmdFindText, kTextFindText, u'7');
  Add(&item->next, kCmdFindNext, kTextFindNext, u'*');

  item = Add(&view->submenu, kCmdRotateRight, kTextRotateRight, u'9');
  item = Add(&item->next, kCmdRotateLeft, kTextRotateLeft, u'8');
  if (singlePage || reflow) {
    item = AddSeparator(&item->next);
    if (singlePage) item = Add(&item->next, kCmdSinglePage, kTextSinglePage);
    item = Add(&item->next, kCmdContinuous, kTextContinuous);
    if (reflow) item = Add(&item->next, kCmdReflow, kTextReflow);
  }
  item = AddSeparator(&item->next);
  Add(&item->next, kCmdFullScreen, kTextFullScreen);

  if (goTo != nullptr) {
    item = Add(&goTo->submenu, kCmdPageNumber, kTextPageNumber);
    item = Add(&item->next, kCmdNextPage, kTextNextPage, u'6');
    item = Add(&item->next, kCmdPreviousPage, kTextPreviousPage, u'4');
    item = Add(&item->next, kCmdFirstPage, kTextFirstPage);
    Add(&item->next, kCmdLastPage, kTextLastPage);
  }

  item = Add(&menu->submenu, kCmdOpen, kTextOpen);
  if ((options & kOptionPocketPc) == 0) item = Add(&item->next, kCmdBookmarks, kTextBookmarks);
  item = Add(&item->next, kCmdDetails, kTextDetails);
  item = Add(&item->next, kCmdAbout, kTextAbout);
  Add(&item->next, kCmdExit, kTextExit);

  item = Add(&okCancel_, kCmdOk, kTextOk);
  Add(&item->next, kCmdCancel, kTextCancel);
  // The Find dialog ends on its own command, "Text" under Find.
  item = Add(&findCancel_, kCmdFindText, kTextFind);
  Add(&item->next, kCmdCancel, kTextCancel);
  item = Add(&bookmarkPair_, kCmdSelect, kTextSelect);
  Add(&item->next, kCmdBookmarkCancel, kTextCancel);
  item = Add(&busyPair_, kCmdBusyLabel, kTextOk);
  item->text = busyLabel != nullptr ? busyLabel : u"";
  Add(&item->next, kCmdCancel, kTextCancel);
  Add(&okOnly_, kCmdOk, kTextOk);
}

MenuItemDesc* MenuTree::Find(uint32_t id) {
  // The tree's records come first, so its items are found before the
  // pairs' (which use ids the tree does not).
  for (uint32_t i = 0; i < used_; ++i) {
    if (items_[i].id == id) return &items_[i];
  }
  return nullptr;
}

void MenuTree::Set(uint32_t id, bool grayed, bool checked) {
  MenuItemDesc* found = Find(id);
  if (found == nullptr) return;  // not in this tree (an optional item)
  found->grayed = grayed ? 1 : 0;
  found->checked = checked ? 1 : 0;
}

void MenuTree::RefreshZoom(const MenuStateInput& input) {
  const PageViewState* view = input.pageView;
  const bool noPage = view == nullptr || !view->hasCurrentPage;
  Set(kCmdZoomIn, noPage, false);
  Set(kCmdZoomOut, noPage, false);
  Set(kCmdQuickZoom, noPage, view != nullptr && view->penTool == kPenZoomRectangle);
  Set(kCmdZoomTo, noPage, false);
  Set(kCmdFitScreen, noPage, view != nullptr && view->fitMode == kZoomFitPage);
  Set(kCmdFitWidth, noPage, view != nullptr && view->fitMode == kZoomFitWidth);
}

void MenuTree::RefreshFind(const MenuStateInput& input) {
  Set(kCmdFindText, input.pageView == nullptr, false);
  Set(kCmdFindNext, input.pageView == nullptr || !input.hasSearchString, false);
}

void MenuTree::RefreshView(const MenuStateInput& input) {
  const PageViewState* view = input.pageView;
  const bool noPage = view == nullptr || !view->hasCurrentPage;
  const int32_t mode = view != nullptr ? view->layoutMode : -1;
  const bool continuousGrayed = noPage || !view->hasDocument || view->pageCount < 2;
  Set(kCmdRotateRight, noPage, false);
  Set(kCmdRotateLeft, noPage, false);
  Set(kCmdSinglePage, noPage, mode == kLayoutSinglePage);
  Set(kCmdContinuous, continuousGrayed, !continuousGrayed && mode == kLayoutContinuous);
  Set(kCmdReflow, noPage, mode == kLayoutReflow);
  Set(kCmdFullScreen, noPage, input.fullScreen);
}

void MenuTree::RefreshGoTo(const MenuStateInput& input) {
  const PageViewState* view = input.pageView;
  const bool next = view != nullptr && CanGoNext(*view);
  const bool previous = view != nullptr && CanGoPrevious(*view);
  const bool notFirst = view != nullptr && view->currentPage > 0;
  const bool notLast =
      view != nullptr && static_cast<int64_t>(view->currentPage) < int64_t{view->pageCount} - 1;
  Set(kCmdPageNumber, !(next || previous), false);
  Set(kCmdNextPage, !next, false);
  Set(kCmdPreviousPage, !previous, false);
  Set(kCmdFirstPage, !notFirst, false);
  Set(kCmdLastPage, !notLast, false);
}

void MenuTree::RefreshMenu(const MenuStateInput& input) {
  Set(kCmdBookmarks, input.pageView == nullptr || !input.hasOutline, false);
  Set(kCmdDetails, input.pageView == nullptr, false);
}

MenuItemDesc* MenuTree::ForPopup(uint32_t id, const MenuStateInput& input) {
  if (root_ == nullptr) return nullptr;
  MenuItemDesc* toolsList = root_->submenu;
  auto first = [&](uint32_t popup) {
    MenuItemDesc* item = Find(popup);
    return item != nullptr ? item->submenu : nullptr;
  };
  switch (id) {
    case kCmdTools:
      return toolsList;
    case kCmdZoom:
      RefreshZoom(input);
      return first(id);
    case kCmdFind:
      RefreshFind(input);
      return first(id);
    case kCmdView:
      RefreshView(input);
      return first(id);
    case kCmdGoTo:
      RefreshGoTo(input);
      return first(id);
    case kCmdMenu:
      RefreshMenu(input);
      return root_->next->submenu;
    default:
      RefreshZoom(input);
      RefreshFind(input);
      RefreshView(input);
      RefreshGoTo(input);
      RefreshMenu(input);
      return toolsList;
  }
}

}  // namespace viewer
