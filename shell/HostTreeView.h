#pragma once
// The bookmark tree: a tree control with an image list (a closed and an
// open book, sized for the screen), whose rows are the viewer's items.
// Enter selects, Left and Right collapse and expand, and a tap selects while
// a drag of the pen only scrolls.
#include "runtime/HostControls.h"
#include "runtime/HostTreeItems.h"
#include "shell/HostWindow.h"

namespace shell {

inline constexpr platform::DWORD kTreeStyle = 0x50300037 | kScrollBarsStyle;

class HostTreeView final : public HostControl<runtime::HostTreeView>, public runtime::TreeItems {
 public:
  static HostTreeView* Create(shell::HostWindow* parent);
  // Destroys the image list, then the window.
  ~HostTreeView() override;

  void* InnerObject() override { return static_cast<runtime::TreeItems*>(this); }
  // Removes every row.
  void Clear() override { DeleteAll(); }

  void DeleteAll() override;
  void Insert(runtime::TreeItem* item, runtime::TreeItem* parent, bool expanded) override;
  void Update(runtime::TreeItem* item, bool expanded) override;
  runtime::TreeItem* GetSelected() override;

  platform::HIMAGELIST ImageList() const { return images_; }

 private:
  HostTreeView() = default;
  static platform::LRESULT SubclassProc(platform::HWND window, platform::UINT message, platform::WPARAM wParam,
                                        platform::LPARAM lParam);

  platform::HIMAGELIST images_ = nullptr;
  platform::WNDPROC original_ = nullptr;
};

}  // namespace shell
