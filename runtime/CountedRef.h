#pragma once
// A counted reference to a shared library object. The holder registers a
// cleanup node from the moment it exists, so that an error thrown past it
// counts the target down exactly once: the cleanup releases and empties the
// holder, and the destructor that C++ unwinding runs afterwards finds
// nothing left to release.
//
// Where the count lives and how the target dies at zero differ by target
// type; a policy says so:
//   static void CountUp(T*);
//   static bool CountDown(T*);            // true when the count reached 0
//   static uint32_t Count(const T*);
//   static void Destroy(LibraryContext*, T*);
#include <cstdint>
#include <type_traits>
#include <utility>

#include "runtime/CleanupNode.h"
#include "runtime/LibraryContext.h"
#include "runtime/TransientBlocks.h"

namespace runtime {

// The usual case: a `refCount` member, and destruction through the type's
// destructor (virtual where the type has one) followed by a free through
// the context.
template <class T>
struct MemberCount {
  static void CountUp(T* target) { ++target->refCount; }
  static bool CountDown(T* target) { return --target->refCount == 0; }
  static uint32_t Count(const T* target) { return target->refCount; }
  static void Destroy(LibraryContext* context, T* target) { DestroyAndFree(context, target); }
};

template <class T, class Policy = MemberCount<T>>
class CountedRef {
 public:
  CountedRef() { node_.Register(nullptr, &Cleanup); }
  ~CountedRef() {
    Release();
    node_.Unlink();
  }

  // Takes over a reference the caller already holds (for example the first
  // count of a new object); nothing is counted up.
  static CountedRef Adopt(LibraryContext* context, T* target) {
    CountedRef ref;
    ref.target_ = target;
    ref.context_ = context;
    return ref;
  }
  // A new reference: the target is counted up.
  static CountedRef Share(LibraryContext* context, T* target) {
    if (target != nullptr) Policy::CountUp(target);
    return Adopt(context, target);
  }

  CountedRef(const CountedRef& other)
      : aux_(other.aux_), target_(other.target_), context_(other.context_) {
    if (target_ != nullptr) Policy::CountUp(target_);
    node_.Register(context_, &Cleanup);
  }
  CountedRef(CountedRef&& other) noexcept
      : aux_(other.aux_), target_(std::exchange(other.target_, nullptr)),
        context_(other.context_) {
    node_.Register(context_, &Cleanup);
  }
  CountedRef& operator=(const CountedRef& other) {
    // Up before down: assigning a holder to itself (or to another holder of
    // the same target) never destroys the target.
    T* incoming = other.target_;
    if (incoming != nullptr) Policy::CountUp(incoming);
    T* outgoing = std::exchange(target_, incoming);
    LibraryContext* outgoingContext = std::exchange(context_, other.context_);
    aux_ = other.aux_;
    DropReference(outgoingContext, outgoing);
    return *this;
  }
  CountedRef& operator=(CountedRef&& other) noexcept {
    if (this == &other) return *this;
    T* outgoing = std::exchange(target_, std::exchange(other.target_, nullptr));
    LibraryContext* outgoingContext = std::exchange(context_, other.context_);
    aux_ = other.aux_;
    DropReference(outgoingContext, outgoing);
    return *this;
  }

  // Counts the target down (destroying it at zero) and empties the holder.
  void Release() { DropReference(context_, std::exchange(target_, nullptr)); }
  // Gives the reference up without counting down; the caller now owns it.
  T* Detach() { return std::exchange(target_, nullptr); }

  T* Get() const { return target_; }
  T* operator->() const { return target_; }
  T& operator*() const { return *target_; }
  explicit operator bool() const { return target_ != nullptr; }
  LibraryContext* Context() const { return context_; }
  uint32_t Aux() const { return aux_; }
  void SetAux(uint32_t value) { aux_ = value; }

 private:
  static void DropReference(LibraryContext* context, T* target) {
    if (target != nullptr && Policy::CountDown(target)) Policy::Destroy(context, target);
  }
  static void Cleanup(CleanupNode* node) {
    static_assert(std::is_standard_layout_v<CountedRef>, "the node must start the holder");
    auto* self = reinterpret_cast<CountedRef*>(node);
    self->Release();
    node->Unlink();
  }

  // The node comes first: the cleanup finds the holder from it.
  CleanupNode node_;
  uint32_t aux_ = 0;
  T* target_ = nullptr;
  LibraryContext* context_ = nullptr;
};

}  // namespace runtime
