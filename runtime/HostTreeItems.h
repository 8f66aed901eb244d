#pragma once
// The rows of the bookmark tree as the viewer fills them. The viewer's
// bookmarks are TreeItems; the host's tree control also offers TreeItems
// (reached from the HostTreeView with dynamic_cast).
namespace runtime {

// One bookmark: its text, whether it has children, and the host's handle
// of its row.
class TreeItem {
 public:
  virtual const char16_t* TreeText() = 0;
  virtual bool HasTreeChildren() = 0;
  virtual void SetTreeHandle(void* handle) = 0;
  virtual void* TreeHandle() = 0;

 protected:
  ~TreeItem() = default;
};

class TreeItems {
 public:
  // Removes every row (the items themselves stay the viewer's).
  virtual void DeleteAll() = 0;
  // Adds `item` as the last child of `parent` (null: the top level),
  // expanded or not, and gives the item its row's handle.
  virtual void Insert(TreeItem* item, TreeItem* parent, bool expanded) = 0;
  // Refreshes the text, state and image of the item's row.
  virtual void Update(TreeItem* item, bool expanded) = 0;
  // The item of the selected row, or null.
  virtual TreeItem* GetSelected() = 0;

 protected:
  ~TreeItems() = default;
};

}  // namespace runtime
