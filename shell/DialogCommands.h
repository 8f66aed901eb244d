#pragma once
// The viewer's command ids that reach the shell's dialogs through their
// soft keys.
#include <cstdint>

namespace shell {

inline constexpr uint32_t kSoftKeyExit = 102;
inline constexpr uint32_t kSoftKeyFind = 112;
inline constexpr uint32_t kSoftKeyOk = 135;
inline constexpr uint32_t kSoftKeyCancel = 136;
inline constexpr uint32_t kSoftKeyBrowse = 137;
inline constexpr uint32_t kSoftKeyOpen = 138;

}  // namespace shell
