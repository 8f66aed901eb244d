#include "pdf/ResourceScope.h"

#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"

namespace pdf {

ResourceScope::ResourceScope(const runtime::ObjectHandle* enclosing,
                             const runtime::ObjectHandle& owner)
    : owner_(owner.Resolved()) {
  runtime::ObjectHandle own;
  if (owner_.Tag() == runtime::ObjectTag::kDictionary) {
    own = runtime::Dictionary::Get(owner_, "Resources");
  }
  if (!own.IsNull()) {
    resources_ = own.AsDictionary();
  } else if (enclosing != nullptr) {
    resources_ = *enclosing;
  }
}

runtime::ObjectHandle Resources::Lookup(const runtime::ObjectHandle& resources,
                                        std::string_view category, std::string_view name) {
  if (resources.Tag() != runtime::ObjectTag::kDictionary) return {};
  const runtime::ObjectHandle entries = runtime::Dictionary::Get(resources, category);
  if (entries.IsNull()) return {};
  return runtime::Dictionary::Get(entries.AsDictionary(), name);
}

runtime::ObjectHandle Resources::GetNamedDict(const runtime::ObjectHandle& resources,
                                              std::string_view category,
                                              std::string_view name) {
  runtime::ObjectHandle found = Lookup(resources, category, name);
  if (found.IsNull()) return found;
  return found.AsDictionary();
}

runtime::ObjectHandle Resources::GetRequiredDict(const runtime::ObjectHandle& resources,
                                                 std::string_view category,
                                                 std::string_view name) {
  const runtime::ObjectHandle entries =
      runtime::Dictionary::GetRequired(resources.AsDictionary(), category).AsDictionary();
  return runtime::Dictionary::GetRequired(entries, name).AsDictionary();
}

}  // namespace pdf
