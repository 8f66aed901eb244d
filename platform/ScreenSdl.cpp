// The interactive screen: the framebuffer in a desktop window through SDL2.
// The pen is the mouse; the handheld's keys are desktop keys, listed in a
// hint line below the screen.
#include <SDL2/SDL.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Device.h"
#include "platform/FontEngine.h"
#include "platform/Input.h"
#include "platform/Messages.h"
#include "platform/Screen.h"
#include "platform/Window.h"
#include "platform/WindowSystem.h"

namespace platform {

void StopSdlScreen();

namespace {

constexpr const char16_t* kHint = u"F1 / F2: soft keys   Esc: Back   F10: Help";

struct SdlScreen {
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;
  SDL_Texture* hint = nullptr;
  int scale = 1;
  int hintHeight = 0;
  // The framebuffer as last shown: only rows that differ from it are sent
  // to the texture, and nothing is drawn when none does.
  std::vector<uint8_t> shown;
  bool exposed = true;  // the desktop asked for the window to be drawn again
  uint64_t presents = 0;
};

SdlScreen g_screen;

Uint32 TextureFormat(int bitsPerPixel) {
  switch (bitsPerPixel) {
    case 24: return SDL_PIXELFORMAT_BGR24;
    case 32: return SDL_PIXELFORMAT_RGB888;
    default: return SDL_PIXELFORMAT_RGB565;
  }
}

// The hint line, drawn with the device fonts into an RGB24 strip.
SDL_Texture* MakeHint(int width, int height) {
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * 3, 40);
  Surface strip{pixels.data(), width, height, width * 3, 24};
  LOGFONTW font{};
  font.lfHeight = -std::max(10, height * 2 / 3);
  std::copy_n(u"Tahoma", 7, font.lfFaceName);
  if (auto sized = FontEngine::Get().Open(font, 96); sized != nullptr) {
    int pen = 6;
    const int baseline = (height + sized->ascent() - sized->descent()) / 2;
    for (const char16_t* c = kHint; *c != 0; ++c) {
      const GlyphImage& glyph = sized->Glyph(*c);
      BlendMask(strip, pen + glyph.left, baseline - glyph.top, glyph.coverage.data(), glyph.width, glyph.height,
                glyph.width, Rgb{230, 230, 230}, strip.Bounds());
      pen += glyph.advance;
    }
  }
  SDL_Texture* texture = SDL_CreateTexture(g_screen.renderer, SDL_PIXELFORMAT_BGR24, SDL_TEXTUREACCESS_STATIC, width,
                                           height);
  if (texture != nullptr) {
    // The strip's bytes are blue, green, red like the device's 24-bit format.
    SDL_UpdateTexture(texture, nullptr, pixels.data(), width * 3);
  }
  return texture;
}

void Render() {
  SDL_RenderClear(g_screen.renderer);
  const Surface& surface = ScreenSurface();
  const SDL_Rect screen{0, 0, surface.width * g_screen.scale, surface.height * g_screen.scale};
  SDL_RenderCopy(g_screen.renderer, g_screen.texture, nullptr, &screen);
  if (g_screen.hint != nullptr) {
    const SDL_Rect hint{0, screen.h, screen.w, g_screen.hintHeight};
    SDL_RenderCopy(g_screen.renderer, g_screen.hint, nullptr, &hint);
  }
}

// Sends the rows of the framebuffer that changed since they were last shown
// to the texture; true when any did.
bool UpdateChangedRows() {
  const Surface& surface = ScreenSurface();
  const auto rowBytes = static_cast<size_t>(surface.pitch);
  const size_t total = rowBytes * static_cast<size_t>(surface.height);
  if (g_screen.shown.size() != total) {
    g_screen.shown.assign(total, 0);
    SDL_UpdateTexture(g_screen.texture, nullptr, surface.top, static_cast<int>(surface.pitch));
    std::copy_n(surface.top, total, g_screen.shown.data());
    return true;
  }
  int first = -1, last = -1;
  for (int y = 0; y < surface.height; ++y) {
    const size_t at = static_cast<size_t>(y) * rowBytes;
    if (std::memcmp(surface.top + at, g_screen.shown.data() + at, rowBytes) != 0) {
      if (first < 0) first = y;
      last = y;
    }
  }
  if (first < 0) return false;
  const size_t from = static_cast<size_t>(first) * rowBytes;
  const size_t bytes = static_cast<size_t>(last - first + 1) * rowBytes;
  const SDL_Rect rows{0, first, surface.width, last - first + 1};
  SDL_UpdateTexture(g_screen.texture, &rows, surface.top + from, static_cast<int>(surface.pitch));
  std::copy_n(surface.top + from, bytes, g_screen.shown.data() + from);
  return true;
}

// Shows the framebuffer when it changed or the desktop asked for it.
void PresentIfChanged() {
  const bool changed = UpdateChangedRows();
  if (!changed && !g_screen.exposed) return;
  g_screen.exposed = false;
  Render();
  SDL_RenderPresent(g_screen.renderer);
  ++g_screen.presents;
}

// Keys without a character. Printable keys arrive as text (below).
int KeyOf(SDL_Keycode key) {
  switch (key) {
    case SDLK_F1: return VK_TSOFT1;
    case SDLK_F2: return VK_TSOFT2;
    case SDLK_F3: return VK_TTALK;
    case SDLK_F4: return VK_TEND;
    case SDLK_ESCAPE: return VK_TBACK;
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return VK_RETURN;
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_TAB: return VK_TAB;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_UP: return VK_UP;
    case SDLK_DOWN: return VK_DOWN;
    case SDLK_HOME: return VK_HOME;
    case SDLK_END: return VK_END;
    case SDLK_PAGEUP: return VK_PRIOR;
    case SDLK_PAGEDOWN: return VK_NEXT;
    case SDLK_DELETE: return VK_DELETE;
    case SDLK_F10: return VK_HELP;
    default: return 0;
  }
}

// The keys of the device's keypad: a digit is its own key, "*" and "#" are
// the star and pound keys. They arrive as key presses; the character
// follows from TranslateMessage, as on the device.
int KeypadKeyOf(char32_t c) {
  if (c >= U'0' && c <= U'9') return static_cast<int>(c);
  if (c == U'*') return VK_TSTAR;
  if (c == U'#') return VK_TPOUND;
  return 0;
}

void InjectText(const char* text) {
  for (size_t i = 0; text[i] != 0;) {
    char32_t c = static_cast<unsigned char>(text[i]);
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    c &= extra == 0 ? 0x7F : (0x3F >> extra);
    ++i;
    for (; extra > 0 && text[i] != 0; --extra, ++i) c = (c << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
    if (const int key = KeypadKeyOf(c); key != 0) {
      InjectKeyDown(key);
      InjectKeyUp(key);
    } else if (c < 0x10000) {
      InjectChar(static_cast<WCHAR>(c));
    } else if (c < 0x110000) {
      c -= 0x10000;
      InjectChar(static_cast<WCHAR>(0xD800 | (c >> 10)));
      InjectChar(static_cast<WCHAR>(0xDC00 | (c & 0x3FF)));
    }
  }
}

void Handle(const SDL_Event& event) {
  const int scale = g_screen.scale;
  switch (event.type) {
    case SDL_QUIT:
      if (HWND active = GetActiveWindow(); active != nullptr) {
        PostMessageW(active, WM_CLOSE, 0, 0);
      } else {
        PostQuitMessage(0);
      }
      break;
    case SDL_MOUSEBUTTONDOWN:
      if (event.button.button == SDL_BUTTON_LEFT) InjectPenDown(event.button.x / scale, event.button.y / scale);
      break;
    case SDL_MOUSEBUTTONUP:
      if (event.button.button == SDL_BUTTON_LEFT) InjectPenUp(event.button.x / scale, event.button.y / scale);
      break;
    case SDL_MOUSEMOTION:
      if (event.motion.state & SDL_BUTTON_LMASK) InjectPenMove(event.motion.x / scale, event.motion.y / scale);
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      const int key = KeyOf(event.key.keysym.sym);
      if (key == 0) break;
      if (event.type == SDL_KEYDOWN) {
        InjectKeyDown(key);
      } else {
        InjectKeyUp(key);
      }
      break;
    }
    case SDL_TEXTINPUT:
      // Printable keys arrive as text, so every script can be typed.
      InjectText(event.text.text);
      break;
    case SDL_WINDOWEVENT:
      switch (event.window.event) {
        case SDL_WINDOWEVENT_FOCUS_LOST: SwitchToAnotherApplication(); break;
        case SDL_WINDOWEVENT_FOCUS_GAINED: ReturnFromAnotherApplication(); break;
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_SIZE_CHANGED: g_screen.exposed = true; break;
        default: break;
      }
      break;
    default: break;
  }
}

// Moves the desktop's pending events into the device's input queue.
void PumpSdlInput(void*) {
  SDL_PumpEvents();
  SDL_Event event;
  while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1) Handle(event);
}

