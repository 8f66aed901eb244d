#include "fonts/CharstringHints.h"

namespace fonts {

CharstringHints::CharstringHints(runtime::ArenaAllocator& arena, const PrivateRecord& record,
                                 Fixed yScale, Fixed yOffset, bool enabled)
    : hStems_(arena, 16), vStems_(arena, 16), zones_(record, yScale), offset_(yOffset),
      enabled_(enabled) {
  map_.SetScale(yScale);
}

void CharstringHints::AddStems(CharstringStack& stack, uint32_t first, bool horizontal) {
  runtime::ArenaVector<StemPair>& list = horizontal ? hStems_ : vStems_;
  int64_t previous = 0;
  for (uint32_t i = first; i + 1 < stack.Count(); i += 2) {
    const int64_t e1 = previous + stack.OperandAt(i);
    const int64_t e2 = e1 + stack.OperandAt(i + 1);
    previous = e2;
    if (StemCount() >= HintMask::kMaxStems) ThrowMalformedFont();
    list.PushBack({static_cast<Fixed>(e1), static_cast<Fixed>(e2)});
  }
  stack.Clear();
  mask_.valid = false;
  map_.Invalidate();
}

void CharstringHints::Rebuild() {
  map_.Build(hStems_.begin(), hStems_.Size(), mask_, offset_, zones_);
}

}  // namespace fonts
