#include "shell/app/ScriptedInput.h"

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "platform/Input.h"
#include "platform/Messages.h"
#include "platform/Screen.h"
#include "platform/Window.h"
#include "shell/AppState.h"
#include "shell/MainWindowProc.h"

namespace app {

namespace {

struct StepShape {
  const char* action;
  size_t arguments;
};

constexpr StepShape kSteps[] = {
    {"soft1", 0}, {"soft2", 0},   {"softkey", 1}, {"back", 0}, {"key", 1},        {"char", 1},     {"type", 1},
    {"tap", 2},   {"command", 1}, {"zoom", 1},    {"quit", 0}, {"screenshot", 1}, {"wait-for", 1}, {"report-zoom", 0},
};

struct KeyName {
  const char* name;
  int code;
};

constexpr KeyName kKeyNames[] = {
    {"LEFT", platform::VK_LEFT},   {"RIGHT", platform::VK_RIGHT},   {"UP", platform::VK_UP},
    {"DOWN", platform::VK_DOWN},   {"RETURN", platform::VK_RETURN}, {"ESCAPE", platform::VK_ESCAPE},
    {"HOME", platform::VK_HOME},   {"END", platform::VK_END},       {"PRIOR", platform::VK_PRIOR},
    {"NEXT", platform::VK_NEXT},   {"TAB", platform::VK_TAB},       {"BACK", platform::VK_BACK},
    {"SPACE", platform::VK_SPACE}, {"DELETE", platform::VK_DELETE},
};

bool ToInteger(const std::string& text, long minimum, long maximum, long* value) {
  char* end = nullptr;
  const long parsed = std::strtol(text.c_str(), &end, 10);
  if (end == text.c_str() || *end != '\0' || parsed < minimum || parsed > maximum) return false;
  *value = parsed;
  return true;
}

bool Fail(std::string* error, const std::string& text) {
  *error = text;
  return false;
}

// A key by name or as a decimal virtual-key code.
bool ToKey(const std::string& text, int* code) {
  for (const KeyName& key : kKeyNames) {
    if (text == key.name) {
      *code = key.code;
      return true;
    }
  }
  long value = 0;
  if (!ToInteger(text, 1, 255, &value)) return false;
  *code = static_cast<int>(value);
  return true;
}

// The step's arguments make sense (a known key, an existing soft key); a
// script with a wrong one is refused before the application starts.
bool ArgumentsValid(const ScriptStep& step) {
  int code = 0;
  long value = 0;
  if (step.action == "key") return ToKey(step.arguments[0], &code);
  if (step.action == "softkey") return ToInteger(step.arguments[0], 1, 2, &value);
  if (step.action == "char") return step.arguments[0].size() == 1;
  return true;
}

platform::HWND MainWindow() { return platform::FindWindowW(shell::kMainWindowClass, nullptr); }

}  // namespace

bool ParseScript(const std::string& text, std::vector<ScriptStep>* steps, std::string* error) {
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  while (std::getline(lines, line)) {
    ++number;
    std::istringstream words(line);
    ScriptStep step;
    if (!(words >> step.action) || step.action[0] == '#') continue;
    for (std::string word; words >> word;) step.arguments.push_back(word);
    bool known = false;
    for (const StepShape& shape : kSteps) {
      if (step.action == shape.action && step.arguments.size() == shape.arguments) known = true;
    }
    if (!known || !ArgumentsValid(step)) {
      *error = "line " + std::to_string(number) + ": " + line;
      return false;
    }
    steps->push_back(std::move(step));
  }
  return true;
}

bool StepReady(const ScriptStep& step) {
  if (step.action != "wait-for") return true;
  std::error_code ignored;
  return std::filesystem::exists(step.arguments[0], ignored);
}

bool PerformStep(const ScriptStep& step, std::string* error) {
  const std::string& action = step.action;
  const auto& arguments = step.arguments;
  long first = 0;
  long second = 0;
  if (action == "soft1" || action == "soft2") {
    platform::InjectSoftKey(action == "soft1" ? 0 : 1);
  } else if (action == "softkey") {
    if (!ToInteger(arguments[0], 1, 2, &first)) return Fail(error, "bad soft key " + arguments[0]);
    platform::InjectSoftKey(static_cast<int>(first) - 1);
  } else if (action == "back") {
    platform::InjectBackKey();
  } else if (action == "key") {
    int code = 0;
    if (!ToKey(arguments[0], &code)) return Fail(error, "bad key " + arguments[0]);
    platform::InjectKeyDown(code);
    platform::InjectKeyUp(code);
  } else if (action == "char" || action == "type") {
    if (action == "char" && arguments[0].size() != 1) return Fail(error, "bad character " + arguments[0]);
    for (const char c : arguments[0]) {
      platform::InjectChar(static_cast<platform::WCHAR>(static_cast<unsigned char>(c)));
    }
  } else if (action == "tap") {
    if (!ToInteger(arguments[0], 0, 65535, &first) || !ToInteger(arguments[1], 0, 65535, &second)) {
      return Fail(error, "bad point");
    }
    platform::InjectPenDown(static_cast<int>(first), static_cast<int>(second));
    platform::InjectPenUp(static_cast<int>(first), static_cast<int>(second));
  } else if (action == "command") {
    if (!ToInteger(arguments[0], 1, 65535, &first)) return Fail(error, "bad command " + arguments[0]);
    const platform::HWND window = MainWindow();
    if (window == nullptr) return Fail(error, "no main window");
    platform::PostMessageW(window, platform::WM_COMMAND, static_cast<platform::WPARAM>(first), 0);
  } else if (action == "zoom") {
    const platform::HWND window = MainWindow();
    if (window == nullptr) return Fail(error, "no main window");
    const float factor = std::strtof(arguments[0].c_str(), nullptr);
    platform::SendMessageW(window, shell::kZoomSetMessage, std::bit_cast<uint32_t>(factor), 0);
  } else if (action == "report-zoom") {
    const platform::HWND window = MainWindow();
    if (window == nullptr) return Fail(error, "no main window");
    const auto bits = static_cast<uint32_t>(platform::SendMessageW(window, shell::kZoomQueryMessage, 0, 0));
    std::printf("zoom %g\n", static_cast<double>(std::bit_cast<float>(bits)));
    std::fflush(stdout);
  } else if (action == "screenshot") {
    if (!platform::SaveScreenshot(arguments[0])) return Fail(error, "cannot write " + arguments[0]);
  } else if (action == "quit") {
    platform::PostQuitMessage(0);
  }
  return true;
}

}  // namespace app
