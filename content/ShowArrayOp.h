#pragma once
// A recorded `TJ`: its strings copied and its numbers as adjustments.
#include "content/RecordedObject.h"
#include "content/TextArrayElement.h"
#include "runtime/ObjectValue.h"

namespace content {

class ShowArrayOp final : public RecordedObject {
 public:
  // `array` must be an array operand of integers, reals and strings; any
  // other operand or element is (runtime, 2), raised here while recording
  // rather than at playback.
  ShowArrayOp(runtime::ArenaAllocator& arena, const runtime::ObjectValue& array);

  void Play(ContentHandler& handler, uint32_t option) override;
  uint32_t Kind() const override { return kShowArrayKind; }

  uint32_t count = 0;
  const TextArrayElement* elements = nullptr;
  runtime::Rect bounds = kWholePlane;
};

}  // namespace content
