#pragma once
// An intrusive red-black tree ordered by a caller's comparator, balanced by
// top-down insertion: on the way down every node with two red children is
// split, so a new node can always be linked as a red leaf. Removal detaches
// without rebalancing; the tree stays ordered, only its balance may suffer.
//
// The tree registers a cleanup node that clears it when a throw passes.
#include <cstdint>

#include "runtime/CleanupNode.h"
#include "runtime/TreeNode.h"

namespace runtime {

class LibraryContext;

class Tree {
 public:
  // Negative when the key sorts before the node, positive after, 0 on a match.
  using Compare = int (*)(const void* key, const TreeNode* node);
  using DestroyNode = void (*)(void* context, TreeNode* node);

  // Where a descent ended: the slot holding the current node (or where a new
  // node would go) and the node owning that slot.
  struct Path {
    TreeNode** slot = nullptr;
    TreeNode* parent = nullptr;
  };

  Tree(LibraryContext* context, Compare compare, DestroyNode destroy = nullptr,
       void* destroyContext = nullptr);
  ~Tree();
  Tree(const Tree&) = delete;
  Tree& operator=(const Tree&) = delete;

  TreeNode* Find(const void* key) const;
  // The node with the greatest key not above `key`, or null.
  TreeNode* FindFloor(const void* key) const;
  // The node with the greatest key strictly below `key`, or null.
  TreeNode* FindBelow(const void* key) const;
  // The node with the smallest key not below `key`, or null.
  TreeNode* FindCeiling(const void* key) const;
  // Descends to `key`, splitting on the way; true when found.
  bool FindWithPath(Path* path, const void* key);
  // Links `node` under `key`. An existing node with that key is replaced in
  // place and handed to the destroy function. Returns `node`.
  TreeNode* InsertOrReplace(TreeNode* node, const void* key);
  // Links a new node where FindWithPath left the path.
  void LinkNew(TreeNode* node, const Path& path);
  // Detaches and returns the node with `key`, or null.
  TreeNode* RemoveKey(const void* key);
  // Detaches the node in `slot` and returns it; no rebalancing.
  static TreeNode* DetachNode(TreeNode** slot);

  TreeNode* Begin() const;
  static TreeNode* Next(const TreeNode* node);
  // Hands every node to the destroy function (children before parents),
  // then forgets the root.
  void Clear();

  TreeNode* Root() const { return root_; }
  bool IsEmpty() const { return root_ == nullptr; }

 private:
  static void Cleanup(CleanupNode* node);
  TreeNode** SlotOf(TreeNode* node);
  void RotateUp(TreeNode* child);
  void Split(TreeNode* node);

  CleanupNode node_;
  Compare compare_;
  DestroyNode destroy_;
  TreeNode* root_ = nullptr;
  void* destroyContext_;
};

}  // namespace runtime