// How long the loop sleeps at most while sockets of other processes are
// watched (SDL cannot wait on them): short enough for a second instance,
// long enough to cost nothing.
constexpr int kSocketPollMilliseconds = 50;

void SdlWait(void*, int64_t timerWait) {
  PresentIfChanged();
  PollWatchedDescriptors(0);
  // Sleep until an event of the desktop or the next timer.
  int milliseconds = timerWait < 0 ? -1 : static_cast<int>(std::min<int64_t>(INT32_MAX, (timerWait + 999) / 1000));
  if (HasWatchedDescriptors() && (milliseconds < 0 || milliseconds > kSocketPollMilliseconds)) {
    milliseconds = kSocketPollMilliseconds;
  }
  SDL_Event event;
  const int got = milliseconds < 0 ? SDL_WaitEvent(&event) : SDL_WaitEventTimeout(&event, milliseconds);
  if (got != 0) {
    Handle(event);
    PumpSdlInput(nullptr);
  }
}

}  // namespace

bool StartSdlScreen() {
  if (SDL_Init(SDL_INIT_VIDEO) != 0) return false;
  const Surface& surface = ScreenSurface();
  g_screen.scale = surface.width <= 320 ? 2 : 1;
  g_screen.hintHeight = 22;
  const int width = surface.width * g_screen.scale;
  const int height = surface.height * g_screen.scale + g_screen.hintHeight;
  g_screen.window = SDL_CreateWindow("Handheld", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height, 0);
  if (g_screen.window != nullptr) g_screen.renderer = SDL_CreateRenderer(g_screen.window, -1, 0);
  if (g_screen.renderer != nullptr) {
    g_screen.texture = SDL_CreateTexture(g_screen.renderer, TextureFormat(surface.bitsPerPixel),
                                         SDL_TEXTUREACCESS_STREAMING, surface.width, surface.height);
  }
  if (g_screen.texture == nullptr) {
    StopSdlScreen();
    return false;
  }
  g_screen.hint = MakeHint(width, g_screen.hintHeight);
  SDL_StartTextInput();
  SetIdleWaiter(SdlWait, nullptr);
  SetInputPump(PumpSdlInput, nullptr);
  PresentIfChanged();
  return true;
}

bool SaveSdlWindowShot(const std::string& path) {
  if (g_screen.renderer == nullptr) return false;
  // Read the picture back before it is presented: after that the buffer
  // may hold anything.
  UpdateChangedRows();
  Render();
  int width = 0, height = 0;
  SDL_GetRendererOutputSize(g_screen.renderer, &width, &height);
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
  const bool read = SDL_RenderReadPixels(g_screen.renderer, nullptr, SDL_PIXELFORMAT_RGB24, rgb.data(), width * 3) == 0;
  SDL_RenderPresent(g_screen.renderer);
  ++g_screen.presents;
  return read && WritePng(path, width, height, rgb);
}

uint64_t SdlPresentCount() { return g_screen.presents; }

void StopSdlScreen() {
  SetInputPump(nullptr, nullptr);
  if (g_screen.hint != nullptr) SDL_DestroyTexture(g_screen.hint);
  if (g_screen.texture != nullptr) SDL_DestroyTexture(g_screen.texture);
  if (g_screen.renderer != nullptr) SDL_DestroyRenderer(g_screen.renderer);
  if (g_screen.window != nullptr) SDL_DestroyWindow(g_screen.window);
  g_screen = SdlScreen{};
  SDL_Quit();
}

}  // namespace platform
