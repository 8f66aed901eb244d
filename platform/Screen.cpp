#include "platform/Screen.h"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <sstream>
#include <vector>

#include "platform/Clock.h"
#include "platform/Device.h"
#include "platform/Input.h"
#include "platform/Window.h"
#include "platform/WindowSystem.h"

namespace platform {

// The SDL2 back end (ScreenSdl.cpp).
bool StartSdlScreen();
void StopSdlScreen();
bool SaveSdlWindowShot(const std::string& path);
uint64_t SdlPresentCount();

namespace {

ScreenBackend g_backend = ScreenBackend::kHeadless;
bool g_started = false;

struct Framebuffer {
  std::vector<uint8_t> pixels;
  Surface surface;
};

std::unique_ptr<Framebuffer>& TheFramebuffer() {
  static auto* framebuffer = new std::unique_ptr<Framebuffer>();
  return *framebuffer;
}

enum class ScriptAction { kPenDown, kPenMove, kPenUp, kKey, kChar, kSoft1, kSoft2, kBack, kScreenshot, kQuit };

struct ScriptEvent {
  int64_t due = 0;  // microseconds on the one clock
  ScriptAction action;
  int x = 0;
  int y = 0;
  std::string path;
};

std::deque<ScriptEvent>& Script() {
  static auto* script = new std::deque<ScriptEvent>();
  return *script;
}

int64_t NowMicroseconds() {
  int64_t count = 0, frequency = 1;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return static_cast<int64_t>(static_cast<__int128>(count) * 1000000 / frequency);
}

void Perform(const ScriptEvent& event) {
  switch (event.action) {
    case ScriptAction::kPenDown: InjectPenDown(event.x, event.y); break;
    case ScriptAction::kPenMove: InjectPenMove(event.x, event.y); break;
    case ScriptAction::kPenUp: InjectPenUp(event.x, event.y); break;
    case ScriptAction::kKey:
      InjectKeyDown(event.x);
      InjectKeyUp(event.x);
      break;
    case ScriptAction::kChar: InjectChar(static_cast<WCHAR>(event.x)); break;
    case ScriptAction::kSoft1: InjectSoftKey(0); break;
    case ScriptAction::kSoft2: InjectSoftKey(1); break;
    case ScriptAction::kBack: InjectBackKey(); break;
    case ScriptAction::kScreenshot:
      if (!SaveScreenshot(event.path)) std::fprintf(stderr, "screen: cannot write %s\n", event.path.c_str());
      break;
    case ScriptAction::kQuit: PostQuitMessage(0); break;
  }
}

// The headless back end waits by letting scripted events and timers happen.
void HeadlessWait(void*, int64_t timerWait) {
  auto& script = Script();
  const int64_t now = NowMicroseconds();
  bool delivered = false;
  while (!script.empty() && script.front().due <= now) {
    const ScriptEvent event = script.front();
    script.pop_front();
    Perform(event);
    delivered = true;
    // A screenshot waits until the input before it has been handled.
    if (event.action != ScriptAction::kScreenshot) break;
  }
  if (delivered) return;
  int64_t wait = timerWait;
  if (!script.empty()) wait = wait < 0 ? script.front().due - now : std::min(wait, script.front().due - now);
  if (IsVirtualClock()) {
    if (wait > 0) {
      AdvanceVirtualClock(wait);
      return;
    }
    if (wait == 0) return;
    PollWatchedDescriptors(100);
    return;
  }
  PollWatchedDescriptors(wait < 0 ? 100 : static_cast<int>(std::min<int64_t>(100, (wait + 999) / 1000)));
}

}  // namespace

const Surface& ScreenSurface() {
  auto& framebuffer = TheFramebuffer();
  if (framebuffer == nullptr) {
    const DeviceProfile& profile = GetDeviceProfile();
    framebuffer = std::make_unique<Framebuffer>();
    const int bytes = profile.bitsPerPixel / 8;
    const ptrdiff_t pitch = (static_cast<ptrdiff_t>(profile.width) * bytes + 3) / 4 * 4;
    framebuffer->pixels.assign(static_cast<size_t>(pitch) * static_cast<size_t>(profile.height), 0);
    framebuffer->surface = Surface{framebuffer->pixels.data(), profile.width, profile.height, pitch,
                                   profile.bitsPerPixel};
    PaintDesktop(framebuffer->surface.Bounds());
  }
  return framebuffer->surface;
}

void ResetScreen() { TheFramebuffer().reset(); }

bool WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb) {
  if (width <= 0 || height <= 0 || rgb.size() < static_cast<size_t>(width) * static_cast<size_t>(height) * 3) {
    return false;
  }
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  bool ok = png != nullptr && info != nullptr;
  // libpng reports errors by jumping back here; nothing with a destructor is
  // made between this point and the jumps.
  if (ok && setjmp(png_jmpbuf(png)) != 0) ok = false;
  if (ok) {
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
      png_write_row(png, rgb.data() + static_cast<size_t>(y) * static_cast<size_t>(width) * 3);
    }
    png_write_end(png, nullptr);
  }
  png_destroy_write_struct(png != nullptr ? &png : nullptr, info != nullptr ? &info : nullptr);
  ok = (std::fclose(file) == 0) && ok;
  return ok;
}

