#pragma once
// The viewer's menus: the tree behind the two soft keys (Tools and Menu)
// and the soft-key pairs of the dialogs, the bookmark tree and busy work,
// with texts from the UI string table. The records live here, inside the
// viewer; the host reads them when it builds its menu bar and popups.
#include <cstdint>

#include "runtime/MenuItemDesc.h"
#include "viewer/PageViewCommands.h"

namespace viewer {

// Command ids.
enum Command : uint32_t {
  kCmdBusyLabel = 101,
  kCmdExit = 102,
  kCmdTools = 103,
  kCmdZoom = 104,
  kCmdZoomIn = 105,
  kCmdZoomOut = 106,
  kCmdQuickZoom = 107,
  kCmdZoomTo = 108,
  kCmdFitScreen = 109,
  kCmdFitWidth = 110,
  kCmdFind = 111,
  kCmdFindText = 112,
  kCmdFindNext = 113,
  kCmdView = 114,
  kCmdRotateRight = 115,
  kCmdRotateLeft = 116,
  kCmdSinglePage = 117,
  kCmdContinuous = 118,
  kCmdReflow = 119,
  kCmdFullScreen = 120,
  kCmdGoTo = 121,
  kCmdPageNumber = 122,
  kCmdNextPage = 123,
  kCmdPreviousPage = 124,
  kCmdFirstPage = 125,
  kCmdLastPage = 126,
  kCmdMenu = 127,
  kCmdOpen = 128,
  kCmdUnused129 = 129,
  kCmdBookmarks = 130,
  kCmdSelect = 131,
  kCmdBookmarkCancel = 132,
  kCmdDetails = 133,
  kCmdAbout = 134,
  kCmdOk = 135,
  kCmdCancel = 136,
};
inline constexpr uint32_t kFirstCommand = kCmdExit;
inline constexpr uint32_t kLastCommand = kCmdCancel;

// The option word's bits.
inline constexpr uint32_t kOptionQuickZoom = 1;
inline constexpr uint32_t kOptionToolbar = 2;
inline constexpr uint32_t kOptionPocketPc = 4;
inline constexpr uint32_t kOptionReflow = 8;
inline constexpr uint32_t kOptionFullScreen = 16;
inline constexpr uint32_t kOptionNoSinglePage = 32;

// What the popups' states are worked out from.
struct MenuStateInput {
  // Null when no page view exists.
  const PageViewState* pageView = nullptr;
  bool hasSearchString = false;
  bool fullScreen = false;
  bool hasOutline = false;
};

class MenuTree {
 public:
  // Records for the largest tree and the five soft-key pairs.
  static constexpr uint32_t kCapacity = 48;

  MenuTree() = default;
  MenuTree(const MenuTree&) = delete;
  MenuTree& operator=(const MenuTree&) = delete;

  // Builds the tree and the pairs from scratch in `language`'s texts.
  // `pageCount` is the open document's (0 without one): a one-page
  // document gets no Go To popup.
  void Build(uint32_t language, uint32_t options, int32_t pageCount, const char16_t* busyLabel);

  // Refreshes the states of popup `id` (104, 111, 114, 121 or 127) and
  // returns its first item; 103 returns the Tools list as it is; any other
  // id refreshes all five and returns the Tools list.
  runtime::MenuItemDesc* ForPopup(uint32_t id, const MenuStateInput& input);

  // The Tools soft key, followed by the Menu soft key.
  runtime::MenuItemDesc* Root() { return root_; }
  runtime::MenuItemDesc* OkCancelPair() { return okCancel_; }
  // The Find dialog's keys: "Find" (the find command's id) and Cancel.
  runtime::MenuItemDesc* FindCancelPair() { return findCancel_; }
  runtime::MenuItemDesc* BookmarkPair() { return bookmarkPair_; }
  runtime::MenuItemDesc* BusyPair() { return busyPair_; }
  runtime::MenuItemDesc* OkOnly() { return okOnly_; }
  // The item with `id` in the tree, or null.
  runtime::MenuItemDesc* Find(uint32_t id);

 private:
  runtime::MenuItemDesc* Add(runtime::MenuItemDesc** link, uint32_t id, uint32_t column,
                             char16_t shortcut = 0);
  runtime::MenuItemDesc* AddSeparator(runtime::MenuItemDesc** link);
  void RefreshZoom(const MenuStateInput& input);
  void RefreshFind(const MenuStateInput& input);
  void RefreshView(const MenuStateInput& input);
  void RefreshGoTo(const MenuStateInput& input);
  void RefreshMenu(const MenuStateInput& input);
  void Set(uint32_t id, bool grayed, bool checked);

  runtime::MenuItemDesc items_[kCapacity];
  uint32_t used_ = 0;
  uint32_t language_ = 0;
  runtime::MenuItemDesc* root_ = nullptr;
  runtime::MenuItemDesc* okCancel_ = nullptr;
  runtime::MenuItemDesc* findCancel_ = nullptr;
  runtime::MenuItemDesc* bookmarkPair_ = nullptr;
  runtime::MenuItemDesc* busyPair_ = nullptr;
  runtime::MenuItemDesc* okOnly_ = nullptr;
};

}  // namespace viewer
