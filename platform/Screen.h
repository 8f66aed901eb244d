#pragma once
// The device's screen: a framebuffer in the device's pixel format that the
// windows draw into, and the back end that shows it: headless (snapshots to
// PNG files, input from a script) or a desktop window through SDL2.
#include <string>
#include <vector>

#include "platform/Surface.h"

namespace platform {

// The framebuffer, sized from the device profile (made on first use).
const Surface& ScreenSurface();
// Makes the framebuffer again after the device profile changed (tests).
void ResetScreen();
// Paints the parts of a screen rectangle that no window covers.
void PaintDesktop(const RECT& area);
// The busy mark shown while the wait cursor is set, and where it goes.
void DrawWaitMark();
RECT WaitMarkRect();
// Writes the framebuffer to a PNG file.
bool SaveScreenshot(const std::string& path);
// Writes what the back end shows (the desktop window with its hint line
// under SDL2; the framebuffer when headless) to a PNG file.
bool SaveWindowScreenshot(const std::string& path);
// Writes RGB rows to a PNG file.
bool WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb);

// How many times the desktop window was drawn (0 headless): it is drawn
// only when the framebuffer changed or the desktop asked for it.
uint64_t ScreenPresentCount();

enum class ScreenBackend { kAutomatic, kHeadless, kSdl };
// Starts the back end: SDL2 when a display is available (or asked for),
// headless otherwise. Returns the one started.
ScreenBackend StartScreen(ScreenBackend wanted);
void StopScreen();

// Headless input script, one event per line, times in milliseconds from the
// start of the script on the one clock:
//   AT pen-down X Y | AT pen-move X Y | AT pen-up X Y | AT key VK |
//   AT char C | AT soft1 | AT soft2 | AT back | AT screenshot PATH | AT quit
// Returns false (and runs nothing) when a line does not parse.
bool RunInputScript(const std::string& script);

}  // namespace platform
