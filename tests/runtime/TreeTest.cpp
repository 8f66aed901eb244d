#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <vector>

#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/Tree.h"
#include "tests/support/CaughtError.h"

namespace runtime {
namespace {

struct IntNode : TreeNode {
  int key = 0;
  int payload = 0;
};

int CompareInt(const void* key, const TreeNode* node) {
  const int value = *static_cast<const int*>(key);
  const int other = static_cast<const IntNode*>(node)->key;
  return value < other ? -1 : (value > other ? 1 : 0);
}

void RecordDestroyed(void* context, TreeNode* node) {
  static_cast<std::vector<int>*>(context)->push_back(static_cast<IntNode*>(node)->key);
}

// Checks links, order and (when `balanced`) the red-black rules; returns the
// black height.
int CheckSubtree(const TreeNode* node, const TreeNode* parent, bool balanced, int* count) {
  if (node == nullptr) return 1;
  ++*count;
  EXPECT_EQ(node->parent, parent);
  const int key = static_cast<const IntNode*>(node)->key;
  if (node->left != nullptr) {
    EXPECT_LT(static_cast<const IntNode*>(node->left)->key, key);
  }
  if (node->right != nullptr) {
    EXPECT_GT(static_cast<const IntNode*>(node->right)->key, key);
  }
  const int left = CheckSubtree(node->left, node, balanced, count);
  const int right = CheckSubtree(node->right, node, balanced, count);
  if (balanced) {
    EXPECT_EQ(left, right) << "black heights differ under " << key;
    if (node->colour == TreeColour::kRed) {
      EXPECT_FALSE(node->left != nullptr && node->left->colour == TreeColour::kRed) << key;
      EXPECT_FALSE(node->right != nullptr && node->right->colour == TreeColour::kRed) << key;
    }
  }
  return left + (node->colour == TreeColour::kBlack ? 1 : 0);
}

std::vector<int> InOrder(const Tree& tree) {
  std::vector<int> keys;
  for (TreeNode* node = tree.Begin(); node != nullptr; node = Tree::Next(node)) {
    keys.push_back(static_cast<IntNode*>(node)->key);
  }
  return keys;
}

TEST(TreeTest, TopDownInsertionKeepsRedBlackRulesAndOrder) {
  LibraryContext context;
  std::vector<IntNode> nodes(2000);
  std::mt19937 random(7);
  for (const char* order : {"ascending", "descending", "random"}) {
    Tree tree(&context, &CompareInt);
    std::vector<int> keys(nodes.size());
    for (size_t i = 0; i < keys.size(); ++i) keys[i] = static_cast<int>(i) * 3;
    if (order[0] == 'd') std::reverse(keys.begin(), keys.end());
    if (order[0] == 'r') std::shuffle(keys.begin(), keys.end(), random);
    for (size_t i = 0; i < keys.size(); ++i) {
      nodes[i].key = keys[i];
      tree.InsertOrReplace(&nodes[i], &keys[i]);
    }
    ASSERT_EQ(tree.Root()->colour, TreeColour::kBlack) << order;
    int count = 0;
    const int blackHeight = CheckSubtree(tree.Root(), nullptr, true, &count);
    EXPECT_EQ(count, 2000) << order;
    EXPECT_LE(blackHeight, 12) << order;  // 2 log2(n + 1) bounds the height
    std::vector<int> sorted = keys;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(InOrder(tree), sorted) << order;
  }
}

TEST(TreeTest, FloorBelowCeilingAndFindAtTheEdges) {
  LibraryContext context;
  Tree tree(&context, &CompareInt);
  IntNode nodes[4];
  const int keys[] = {10, 20, 30, 40};
  for (int i = 0; i < 4; ++i) {
    nodes[i].key = keys[i];
    tree.InsertOrReplace(&nodes[i], &keys[i]);
  }
  struct Case {
    int key;
    int floor, below, ceiling, find;  // -1: none
  } cases[] = {
      {5, -1, -1, 10, -1},  {10, 10, -1, 10, 10}, {15, 10, 10, 20, -1},
      {30, 30, 20, 30, 30}, {40, 40, 30, 40, 40}, {45, 40, 40, -1, -1},
  };
  auto keyOf = [](TreeNode* node) { return node ? static_cast<IntNode*>(node)->key : -1; };
  for (const Case& c : cases) {
    EXPECT_EQ(keyOf(tree.FindFloor(&c.key)), c.floor) << c.key;
    // A key equal to a node's gives the next smaller node.
    EXPECT_EQ(keyOf(tree.FindBelow(&c.key)), c.below) << c.key;
    EXPECT_EQ(keyOf(tree.FindCeiling(&c.key)), c.ceiling) << c.key;
    EXPECT_EQ(keyOf(tree.Find(&c.key)), c.find) << c.key;
  }
  Tree empty(&context, &CompareInt);
  EXPECT_EQ(empty.FindFloor(&keys[0]), nullptr);
  EXPECT_EQ(empty.FindBelow(&keys[0]), nullptr);
  EXPECT_EQ(empty.Begin(), nullptr);
}

TEST(TreeTest, ReplaceRemoveAndClearHandNodesToTheDestroyFunction) {
  LibraryContext context;
  std::vector<int> destroyed;
  std::vector<IntNode> nodes(300);
  std::set<int> expected;
  {
    Tree tree(&context, &CompareInt, &RecordDestroyed, &destroyed);
    for (int i = 0; i < 200; ++i) {
      nodes[i].key = (i * 37) % 200;
      tree.InsertOrReplace(&nodes[i], &nodes[i].key);
      expected.insert(nodes[i].key);
    }
    // Replacing takes the old node's place and destroys it.
    nodes[200].key = 50;
    nodes[200].payload = 1;
    TreeNode* old = tree.Find(&nodes[200].key);
    EXPECT_EQ(tree.InsertOrReplace(&nodes[200], &nodes[200].key), &nodes[200]);
    EXPECT_EQ(destroyed, (std::vector<int>{50}));
    EXPECT_EQ(tree.Find(&nodes[200].key), &nodes[200]);
    EXPECT_NE(old, &nodes[200]);

    // Removal detaches without rebalancing; order and links stay sound,
    // and later insertions still work.
    std::mt19937 random(3);
    for (int round = 0; round < 150; ++round) {
      const int key = static_cast<int>(random() % 220);
      TreeNode* removed = tree.RemoveKey(&key);
      EXPECT_EQ(removed != nullptr, expected.erase(key) == 1) << key;
      if (removed != nullptr) {
        EXPECT_EQ(removed->parent, nullptr);
        if (round % 3 == 0) {
          tree.InsertOrReplace(removed, &static_cast<IntNode*>(removed)->key);
          expected.insert(static_cast<IntNode*>(removed)->key);
        }
      }
      int count = 0;
      CheckSubtree(tree.Root(), nullptr, false, &count);
      ASSERT_EQ(count, static_cast<int>(expected.size()));
    }
    EXPECT_EQ(InOrder(tree), std::vector<int>(expected.begin(), expected.end()));
    destroyed.clear();
  }
  // The destructor cleared the tree: every remaining node, each once.
  std::sort(destroyed.begin(), destroyed.end());
  EXPECT_EQ(destroyed, std::vector<int>(expected.begin(), expected.end()));

  // Without a destroy function, clearing only forgets the root; a throw
  // clears through the cleanup node.
  Tree plain(&context, &CompareInt);
  plain.InsertOrReplace(&nodes[250], &nodes[250].key);
  plain.Clear();
  EXPECT_TRUE(plain.IsEmpty());
  destroyed.clear();
  EXPECT_TRUE(testsupport::CaughtError(&context, [&] {
    Tree doomed(&context, &CompareInt, &RecordDestroyed, &destroyed);
    nodes[260].key = 7;
    doomed.InsertOrReplace(&nodes[260], &nodes[260].key);
    ThrowRuntime(kMalformed);
  }));
  EXPECT_EQ(destroyed, (std::vector<int>{7}));
}

}  // namespace
}  // namespace runtime
