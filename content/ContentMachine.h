#pragma once
// A parsed content stream: a compact program of opcodes with their
// operands, recorded as the stream is read and played back into content
// handlers any number of times. Parsing is pulled by playback: nothing is
// read until a player reaches the end of what has been recorded.
#include <cstdint>
#include <string_view>

#include "runtime/ArenaAllocator.h"
#include "runtime/ArenaVector.h"
#include "runtime/ErrorRecord.h"
#include "runtime/Fixed.h"
#include "runtime/Matrix.h"
#include "runtime/ObjectHandle.h"
#include "runtime/PackedPoint.h"
#include "runtime/Rect.h"
#include "streams/DataStream.h"

namespace pdf {
class Document;
}

namespace content {

class ContentOps;
class ContentHandler;
class ExtGState;
// An operation recorded as an object (opcode 0); see RecordedObject.h.
class RecordedObject;

// Recorded operation codes. Codes from kFirstRepeat on repeat a recent
// operation held in the repeat cache.
enum Opcode : uint8_t {
  kOpObject = 0,
  kOpSave = 1,
  kOpRestore = 2,
  kOpEndMarked = 3,
  kOpConcat = 4,
  kOpLineWidth = 5,
  kOpLineCap = 6,
  kOpLineJoin = 7,
  kOpMiterLimit = 8,
  kOpDash = 9,
  kOpFlatness = 10,
  kOpExtGState = 11,
  kOpPath = 12,
  kOpReserved = 13,
  kOpForm = 14,
  kOpImage = 15,
  kOpShading = 16,
  kOpIntent = 17,
  kOpColorSpace = 18,
  kOpGray = 19,
  kOpRgb = 20,
  kOpCmyk = 21,
  kOpColor = 22,
  kOpBeginText = 23,
  kOpEndText = 24,
  kOpCharSpacing = 25,
  kOpWordSpacing = 26,
  kOpHorizontalScale = 27,
  kOpLeading = 28,
  kOpFont = 29,
  kOpRenderMode = 30,
  kOpRise = 31,
  kOpMoveText = 32,
  kOpMoveTextLeading = 33,
  kOpTextMatrix = 34,
  kOpNextLine = 35,
  kFirstRepeat = 36,
};

// Whether an operation of `code` takes part in the repeat cache: recorded
// objects, spans, path painting and forms never do.
bool IsCacheable(uint8_t code);

// Header word bits of a recorded path-painting operation.
struct PathHeader {
  static constexpr uint32_t kCountMask = 0xFFFFFF;
  static constexpr uint32_t kClipShift = 24;
  static constexpr uint32_t kFillShift = 26;
  static constexpr uint32_t kStroke = 1u << 28;
  static constexpr uint32_t kByReference = 1u << 29;
  static constexpr uint32_t kLongPosition = 1u << 30;
  static constexpr uint32_t kNewBox = 1u << 31;
  // Rule value meaning "no fill" or "no clip".
  static constexpr uint32_t kRuleNone = 2;
};

// A position in a program: the opcode and the two operand lists.
struct ProgramCursor {
  uint32_t op = 0;
  uint32_t byte = 0;
  uint32_t word = 0;
  // The next inline path's first segment (paths never repeat, so this
  // only moves forward).
  uint32_t segment = 0;
};

// The handler's record of a path kept outside the program (paths begun once
// the program holds kMaxInlineSegments): which program's stream it came
// from, where the path began in that stream, and its segments. One record
// serves every program a handler plays (a page and its forms), so a path
// is known by the program's serial number and the position together.
struct PathCacheSlot {
  static constexpr uint64_t kNoPosition = UINT64_MAX;

  explicit PathCacheSlot(runtime::ArenaAllocator& arena) : segments(arena, 16) {}
  bool Holds(uint64_t serial, uint64_t where) const {
    return position != kNoPosition && machineSerial == serial && position == where;
  }

  uint64_t machineSerial = 0;
  uint64_t position = kNoPosition;
  runtime::ArenaVector<runtime::PackedPoint> segments;
};

class ContentMachine {
 public:
  // Paths begun after the program holds this many segments are recorded by
  // their stream position only, to bound a program's memory.
  static constexpr uint32_t kMaxInlineSegments = 40000;

  // `resources`: the owner's "Resources" dictionary; `document` resolves
  // the names found there. Build with runtime::NewObject.
  ContentMachine(runtime::LibraryContext* context, pdf::Document* document,
                 streams::DataStreamRef stream, const runtime::ObjectHandle& resources,
                 uint32_t options = 0);
  ~ContentMachine();
  ContentMachine(const ContentMachine&) = delete;
  ContentMachine& operator=(const ContentMachine&) = delete;

 private:
  // First: the lists below live in the arena.
  runtime::LibraryContext* context_;
  pdf::Document* document_;
  runtime::ArenaAllocator arena_;

 public:

  // Records the next part of the stream; false when nothing more could be
  // recorded (parsing has finished).
  bool ParseMore(PathCacheSlot* overflow);
  // Reads the path that began at stream `position` again into `slot`, for
  // a path recorded by reference whose segments the slot no longer holds.
  // Parsing later resumes where it stood. Data that no longer forms a
  // painted path there is (runtime, 2).
  void RereadPath(uint64_t position, PathCacheSlot& slot);
  // Paths read again so far.
  uint32_t PathRereads() const { return pathRereads_; }
  // Unique among the machines of the process: path-cache records tell the
  // programs they hold paths of apart by it (a freed form's machine and a
  // later one may share an address).
  uint64_t Serial() const { return serial_; }
  bool ParsingFinished() const { return finished_; }
  // The error the parser met, kept to be raised after playback.
  bool HasStoredError() const { return hasError_; }
  const runtime::ErrorRecord& StoredError() const { return error_; }

  runtime::LibraryContext* Context() const { return context_; }
  pdf::Document* GetDocument() const { return document_; }
  const runtime::ObjectHandle& Resources() const { return resources_; }
  runtime::ArenaAllocator& Arena() { return arena_; }
  uint32_t Options() const { return options_; }
  // The "StructParents" value of the page or form whose content this is,
  // set by the creator; -1 when it has none. Marked content with an MCID
  // finds its structure element through it.
  int32_t StructParents() const { return structParents_; }
  void SetStructParents(int32_t value) { structParents_ = value; }
  // The owner dictionary's (page or form) "StructParents": a non-negative
  // integer, else -1.
  static int32_t StructParentsOf(const runtime::ObjectHandle& owner);

  // The recorded lists. The parser appends; players read.
  runtime::ArenaVector<uint8_t> opcodes;
  runtime::ArenaVector<uint8_t> bytes;
  runtime::ArenaVector<uint32_t> words;
  runtime::ArenaVector<runtime::PackedPoint> segments;
  runtime::ArenaVector<RecordedObject*> objects;
  // The graphics-state parameter sets the program applies, each parsed
  // once; a `gs` operation records its index here (a 32-bit word cannot
  // hold the pointer).
  runtime::ArenaVector<const ExtGState*> parameterSets;
  uint32_t pathPaintCount = 0;

  // For the parser: stops parsing with `record` kept for after playback.
  void StoreError(const runtime::ErrorRecord& record);
  void MarkFinished() { finished_ = true; }

 private:
  runtime::ObjectHandle resources_;
  ContentOps* ops_ = nullptr;
  uint32_t options_;
  uint64_t serial_;
  int32_t structParents_ = -1;
  bool finished_ = false;
  bool hasError_ = false;
  uint32_t pathRereads_ = 0;
  runtime::ErrorRecord error_{};
};

}  // namespace content
