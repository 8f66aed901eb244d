#pragma once
// The resources content draws on: a page's, form's, pattern's or glyph
// procedure's own "Resources", or, when it has none, those of the content
// that encloses it.
//
//   ResourceScope page(nullptr, pageDictionary);
//   ResourceScope form(&page.Resources(), formStream);
//   ObjectHandle font = Resources::Lookup(form.Resources(), "Font", "F1");
#include "runtime/ObjectHandle.h"

namespace pdf {

class ResourceScope {
 public:
  // `enclosing` (may be null) is used when `owner` has no "Resources"; an
  // empty "Resources" dictionary of the owner still hides the enclosing
  // one. (runtime, 2) when "Resources" is present but not a dictionary.
  ResourceScope(const runtime::ObjectHandle* enclosing, const runtime::ObjectHandle& owner);

  const runtime::ObjectHandle& Owner() const { return owner_; }
  // The resources in effect: a dictionary, or the null value when neither
  // the owner nor the enclosing content has any.
  const runtime::ObjectHandle& Resources() const { return resources_; }

 private:
  runtime::ObjectHandle owner_;
  runtime::ObjectHandle resources_;
};

class Resources {
 public:
  // The entry `name` of the category dictionary `category` ("Font",
  // "XObject", ...), resolved; the null value when the resources, the
  // category or the name are absent. (runtime, 2) for a category that is
  // present but no dictionary.
  static runtime::ObjectHandle Lookup(const runtime::ObjectHandle& resources,
                                      std::string_view category, std::string_view name);
  // As Lookup; the entry must be a dictionary (or a stream's dictionary)
  // when present.
  static runtime::ObjectHandle GetNamedDict(const runtime::ObjectHandle& resources,
                                            std::string_view category, std::string_view name);
  // As GetNamedDict, but the resources, the category and the entry must
  // all exist: (runtime, 2) otherwise.
  static runtime::ObjectHandle GetRequiredDict(const runtime::ObjectHandle& resources,
                                               std::string_view category,
                                               std::string_view name);
};

}  // namespace pdf
