#pragma once
// The viewer's command ids that reach the shell's dialogs through their
// soft keys.
#include <cstdint>

namespace shell {

inline constexpr uint32_t kCommandExit = 102;
inline constexpr uint32_t kCommandFind = 112;
inline constexpr uint32_t kCommandOk = 135;
inline constexpr uint32_t kCommandCancel = 136;
inline constexpr uint32_t kCommandBrowse = 137;
inline constexpr uint32_t kCommandOpen = 138;

}  // namespace shell
