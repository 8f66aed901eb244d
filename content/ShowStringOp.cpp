#include "content/ShowStringOp.h"

#include "content/ContentHandler.h"

namespace content {

ShowStringOp::ShowStringOp(runtime::ArenaAllocator& arena, const runtime::ObjectValue& text,
                           bool nextLine)
    : nextLineFirst(nextLine) {
  const runtime::ByteString& string = text.AsString();
  bytes = CopyToArena(arena, string.Bytes(), string.length);
  count = string.length;
}

void ShowStringOp::Play(ContentHandler& handler, uint32_t) {
  if (nextLineFirst) handler.NextLine();
  handler.ShowText(bytes, count, bounds);
}

}  // namespace content