bool SaveScreenshot(const std::string& path) {
  const Surface& surface = ScreenSurface();
  std::vector<uint8_t> rgb(static_cast<size_t>(surface.width) * static_cast<size_t>(surface.height) * 3);
  size_t at = 0;
  for (int y = 0; y < surface.height; ++y) {
    for (int x = 0; x < surface.width; ++x) {
      const Rgb pixel = ReadPixel(surface, x, y);
      rgb[at++] = pixel.red;
      rgb[at++] = pixel.green;
      rgb[at++] = pixel.blue;
    }
  }
  return WritePng(path, surface.width, surface.height, rgb);
}

bool SaveWindowScreenshot(const std::string& path) {
  if (g_backend == ScreenBackend::kSdl && g_started) return SaveSdlWindowShot(path);
  return SaveScreenshot(path);
}

uint64_t ScreenPresentCount() { return g_backend == ScreenBackend::kSdl && g_started ? SdlPresentCount() : 0; }

ScreenBackend StartScreen(ScreenBackend wanted) {
  if (g_started) return g_backend;
  const char* chosen = std::getenv("FOLVANE_SCREEN");
  if (wanted == ScreenBackend::kAutomatic && chosen != nullptr) {
    if (std::string(chosen) == "headless") wanted = ScreenBackend::kHeadless;
    if (std::string(chosen) == "sdl") wanted = ScreenBackend::kSdl;
  }
  if (wanted == ScreenBackend::kAutomatic) {
    const bool display = std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr;
    wanted = display ? ScreenBackend::kSdl : ScreenBackend::kHeadless;
  }
  ScreenSurface();
  if (wanted == ScreenBackend::kSdl && StartSdlScreen()) {
    g_backend = ScreenBackend::kSdl;
  } else {
    g_backend = ScreenBackend::kHeadless;
    SetIdleWaiter(HeadlessWait, nullptr);
  }
  g_started = true;
  return g_backend;
}

void StopScreen() {
  if (!g_started) return;
  if (g_backend == ScreenBackend::kSdl) StopSdlScreen();
  SetIdleWaiter(nullptr, nullptr);
  Script().clear();
  g_started = false;
}

bool RunInputScript(const std::string& text) {
  std::deque<ScriptEvent> events;
  std::istringstream lines(text);
  std::string line;
  const int64_t start = NowMicroseconds();
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    int64_t at = 0;
    std::string action;
    if (!(words >> at)) {
      if (line.find_first_not_of(" \t\r") == std::string::npos || line[line.find_first_not_of(" \t")] == '#') continue;
      return false;
    }
    if (!(words >> action) || at < 0) return false;
    ScriptEvent event;
    event.due = start + at * 1000;
    bool ok = true;
    if (action == "pen-down" || action == "pen-move" || action == "pen-up") {
      event.action = action == "pen-down" ? ScriptAction::kPenDown
                     : action == "pen-up" ? ScriptAction::kPenUp
                                          : ScriptAction::kPenMove;
      ok = static_cast<bool>(words >> event.x >> event.y);
    } else if (action == "key") {
      event.action = ScriptAction::kKey;
      ok = static_cast<bool>(words >> event.x) && event.x > 0 && event.x < 256;
    } else if (action == "char") {
      event.action = ScriptAction::kChar;
      std::string character;
      ok = static_cast<bool>(words >> character) && character.size() == 1;
      if (ok) event.x = static_cast<unsigned char>(character[0]);
    } else if (action == "soft1" || action == "soft2" || action == "back" || action == "quit") {
      event.action = action == "soft1"   ? ScriptAction::kSoft1
                     : action == "soft2" ? ScriptAction::kSoft2
                     : action == "back"  ? ScriptAction::kBack
                                         : ScriptAction::kQuit;
    } else if (action == "screenshot") {
      event.action = ScriptAction::kScreenshot;
      ok = static_cast<bool>(words >> event.path);
    } else {
      ok = false;
    }
    if (!ok) return false;
    events.push_back(event);
  }
  std::stable_sort(events.begin(), events.end(),
                   [](const ScriptEvent& a, const ScriptEvent& b) { return a.due < b.due; });
  Script() = std::move(events);
  return true;
}

}  // namespace platform
