#pragma once
// The Unicode side of a document's fonts for the text handlers: each
// font's code-to-Unicode map from the document's map cache, found through
// the font's dictionary. A few recent fonts keep their maps at hand, each
// held by a count so that neither goes while the handlers use it.
#include <cstdint>

#include "content/TextFontSource.h"
#include "fonts/FontUnicode.h"
#include "fonts/ProgramFont.h"
#include "pdf/Document.h"
#include "runtime/ErrorTrap.h"
#include "runtime/FontBase.h"

namespace fonts {

class DocumentTextFontSource final : public content::TextFontSource {
 public:
  explicit DocumentTextFontSource(pdf::Document& document) : document_(document), maps_(document.Context()) {}

  runtime::FontResource* ResourceFor(runtime::FontBase& font) override {
    for (Slot& slot : recent_) {
      if (slot.font.Get() == &font) return slot.map.Get();
    }
    auto* program = dynamic_cast<ProgramFont*>(&font);
    if (program == nullptr) return nullptr;
    UnicodeMapRef map;
    // A font whose Unicode cannot be read shows text without Unicode.
    runtime::CatchAllExceptCancel(document_.Context(), [&] { map = maps_.Get(document_, program->Dict()); });
    Slot& slot = recent_[next_];
    next_ = (next_ + 1) % kSlots;
    slot.font = runtime::FontHold(document_.Context(), &font);
    slot.map = std::move(map);
    return slot.map.Get();
  }

 private:
  static constexpr uint32_t kSlots = 8;
  struct Slot {
    runtime::FontHold font;
    UnicodeMapRef map;
  };

  pdf::Document& document_;
  UnicodeMapCache maps_;
  Slot recent_[kSlots];
  uint32_t next_ = 0;
};

}  // namespace fonts
