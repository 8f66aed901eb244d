// The application as a program: the handheld's screen (an SDL2 window when
// a display is there, else headless) and the device profile, then the
// shell's WinMain with the file named on the command line.
//
//   VantrelFolvaneZo [--device=PROFILE] [--screen=sdl|headless]
//                    [--screenshot=PNG] [--script=FILE] [FILE]
//
// --screenshot writes the screen once the application is first idle (the
// splash gone, the document shown); headless without a script that also ends the run, so a
// headless start always leaves a picture. --script gives scripted input
// (see ScriptedInput.h), one step each time the application is idle.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Device.h"
#include "platform/Files.h"
#include "platform/Messages.h"
#include "platform/Resources.h"
#include "platform/Screen.h"
#include "platform/WideText.h"
#include "platform/Window.h"
#include "shell/AppState.h"
#include "shell/Application.h"
#include "shell/app/ScriptedInput.h"
#include "viewer/ViewerApp.h"

namespace {

constexpr char kProgram[] = "VantrelFolvaneZo";
// How often the application is looked at for being idle.
constexpr unsigned kIdlePollMilliseconds = 20;
// Idle this many looks in a row counts: a message being handled between
// two looks is not seen by either.
constexpr int kIdleLooksNeeded = 3;

struct RunState {
  std::string screenshot;
  bool quitAfterScreenshot = false;
  bool headless = false;
  std::vector<app::ScriptStep> steps;
  size_t nextStep = 0;
  viewer::ViewerApp* viewer = nullptr;
  int idleLooks = 0;
  int exitCode = 0;
};

RunState g_run;

// The splash closes a set time after its first paint, which can come well
// after the start timer was armed on a busy machine: the document may be
// open and drawn behind a splash that still covers the screen.
bool ViewerIsIdle(const viewer::ViewerApp& app) {
  if (shell::App().splashShowing != 0) return false;
  const viewer::Viewer& viewer = app.viewer;
  if (viewer.startTimer != nullptr || viewer.workTimer != nullptr) return false;
  if (viewer.pageView != nullptr && viewer.pageView->HasPendingWork()) return false;
  constexpr platform::UINT kWaiting =
      platform::QS_INPUT | platform::QS_POSTMESSAGE | platform::QS_PAINT | platform::QS_SENDMESSAGE;
  return platform::HIWORD(platform::GetQueueStatus(kWaiting)) == 0;
}

void Stop(int exitCode) {
  g_run.exitCode = exitCode;
  platform::PostQuitMessage(exitCode);
}

// Runs on the one UI thread, in the message loop or in a dialog's.
void PollIdle(platform::HWND, platform::UINT, platform::UINT_PTR, platform::DWORD) {
  if (g_run.viewer == nullptr) return;
  if (!ViewerIsIdle(*g_run.viewer)) {
    g_run.idleLooks = 0;
    return;
  }
  if (++g_run.idleLooks < kIdleLooksNeeded) return;
  g_run.idleLooks = 0;
  if (!g_run.screenshot.empty()) {
    const std::string path = g_run.screenshot;
    g_run.screenshot.clear();
    if (!platform::SaveScreenshot(path)) {
      std::fprintf(stderr, "%s: cannot write the screenshot %s\n", kProgram, path.c_str());
      Stop(1);
      return;
    }
    std::printf("%s: the screen is in %s\n", kProgram, path.c_str());
    std::fflush(stdout);
    if (g_run.quitAfterScreenshot) platform::PostQuitMessage(0);
    return;
  }
  if (g_run.nextStep < g_run.steps.size()) {
    if (!app::StepReady(g_run.steps[g_run.nextStep])) return;
    std::string error;
    if (!app::PerformStep(g_run.steps[g_run.nextStep++], &error)) {
      std::fprintf(stderr, "%s: script step %zu: %s\n", kProgram, g_run.nextStep, error.c_str());
      Stop(1);
    }
    return;
  }
  // Headless, a script that does not close the application would leave it
  // waiting for input that never comes.
  if (g_run.headless && !g_run.steps.empty()) platform::PostQuitMessage(0);
}

void Started(viewer::ViewerApp* viewer, void*) {
  g_run.viewer = viewer;
  if (!g_run.screenshot.empty() || !g_run.steps.empty()) {
    platform::SetTimer(nullptr, 0, kIdlePollMilliseconds, PollIdle);
  }
}

// The command line as the device passes it: the file's device path, in
// quotes when it holds a blank.
std::u16string CommandLineFor(const std::string& file) {
  if (file.empty()) return {};
  std::error_code ignored;
  const std::string absolute = std::filesystem::absolute(file, ignored).lexically_normal().string();
  std::u16string path = platform::DevicePathFromHost(absolute);
  if (path.find(u' ') != std::u16string::npos) path = u"\"" + path + u"\"";
  return path;
}

int Usage() {
  std::fprintf(stderr,
               "usage: %s [--device=PROFILE] [--screen=sdl|headless] [--screenshot=PNG] [--script=FILE] [FILE]\n",
               kProgram);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  platform::ScreenBackend backend = platform::ScreenBackend::kAutomatic;
  std::string file;
  std::string scriptPath;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    const auto value = [&](const std::string& prefix) { return argument.substr(prefix.size()); };
    if (argument.starts_with("--device=")) {
      if (!platform::SelectDevice(value("--device="))) {
        std::fprintf(stderr, "%s: unknown device profile %s\n", kProgram, value("--device=").c_str());
        return 2;
      }
    } else if (argument == "--screen=sdl") {
      backend = platform::ScreenBackend::kSdl;
    } else if (argument == "--screen=headless") {
      backend = platform::ScreenBackend::kHeadless;
    } else if (argument.starts_with("--screenshot=")) {
      g_run.screenshot = value("--screenshot=");
    } else if (argument.starts_with("--script=")) {
      scriptPath = value("--script=");
    } else if (argument.starts_with("--") || !file.empty()) {
      return Usage();
    } else {
      file = argument;
    }
  }
  if (!scriptPath.empty()) {
    std::ifstream stream(scriptPath);
    if (!stream) {
      std::fprintf(stderr, "%s: cannot read the script %s\n", kProgram, scriptPath.c_str());
      return 2;
    }
    std::stringstream text;
    text << stream.rdbuf();
    std::string error;
    if (!app::ParseScript(text.str(), &g_run.steps, &error)) {
      std::fprintf(stderr, "%s: the script does not parse: %s\n", kProgram, error.c_str());
      return 2;
    }
  }

  const platform::ScreenBackend started = platform::StartScreen(backend);
  if (backend == platform::ScreenBackend::kSdl && started != platform::ScreenBackend::kSdl) {
    std::fprintf(stderr, "%s: no display for the SDL2 screen\n", kProgram);
    return 3;
  }
  // Headless, nobody could ever close the application: without a script it
  // leaves a picture of the screen and ends.
  g_run.headless = started == platform::ScreenBackend::kHeadless;
  if (g_run.headless && g_run.steps.empty()) {
    if (g_run.screenshot.empty()) g_run.screenshot = "folvane-screen.png";
    g_run.quitAfterScreenshot = true;
  }

  shell::ApplicationHooks hooks;
  hooks.started = Started;
  const std::u16string commandLine = CommandLineFor(file);
  const int result = shell::WinMain(platform::GetModuleHandleW(nullptr), nullptr, commandLine.c_str(),
                                    platform::SW_SHOW, &hooks);
  platform::StopScreen();
  return g_run.exitCode != 0 ? g_run.exitCode : result;
}
