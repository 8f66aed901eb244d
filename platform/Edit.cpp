// Edit fields: single line (optionally a password), and multi-line with
// word wrap; selection, caret, and focus notifications to the parent.
#include <algorithm>
#include <vector>

#include "platform/ControlSupport.h"
#include "platform/Dialog.h"
#include "platform/WideText.h"

namespace platform {
namespace {

constexpr size_t kDefaultLimit = 30000;

struct EditState {
  HFONT font = nullptr;
  std::u16string text;
  size_t anchor = 0;  // selection start
  size_t caret = 0;   // selection end
  int scrollX = 0;    // single line: pixels scrolled off the left
  size_t topLine = 0;  // multi-line: first line shown
  size_t limit = kDefaultLimit;
};

ControlStates<EditState> g_edits;

DWORD StyleOf(HWND window) { return static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)); }
bool Multiline(HWND window) { return (StyleOf(window) & ES_MULTILINE) != 0; }

struct Line {
  size_t start;
  size_t length;
};

// Measures with the field's font.
class Measure {
 public:
  Measure(HWND window, HFONT font) : window_(window), dc_(GetDC(window)) {
    if (font != nullptr) SelectObject(dc_, font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc_, &metrics);
    lineHeight_ = std::max<int>(1, metrics.tmHeight);
  }
  ~Measure() { ReleaseDC(window_, dc_); }
  Measure(const Measure&) = delete;
  Measure& operator=(const Measure&) = delete;
  int Width(std::u16string_view text) const {
    SIZE size{};
    GetTextExtentPoint32W(dc_, text.data(), static_cast<int>(text.size()), &size);
    return size.cx;
  }
  int lineHeight() const { return lineHeight_; }

 private:
  HWND window_;
  HDC dc_;
  int lineHeight_ = 1;
};

std::u16string Shown(HWND window, const EditState& state) {
  if (StyleOf(window) & ES_PASSWORD) return std::u16string(state.text.size(), u'*');
  return state.text;
}

int Margin() { return Scaled(3); }

// Lines of a multi-line field: at line breaks, and wrapped at blanks (a word
// wider than the field is broken where it must). Each character is measured
// once, so a long text costs time in proportion to its length.
std::vector<Line> Layout(const std::u16string& text, int width, const Measure& measure) {
  std::vector<Line> lines;
  std::vector<int64_t> prefix;  // width of the line's first k characters
  size_t start = 0;
  while (true) {
    size_t end = text.find(u'\n', start);
    if (end == std::u16string::npos) end = text.size();
    const size_t lineEnd = end > start && text[end - 1] == u'\r' ? end - 1 : end;
    prefix.assign(lineEnd - start + 1, 0);
    for (size_t k = start; k < lineEnd; ++k) {
      prefix[k - start + 1] = prefix[k - start] + measure.Width(std::u16string_view(text).substr(k, 1));
    }
    const auto span = [&](size_t from, size_t to) { return prefix[to - start] - prefix[from - start]; };
    size_t at = start;
    while (span(at, lineEnd) > width && lineEnd - at > 1) {
      size_t fit = at + 1;  // at least one character per line
      while (fit < lineEnd && span(at, fit + 1) <= width) ++fit;
      size_t cut = fit;
      const size_t blank = text.rfind(u' ', fit);
      if (blank != std::u16string::npos && blank > at) cut = blank;
      lines.push_back(Line{at, cut - at});
      at = cut;
      while (at < lineEnd && text[at] == u' ') ++at;
    }
    lines.push_back(Line{at, lineEnd - at});
    if (end == text.size()) break;
    start = end + 1;
  }
  return lines;
}

size_t LineOf(const std::vector<Line>& lines, size_t position) {
  for (size_t i = lines.size(); i-- > 0;) {
    if (position >= lines[i].start) return i;
  }
  return 0;
}

void Changed(HWND window) {
  InvalidateRect(window, nullptr, TRUE);
  NotifyParent(window, EN_CHANGE);
}

