#include "content/ShowSpacedStringOp.h"

#include "content/ContentHandler.h"

namespace content {

ShowSpacedStringOp::ShowSpacedStringOp(runtime::ArenaAllocator& arena,
                                       const runtime::ObjectValue& text,
                                       runtime::Fixed word, runtime::Fixed character)
    : wordSpacing(word), charSpacing(character) {
  const runtime::ByteString& string = text.AsString();
  bytes = CopyToArena(arena, string.Bytes(), string.length);
  count = string.length;
}

void ShowSpacedStringOp::Play(ContentHandler& handler, uint32_t) {
  handler.SetWordSpacing(wordSpacing);
  handler.SetCharSpacing(charSpacing);
  handler.NextLine();
  handler.ShowText(bytes, count, bounds);
}

}  // namespace content
