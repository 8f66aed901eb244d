#pragma once
// A recorded `BMC`, `BDC`, `MP` or `DP`: what BeginMarkedContent needs.
// The tag is not kept; only a `BDC`'s properties matter to the handlers.
#include <cstdint>

#include "content/RecordedObject.h"
#include "runtime/ObjectHandle.h"

namespace content {

class MarkedContentOp final : public RecordedObject {
 public:
  void Play(ContentHandler& handler, uint32_t option) override;
  uint32_t Kind() const override { return kMarkedContentKind; }

  bool hasMcid = false;
  int32_t mcid = 0;
  // The "StructParents" value the sequence belongs to; when not set, that
  // of the page the handler plays.
  bool hasStructParents = false;
  int32_t structParents = -1;
  // The structure element of the sequence, when it has been looked up.
  const runtime::ObjectHandle* element = nullptr;
};

}  // namespace content
