#pragma once
// The file named on a command line, whether it came with the program's
// start or from a second instance that handed its command line over.
#include <cstdint>

#include "platform/Messages.h"
#include "shell/WString.h"

namespace shell {

// The last blank-separated token of `commandLine`, with every double quote
// removed. Quotes keep blanks inside a token, and their state carries from
// one token to the next; only the blank (not TAB) separates. Empty when
// there is none; false only when memory runs out.
bool GetCommandLineFile(const char16_t* commandLine, WString& file);
bool GetCommandLineFile(const WString& commandLine, WString& file);

// Removes TAB and blank characters from the end, then from the start.
void TrimBlanksAndTabs(WString& text);

// The path a second instance handed over in a WM_COPYDATA descriptor: the
// descriptor must carry a terminated UTF-16 text (an even byte count of at
// least 2 whose last unit is 0); at most count / 2 - 1 units are copied,
// trimmed and reduced to their file argument. False (and `path` empty) for
// a malformed descriptor or one that names no file.
bool PathFromCopyData(platform::WPARAM wParam, const platform::COPYDATASTRUCT* data, WString& path);

}  // namespace shell
