#pragma once
// The script of viewer-sim --script: commands separated by ';', each a
// name and its arguments, optionally repeated with a trailing "xN"
// ("rotr x4"). Each command is one row of the table in ScriptRunner.cpp;
// adding a command is adding a row.
//
//   zoom X       explicit zoom factor X (1.0 = 100 %)
//   zoomin, zoomout, rotr, rotl, nextpage, prevpage, first, last, fitwidth,
//   fitpage, lineup, linedown, lineleft, lineright, pageup, pagedown
//   idle         runs the cooperative threads until no page waits to be drawn
//   dump FILE    paints the page-view window and writes its pixels as PNG
//   print        current page, zoom, rotation, zoom mode, size and scale
//   requests     the render requests: page, state, bitmap and its origin
//   key C        the keypad character C
//   command ID   the menu command ID
//   tap X Y      a pen tap at window pixels X, Y of the page view
//   pendown X Y, penmove X Y, penup X Y   the pen's events one by one
//   selectdrag X0 Y0 X1 Y1            a drag of the text selection tool
//   margins      the page view's lead margins: left, right, up, down
//   find [-c] [-w] [-b] WORD   the Find dialog's string and options (match
//                case, whole word, backwards); nothing is searched yet
//   finddialog [-c] [-w] [-b] [WORD]   the Find dialog answered OK with
//                WORD and options (it searches at once), cancelled without
//   next         Find Next; the match it shows prints as "match page P
//                X0 Y0 X1 Y1" (its bounds on the window)
//   selection    the document's selection, as a match prints
//   goto N       the go-to-page dialog, answered with N
//   pagebox N    N typed into the toolbar's page box, then Enter
//   zoomdialog [P]  the zoom dialog: prints the preset it preselects; OK
//                with P percent, cancelled without
//   bookmark [I] the bookmark tree's visible rows, or choosing row I
// After each command the message boxes it showed print as "message TEXT"
// or "question TEXT".
#include <cstdio>
#include <string>
#include <vector>

#include "tools/viewer-sim/RecordingHost.h"
#include "viewer/ViewerApp.h"

namespace viewersim {

struct ScriptState {
  viewer::ViewerApp* app = nullptr;
  RecordingHost* host = nullptr;
  // Lines the script prints, in order.
  std::vector<std::string> output;
};

// Runs `script`; false (with the reason in `error`) on an unknown command
// or bad arguments, before anything ran.
bool RunScript(ScriptState& state, const std::string& script, std::string* error);

}  // namespace viewersim
