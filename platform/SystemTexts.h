#pragma once
// The device's own texts (the buttons of message boxes) in its UI language.
#include "platform/Types.h"

namespace platform {

enum class SystemText { kOk, kYes, kNo, kCancel };

// The text in the given language; English for a language the device does
// not speak.
const char16_t* GetSystemText(SystemText text, LANGID language);

}  // namespace platform