void ScrollToCaret(HWND window) {
  EditState& state = g_edits.Get(window);
  RECT client{};
  GetClientRect(window, &client);
  const Measure measure(window, state.font);
  const int width = std::max(1, static_cast<int>(client.right) - 2 * Margin());
  if (Multiline(window)) {
    const auto lines = Layout(state.text, width, measure);
    const size_t line = LineOf(lines, state.caret);
    const size_t visible = std::max<size_t>(1, static_cast<size_t>(client.bottom / measure.lineHeight()));
    if (line < state.topLine) state.topLine = line;
    if (line >= state.topLine + visible) state.topLine = line - visible + 1;
  } else {
    const std::u16string shown = Shown(window, state);
    const int caretX = measure.Width(std::u16string_view(shown).substr(0, state.caret));
    if (caretX - state.scrollX > width) state.scrollX = caretX - width;
    if (caretX < state.scrollX) state.scrollX = caretX;
  }
  InvalidateRect(window, nullptr, TRUE);
}

void Replace(HWND window, std::u16string_view insert) {
  EditState& state = g_edits.Get(window);
  const size_t from = std::min(state.anchor, state.caret);
  const size_t to = std::max(state.anchor, state.caret);
  const size_t room = state.limit - std::min(state.limit, state.text.size() - (to - from));
  insert = insert.substr(0, std::min(insert.size(), room));
  state.text.replace(from, to - from, insert);
  state.anchor = state.caret = from + insert.size();
  ScrollToCaret(window);
  Changed(window);
}

void OnChar(HWND window, WCHAR character) {
  EditState& state = g_edits.Get(window);
  if (StyleOf(window) & ES_READONLY) return;
  if (character == VK_BACK) {
    if (state.anchor == state.caret && state.caret > 0) state.anchor = state.caret - 1;
    Replace(window, u"");
    return;
  }
  if (character == VK_RETURN) {
    if (Multiline(window)) Replace(window, u"\r\n");
    return;
  }
  if (character < 0x20) return;
  if ((StyleOf(window) & ES_NUMBER) && (character < u'0' || character > u'9')) return;
  Replace(window, std::u16string_view(&character, 1));
}

void OnKey(HWND window, int key) {
  EditState& state = g_edits.Get(window);
  const size_t size = state.text.size();
  switch (key) {
    case VK_LEFT: state.caret = state.caret > 0 ? state.caret - 1 : 0; break;
    case VK_RIGHT: state.caret = std::min(size, state.caret + 1); break;
    case VK_HOME: state.caret = 0; break;
    case VK_END: state.caret = size; break;
    case VK_DELETE:
      if (StyleOf(window) & ES_READONLY) return;
      if (state.anchor == state.caret && state.caret < size) state.anchor = state.caret + 1;
      Replace(window, u"");
      return;
    case VK_UP:
    case VK_DOWN: {
      if (!Multiline(window)) return;
      RECT client{};
      GetClientRect(window, &client);
      const Measure measure(window, state.font);
      const auto lines = Layout(state.text, std::max(1, static_cast<int>(client.right) - 2 * Margin()), measure);
      const size_t line = LineOf(lines, state.caret);
      const size_t column = state.caret - lines[line].start;
      const size_t target = key == VK_UP ? (line == 0 ? 0 : line - 1) : std::min(lines.size() - 1, line + 1);
      state.caret = lines[target].start + std::min(column, lines[target].length);
      break;
    }
    default: return;
  }
  state.anchor = state.caret;
  ScrollToCaret(window);
}

