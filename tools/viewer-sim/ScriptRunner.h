#pragma once
// The script of viewer-sim --script: commands separated by ';', each a
// name and its arguments, optionally repeated with a trailing "xN"
// ("rotr x4"). Each command is one row of the table in ScriptRunner.cpp;
// adding a command is adding a row.
//
//   zoom X       explicit zoom factor X (1.0 = 100 %)
//   zoomin, zoomout, rotr, rotl, next, prev, first, last, fitwidth, fitpage
//   lineup, linedown, lineleft, lineright, pageup, pagedown
//   idle         runs the cooperative threads until no page waits to be drawn
//   dump FILE    paints the page-view window and writes its pixels as PNG
//   print        current page, zoom, rotation and device scale
//   requests     the render requests: page, state, bitmap and its origin
//   key C        the keypad character C
//   command ID   the menu command ID
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
