#pragma once
// FunctionType 3: one input split at Bounds into k subdomains, each mapped
// through its Encode pair into one of k sub-functions.
#include <cstdint>

#include "color/ContextArray.h"
#include "color/PdfFunction.h"

namespace color {

class StitchingFunction final : public PdfFunction {
 public:
  // Builds the sub-functions at `depth`. (runtime, 2) when Functions,
  // Bounds and Encode disagree, or a sub-function has another input count
  // than 1 or another output count than the first one.
  StitchingFunction(runtime::LibraryContext* context, const runtime::ObjectHandle& domain,
                    const runtime::ObjectHandle& range, const runtime::ObjectHandle& functions,
                    const runtime::ObjectHandle& bounds, const runtime::ObjectHandle& encode,
                    streams::StreamOpener* opener, uint32_t depth);
  ~StitchingFunction() override;

  // The sub-function for input x and the input it gets: x clipped to the
  // Domain; a value equal to a bound belongs to the subdomain above it.
  PdfFunction& MapInput(Fixed x, Fixed* mapped) const;
  // The chosen sub-function evaluated in Fixed; the stitching function's
  // own Range is not applied.
  void EvaluateFixed(const Fixed* inputs, Fixed* outputs) const;

  uint32_t ByteSize() const override;
  uint32_t Count() const { return functions_.items.Count(); }

 private:
  uint32_t SelfSize() const override { return sizeof(*this); }

  // Counted references to the sub-functions, released by the destructor.
  // Kept in the context's memory, not the arena, so that a failed
  // construction can still release them after the arena is gone.
  struct SubFunctions {
    ContextArray<PdfFunction*> items;
    ~SubFunctions();
  } functions_;
  Fixed* bounds_ = nullptr;  // k - 1
  Fixed* encode_ = nullptr;  // k pairs
};

}  // namespace color