void Paint(HWND window) {
  EditState& state = g_edits.Get(window);
  ControlPainter painter(window, state.font);
  const RECT client = painter.client();
  const bool enabled = IsWindowEnabled(window) && !(StyleOf(window) & ES_READONLY);
  painter.Fill(client, enabled ? GetSysColor(COLOR_WINDOW) : RGB(240, 240, 240));
  if (StyleOf(window) & WS_BORDER) painter.Frame(client, kFrameColor);
  const Measure measure(window, state.font);
  const bool focused = GetFocus() == window;
  const size_t from = std::min(state.anchor, state.caret);
  const size_t to = std::max(state.anchor, state.caret);
  const std::u16string shown = Shown(window, state);
  const int lineHeight = measure.lineHeight();
  const auto drawLine = [&](size_t start, size_t length, int x, int y) {
    const std::u16string_view line = std::u16string_view(shown).substr(start, length);
    // Selection first, then the text over it.
    const size_t selectFrom = std::clamp(from, start, start + length);
    const size_t selectTo = std::clamp(to, start, start + length);
    if (focused && selectTo > selectFrom) {
      const int left = x + measure.Width(line.substr(0, selectFrom - start));
      const int right = x + measure.Width(line.substr(0, selectTo - start));
      painter.Fill(RECT{left, y, right, y + lineHeight}, kSelectionColor);
    }
    SetTextColor(painter.dc(), enabled ? kTextColor : kDisabledTextColor);
    const RECT clip{Margin() / 2, 0, client.right - Margin() / 2, client.bottom};
    ExtTextOutW(painter.dc(), x, y, ETO_CLIPPED, &clip, line.data(), static_cast<UINT>(line.size()), nullptr);
    if (focused && selectTo > selectFrom) {
      SetTextColor(painter.dc(), RGB(255, 255, 255));
      const int left = x + measure.Width(line.substr(0, selectFrom - start));
      const std::u16string_view selected = line.substr(selectFrom - start, selectTo - selectFrom);
      const RECT inner{std::max<LONG>(clip.left, left), clip.top, clip.right, clip.bottom};
      ExtTextOutW(painter.dc(), left, y, ETO_CLIPPED, &inner, selected.data(), static_cast<UINT>(selected.size()),
                  nullptr);
    }
    if (focused && state.caret >= start && state.caret <= start + length) {
      const int caretX = x + measure.Width(line.substr(0, state.caret - start));
      painter.Fill(RECT{caretX, y, caretX + std::max(1, Scaled(1)), y + lineHeight}, kTextColor);
    }
  };
  if (Multiline(window)) {
    const auto lines = Layout(state.text, std::max(1, static_cast<int>(client.right) - 2 * Margin()), measure);
    int y = Margin() / 2;
    for (size_t i = state.topLine; i < lines.size() && y < client.bottom; ++i, y += lineHeight) {
      drawLine(lines[i].start, lines[i].length, Margin(), y);
    }
    return;
  }
  const int width = measure.Width(shown);
  int x = Margin() - state.scrollX;
  const DWORD style = StyleOf(window);
  if (width < client.right - 2 * Margin()) {
    if (style & ES_CENTER) x = (client.right - width) / 2;
    if (style & ES_RIGHT) x = client.right - Margin() - width;
  }
  drawLine(0, shown.size(), x, (client.bottom - lineHeight) / 2);
}

size_t PositionAt(HWND window, POINT point) {
  EditState& state = g_edits.Get(window);
  const Measure measure(window, state.font);
  RECT client{};
  GetClientRect(window, &client);
  const std::u16string shown = Shown(window, state);
  size_t start = 0, length = shown.size();
  int x = Margin() - state.scrollX;
  if (Multiline(window)) {
    const auto lines = Layout(state.text, std::max(1, static_cast<int>(client.right) - 2 * Margin()), measure);
    const size_t line = std::min(lines.size() - 1, state.topLine + static_cast<size_t>(std::max(0, static_cast<int>(point.y)) / measure.lineHeight()));
    start = lines[line].start;
    length = lines[line].length;
    x = Margin();
  }
  for (size_t i = 0; i < length; ++i) {
    const int middle = x + (measure.Width(std::u16string_view(shown).substr(start, i)) +
                            measure.Width(std::u16string_view(shown).substr(start, i + 1))) / 2;
    if (point.x < middle) return start + i;
  }
  return start + length;
}

}  // namespace

