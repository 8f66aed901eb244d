#pragma once
// The basic types of the simulated handheld OS. Text is UTF-16 (char16_t:
// the host's wchar_t is 32 bits wide), handles are opaque pointers.
#include <cstddef>
#include <cstdint>

namespace platform {

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using UINT = uint32_t;
using LONG = int32_t;
using BOOL = int32_t;
using LANGID = uint16_t;
using WCHAR = char16_t;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using HRESULT = int32_t;
using ATOM = uint16_t;
using COLORREF = DWORD;

constexpr BOOL FALSE = 0;
constexpr BOOL TRUE = 1;

// Handles: each kind is a distinct pointer type so that they do not mix.
using HANDLE = void*;
#define FOLVANE_DECLARE_HANDLE(name) \
  struct name##__;                   \
  using name = name##__*
FOLVANE_DECLARE_HANDLE(HWND);
FOLVANE_DECLARE_HANDLE(HINSTANCE);
FOLVANE_DECLARE_HANDLE(HKEY);
FOLVANE_DECLARE_HANDLE(HMENU);
FOLVANE_DECLARE_HANDLE(HCURSOR);
FOLVANE_DECLARE_HANDLE(HICON);
FOLVANE_DECLARE_HANDLE(HDC);
FOLVANE_DECLARE_HANDLE(HBITMAP);
FOLVANE_DECLARE_HANDLE(HBRUSH);
FOLVANE_DECLARE_HANDLE(HFONT);
FOLVANE_DECLARE_HANDLE(HRGN);
FOLVANE_DECLARE_HANDLE(HRSRC);
FOLVANE_DECLARE_HANDLE(HIMAGELIST);
#undef FOLVANE_DECLARE_HANDLE
using HMODULE = HINSTANCE;
// Any drawing object (bitmap, brush, font) passes as an HGDIOBJ.
using HGDIOBJ = void*;

// The value the file and find functions return for "no handle".
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(~uintptr_t{0});

constexpr DWORD MAX_PATH = 260;

struct POINT {
  LONG x;
  LONG y;
};

struct SIZE {
  LONG cx;
  LONG cy;
};

// Right and bottom are exclusive.
struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};

// 100-nanosecond intervals since 1 January 1601 (UTC).
struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};

struct SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;  // 0 = Sunday
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
};

struct SECURITY_ATTRIBUTES;

// Word packing as messages carry it.
constexpr WORD LOWORD(uintptr_t value) { return static_cast<WORD>(value & 0xFFFF); }
constexpr WORD HIWORD(uintptr_t value) { return static_cast<WORD>((value >> 16) & 0xFFFF); }
constexpr DWORD MAKELONG(WORD low, WORD high) {
  return static_cast<DWORD>(low) | (static_cast<DWORD>(high) << 16);
}
constexpr LPARAM MAKELPARAM(WORD low, WORD high) { return static_cast<LPARAM>(MAKELONG(low, high)); }
// Mouse coordinates travel as signed 16-bit words.
constexpr int GET_X_LPARAM(LPARAM value) { return static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(value))); }
constexpr int GET_Y_LPARAM(LPARAM value) { return static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(value))); }
constexpr COLORREF RGB(BYTE red, BYTE green, BYTE blue) {
  return static_cast<COLORREF>(red) | (static_cast<COLORREF>(green) << 8) | (static_cast<COLORREF>(blue) << 16);
}
constexpr BYTE GetRValue(COLORREF color) { return static_cast<BYTE>(color & 0xFF); }
constexpr BYTE GetGValue(COLORREF color) { return static_cast<BYTE>((color >> 8) & 0xFF); }
constexpr BYTE GetBValue(COLORREF color) { return static_cast<BYTE>((color >> 16) & 0xFF); }

// Error codes of GetLastError and of the registry functions.
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_NO_MORE_FILES = 18;
constexpr DWORD ERROR_WRITE_FAULT = 29;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr DWORD ERROR_MORE_DATA = 234;
constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;
constexpr DWORD ERROR_CLASS_ALREADY_EXISTS = 1410;
constexpr DWORD ERROR_CANNOT_FIND_WND_CLASS = 1407;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);

// The calling thread's last error.
DWORD GetLastError();
void SetLastError(DWORD error);

}  // namespace platform
