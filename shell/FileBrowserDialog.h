#pragma once
// The file browser: the device's folders and PDF files in a tree that
// fills the dialog. Folders are listed when they are opened; each listed
// sub-folder is probed for one entry so that the tree shows whether it can
// be opened. The chosen file (or, in folders-only mode, folder) is the
// result.
#include <cstdint>

#include "platform/Controls.h"
#include "platform/Files.h"
#include "shell/ShellDialog.h"

namespace shell {

inline constexpr uint32_t kBrowserRootText = 1301;
inline constexpr uint32_t kBrowserOpenText = 1302;
inline constexpr uint32_t kBrowserCloseText = 1303;

// Private messages of the browser's tree: choose an item (wParam 1 the
// selected item, 0 the item under the pen at lParam), and relabel the soft
// key after the control moved the selection.
inline constexpr platform::UINT kBrowserChooseMessage = 0x401;
inline constexpr platform::UINT kBrowserRelabelMessage = 0x402;

class FileBrowserDialog final : public ShellDialog<runtime::FileBrowserDialog> {
 public:
  FileBrowserDialog();
  ~FileBrowserDialog() override;

  const char16_t* GetChosenPath() const override { return chosen_.Chars(); }
  void SetSoftKeys(const runtime::MenuItemDesc* keys) override;

  // Options of the browser: comma-separated extensions ("pdf" unless set;
  // empty accepts every file), and folders instead of files.
  void SetExtensionFilter(const char16_t* extensions) { filter_.AssignCString(extensions); }
  void SetFoldersOnly(bool on) { foldersOnly_ = on ? 1 : 0; }

  uint32_t GetTemplateId() override;
  intptr_t OnInitDialog(platform::HWND window) override;
  void OnDestroy() override;
  intptr_t OnSize(platform::WPARAM type, int width, int height) override;
  intptr_t OnNotify(platform::WPARAM wParam, platform::LPARAM lParam) override;
  bool OnCommand(platform::WPARAM wParam, platform::LPARAM lParam) override;

 private:
  struct Node {
    platform::HTREEITEM item = nullptr;
    platform::WIN32_FIND_DATAW entry{};
    WString path;
    Node* next = nullptr;
  };

  static platform::LRESULT TreeProc(platform::HWND window, platform::UINT message, platform::WPARAM wParam,
                                    platform::LPARAM lParam);
  static int CompareNodes(platform::LPARAM first, platform::LPARAM second, platform::LPARAM);
  platform::LRESULT OnTreeMessage(platform::UINT message, platform::WPARAM wParam, platform::LPARAM lParam);

  Node* AddNode(platform::HTREEITEM parent, const platform::WIN32_FIND_DATAW& entry, const WString& path, int image,
                platform::HTREEITEM after);
  void FreeNode(Node* node);
  void FreeAllNodes();
  void RemoveChildren(platform::HTREEITEM item);
  void ListFolder(Node* node, int depth);
  bool Accepts(const platform::WIN32_FIND_DATAW& entry) const;
  void GoToInitialFolder();
  Node* NodeOf(platform::HTREEITEM item) const;
  platform::HTREEITEM Selected() const;
  bool IsExpanded(platform::HTREEITEM item) const;
  bool HasChildren(platform::HTREEITEM item) const;
  void SetImage(platform::HTREEITEM item, int image);
  void OpenItem(platform::HTREEITEM item);
  void CloseItem(platform::HTREEITEM item);
  void Choose(platform::HTREEITEM item, bool isSelected);
  void Relabel(bool closeLabel);
  void RelabelForSelection();
  void SizeTree();
  platform::HTREEITEM ItemAt(platform::LPARAM position) const;

  platform::HWND tree_ = nullptr;
  platform::WNDPROC treeProc_ = nullptr;
  Node* nodes_ = nullptr;
  platform::HIMAGELIST images_ = nullptr;
  WString filter_;
  WString chosen_;
  const runtime::MenuItemDesc* keys_ = nullptr;
  uint8_t foldersOnly_ = 0;
  uint8_t labelKey_ = 0;
  uint8_t noChoose_ = 0;
  uint8_t penDown_ = 0;
  int32_t penMoves_ = 0;
  platform::LPARAM lastPen_ = 0;
  DialogFont font_;
};

}  // namespace shell
