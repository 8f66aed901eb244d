#pragma once
// Page attributes a page takes from its ancestors when it has none of its
// own ("Resources", "MediaBox", "CropBox", "Rotate").
#include <string_view>

#include "runtime/ObjectHandle.h"

namespace pdf {

// The first non-null value of `key` on `node` and up its chain of "Parent"
// dictionaries; null when none has it. A "Parent" that is no dictionary
// ends the walk with null, so the attribute takes its default. A chain of
// DepthBudget's steps or more (a cycle) is (runtime, 2).
runtime::ObjectHandle GetInheritedAttribute(const runtime::ObjectHandle& node,
                                            std::string_view key);
// As GetInheritedAttribute, required to be a dictionary when present; an
// empty dictionary when absent.
runtime::ObjectHandle GetOptionalInheritedDict(const runtime::ObjectHandle& node,
                                               std::string_view key);

}  // namespace pdf
