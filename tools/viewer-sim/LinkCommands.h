#pragma once
// Script commands for links reached with keys and for their marks: the
// next-link key, the action key, showing every link's frame, and the
// focused link as the page view holds it.
#include <string>
#include <vector>

#include "tools/viewer-sim/ScriptRunner.h"

namespace viewersim {

// "tab": the next-link key typed in the page view; prints the focus.
void NextLinkKey(ScriptState& state);
// "enter": the action key typed in the page view (follows the focused
// link).
void ActionKey(ScriptState& state);
// "showlinks on|off": frames every link of the pages shown, or stops.
bool ShowLinksArgumentsValid(const std::vector<std::string>& args);
void ShowLinks(ScriptState& state, const std::vector<std::string>& args);
// "focus page P index I X0 Y0 X1 Y1" (the link's bounds on the window) or
// "focus none".
void PrintFocus(ScriptState& state);

}  // namespace viewersim
