#pragma once
// The shell's own resources: the eight soft-key menu-bar templates (RCDATA
// with an RT_MENU of the same id for their drop-down menus), the blank
// soft-key label, the window title and the bookmark tree's images.
#include <cstdint>

namespace shell {

inline constexpr uint32_t kBlankLabelString = 410;
inline constexpr uint32_t kWindowTitleString = 413;
inline constexpr uint32_t kFirstMenuBarTemplate = 102;
inline constexpr uint32_t kLastMenuBarTemplate = 109;

// Adds the shell's resources to the program's table (once per process; a
// later ClearResources forgets them and a new call adds them again).
void RegisterShellResources();

}  // namespace shell
