#pragma once
// A counted handle on a PDF value: the value, the store that keeps it alive
// and the resolver (the document) that turns its indirect references into
// values. Like every holder it registers a cleanup node from the moment it
// exists, so a throw that passes it gives its count back exactly once.
//
//   StoreRef store = StoreRef::Adopt(context, ValueStore::New(context));
//   ObjectValue* value = ...;  // built by the parser in store->Allocate()
//   ObjectHandle dict(context, value, store.Get(), document);
//   int32_t length = Dictionary::GetIntegerOr(dict, "Length", 0);
//
// A handle kept inside a heap object must be built while that object is
// constructed through NewObject, which takes its node off the stack's
// chain; otherwise a later throw on this stack would empty it early.
#include <cstdint>
#include <type_traits>

#include "runtime/CleanupNode.h"
#include "runtime/ObjectValue.h"

namespace runtime {

class LibraryContext;
class ValueStore;
class ObjectHandle;

// Resolves indirect references; the document implements it.
class ReferenceResolver {
 public:
  virtual ~ReferenceResolver() = default;
  // The value the reference points to (the null value when there is none).
  virtual ObjectHandle Resolve(LibraryContext* context, const ObjectReference& reference) = 0;
};

class ObjectHandle {
 public:
  // A handle on the shared null value.
  ObjectHandle();
  // A handle on `value`, which lives in `store` (counted up) or is static
  // when `store` is null.
  ObjectHandle(LibraryContext* context, const ObjectValue* value, ValueStore* store,
               ReferenceResolver* owner = nullptr);
  ~ObjectHandle();

  ObjectHandle(const ObjectHandle& other);
  ObjectHandle(ObjectHandle&& other) noexcept;
  ObjectHandle& operator=(const ObjectHandle& other);
  ObjectHandle& operator=(ObjectHandle&& other) noexcept;
  static void Swap(ObjectHandle& a, ObjectHandle& b);

  // Gives the store's count back; the handle is then on the null value.
  void Release();

  const ObjectValue& Value() const { return value_ != nullptr ? *value_ : kNullValue; }
  const ObjectValue* operator->() const { return &Value(); }
  ObjectTag Tag() const { return Value().tag; }
  bool IsNull() const { return Value().IsNull(); }

  LibraryContext* Context() const { return context_; }
  ValueStore* Store() const { return store_; }
  ReferenceResolver* Owner() const { return owner_; }

  // A handle on another value kept by the same store (an element of an
  // array or dictionary this handle refers to).
  ObjectHandle Sibling(const ObjectValue* value) const;
  // This value with an indirect reference resolved through the owner; a
  // reference without an owner stays as it is.
  ObjectHandle Resolved() const;

  // Typed copies; (runtime, 2) when the tag is not the one asked for.
  ObjectHandle AsDictionary() const;
  ObjectHandle AsArray() const;
  ObjectHandle AsName() const;
  ObjectHandle AsString() const;

 private:
  static void Cleanup(CleanupNode* node);

  // The node comes first: the cleanup finds the handle from it.
  CleanupNode node_;
  const ObjectValue* value_ = nullptr;
  ValueStore* store_ = nullptr;
  LibraryContext* context_ = nullptr;
  ReferenceResolver* owner_ = nullptr;
};

}  // namespace runtime
