#pragma once
// Help: the help page of the UI language (English when there is none for
// it), opened in the device's help viewer. The pages are ours, one per UI
// language, named "KVTD" and the language identifier in four lower-case
// hexadecimal digits, in the folder "Help" beside the program.
#include <cstdint>

#include "platform/Types.h"
#include "shell/WString.h"

namespace shell {

// The help folder's device path, with its closing separator.
void GetHelpFolder(WString& folder);
// The page for `language` in `folder` into `path`; true when that page
// exists. When it does not, `path` names the English page.
bool FindHelpFile(const char16_t* folder, platform::LANGID language, WString& path);
// Opens the page of the UI language; failures are ignored.
void ShowHelp();

}  // namespace shell
