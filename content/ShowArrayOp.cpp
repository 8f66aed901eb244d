#include "content/ShowArrayOp.h"

#include <cstring>

#include "content/ContentHandler.h"
#include "runtime/ErrorTrap.h"

namespace content {

using runtime::ObjectTag;

namespace {

// {length, bytes} with a terminating zero, in storage rounded up to 8.
const runtime::ByteString* CountedCopy(runtime::ArenaAllocator& arena,
                                       const runtime::ByteString& source) {
  const size_t size = (runtime::ByteString::BlockSize(source.length) + 7) & ~size_t{7};
  auto* copy = new (arena.Alloc(size)) runtime::ByteString;
  copy->length = source.length;
  if (source.length != 0) std::memcpy(copy->MutableBytes(), source.Bytes(), source.length);
  copy->MutableBytes()[source.length] = 0;
  return copy;
}

}  // namespace

ShowArrayOp::ShowArrayOp(runtime::ArenaAllocator& arena, const runtime::ObjectValue& array) {
  const runtime::ValueList& list = array.AsArray();
  if (list.count == 0) return;
  auto* out = static_cast<TextArrayElement*>(arena.Alloc(sizeof(TextArrayElement) * size_t{list.count}));
  for (uint32_t i = 0; i < list.count; ++i) {
    const runtime::ObjectValue& item = list.items[i];
    TextArrayElement& element = *new (&out[i]) TextArrayElement;
    if (item.Is(ObjectTag::kString)) {
      element.tag = TextArrayElement::kString;
      element.payload.string = CountedCopy(arena, item.AsString());
    } else if (item.IsNumber()) {
      // Integers (also those too large for 32 bits, clamped) and reals.
      element.tag = TextArrayElement::kAdjustment;
      element.payload.adjustment = item.AsNumber();
    } else {
      runtime::ThrowRuntime(runtime::kMalformed);
    }
  }
  elements = out;
  count = list.count;
}

void ShowArrayOp::Play(ContentHandler& handler, uint32_t) {
  handler.ShowTextArray(elements, count, bounds);
}

}  // namespace content