LRESULT EditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: {
      const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
      g_edits.Get(window).text = WideView(create->lpszName);
      return 0;
    }
    case WM_SETFONT:
      g_edits.Get(window).font = reinterpret_cast<HFONT>(wParam);
      InvalidateRect(window, nullptr, TRUE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(g_edits.Get(window).font);
    case WM_SETTEXT: {
      EditState& state = g_edits.Get(window);
      state.text = WideView(reinterpret_cast<LPCWSTR>(lParam)).substr(0, state.limit);
      state.anchor = state.caret = 0;
      state.scrollX = 0;
      state.topLine = 0;
      InvalidateRect(window, nullptr, TRUE);
      return TRUE;
    }
    case WM_GETTEXT:
      if (wParam == 0 || lParam == 0) return 0;
      return static_cast<LRESULT>(WideCopy(reinterpret_cast<WCHAR*>(lParam), wParam, g_edits.Get(window).text));
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(g_edits.Get(window).text.size());
    case WM_CHAR:
      OnChar(window, static_cast<WCHAR>(wParam));
      return 0;
    case WM_KEYDOWN:
      OnKey(window, static_cast<int>(wParam));
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS | (Multiline(window) ? DLGC_WANTALLKEYS : 0);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      SetFocus(window);
      EditState& state = g_edits.Get(window);
      state.anchor = state.caret = PositionAt(window, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      if (message == WM_LBUTTONDBLCLK) {
        state.anchor = 0;
        state.caret = state.text.size();
      }
      InvalidateRect(window, nullptr, TRUE);
      return 0;
    }
    case WM_SETFOCUS:
      InvalidateRect(window, nullptr, TRUE);
      NotifyParent(window, EN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      InvalidateRect(window, nullptr, TRUE);
      NotifyParent(window, EN_KILLFOCUS);
      return 0;
    case EM_SETSEL: {
      EditState& state = g_edits.Get(window);
      const auto start = static_cast<intptr_t>(wParam);
      const auto end = static_cast<intptr_t>(lParam);
      const size_t size = state.text.size();
      if (start < 0) {
        state.anchor = state.caret;
      } else {
        state.anchor = std::min(static_cast<size_t>(start), size);
        state.caret = end < 0 ? size : std::min(static_cast<size_t>(end), size);
      }
      InvalidateRect(window, nullptr, TRUE);
      return 0;
    }
    case EM_GETSEL: {
      const EditState& state = g_edits.Get(window);
      const auto from = static_cast<DWORD>(std::min(state.anchor, state.caret));
      const auto to = static_cast<DWORD>(std::max(state.anchor, state.caret));
      if (wParam != 0) *reinterpret_cast<DWORD*>(wParam) = from;
      if (lParam != 0) *reinterpret_cast<DWORD*>(lParam) = to;
      return static_cast<LRESULT>(MAKELONG(static_cast<WORD>(from), static_cast<WORD>(to)));
    }
    case EM_SCROLLCARET:
      ScrollToCaret(window);
      return TRUE;
    case EM_LIMITTEXT:
      g_edits.Get(window).limit = wParam == 0 ? kDefaultLimit : static_cast<size_t>(wParam);
      return 0;
    case EM_SETREADONLY: {
      const auto style = StyleOf(window);
      SetWindowLongW(window, GWL_STYLE, static_cast<LONG_PTR>(wParam ? (style | ES_READONLY) : (style & ~ES_READONLY)));
      InvalidateRect(window, nullptr, TRUE);
      return TRUE;
    }
    case WM_PAINT:
      Paint(window);
      return 0;
    case WM_SIZE:
      ScrollToCaret(window);
      return 0;
    case WM_DESTROY:
      g_edits.Drop(window);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace platform
