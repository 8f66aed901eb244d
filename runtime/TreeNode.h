#pragma once
// The links every node of a Tree begins with; the caller's key and payload
// follow in a derived record.
#include <cstdint>

namespace runtime {

enum class TreeColour : uint32_t { kRed = 0, kBlack = 1 };

struct TreeNode {
  TreeNode* left = nullptr;
  TreeNode* right = nullptr;
  TreeNode* parent = nullptr;
  TreeColour colour = TreeColour::kRed;
};

}  // namespace runtime
