#pragma once
// One item of the viewer's menus as the host shows them: the soft keys, their
// popups and the items inside. An item with id 0 and no text is a separator.
#include <cstdint>

namespace runtime {

struct MenuItemDesc {
  uint32_t id = 0;
  const char16_t* text = nullptr;
  // First item of the child list, or null.
  MenuItemDesc* submenu = nullptr;
  // The following sibling, or null.
  MenuItemDesc* next = nullptr;
  // Keypad character shown beside the item; 0 for none.
  char16_t shortcut = 0;
  uint8_t grayed = 0;
  uint8_t checked = 0;

  bool IsSeparator() const { return id == 0 && text == nullptr; }
};

}  // namespace runtime
