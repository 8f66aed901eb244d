#pragma once
// Colour-space operands over an array of the document: elements are read
// through the array accessors, so indirect references are resolved. The
// handles taken for one answer are released before it returns; a name or
// string that lives in another store than the array (it was reached
// through a reference) is copied into the arena first, so the answer stays
// valid as long as the source.
//
// The source and the sub-sources it hands out live in the arena given at
// construction (any arena that outlives the caller's use; the content
// machine's for inline images). Each holds a counted handle on its array,
// released when the arena's scope is released.
#include "content/ColorSpaceOperands.h"
#include "runtime/ArenaAllocator.h"

namespace pdf {
class Document;
}

namespace content {

class DocumentArrayOperands final : public ColorSpaceOperands {
 public:
  // `array` must be an array: (runtime, 2) otherwise. Build it with
  // runtime::NewInArena so that its handle is released with the arena.
  DocumentArrayOperands(const runtime::ObjectHandle& array, pdf::Document* document,
                        runtime::ArenaAllocator& arena);

  std::string_view NameAt(uint32_t i) override;
  int32_t IntAt(uint32_t i) override;
  // Null when the arena has no memory left; no handle stays counted then.
  ColorSpaceOperands* SubArrayAt(uint32_t i) override;
  std::string_view NameInArrayAt(uint32_t i, uint32_t j) override;
  uint32_t CountOfArrayAt(uint32_t i) override;
  runtime::ObjectTag TypeAt(uint32_t i) override;
  uint32_t Count() override;
  runtime::ObjectHandle DictionaryAt(uint32_t i) override;
  runtime::ObjectHandle ArrayHandle() override;
  std::pair<const uint8_t*, const uint8_t*> StringAt(uint32_t i) override;
  runtime::ObjectHandle StreamAt(uint32_t i) override;

  pdf::Document* GetDocument() const { return document_; }

 private:
  std::string_view KeptName(const runtime::ObjectHandle& name);

  runtime::ObjectHandle array_;
  pdf::Document* document_;
  runtime::ArenaAllocator* arena_;
};

}  // namespace content
