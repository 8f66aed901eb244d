#pragma once
// A recorded `Tj` or `'`: the string's bytes and, for `'`, a move to the
// next line first.
#include "content/RecordedObject.h"
#include "runtime/ObjectValue.h"

namespace content {

class ShowStringOp final : public RecordedObject {
 public:
  // `text` must be a string operand: (runtime, 2) otherwise.
  ShowStringOp(runtime::ArenaAllocator& arena, const runtime::ObjectValue& text,
               bool nextLineFirst);

  void Play(ContentHandler& handler, uint32_t option) override;
  uint32_t Kind() const override { return kShowStringKind; }

  const uint8_t* bytes = nullptr;
  uint32_t count = 0;
  bool nextLineFirst = false;
  // The text's box, filled in by the handler that paints it first.
  runtime::Rect bounds = kWholePlane;
};

}  // namespace content
