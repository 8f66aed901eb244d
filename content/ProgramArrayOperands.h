#pragma once
// Colour-space operands over an array value recorded in a content program
// (an inline image's colour space). Such an array can hold no dictionary
// and no stream: asking for one is (runtime, 2).
#include "content/ColorSpaceOperands.h"
#include "runtime/ArenaAllocator.h"

namespace content {

class ProgramArrayOperands final : public ColorSpaceOperands {
 public:
  // Arrays nested deeper than this are not copied: (runtime, 2).
  static constexpr uint32_t kMaxCopyDepth = 8;

  // `array` must be an array value that lives as long as the source; sub
  // sources are allocated in `arena`.
  ProgramArrayOperands(const runtime::ObjectValue& array, runtime::ArenaAllocator& arena);

  // A deep copy of `value` (numbers, names, strings, arrays of them) into
  // the arena, so that it outlives the parser's value store. Dictionaries
  // and references are (runtime, 2).
  static const runtime::ObjectValue& CopyToArena(runtime::ArenaAllocator& arena,
                                                 const runtime::ObjectValue& value);

  std::string_view NameAt(uint32_t i) override;
  int32_t IntAt(uint32_t i) override;
  ColorSpaceOperands* SubArrayAt(uint32_t i) override;
  std::string_view NameInArrayAt(uint32_t i, uint32_t j) override;
  uint32_t CountOfArrayAt(uint32_t i) override;
  runtime::ObjectTag TypeAt(uint32_t i) override;
  uint32_t Count() override;
  runtime::ObjectHandle DictionaryAt(uint32_t i) override;
  runtime::ObjectHandle ArrayHandle() override;
  std::pair<const uint8_t*, const uint8_t*> StringAt(uint32_t i) override;
  runtime::ObjectHandle StreamAt(uint32_t i) override;

 private:
  const runtime::ObjectValue& At(uint32_t i) const;

  const runtime::ValueList* list_;
  runtime::ArenaAllocator* arena_;
};

}  // namespace content
