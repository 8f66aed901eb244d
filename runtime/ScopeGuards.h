#pragma once
// Small registered guards for state that a scope changes and must put back
// however it ends. Each registers a cleanup node, so a throw that passes
// does the same work as the destructor (the cleanup runs first and unlinks;
// the destructor then finds nothing to do).
//
//   RestoreGuard<int32_t> depth(context, &parser->depth);
//   ++parser->depth;                       // back to its old value on exit
#include <cstdint>
#include <type_traits>

#include "runtime/CleanupNode.h"

namespace runtime {

// Saves a word (or byte, or pointer) and writes it back when the scope
// ends. With kNegate, writes back the saved value's logical negation (a
// flag that a scope must leave flipped however it ends).
template <class T, bool kNegate = false>
class RestoreGuard {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  RestoreGuard(LibraryContext* context, T* place) : place_(place), saved_(*place) {
    node_.Register(context, &Cleanup);
  }
  ~RestoreGuard() { Cleanup(&node_); }
  RestoreGuard(const RestoreGuard&) = delete;
  RestoreGuard& operator=(const RestoreGuard&) = delete;

  const T& Saved() const { return saved_; }

 private:
  static void Cleanup(CleanupNode* node) {
    auto* self = reinterpret_cast<RestoreGuard*>(node);
    if (!node->IsLinked()) return;
    if constexpr (kNegate) {
      *self->place_ = static_cast<T>(!self->saved_);
    } else {
      *self->place_ = self->saved_;
    }
    node->Unlink();
  }

  CleanupNode node_;  // first: the cleanup finds the guard from it
  T* place_;
  T saved_;
};

// Adds 1 to an owner's counter when an error unwinds past the scope (a
// count of abandoned attempts); leaving normally counts nothing.
class UnwindCounter {
 public:
  UnwindCounter(LibraryContext* context, uint32_t* counter) : counter_(counter) {
    node_.Register(context, &Cleanup);
  }
  ~UnwindCounter() { node_.Unlink(); }
  UnwindCounter(const UnwindCounter&) = delete;
  UnwindCounter& operator=(const UnwindCounter&) = delete;

 private:
  static void Cleanup(CleanupNode* node) {
    auto* self = reinterpret_cast<UnwindCounter*>(node);
    if (self->counter_ != nullptr) ++*self->counter_;
    node->Unlink();
  }

  CleanupNode node_;
  uint32_t* counter_;
};

// Sets a pointer that refers to a scope's object back to none when an
// error unwinds past the scope, so nothing is left pointing into a dead
// frame; leaving normally keeps it.
template <class T>
class ClearOnUnwind {
 public:
  ClearOnUnwind(LibraryContext* context, T** place) : place_(place) {
    node_.Register(context, &Cleanup);
  }
  ~ClearOnUnwind() { node_.Unlink(); }
  ClearOnUnwind(const ClearOnUnwind&) = delete;
  ClearOnUnwind& operator=(const ClearOnUnwind&) = delete;

 private:
  static void Cleanup(CleanupNode* node) {
    auto* self = reinterpret_cast<ClearOnUnwind*>(node);
    if (self->place_ != nullptr) *self->place_ = nullptr;
    node->Unlink();
  }

  CleanupNode node_;
  T** place_;
};

// The cleanup of a node that owns nothing: it only leaves the chain.
inline void UnlinkOnly(CleanupNode* node) { node->Unlink(); }

}  // namespace runtime
