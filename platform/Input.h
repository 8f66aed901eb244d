#pragma once
// The one way input enters the device: the screen back ends (and tests)
// inject pen and key events here; the message loop delivers them.
#include "platform/Types.h"

namespace platform {

// Screen coordinates.
void InjectPenDown(int x, int y);
void InjectPenMove(int x, int y);
void InjectPenUp(int x, int y);
void InjectKeyDown(int virtualKey);
void InjectKeyUp(int virtualKey);
// A typed character, delivered as WM_CHAR to the focus.
void InjectChar(WCHAR character);
// Press and release of the handheld's own keys.
void InjectSoftKey(int index);  // 0 left, 1 right
void InjectBackKey();

// Another application takes the screen (our active window is deactivated
// with lParam 0), or hands it back to the window that was active.
void SwitchToAnotherApplication();
void ReturnFromAnotherApplication();
bool IsAnotherApplicationActive();

// A filter that sees every key message before it is routed to the focus
// (the menu bars use it for the soft keys and overridden keys). It returns
// true when it has consumed the message.
using KeyFilter = bool (*)(void* user, UINT message, WPARAM key, LPARAM flags);
void SetKeyFilter(KeyFilter filter, void* user);

}  // namespace platform
