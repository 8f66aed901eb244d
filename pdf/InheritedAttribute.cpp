#include "pdf/InheritedAttribute.h"

#include "pdf/DepthBudget.h"
#include "runtime/Dictionary.h"

namespace pdf {
namespace {

const runtime::ValueList kEmptyList{};
const runtime::ObjectValue kEmptyDictionary = runtime::ObjectValue::Dictionary(&kEmptyList);

}  // namespace

runtime::ObjectHandle GetInheritedAttribute(const runtime::ObjectHandle& node,
                                            std::string_view key) {
  DepthBudget budget(node.Context());
  runtime::ObjectHandle current = node.Resolved();
  for (;;) {
    budget.Step();
    runtime::ObjectHandle value = runtime::Dictionary::Get(current, key);
    if (!value.IsNull()) return value;
    runtime::ObjectHandle parent = runtime::Dictionary::Get(current, "Parent");
    if (parent.Tag() != runtime::ObjectTag::kDictionary) return runtime::ObjectHandle();
    current = std::move(parent);
  }
}

runtime::ObjectHandle GetOptionalInheritedDict(const runtime::ObjectHandle& node,
                                               std::string_view key) {
  runtime::ObjectHandle value = GetInheritedAttribute(node, key);
  if (value.IsNull()) {
    return runtime::ObjectHandle(node.Context(), &kEmptyDictionary, nullptr, node.Owner());
  }
  return value.AsDictionary();
}

}  // namespace pdf
