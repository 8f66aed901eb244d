#pragma once
// Input for scripted runs of the application: one step a line, each given
// when the application has nothing left to do (no splash, no start timer,
// no library work, no message waiting), so that a script does not depend on
// how fast the machine is.
//
//   soft1 | soft2 | back          the handheld's keys
//   softkey N                     soft key N (1 left, 2 right)
//   key KEY                       a key press: a name (LEFT, RIGHT, UP,
//                                 DOWN, RETURN, ESCAPE, HOME, END, PRIOR,
//                                 NEXT, TAB, BACK, SPACE, DELETE) or a
//                                 virtual-key code in decimal
//   char C                        a typed character
//   type TEXT                     each character of TEXT typed in turn
//   tap X Y                       the pen down and up at a screen point
//   command ID                    a menu command sent to the main window
//   zoom FACTOR                   WM_USER + 1 with the factor
//   report-zoom                   prints "zoom FACTOR", the WM_USER answer
//   screenshot PATH               the screen as a PNG file
//   quit                          WM_QUIT, without the Exit command
//   wait-for PATH                 nothing, once the file PATH exists (lets
//                                 another process say when to go on)
//
// Keys, soft keys and characters go through the device's input, as a
// user's would: the menu bar, an open popup menu or the focused control of
// a dialog receives them.
//
// Empty lines and lines starting with '#' are skipped.
#include <string>
#include <vector>

namespace app {

struct ScriptStep {
  std::string action;
  std::vector<std::string> arguments;
};

// False with a message naming the line when a line does not parse.
bool ParseScript(const std::string& text, std::vector<ScriptStep>* steps, std::string* error);

// False while the step has to wait.
bool StepReady(const ScriptStep& step);

// Runs one step; false when it could not be carried out (the message says
// why).
bool PerformStep(const ScriptStep& step, std::string* error);

}  // namespace app
