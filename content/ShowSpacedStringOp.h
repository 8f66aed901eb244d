#pragma once
// A recorded `"`: word and character spacing set, next line, then the
// string shown.
#include "content/RecordedObject.h"
#include "runtime/Fixed.h"
#include "runtime/ObjectValue.h"

namespace content {

class ShowSpacedStringOp final : public RecordedObject {
 public:
  // `text` must be a string operand: (runtime, 2) otherwise.
  ShowSpacedStringOp(runtime::ArenaAllocator& arena, const runtime::ObjectValue& text,
                     runtime::Fixed wordSpacing, runtime::Fixed charSpacing);

  // Word spacing before character spacing, then the next line, then the
  // text: handlers see exactly this order.
  void Play(ContentHandler& handler, uint32_t option) override;
  uint32_t Kind() const override { return kShowSpacedStringKind; }

  const uint8_t* bytes = nullptr;
  uint32_t count = 0;
  runtime::Rect bounds = kWholePlane;
  runtime::Fixed wordSpacing = 0;
  runtime::Fixed charSpacing = 0;
};

}  // namespace content
