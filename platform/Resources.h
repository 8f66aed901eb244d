#pragma once
// The program's resources, compiled into it: string tables, RCDATA, menus,
// bitmaps and dialog templates, found by type and id; and the cursors.
#include <span>

#include "platform/Types.h"

namespace platform {

using HGLOBAL = void*;

inline LPCWSTR MAKEINTRESOURCEW(uintptr_t id) { return reinterpret_cast<LPCWSTR>(id); }
inline bool IS_INTRESOURCE(LPCWSTR name) { return (reinterpret_cast<uintptr_t>(name) >> 16) == 0; }

// Resource types.
inline LPCWSTR const RT_CURSOR = MAKEINTRESOURCEW(1);
inline LPCWSTR const RT_BITMAP = MAKEINTRESOURCEW(2);
inline LPCWSTR const RT_MENU = MAKEINTRESOURCEW(4);
inline LPCWSTR const RT_DIALOG = MAKEINTRESOURCEW(5);
inline LPCWSTR const RT_STRING = MAKEINTRESOURCEW(6);
inline LPCWSTR const RT_RCDATA = MAKEINTRESOURCEW(10);

// One resource of the table. Strings are stored one per entry (type
// RT_STRING, id = string id) as UTF-16 without terminator.
struct ResourceEntry {
  uint16_t type;
  uint16_t id;
  const void* data;
  uint32_t size;  // bytes
};

// Adds the program's table (the entries must outlive the process; a later
// table's entries win over earlier ones with the same type and id).
void RegisterResources(std::span<const ResourceEntry> entries);
// Forgets every registered table (tests).
void ClearResources();

HINSTANCE GetModuleHandleW(LPCWSTR moduleName);
HRSRC FindResourceW(HINSTANCE module, LPCWSTR name, LPCWSTR type);
HGLOBAL LoadResource(HINSTANCE module, HRSRC resource);
void* LockResource(HGLOBAL data);
DWORD SizeofResource(HINSTANCE module, HRSRC resource);
// Copies string id into the buffer (at most capacity - 1 characters and a
// terminator) and returns the characters copied; 0 when it does not exist.
// With capacity 0 the buffer receives a pointer to the read-only text.
int LoadStringW(HINSTANCE module, UINT id, LPWSTR buffer, int capacity);

// Standard cursors.
inline LPCWSTR const IDC_ARROW = MAKEINTRESOURCEW(32512);
inline LPCWSTR const IDC_WAIT = MAKEINTRESOURCEW(32514);
HCURSOR LoadCursorW(HINSTANCE module, LPCWSTR name);
// Returns the previous cursor.
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();
bool IsWaitCursor(HCURSOR cursor);

}  // namespace platform
