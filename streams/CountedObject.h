#pragma once
// Counted library objects and the handle that holds them. Sources, streams
// and filters are shared by counted references; the last release destroys
// the object through its virtual destructor and frees its block through the
// memory context it was built in.
#include <cstdint>
#include <utility>

#include "runtime/LibraryContext.h"
#include "runtime/TransientBlocks.h"

namespace streams {

using runtime::LibraryContext;

class CountedObject {
 public:
  explicit CountedObject(LibraryContext* context) : context_(context) {}
  virtual ~CountedObject() = default;
  CountedObject(const CountedObject&) = delete;
  CountedObject& operator=(const CountedObject&) = delete;

  void AddRef() { ++refCount_; }
  void Release() {
    if (--refCount_ == 0) runtime::DestroyAndFree(context_, this);
  }
  bool IsUnique() const { return refCount_ == 1; }
  // For holders with a count policy of their own (the cost caches): the
  // count, and a release that leaves destruction to the caller.
  uint32_t RefCount() const { return refCount_; }
  bool DropRef() { return --refCount_ == 0; }
  LibraryContext* Context() const { return context_; }

 private:
  LibraryContext* context_;
  uint32_t refCount_ = 0;
};

// A counted reference (the StreamRef / DataStoreRef of the stream model).
template <class T>
class Ref {
 public:
  Ref() = default;
  Ref(std::nullptr_t) {}
  explicit Ref(T* object) : object_(object) {
    if (object_ != nullptr) object_->AddRef();
  }
  Ref(const Ref& other) : Ref(other.object_) {}
  Ref(Ref&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  template <class U>
  Ref(Ref<U> other) : object_(other.Detach()) {}
  ~Ref() { Reset(); }
  Ref& operator=(Ref other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }

  void Reset() {
    if (T* old = std::exchange(object_, nullptr)) old->Release();
  }
  // Gives up the reference without releasing it.
  T* Detach() { return std::exchange(object_, nullptr); }
  T* Get() const { return object_; }
  T* operator->() const { return object_; }
  T& operator*() const { return *object_; }
  explicit operator bool() const { return object_ != nullptr; }

 private:
  T* object_ = nullptr;
};

// Builds a counted object in the context (inside a transient-block bracket)
// and returns the first reference to it.
template <class T, class... Args>
Ref<T> MakeRef(LibraryContext* context, Args&&... args) {
  return Ref<T>(runtime::NewObject<T>(context, context, std::forward<Args>(args)...));
}

}  // namespace streams
