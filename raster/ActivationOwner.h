#pragma once
// Keeps an object that is opened for a while (a device or a band being
// drawn into) and makes sure it is closed exactly once: by Close, or by
// the cleanup chain when an error passes the owner first.
#include <cstdint>
#include <type_traits>

#include "runtime/CleanupNode.h"
#include "runtime/LibraryContext.h"

namespace raster {

class Activatable {
 public:
  virtual ~Activatable() = default;
  virtual void CloseActive(uint32_t a, uint32_t b) = 0;

  bool active = false;
};

class ActivationOwner {
 public:
  ActivationOwner(runtime::LibraryContext* context, Activatable* attached) : attached_(attached) {
    node_.Register(context, &Cleanup);
  }
  ~ActivationOwner() { Close(0, 0); }
  ActivationOwner(const ActivationOwner&) = delete;
  ActivationOwner& operator=(const ActivationOwner&) = delete;

  // Closes the attached object with (a, b) when it is active and marks it
  // inactive; then leaves the cleanup chain. Repeating it does nothing.
  void Close(uint32_t a, uint32_t b) {
    if (attached_ != nullptr && attached_->active) {
      attached_->active = false;  // first: a close that throws is not repeated
      attached_->CloseActive(a, b);
    }
    node_.Unlink();
  }
  bool IsLinked() const { return node_.IsLinked(); }

 private:
  static void Cleanup(runtime::CleanupNode* node) {
    // The node is the first member, so the owner starts where it does.
    static_assert(std::is_standard_layout_v<ActivationOwner>);
    reinterpret_cast<ActivationOwner*>(node)->Close(0, 0);
  }

  runtime::CleanupNode node_;
  Activatable* attached_;
};

}  // namespace raster
