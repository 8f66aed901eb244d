#pragma once
// The application object the shell holds for the whole run: the library
// context (memory, the cooperative-thread scheduler, the caches, a screen
// device context) with the document viewer inside it. The shell creates it
// with its HostServices and option word, starts it with the file named on
// the command line, forwards its window messages here and destroys it after
// the message loop.
#include <cstdint>

#include "runtime/LibraryContext.h"
#include "runtime/RecordCache.h"
#include "runtime/Scheduler.h"
#include "runtime/ScreenDeviceContext.h"
#include "viewer/Viewer.h"

namespace runtime {
class HostServices;
class HostWindow;
}  // namespace runtime

namespace viewer {

// Memory limits of the library context until the viewer reads the host's
// budget.
inline constexpr uint64_t kAppSoftPurgeBytes = 5000000;
inline constexpr uint64_t kAppLargeBlockBytes = 500000;
inline constexpr uint64_t kAppMinimumPurgeBytes = 1000000;

class ViewerApp {
 public:
  // A new application object; null when there is no memory for it.
  static ViewerApp* Create(runtime::HostServices* host, uint32_t options);
  // Destroys and frees `app`; null is ignored.
  static void Destroy(ViewerApp* app);

  ViewerApp(runtime::HostServices* host, uint32_t options);
  ~ViewerApp();
  ViewerApp(const ViewerApp&) = delete;
  ViewerApp& operator=(const ViewerApp&) = delete;

  // Starts the viewer; `path` (or null) is opened once the splash is gone.
  void OpenInitialDocument(const char16_t* path);
  // A path another instance sent: opened at once. 1 when it was installed
  // (or is the one shown), 0 otherwise.
  int32_t OnCopyData(const char16_t* path);
  // Empties every cache of the context, re-scoring them first (the
  // application lost activation).
  void ReleaseCachedMemory();
  // Around every shell message box and dialog.
  void BeginModalUi();
  void EndModalUi();

  // Window messages. Errors of a command end the command, not the
  // application.
  void OnCommand(uint32_t id);
  int32_t OnKeyCommand(char16_t character);
  void OnToolbarButton(const runtime::HostWindow* control);
  void OnLineLeft(const runtime::HostWindow* source);
  void OnLineRight(const runtime::HostWindow* source);
  void OnPageLeft(const runtime::HostWindow* source);
  void OnPageRight(const runtime::HostWindow* source);
  void OnLineUp(const runtime::HostWindow* source);
  void OnLineDown(const runtime::HostWindow* source);
  void OnPageUp(const runtime::HostWindow* source);
  void OnPageDown(const runtime::HostWindow* source);
  void OnBookmarkSelected();
  // A size message: the main container's lays the controls out again
  // (1); any other window's is not the viewer's (0).
  int32_t OnSize(const runtime::HostWindow* window, int32_t width, int32_t height);
  // WM_USER+1 sets the zoom from a 32-bit float's bit pattern; WM_USER
  // answers the zoom in effect the same way.
  void SetZoomFactor(uint32_t floatBits);
  uint32_t GetZoomFactor() const { return viewer.GetZoomFactor(); }
  // VK_LEFT, VK_UP, VK_RIGHT, VK_DOWN, VK_HOME and VK_END, with the window
  // the key was typed in.
  void OnKeyLeft(const runtime::HostWindow* window);
  void OnKeyUp(const runtime::HostWindow* window);
  void OnKeyRight(const runtime::HostWindow* window);
  void OnKeyDown(const runtime::HostWindow* window);
  void OnKeyHome(const runtime::HostWindow* window);
  void OnKeyEnd(const runtime::HostWindow* window);
  // VK_TAB moves the focus to the next link on screen; VK_RETURN follows
  // the focused link.
  void OnKeyNextLink(const runtime::HostWindow* window);
  void OnKeyAction(const runtime::HostWindow* window);
  // Enter in the toolbar's page box.
  void GoToTypedPage(const runtime::HostWindow* control);
  // Draws an owner-drawn button's picture (pressed or not); 0, so that the
  // default drawing runs after it.
  int32_t DrawToolbarButton(runtime::HostWindow* button, bool pressed);
  // Pen messages with the client point and the receiving window's wrapper
  // (null for a window without one).
  void OnMouseDown(int32_t x, int32_t y, runtime::HostWindow* window);
  void OnMouseDownAlt(int32_t x, int32_t y, runtime::HostWindow* window);
  void OnMouseMove(int32_t x, int32_t y, runtime::HostWindow* window);
  void OnMouseUp(int32_t x, int32_t y, runtime::HostWindow* window);
  void OnCaptureLost();

  // The library context, built member by member in this order and torn
  // down in the reverse one: after the viewer, the two caches go (their
  // items may still be in use until then), then the device context, then
  // the scheduler and the memory accounting, which everything above
  // relies on.
  runtime::LibraryContext context;
  runtime::Scheduler scheduler{&context};
  runtime::ScreenDeviceContext screenDc;
  // Small records under 24-byte keys: what the page renderer records per
  // page, and what the reflow layout reads back. Emptied with every other
  // cache when the application gives its memory back.
  runtime::RecordCache renderRecords{&context};
  runtime::RecordCache layoutRecords{&context};
  Viewer viewer;

 private:
  template <class Body>
  void Guarded(Body&& body);
};

}  // namespace viewer
