#include "runtime/Tree.h"

namespace runtime {
namespace {

bool IsRed(const TreeNode* node) { return node != nullptr && node->colour == TreeColour::kRed; }

void SetParent(TreeNode* child, TreeNode* parent) {
  if (child != nullptr) child->parent = parent;
}

}  // namespace

Tree::Tree(LibraryContext* context, Compare compare, DestroyNode destroy, void* destroyContext)
    : compare_(compare), destroy_(destroy), destroyContext_(destroyContext) {
  node_.Register(context, &Cleanup);
}

Tree::~Tree() {
  Clear();
  node_.Unlink();
}

void Tree::Cleanup(CleanupNode* node) {
  auto* tree = reinterpret_cast<Tree*>(node);
  tree->Clear();
  node->Unlink();
}

TreeNode* Tree::Find(const void* key) const {
  TreeNode* node = root_;
  while (node != nullptr) {
    const int order = compare_(key, node);
    if (order == 0) return node;
    node = order < 0 ? node->left : node->right;
  }
  return nullptr;
}

TreeNode* Tree::FindFloor(const void* key) const {
  TreeNode* candidate = nullptr;
  TreeNode* node = root_;
  while (node != nullptr) {
    const int order = compare_(key, node);
    if (order == 0) return node;
    if (order > 0) {
      candidate = node;
      node = node->right;
    } else {
      node = node->left;
    }
  }
  return candidate;
}

TreeNode* Tree::FindBelow(const void* key) const {
  TreeNode* candidate = nullptr;
  TreeNode* node = root_;
  while (node != nullptr) {
    if (compare_(key, node) > 0) {
      candidate = node;
      node = node->right;
    } else {
      node = node->left;
    }
  }
  return candidate;
}

TreeNode* Tree::FindCeiling(const void* key) const {
  TreeNode* candidate = nullptr;
  TreeNode* node = root_;
  while (node != nullptr) {
    const int order = compare_(key, node);
    if (order == 0) return node;
    if (order < 0) {
      candidate = node;
      node = node->left;
    } else {
      node = node->right;
    }
  }
  return candidate;
}

TreeNode** Tree::SlotOf(TreeNode* node) {
  TreeNode* parent = node->parent;
  if (parent == nullptr) return &root_;
  return parent->left == node ? &parent->left : &parent->right;
}

// Moves `child` into its parent's place, the parent becoming its child.
void Tree::RotateUp(TreeNode* child) {
  TreeNode* parent = child->parent;
  TreeNode** slot = SlotOf(parent);
  if (parent->left == child) {
    parent->left = child->right;
    SetParent(child->right, parent);
    child->right = parent;
  } else {
    parent->right = child->left;
    SetParent(child->left, parent);
    child->left = parent;
  }
  child->parent = parent->parent;
  parent->parent = child;
  *slot = child;
}

// The split step of top-down insertion: the node turns red and its children
// black; a red parent is then resolved by one or two rotations.
void Tree::Split(TreeNode* node) {
  node->colour = TreeColour::kRed;
  if (node->left != nullptr) node->left->colour = TreeColour::kBlack;
  if (node->right != nullptr) node->right->colour = TreeColour::kBlack;
  TreeNode* parent = node->parent;
  // A red parent without a grandparent is the root, which only a detach can
  // leave red: colouring it black below is all it needs.
  if (IsRed(parent) && parent->parent != nullptr) {
    TreeNode* grandparent = parent->parent;
    grandparent->colour = TreeColour::kRed;
    TreeNode* top = parent;
    if ((grandparent->left == parent) != (parent->left == node)) {
      RotateUp(node);  // zig-zag: straighten first
      top = node;
    }
    RotateUp(top);
    top->colour = TreeColour::kBlack;
  }
  root_->colour = TreeColour::kBlack;
}

bool Tree::FindWithPath(Path* path, const void* key) {
  path->slot = &root_;
  path->parent = nullptr;
  while (*path->slot != nullptr) {
    TreeNode* node = *path->slot;
    if (IsRed(node->left) && IsRed(node->right)) Split(node);
    // The split may have rotated the node upward; it still roots a subtree
    // that holds the key's place, so the descent goes on from it.
    const int order = compare_(key, node);
    if (order == 0) {
      path->slot = SlotOf(node);
      path->parent = node->parent;
      return true;
    }
    path->parent = node;
    path->slot = order < 0 ? &node->left : &node->right;
  }
  return false;
}

void Tree::LinkNew(TreeNode* node, const Path& path) {
  node->left = nullptr;
  node->right = nullptr;
  node->parent = path.parent;
  *path.slot = node;
  Split(node);
}

TreeNode* Tree::InsertOrReplace(TreeNode* node, const void* key) {
  Path path;
  if (!FindWithPath(&path, key)) {
    LinkNew(node, path);
    return node;
  }
  TreeNode* old = *path.slot;
  if (old == node) return node;
  node->left = old->left;
  node->right = old->right;
  node->parent = old->parent;
  node->colour = old->colour;
  SetParent(node->left, node);
  SetParent(node->right, node);
  *path.slot = node;
  if (destroy_ != nullptr) destroy_(destroyContext_, old);
  return node;
}

TreeNode* Tree::RemoveKey(const void* key) {
  Path path;
  if (!FindWithPath(&path, key)) return nullptr;
  TreeNode* node = DetachNode(path.slot);
  if (root_ != nullptr) root_->colour = TreeColour::kBlack;
  return node;
}

TreeNode* Tree::DetachNode(TreeNode** slot) {
  TreeNode* node = *slot;
  TreeNode* replacement;
  if (node->left == nullptr) {
    replacement = node->right;
  } else if (node->right == nullptr) {
    replacement = node->left;
  } else {
    TreeNode** leftmost = &node->right;
    while ((*leftmost)->left != nullptr) leftmost = &(*leftmost)->left;
    replacement = DetachNode(leftmost);
    replacement->left = node->left;
    replacement->right = node->right;  // read after the detach, which may change it
    replacement->colour = node->colour;
    SetParent(replacement->left, replacement);
    SetParent(replacement->right, replacement);
  }
  SetParent(replacement, node->parent);
  *slot = replacement;
  node->left = node->right = node->parent = nullptr;
  return node;
}

TreeNode* Tree::Begin() const {
  TreeNode* node = root_;
  if (node == nullptr) return nullptr;
  while (node->left != nullptr) node = node->left;
  return node;
}

TreeNode* Tree::Next(const TreeNode* node) {
  if (node->right != nullptr) {
    TreeNode* next = node->right;
    while (next->left != nullptr) next = next->left;
    return next;
  }
  const TreeNode* child = node;
  TreeNode* parent = node->parent;
  while (parent != nullptr && parent->right == child) {
    child = parent;
    parent = parent->parent;
  }
  return parent;
}

void Tree::Clear() {
  if (destroy_ != nullptr) {
    // Post-order without recursion: a tree unbalanced by detaches can be
    // deep.
    TreeNode* node = root_;
    while (node != nullptr) {
      if (node->left != nullptr) {
        node = node->left;
      } else if (node->right != nullptr) {
        node = node->right;
      } else {
        TreeNode* parent = node->parent;
        if (parent != nullptr) (parent->left == node ? parent->left : parent->right) = nullptr;
        destroy_(destroyContext_, node);
        node = parent;
      }
    }
  }
  root_ = nullptr;
}

}  // namespace runtime
