#pragma once
// The stack of typed operands that the content interpreter, the calculator
// and the font program interpreters push values on. Values live in chunks
// taken from the memory context; a chunk, once added, is kept for reuse
// until the stack dies. Payload pointers are borrowed: whatever owns the
// pushed names, strings and containers must outlive their place here.
#include <cstdint>

#include "runtime/Matrix.h"
#include "runtime/ObjectValue.h"

namespace runtime {

class LibraryContext;

class OperandStack {
 public:
  explicit OperandStack(LibraryContext* context);
  ~OperandStack();
  OperandStack(const OperandStack&) = delete;
  OperandStack& operator=(const OperandStack&) = delete;

  uint32_t Count() const { return count_; }
  bool IsEmpty() const { return count_ == 0; }

  // Every reader raises (runtime, 2) on an empty stack or a wrong tag.
  const ObjectValue& Top() const;
  // The entry `depth` places below the top (0 is the top).
  const ObjectValue& Peek(uint32_t depth) const;
  void Pop();
  // Empties the stack (the chunks stay for reuse).
  void Clear();

  // Integers and overflowed integers.
  int32_t PopInteger();
  // Integers outside -32767..32767 saturate to 0x80000001 or 0x7FFFFFFF;
  // reals come back as they are.
  Fixed PopNumber();
  // As ObjectValue::AsNumber, without popping.
  Fixed PeekNumber(uint32_t depth) const;
  // Six numbers a b c d e f, f on top; pops all six.
  Matrix PopMatrix();

  const ByteString& TopName() const { return Top().AsName(); }
  const ByteString& TopString() const { return Top().AsString(); }
  const ObjectValue& TopArray() const;
  const ObjectValue& TopDictionary() const;

  // Each raises (runtime, 0) when no chunk can be added; the stack is then
  // unchanged.
  void PushValue(const ObjectValue& value);
  void PushBoolean(bool value) { PushValue(ObjectValue::Boolean(value)); }
  void PushInteger(int32_t value) { PushValue(ObjectValue::Integer(value)); }
  void PushReal(Fixed value) { PushValue(ObjectValue::Real(value)); }
  void PushReference(const ObjectReference* reference) {
    PushValue(ObjectValue::Reference(reference));
  }
  void PushArrayOrDictionary(const ValueList* list, bool isDictionary) {
    PushValue(isDictionary ? ObjectValue::Dictionary(list) : ObjectValue::Array(list));
  }

  // Values per chunk.
  static constexpr uint32_t kChunkValues = 32;

 private:
  struct Chunk {
    Chunk* previous;
    Chunk* next;
    ObjectValue values[kChunkValues];
  };

  LibraryContext* context_;
  Chunk* first_ = nullptr;
  // The write position: the chunk and the index in it of the next push.
  Chunk* current_ = nullptr;
  uint32_t index_ = 0;
  uint32_t count_ = 0;
};

}  // namespace runtime
