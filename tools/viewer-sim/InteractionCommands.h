#pragma once
// The script commands that act as the user does with an open document:
// the pen on the page view, the Find dialog's search and Find Next, the
// go-to-page dialog and the toolbar's page box, the zoom dialog and the
// bookmark tree. Each goes through the same entry the host's window,
// dialog or control would use, and prints what a test needs to see.
#include <cstddef>
#include <string>
#include <vector>

#include "tools/viewer-sim/ScriptRunner.h"

namespace viewersim {

using ScriptArgs = std::vector<std::string>;

// A pen tap (press and release) at window pixels of the page view.
void PenTap(ScriptState& state, const ScriptArgs& args);
// The three pen events one by one, for drags.
void PenDown(ScriptState& state, const ScriptArgs& args);
void PenMove(ScriptState& state, const ScriptArgs& args);
void PenUp(ScriptState& state, const ScriptArgs& args);
// "selectdrag X0 Y0 X1 Y1": a pen drag with the text selection tool, the
// pen tool put back after it.
void SelectDrag(ScriptState& state, const ScriptArgs& args);
// "margins left L right R up U down D": the page view's lead margins.
void PrintMargins(ScriptState& state);

// "find [-c] [-w] [-b] WORD": the string and options as the Find dialog
// hands them over (match case, whole word, backwards); nothing is searched
// until Find Next.
bool FindArgumentsValid(const ScriptArgs& args);
void SetUpFind(ScriptState& state, const ScriptArgs& args);
// "finddialog [-c] [-w] [-b] [WORD]": the Find dialog (Tools, Find, Text)
// answered OK with the word and options, which searches at once, or
// cancelled without a word. Its match prints as Find Next's does.
void RunFindDialog(ScriptState& state, const ScriptArgs& args);
// Find Next as the menu runs it; a match it shows prints
// "match page P X0 Y0 X1 Y1" (its highlight on the window).
void FindNext(ScriptState& state);
// "search": Find Next as the menu runs it, with the search left on its
// thread for the work timer: nothing more of it runs until "slice" or a
// command that runs the scheduler.
void StartFindNext(ScriptState& state);
// "slice N": N passes of the scheduler over the runnable threads, as
// parts of work-timer ticks would run them.
void RunSlices(ScriptState& state, const ScriptArgs& args);
// "busy keys K count C search S": the busy soft keys (0 or 1), the busy
// count, and the search thread: none, running, at-match or ended.
void PrintBusy(ScriptState& state);
// "selection ..." as the match line, or "selection none".
void PrintSelection(ScriptState& state);

// The go-to-page dialog answered with `args[0]` (then cancelled if asked
// again); the toolbar's page box typed with `args[0]` and Enter.
void GoToPageDialog(ScriptState& state, const ScriptArgs& args);
void TypeInPageBox(ScriptState& state, const ScriptArgs& args);

// The zoom dialog: prints "zoomdialog selected N" (the preset the bar
// starts at) and, with a percentage, answers OK with it; cancelled
// without.
void ZoomDialog(ScriptState& state, const ScriptArgs& args);

// "bookmark": the tree's visible rows, one "bookmark I TEXT" line each,
// indented by level, "+"/"-" before an expanded/collapsed branch.
// "bookmark I": chooses the I-th visible row (from 0) as a user does,
// showing the tree first when it is hidden.
void Bookmarks(ScriptState& state, const ScriptArgs& args);

// The message boxes the viewer showed since host log line `from`, as
// "message TEXT" or "question TEXT" lines.
void EchoMessages(ScriptState& state, size_t from);

}  // namespace viewersim
