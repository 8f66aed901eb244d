#include "platform/Resources.h"

#include <vector>

#include "platform/Screen.h"
#include "platform/WideText.h"
#include "platform/WindowSystem.h"

namespace platform {
namespace {

struct Cursor {
  uintptr_t id;
};

// The two cursors the device offers; the screen shows a wait mark for the
// wait cursor and nothing for the arrow (a pen has no pointer).
Cursor g_arrow{32512};
Cursor g_wait{32514};
HCURSOR g_current = reinterpret_cast<HCURSOR>(&g_arrow);
int g_module;

std::vector<std::span<const ResourceEntry>>& Tables() {
  static auto* tables = new std::vector<std::span<const ResourceEntry>>();
  return *tables;
}

const ResourceEntry* Find(uintptr_t type, uintptr_t id) {
  auto& tables = Tables();
  for (auto table = tables.rbegin(); table != tables.rend(); ++table) {
    for (const auto& entry : *table) {
      if (entry.type == type && entry.id == id) return &entry;
    }
  }
  return nullptr;
}

}  // namespace

void RegisterResources(std::span<const ResourceEntry> entries) { Tables().push_back(entries); }

void ClearResources() { Tables().clear(); }

HINSTANCE GetModuleHandleW(LPCWSTR) { return reinterpret_cast<HINSTANCE>(&g_module); }

HRSRC FindResourceW(HINSTANCE, LPCWSTR name, LPCWSTR type) {
  // Resources are named by number only.
  if (!IS_INTRESOURCE(name) || !IS_INTRESOURCE(type)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  const ResourceEntry* entry = Find(reinterpret_cast<uintptr_t>(type), reinterpret_cast<uintptr_t>(name));
  if (entry == nullptr) SetLastError(ERROR_FILE_NOT_FOUND);
  return reinterpret_cast<HRSRC>(const_cast<ResourceEntry*>(entry));
}

HGLOBAL LoadResource(HINSTANCE, HRSRC resource) {
  if (resource == nullptr) return nullptr;
  return const_cast<void*>(reinterpret_cast<const ResourceEntry*>(resource)->data);
}

void* LockResource(HGLOBAL data) { return data; }

DWORD SizeofResource(HINSTANCE, HRSRC resource) {
  return resource == nullptr ? 0 : reinterpret_cast<const ResourceEntry*>(resource)->size;
}

int LoadStringW(HINSTANCE, UINT id, LPWSTR buffer, int capacity) {
  if (buffer == nullptr || capacity < 0) return 0;
  const ResourceEntry* entry = Find(6, id);
  if (entry == nullptr || entry->size == 0) {
    if (capacity > 0) buffer[0] = 0;
    return 0;
  }
  const std::u16string_view text(static_cast<const char16_t*>(entry->data), entry->size / 2);
  if (capacity == 0) {
    *reinterpret_cast<const char16_t**>(buffer) = text.data();
    return static_cast<int>(text.size());
  }
  return static_cast<int>(WideCopy(buffer, static_cast<size_t>(capacity), text));
}

HCURSOR LoadCursorW(HINSTANCE, LPCWSTR name) {
  if (name == IDC_ARROW) return reinterpret_cast<HCURSOR>(&g_arrow);
  if (name == IDC_WAIT) return reinterpret_cast<HCURSOR>(&g_wait);
  SetLastError(ERROR_FILE_NOT_FOUND);
  return nullptr;
}

HCURSOR SetCursor(HCURSOR cursor) {
  const HCURSOR previous = g_current;
  g_current = cursor;
  if (IsWaitCursor(cursor) && !IsWaitCursor(previous)) DrawWaitMark();
  // Taking the mark away repaints what it covered.
  if (!IsWaitCursor(cursor) && IsWaitCursor(previous)) InvalidateScreenRect(WaitMarkRect());
  return previous;
}

HCURSOR GetCursor() { return g_current; }

bool IsWaitCursor(HCURSOR cursor) { return cursor == reinterpret_cast<HCURSOR>(&g_wait); }

}  // namespace platform
