#pragma once
// The shell's wrapper of every window and control it makes for the viewer:
// view windows (top-level with their soft-key menu bar, or children),
// owner-drawn buttons, the page-number box and the bookmark tree. The
// wrapper lives in its window's user-data word; it places, labels and
// draws on the window and carries the window's full-screen mode.
#include <cstdint>
#include <vector>

#include "platform/Controls.h"
#include "runtime/HostWindow.h"
#include "shell/DrawTarget.h"
#include "shell/WString.h"

namespace shell {

class WindowSurface;

// The scroll bars' state: visible start, visible end and total extent per
// bar, and whether each bar is hidden.
struct ScrollBarsRecord {
  int32_t horizontalStart = 0;
  int32_t horizontalEnd = 0;
  int32_t horizontalTotal = 0;
  int32_t verticalStart = 0;
  int32_t verticalEnd = 0;
  int32_t verticalTotal = 0;
  uint8_t hideHorizontal = 0;
  uint8_t hideVertical = 0;
};

// Full-screen states of a window.
inline constexpr uint8_t kFullScreenOff = 0;
inline constexpr uint8_t kFullScreenSuspended = 1;
inline constexpr uint8_t kFullScreenOn = 2;

// Style bits of the windows the shell makes.
inline constexpr platform::DWORD kTopLevelViewStyle = 0x12000000;  // visible, clip children
inline constexpr platform::DWORD kChildViewStyle = 0x56000000;     // child, visible, clip siblings and children
inline constexpr platform::DWORD kScrollBarsStyle = 0x00B00000;    // border, both scroll bars
inline constexpr platform::DWORD kButtonStyle = 0x5001000B;        // child, visible, tab stop, owner-drawn

class HostWindow : public runtime::HostWindow {
 public:
  // A view window of the main class: top-level (with its soft-key menu bar
  // from template 106) when `parent` is null, else a child. Null when the
  // window or the top-level window's menu bar could not be made.
  static HostWindow* CreateView(HostWindow* parent, bool scrollBars);
  // An owner-drawn button in `parent`; null on failure.
  static HostWindow* CreateButton(HostWindow* parent);
  // The wrapper stored in a window, or null.
  static HostWindow* FromHandle(platform::HWND window);

  // Destroys the window (and a top-level window's menu bar).
  ~HostWindow() override;
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  // runtime::HostWindow.
  void SetRect(const runtime::HostRect& rect) override { SetBounds(rect); }
  void GetRect(runtime::HostRect* rect) const override { GetBounds(rect); }
  void SetText(const char16_t* text) override;

  // Places the window in its parent's client area; a bordered window is
  // grown by its border so that its inside has the rectangle.
  virtual void SetBounds(const runtime::HostRect& rect);
  void GetBounds(runtime::HostRect* rect) const;
  void Show(bool show) override;
  bool DrawBitmap(runtime::HostBitmap& source, const runtime::HostRect& sourceRect,
                  const runtime::HostRect& destination) override;
  // Marks the rectangle of the client area for the next WM_PAINT.
  void Invalidate(const runtime::HostRect& rect) override;
  // The viewer's surface on the window: BeginPaint while the window has an
  // area waiting to be painted (inside WM_PAINT), else GetDC, so that a
  // paint outside WM_PAINT is not clipped away. One surface at a time:
  // null while one is open or when no target could be made.
  runtime::ViewSurface* OpenSurface() override;
  void CloseSurface(runtime::ViewSurface* surface) override;
  // Ends a paint the viewer may have left unfinished (an error between
  // opening and closing its surface): closes the surface and validates
  // the window, so it is not asked to paint again and again.
  void FinishPaint();
  // A target for one painting step: on the WM_DRAWITEM device context while
  // the window draws an item, else BeginPaint (paint) or GetDC.
  DrawTarget* CreateDrawTarget(bool paint);
  void ReleaseDrawTarget(DrawTarget* target);
  // The window's text; valid until the next call.
  const char16_t* GetText();
  void SelectAllIfEdit();
  void SetScrollBars(const ScrollBarsRecord& record);
  int32_t GetHScrollHeight() const;
  int32_t GetVScrollWidth() const;
  void Focus() override;
  // The tree's item list for a tree control; null for other windows.
  virtual void* InnerObject() { return nullptr; }

  // Full screen.
  void SetFullScreen(bool on) override;
  void SuspendFullScreen();
  void ResumeFullScreen();
  void SetActive(bool active);
  void SetFullScreenMenuBar(platform::HWND bar);
  void Relayout(bool force);
  uint8_t FullScreenState() const { return fullScreen_; }
  bool IsActive() const { return active_ != 0; }

  // Popups of the window's soft keys, by menu handle, with the command id
  // they were built for.
  void ClearPopups() { popups_.clear(); }
  void RegisterPopup(platform::HMENU menu, uint32_t id);
  bool FindPopup(platform::HMENU menu, uint32_t* id) const;

  // The draw-item record, set by the window procedure for one WM_DRAWITEM.
  void SetDrawItem(const platform::DRAWITEMSTRUCT* record) { drawItem_ = record; }

  platform::HWND Handle() const { return window_; }
  bool WasActiveAtCreation() const { return activeAtCreation_; }

 protected:
  HostWindow() = default;
  // Makes the window and stores the wrapper in it; false on failure.
  bool Make(const char16_t* className, const char16_t* title, platform::DWORD style, platform::HWND parent);
  bool HasBorder() const;

 private:
  struct Popup {
    platform::HMENU menu;
    uint32_t id;
  };

  platform::HWND window_ = nullptr;
  uint8_t active_ = 0;
  uint8_t fullScreen_ = kFullScreenOff;
  WString text_;
  const platform::DRAWITEMSTRUCT* drawItem_ = nullptr;
  WindowSurface* surface_ = nullptr;
  std::vector<Popup> popups_;
  bool activeAtCreation_ = false;
};

// A control that the viewer knows by a runtime type of its own (the
// page-number box, the bookmark tree): both the control's runtime type and
// the shell's wrapper, the control's window operations being the wrapper's.
template <class RuntimeControl>
class HostControl : public HostWindow, public RuntimeControl {
 public:
  void SetRect(const runtime::HostRect& rect) override { SetBounds(rect); }
  void GetRect(runtime::HostRect* rect) const override { GetBounds(rect); }
  void SetText(const char16_t* text) override { shell::HostWindow::SetText(text); }
  void Show(bool show) override { shell::HostWindow::Show(show); }
  void Focus() override { shell::HostWindow::Focus(); }
  void SetFullScreen(bool on) override { shell::HostWindow::SetFullScreen(on); }
  bool DrawBitmap(runtime::HostBitmap& source, const runtime::HostRect& sourceRect,
                  const runtime::HostRect& destination) override {
    return shell::HostWindow::DrawBitmap(source, sourceRect, destination);
  }

 protected:
  HostControl() = default;
};

}  // namespace shell
