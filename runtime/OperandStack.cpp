#include "runtime/OperandStack.h"

#include <new>

#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/MemoryContext.h"

namespace runtime {
namespace {

// Operands convert with one step less than dictionary values: -32768 is
// kept off the most negative Fixed, which has no positive counterpart.
Fixed OperandToNumber(const ObjectValue& value) {
  if (value.tag == ObjectTag::kReal) return value.payload.real;
  const int32_t integer = value.AsInteger();
  if (integer < -32767) return static_cast<Fixed>(0x80000001u);
  if (integer > 32767) return 0x7FFFFFFF;
  return static_cast<Fixed>(static_cast<uint32_t>(integer) << 16);
}

}  // namespace

OperandStack::OperandStack(LibraryContext* context) : context_(context) {}

OperandStack::~OperandStack() {
  LibraryContext* owner = context_ != nullptr ? context_ : GetDefaultContext();
  while (first_ != nullptr) {
    Chunk* next = first_->next;
    owner->memory.Free(first_);
    first_ = next;
  }
}

const ObjectValue& OperandStack::Peek(uint32_t depth) const {
  if (depth >= count_) ThrowRuntime(kMalformed);
  const Chunk* chunk = current_;
  uint32_t index = index_;
  // Step back depth + 1 entries; the entry before a chunk's start is the
  // previous chunk's last.
  uint32_t back = depth + 1;
  while (back > index) {
    back -= index;
    chunk = chunk->previous;
    index = kChunkValues;
  }
  return chunk->values[index - back];
}

const ObjectValue& OperandStack::Top() const { return Peek(0); }

void OperandStack::Pop() {
  if (count_ == 0) ThrowRuntime(kMalformed);
  if (index_ == 0) {
    current_ = current_->previous;
    index_ = kChunkValues;
  }
  --index_;
  --count_;
}

void OperandStack::Clear() {
  current_ = first_;
  index_ = 0;
  count_ = 0;
}

int32_t OperandStack::PopInteger() {
  const int32_t value = Top().AsInteger();
  Pop();
  return value;
}

Fixed OperandStack::PopNumber() {
  const Fixed value = OperandToNumber(Top());
  Pop();
  return value;
}

Fixed OperandStack::PeekNumber(uint32_t depth) const { return Peek(depth).AsNumber(); }

Matrix OperandStack::PopMatrix() {
  // Check all six first so that a bad operand leaves the stack as it was.
  if (count_ < 6) ThrowRuntime(kMalformed);
  Fixed values[6];
  for (uint32_t depth = 0; depth < 6; ++depth) values[5 - depth] = OperandToNumber(Peek(depth));
  for (int i = 0; i < 6; ++i) Pop();
  return Matrix{values[0], values[1], values[2], values[3], values[4], values[5]};
}

const ObjectValue& OperandStack::TopArray() const {
  const ObjectValue& top = Top();
  top.AsArray();
  return top;
}

const ObjectValue& OperandStack::TopDictionary() const {
  const ObjectValue& top = Top();
  top.AsDictionary();
  return top;
}

void OperandStack::PushValue(const ObjectValue& value) {
  if (count_ == UINT32_MAX) ThrowRuntime(kOverflow);
  if (current_ == nullptr || index_ == kChunkValues) {
    Chunk* next = current_ != nullptr ? current_->next : first_;
    if (next == nullptr) {
      // Allocate before touching the stack, so a failure leaves it whole.
      next = new (AllocOrThrow(context_, sizeof(Chunk))) Chunk{current_, nullptr, {}};
      if (current_ != nullptr) {
        current_->next = next;
      } else {
        first_ = next;
      }
    }
    current_ = next;
    index_ = 0;
  }
  current_->values[index_++] = value;
  ++count_;
}

}  // namespace runtime

