#pragma once
// Stack records that set part of an object for the length of a scope and put
// the old value back when the scope ends or an error unwinds past it: the
// painter's matrix, five-word and two-word state.
#include <cstdint>

#include "runtime/InverseBounds.h"
#include "runtime/Matrix.h"
#include "runtime/ScopeGuards.h"

namespace raster {

template <class T>
class ScopedRestore : public runtime::RestoreGuard<T> {
 public:
  // Saves *place, then writes `value` into it.
  ScopedRestore(runtime::LibraryContext* context, T* place, const T& value)
      : runtime::RestoreGuard<T>(context, place) {
    *place = value;
  }
};

struct FiveWords {
  int32_t words[5];
};
struct TwoWords {
  int32_t words[2];
};

using ScopedRestore24 = ScopedRestore<runtime::Matrix>;
using ScopedRestore20 = ScopedRestore<FiveWords>;
using ScopedRestore8 = ScopedRestore<TwoWords>;

// Saves a target's clip rectangle; putting it back (at scope end, when a
// throw passes, or by Restore) also brings the target's inverse bounds up
// to date.
class ScopedClipRestore {
 public:
  ScopedClipRestore(runtime::LibraryContext* context, runtime::InverseBounds* target)
      : target_(target), saved_(target->rect) {
    node_.Register(context, &Cleanup);
  }
  ~ScopedClipRestore() { Cleanup(&node_); }
  ScopedClipRestore(const ScopedClipRestore&) = delete;
  ScopedClipRestore& operator=(const ScopedClipRestore&) = delete;

  void Restore() { Cleanup(&node_); }

 private:
  static void Cleanup(runtime::CleanupNode* node) {
    auto* self = reinterpret_cast<ScopedClipRestore*>(node);
    if (!node->IsLinked()) return;
    self->target_->rect = self->saved_;
    self->target_->Recompute();
    node->Unlink();
  }

  runtime::CleanupNode node_;  // first: the cleanup finds the record from it
  runtime::InverseBounds* target_;
  runtime::Rect saved_;
};

}  // namespace raster
