#pragma once
// The "Identity" tint transform of Separation and DeviceN spaces: n inputs
// copied to n outputs.
#include "color/PdfFunction.h"
#include "runtime/ErrorTrap.h"

namespace color {

class IdentityFunction final : public PdfFunction {
 public:
  IdentityFunction(runtime::LibraryContext* context, uint32_t count)
      : PdfFunction(context, kIdentity, 1, 1) {
    inputs_ = count;
    outputs_ = count;
  }

  // (runtime, 2) for a count of 0 or above kMaxArity.
  static PdfFunctionRef Create(runtime::LibraryContext* context, uint32_t count) {
    if (count == 0 || count > kMaxArity) runtime::ThrowRuntime(runtime::kMalformed);
    return streams::MakeRef<IdentityFunction>(context, count);
  }

 private:
  uint32_t SelfSize() const override { return sizeof(*this); }
};

}  // namespace color
