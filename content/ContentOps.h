#pragma once
// The parsing side of a content machine: reads the content stream's tokens,
// checks each operator against the parsing state and records it.
#include <cstdint>
#include <string_view>

#include "content/ContentMachine.h"
#include "content/GraphicsState.h"
#include "runtime/ObjectValue.h"
#include "runtime/OperatorTrace.h"
#include "runtime/Rect.h"
#include "runtime/Tree.h"
#include "streams/DataStream.h"

namespace pdf {
class TokenParser;
}

namespace content {

class MarkedContentOp;

class ContentOps {
 public:
  // Parsing states; an operator is allowed when the state is in its mask.
  enum State : uint8_t { kPage = 1, kPath = 2, kClipPending = 4, kText = 8 };
  static constexpr uint8_t kAnyState = kPage | kPath | kClipPending | kText;
  // Operators recorded per slice: playback pulls the program in slices so
  // that a long stream starts painting before it is all read.
  static constexpr uint32_t kSliceOperators = 256;
  // Tokens read per slice at most: operators that record nothing (the
  // segments of one long path) end a slice too, so that playback gets to
  // yield between slices.
  static constexpr uint32_t kSliceTokens = 4096;
  // Work charged per token read, on top of what playback charges per
  // operation.
  static constexpr int32_t kTokenCost = 50;
  // The most operands one operator takes (a colour of 32 components and
  // its pattern name, with room to spare); more is malformed content.
  static constexpr uint32_t kMaxOperands = 64;

  ContentOps(ContentMachine& machine, streams::DataStreamRef stream);

  // Records up to kSliceOperators operators from at most kSliceTokens
  // tokens. An error other than a cancel is stored in the machine and ends
  // parsing at the last good operator. Returns the tokens read, for the
  // caller to charge.
  uint32_t ParseMore(PathCacheSlot* overflow);
  // Reads the path that began at `position` again into `slot`; the next
  // ParseMore resumes where parsing stood.
  void RereadPath(uint64_t position, PathCacheSlot& slot);

 private:
  void ParseSlice(pdf::TokenParser& parser, uint32_t& recorded, uint32_t& tokens);
  void RunKeyword(pdf::TokenParser& parser, std::string_view keyword);
  void PushOperand(const runtime::ObjectValue& value);

  // Operand access: the n-th of the `count` operands an operator takes.
  const runtime::ObjectValue& Operand(uint32_t count, uint32_t index) const;
  runtime::Fixed Number(uint32_t count, uint32_t index) const;
  int32_t Integer(uint32_t count, uint32_t index) const;
  const runtime::ByteString& NameOperand(uint32_t count, uint32_t index) const;
  void Require(uint32_t count) const;
  void CheckState(uint8_t mask) const;

  // Recording.
  ProgramCursor Mark() const;
  void PushByte(uint8_t value);
  void PushWord(uint32_t value);
  void PushName(std::string_view name);
  void PushNumbers(uint32_t count);
  void Commit(uint8_t code, const ProgramCursor& start);
  void Record(uint8_t code, uint8_t mask, uint32_t numbers);
  void RecordObject(RecordedObject* object);

  // Paths.
  void BeginPathIfNeeded();
  void AddPoint(runtime::Fixed x, runtime::Fixed y, uint8_t kind);
  void ClosePath();
  void PaintPath(bool close, bool stroke, uint32_t fillRule);

  // Operators with more to them than numbers.
  void SetDash();
  void SetColorOperands(bool stroke, bool allowPattern);
  void DoXObject();
  void SetExtGState();
  void ShowText(pdf::TokenParser& parser, std::string_view keyword);
  void MarkedContent(std::string_view keyword);
  // Gives a marked sequence with an MCID its "StructParents" value and its
  // structure element, when the stream's owner has one.
  void FindStructElement(MarkedContentOp& object);
  void InlineImage(pdf::TokenParser& parser);

  ContentMachine& machine_;
  streams::DataStreamRef stream_;
  runtime::LibraryContext* context_;
  PathCacheSlot* overflow_ = nullptr;

  runtime::ObjectValue operands_[kMaxOperands];
  uint32_t operandCount_ = 0;

  uint8_t state_ = kPage;
  uint32_t clipRule_ = PathHeader::kRuleNone;
  uint32_t compatibilityDepth_ = 0;

  // The path being collected.
  bool pathInline_ = true;
  uint32_t pathStart_ = 0;
  uint32_t pathSegments_ = 0;
  uint64_t pathPosition_ = 0;
  runtime::Rect pathBox_{};
  bool pathHasPoint_ = false;
  runtime::Fixed currentX_ = 0;
  runtime::Fixed currentY_ = 0;
  // The shared box of paths recorded by reference: where its words are.
  uint32_t sharedBoxWord_ = UINT32_MAX;
  // Stream position where the operands of the coming operator began.
  uint64_t operandsPosition_ = 0;
  // Set while the stream stands elsewhere after a path was read again;
  // parsing resumes from resumePosition_.
  bool displaced_ = false;
  uint64_t resumePosition_ = 0;

  runtime::OperatorTrace trace_;
  // The structure parents of the marked content of this stream (an array
  // by MCID), looked up once at the first MCID; null when there are none.
  const runtime::ObjectHandle* markedParents_ = nullptr;
  bool markedParentsLooked_ = false;
  // Parameter sets parsed so far, by resource name: each name is parsed
  // once however often `gs` names it. Nodes live in the machine's arena.
  runtime::Tree parameterSets_;
  // The end of the last committed operation, where an error cuts back to.
  ProgramCursor committed_{};
  uint32_t committedSegments_ = 0;
  uint32_t committedObjects_ = 0;
};

}  // namespace content
