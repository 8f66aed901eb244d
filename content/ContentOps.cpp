#include "content/ContentOps.h"

#include <algorithm>
#include <cstring>

#include "content/ContentToken.h"
#include "content/ExtGState.h"
#include "content/InlineImage.h"
#include "content/MarkedContentOp.h"
#include "content/PathReader.h"
#include "content/ShowArrayOp.h"
#include "content/ShowSpacedStringOp.h"
#include "content/ShowStringOp.h"
#include "pdf/Document.h"
#include "pdf/Lexer.h"
#include "pdf/PdfCharClass.h"
#include "pdf/ResourceScope.h"
#include "pdf/StructTree.h"
#include "pdf/TokenParser.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/StrokeStyle.h"
#include "runtime/ValueStore.h"

namespace content {

using runtime::ByteString;
using runtime::Fixed;
using runtime::ObjectHandle;
using runtime::ObjectTag;
using runtime::ObjectValue;

namespace {

// Path coordinates and boxes are kept to 1/128 of a unit.
constexpr Fixed TruncateTo128th(Fixed value) {
  return static_cast<Fixed>(static_cast<uint32_t>(value) & ~uint32_t{0x1FF});
}

enum class Op : uint8_t {
  kSave, kRestore, kConcat, kLineWidth, kLineCap, kLineJoin, kMiterLimit, kDash, kIntent,
  kFlatness, kExtGState, kMove, kLine, kCurve, kCurveV, kCurveY, kClose, kRectangle, kClip,
  kClipEvenOdd, kStroke, kCloseStroke, kFill, kFillEvenOdd, kFillStroke, kFillStrokeEvenOdd,
  kCloseFillStroke, kCloseFillStrokeEvenOdd, kEndPath, kStrokeSpace, kFillSpace, kStrokeColor,
  kStrokeColorN, kFillColor, kFillColorN, kStrokeGray, kFillGray, kStrokeRgb, kFillRgb,
  kStrokeCmyk, kFillCmyk, kShading, kDo, kBeginImage, kImageData, kBeginText, kEndText,
  kCharSpacing, kWordSpacing, kScale, kLeading, kFont, kRenderMode, kRise, kMoveText,
  kMoveTextLeading, kTextMatrix, kNextLine, kShow, kShowArray, kShowNextLine, kShowSpaced,
  kBeginMarked, kBeginMarkedProperties, kMarkPoint, kMarkPointProperties, kEndMarked,
  kBeginCompatibility, kEndCompatibility, kGlyphWidth, kGlyphWidthBox, kTrue, kFalse, kNull,
  kObj, kIgnored,
};

struct KeywordEntry {
  std::string_view keyword;
  Op op;
};

// Sorted by keyword for the binary search.
constexpr KeywordEntry kKeywords[] = {
    {"\"", Op::kShowSpaced}, {"'", Op::kShowNextLine}, {"B", Op::kFillStroke},
    {"B*", Op::kFillStrokeEvenOdd}, {"BDC", Op::kBeginMarkedProperties},
    {"BI", Op::kBeginImage}, {"BMC", Op::kBeginMarked}, {"BT", Op::kBeginText},
    {"BX", Op::kBeginCompatibility}, {"CS", Op::kStrokeSpace}, {"DP", Op::kMarkPointProperties},
    {"Do", Op::kDo}, {"EMC", Op::kEndMarked}, {"ET", Op::kEndText},
    {"EX", Op::kEndCompatibility}, {"F", Op::kFill}, {"G", Op::kStrokeGray},
    {"ID", Op::kImageData}, {"J", Op::kLineCap}, {"K", Op::kStrokeCmyk},
    {"M", Op::kMiterLimit}, {"MP", Op::kMarkPoint}, {"Q", Op::kRestore},
    {"R", Op::kIgnored}, {"RG", Op::kStrokeRgb}, {"S", Op::kStroke}, {"SC", Op::kStrokeColor},
    {"SCN", Op::kStrokeColorN}, {"T*", Op::kNextLine}, {"TD", Op::kMoveTextLeading},
    {"TJ", Op::kShowArray}, {"TL", Op::kLeading}, {"Tc", Op::kCharSpacing},
    {"Td", Op::kMoveText}, {"Tf", Op::kFont}, {"Tj", Op::kShow}, {"Tm", Op::kTextMatrix},
    {"Tr", Op::kRenderMode}, {"Ts", Op::kRise}, {"Tw", Op::kWordSpacing}, {"Tz", Op::kScale},
    {"W", Op::kClip}, {"W*", Op::kClipEvenOdd}, {"b", Op::kCloseFillStroke},
    {"b*", Op::kCloseFillStrokeEvenOdd}, {"c", Op::kCurve}, {"cm", Op::kConcat},
    {"cs", Op::kFillSpace}, {"d", Op::kDash}, {"d0", Op::kGlyphWidth},
    {"d1", Op::kGlyphWidthBox}, {"endobj", Op::kIgnored}, {"f", Op::kFill},
    {"f*", Op::kFillEvenOdd}, {"false", Op::kFalse}, {"g", Op::kFillGray},
    {"gs", Op::kExtGState}, {"h", Op::kClose}, {"i", Op::kFlatness}, {"j", Op::kLineJoin},
    {"k", Op::kFillCmyk}, {"l", Op::kLine}, {"m", Op::kMove}, {"n", Op::kEndPath},
    {"null", Op::kNull}, {"obj", Op::kObj}, {"q", Op::kSave}, {"re", Op::kRectangle},
    {"rg", Op::kFillRgb}, {"ri", Op::kIntent}, {"s", Op::kCloseStroke},
    {"sc", Op::kFillColor}, {"scn", Op::kFillColorN}, {"sh", Op::kShading},
    {"trailer", Op::kIgnored}, {"true", Op::kTrue}, {"v", Op::kCurveV}, {"w", Op::kLineWidth},
    {"y", Op::kCurveY},
};

constexpr bool KeywordsSorted() {
  for (size_t i = 1; i < std::size(kKeywords); ++i) {
    if (!(kKeywords[i - 1].keyword < kKeywords[i].keyword)) return false;
  }
  return true;
}
static_assert(KeywordsSorted(), "the keyword table must stay sorted for the binary search");

const KeywordEntry* FindKeyword(std::string_view keyword) {
  const KeywordEntry* end = std::end(kKeywords);
  const KeywordEntry* found =
      std::lower_bound(std::begin(kKeywords), end, keyword,
                       [](const KeywordEntry& entry, std::string_view key) {
                         return entry.keyword < key;
                       });
  return found != end && found->keyword == keyword ? found : nullptr;
}

// A parameter set's entry in the parser's map: the resource name, copied
// into the machine's arena, and the set's place in the machine's list.
struct ParameterSetNode {
  runtime::TreeNode links;  // first: the tree hands nodes back as links
  std::string_view name;
  uint32_t index = 0;
};

int CompareParameterSetName(const void* key, const runtime::TreeNode* node) {
  const std::string_view name = *static_cast<const std::string_view*>(key);
  return name.compare(reinterpret_cast<const ParameterSetNode*>(node)->name);
}

std::string_view View(const ByteString& bytes) { return bytes.View(); }

// A resource of `category` ("XObject", "Font", ...) named `name`.
ObjectHandle FindResource(const ObjectHandle& resources, std::string_view category,
                          std::string_view name) {
  if (resources.Tag() != ObjectTag::kDictionary) return ObjectHandle();
  ObjectHandle group = runtime::Dictionary::Get(resources, category);
  if (group.Tag() != ObjectTag::kDictionary) return ObjectHandle();
  return runtime::Dictionary::Get(group, name);
}

}  // namespace

bool IsCacheable(uint8_t code) {
  switch (code) {
    case kOpObject: case kOpSave: case kOpRestore: case kOpEndMarked: case kOpPath:
    case kOpForm: case kOpBeginText: case kOpEndText: case kOpNextLine:
      return false;
    default:
      return code < kFirstRepeat;
  }
}

ContentOps::ContentOps(ContentMachine& machine, streams::DataStreamRef stream)
    : machine_(machine),
      stream_(std::move(stream)),
      context_(machine.Context()),
      parameterSets_(machine.Context(), &CompareParameterSetName) {}

uint32_t ContentOps::ParseMore(PathCacheSlot* overflow) {
  if (machine_.ParsingFinished()) return 0;
  overflow_ = overflow;
  if (!stream_) {
    machine_.MarkFinished();
    return 0;
  }
  if (displaced_) {
    // A path was read again since the last slice: parsing goes on where
    // it stood.
    stream_->Seek(resumePosition_);
    displaced_ = false;
  }
  uint32_t tokens = 0;
  runtime::ErrorTrap trap(context_);
  if (!trap.Run([&] {
        runtime::StoreRef store =
            runtime::StoreRef::Adopt(context_, runtime::ValueStore::New(context_));
        pdf::ParseSettings settings;
        settings.allowStreams = false;
        pdf::TokenParser parser(context_, *stream_, *store, settings);
        uint32_t recorded = 0;
        ParseSlice(parser, recorded, tokens);
        // Operands left over reach no operator: the store that holds them
        // goes with this slice.
        operandCount_ = 0;
      })) {
    trap.SetHandled();
    operandCount_ = 0;
    // Never leave half an operation in the program. A list may already be
    // shorter than its mark (an unpainted path dropped since): the cut-back
    // never reaches past a list's end.
    auto cutBack = [](auto& list, uint32_t mark) {
      list.EraseRange(std::min(mark, list.Size()), list.Size());
    };
    cutBack(machine_.opcodes, committed_.op);
    cutBack(machine_.bytes, committed_.byte);
    cutBack(machine_.words, committed_.word);
    cutBack(machine_.segments, committedSegments_);
    cutBack(machine_.objects, committedObjects_);
    committedSegments_ = machine_.segments.Size();
    if (runtime::IsCancelOrNoDataError(trap.Held())) {
      // The operator being read is read again from its first operand when
      // parsing is next asked for more; the operators before it stand.
      stream_->Seek(operandsPosition_);
      trap.Rethrow();
    }
    machine_.StoreError(trap.Held());
    trap.Close();
  }
  return tokens;
}

void ContentOps::ParseSlice(pdf::TokenParser& parser, uint32_t& recorded, uint32_t& tokens) {
  streams::DataStream& stream = *stream_;
  ContentToken token;
  // The token bound ends a slice only between operators: operands read so
  // far would be lost with the slice's value store.
  while (recorded < kSliceOperators && (tokens < kSliceTokens || operandCount_ != 0)) {
    ++tokens;
    const ContentToken::Kind kind = ContentToken::Read(stream, parser, token);
    if (kind == ContentToken::kEnd) {
      // An unclosed text object or compatibility section ends with the
      // stream; nothing more to record.
      machine_.MarkFinished();
      return;
    }
    if (operandCount_ == 0) operandsPosition_ = token.start;
    if (kind == ContentToken::kOperand) {
      PushOperand(token.operand);
      continue;
    }
    if (kind == ContentToken::kDelimiter) {
      if (compatibilityDepth_ == 0) runtime::ThrowMalformed();
      continue;
    }
    const uint32_t before = machine_.opcodes.Size();
    RunKeyword(parser, token.keyword);
    // Path operators record no operation, but their segments are as final
    // as the last committed operation's.
    committedSegments_ = machine_.segments.Size();
    // A stop before the next operand resumes here, not at this operator's
    // operands again.
    if (operandCount_ == 0) operandsPosition_ = stream.Position();
    if (machine_.opcodes.Size() != before) ++recorded;
  }
}

void ContentOps::PushOperand(const ObjectValue& value) {
  if (operandCount_ == kMaxOperands) runtime::ThrowMalformed();
  operands_[operandCount_++] = value;
}

const ObjectValue& ContentOps::Operand(uint32_t count, uint32_t index) const {
  return operands_[operandCount_ - count + index];
}

void ContentOps::Require(uint32_t count) const {
  if (operandCount_ < count) runtime::ThrowMalformed();
}

Fixed ContentOps::Number(uint32_t count, uint32_t index) const {
  const ObjectValue& value = Operand(count, index);
  if (!value.IsNumber()) runtime::ThrowMalformed();
  return value.AsNumber();
}

int32_t ContentOps::Integer(uint32_t count, uint32_t index) const {
  const ObjectValue& value = Operand(count, index);
  if (value.Is(ObjectTag::kReal)) return runtime::FixedToIntFloor(value.AsNumber());
  return value.AsInteger();
}

const ByteString& ContentOps::NameOperand(uint32_t count, uint32_t index) const {
  return Operand(count, index).AsName();
}

void ContentOps::CheckState(uint8_t mask) const {
  if ((state_ & mask) == 0) runtime::ThrowMalformed();
}

ProgramCursor ContentOps::Mark() const {
  return {machine_.opcodes.Size(), machine_.bytes.Size(), machine_.words.Size()};
}

void ContentOps::PushByte(uint8_t value) { machine_.bytes.PushBack(value); }
void ContentOps::PushWord(uint32_t value) { machine_.words.PushBack(value); }

void ContentOps::PushName(std::string_view name) {
  // Longer names keep their first 255 bytes: a resource name that long is
  // never looked up successfully anyway.
  const uint32_t length = static_cast<uint32_t>(std::min<size_t>(name.size(), 255));
  PushByte(static_cast<uint8_t>(length));
  for (uint32_t i = 0; i < length; ++i) PushByte(static_cast<uint8_t>(name[i]));
}

void ContentOps::PushNumbers(uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) PushWord(static_cast<uint32_t>(Number(count, i)));
}

void ContentOps::Commit(uint8_t code, const ProgramCursor& start) {
  if (IsCacheable(code)) {
    const uint32_t byteCount = machine_.bytes.Size() - start.byte;
    const uint32_t wordCount = machine_.words.Size() - start.word;
    for (uint32_t slot = 0; slot < trace_.Count(); ++slot) {
      const runtime::OperatorTrace::Slot& entry = trace_.At(static_cast<uint8_t>(slot));
      if (entry.code != code || entry.range1.second != byteCount ||
          entry.range2.second != wordCount) {
        continue;
      }
      if (byteCount != 0 && std::memcmp(&machine_.bytes[entry.range1.first],
                                        &machine_.bytes[start.byte], byteCount) != 0) {
        continue;
      }
      if (wordCount != 0 && std::memcmp(&machine_.words[entry.range2.first],
                                        &machine_.words[start.word],
                                        wordCount * sizeof(uint32_t)) != 0) {
        continue;
      }
      machine_.opcodes[start.op] = static_cast<uint8_t>(kFirstRepeat + slot);
      machine_.bytes.EraseRange(start.byte, machine_.bytes.Size());
      machine_.words.EraseRange(start.word, machine_.words.Size());
      trace_.Unlink(static_cast<uint8_t>(slot));
      committed_ = Mark();
      operandCount_ = 0;
      return;
    }
    trace_.Record(code, {start.byte, byteCount}, {start.word, wordCount});
  }
  committed_ = Mark();
  committedSegments_ = machine_.segments.Size();
  committedObjects_ = machine_.objects.Size();
  operandCount_ = 0;
}

void ContentOps::Record(uint8_t code, uint8_t mask, uint32_t numbers) {
  CheckState(mask);
  Require(numbers);
  const ProgramCursor start = Mark();
  machine_.opcodes.PushBack(code);
  PushNumbers(numbers);
  Commit(code, start);
}

void ContentOps::RecordObject(RecordedObject* object) {
  const ProgramCursor start = Mark();
  machine_.opcodes.PushBack(kOpObject);
  PushWord(machine_.objects.Size());
  machine_.objects.PushBack(object);
  Commit(kOpObject, start);
}

// ---- Paths ----

void ContentOps::BeginPathIfNeeded() {
  if (state_ == kPath || state_ == kClipPending) return;
  // A path never painted is dropped when the next one starts.
  machine_.segments.EraseRange(std::min(pathStart_, machine_.segments.Size()),
                               machine_.segments.Size());
  pathStart_ = machine_.segments.Size();
  pathSegments_ = 0;
  pathHasPoint_ = false;
  pathInline_ = machine_.segments.Size() < ContentMachine::kMaxInlineSegments;
  pathPosition_ = operandsPosition_;
  if (!pathInline_ && overflow_ != nullptr) {
    overflow_->segments.Clear();
    overflow_->machineSerial = machine_.Serial();
    overflow_->position = pathPosition_;
  }
}

void ContentOps::AddPoint(Fixed x, Fixed y, uint8_t kind) {
  runtime::PackedPoint point;
  runtime::PackedPoint::Pack(point, x, y, kind);
  if (pathInline_) {
    machine_.segments.PushBack(point);
  } else if (overflow_ != nullptr && overflow_->Holds(machine_.Serial(), pathPosition_)) {
    // Between slices playback may have read another path into the record
    // (or another handler's record serves this slice); the path is then
    // read again when it is played.
    overflow_->segments.PushBack(point);
  }
  ++pathSegments_;
  if (kind == runtime::PackedPoint::kClose) return;
  currentX_ = x;
  currentY_ = y;
  if (!pathHasPoint_) {
    pathBox_ = {x, y, runtime::FixedAddSat(x, 4), runtime::FixedAddSat(y, 4)};
    pathHasPoint_ = true;
  } else {
    pathBox_.IncludePoint(x, y);
  }
}

void ContentOps::ClosePath() { AddPoint(0, 0, runtime::PackedPoint::kClose); }

void ContentOps::PaintPath(bool close, bool stroke, uint32_t fillRule) {
  CheckState(kPage | kPath | kClipPending);
  if (close && pathSegments_ != 0) ClosePath();
  const ProgramCursor start = Mark();
  machine_.opcodes.PushBack(kOpPath);
  uint32_t header = (clipRule_ << PathHeader::kClipShift) | (fillRule << PathHeader::kFillShift);
  if (stroke) header |= PathHeader::kStroke;
  const bool noPath = state_ == kPage;
  if (noPath || pathInline_) {
    const uint32_t count = noPath ? 0 : pathSegments_;
    if (count > PathHeader::kCountMask) runtime::ThrowRuntime(runtime::kUnsupported);
    PushWord(header | count | PathHeader::kNewBox);
    const runtime::Rect box = pathHasPoint_ && !noPath ? pathBox_ : runtime::Rect{};
    PushWord(static_cast<uint32_t>(TruncateTo128th(box.x0)));
    PushWord(static_cast<uint32_t>(TruncateTo128th(box.y0)));
    PushWord(static_cast<uint32_t>(TruncateTo128th(box.x1)));
    PushWord(static_cast<uint32_t>(TruncateTo128th(box.y1)));
  } else {
    header |= PathHeader::kByReference;
    const bool newBox = machine_.pathPaintCount % 10 == 0 || sharedBoxWord_ == UINT32_MAX;
    if (newBox) header |= PathHeader::kNewBox;
    if (pathPosition_ < PathHeader::kCountMask) {
      PushWord(header | static_cast<uint32_t>(pathPosition_));
    } else {
      PushWord(header | PathHeader::kLongPosition);
      PushWord(static_cast<uint32_t>(pathPosition_ >> 32));
      PushWord(static_cast<uint32_t>(pathPosition_));
    }
    if (newBox) {
      sharedBoxWord_ = machine_.words.Size();
      PushWord(static_cast<uint32_t>(TruncateTo128th(pathBox_.x0)));
      PushWord(static_cast<uint32_t>(TruncateTo128th(pathBox_.y0)));
      PushWord(static_cast<uint32_t>(TruncateTo128th(pathBox_.x1)));
      PushWord(static_cast<uint32_t>(TruncateTo128th(pathBox_.y1)));
    } else {
      // The shared box grows to cover this path too.
      auto widen = [&](uint32_t index, Fixed value, bool lower) {
        const Fixed held = static_cast<Fixed>(machine_.words[sharedBoxWord_ + index]);
        const Fixed truncated = TruncateTo128th(value);
        machine_.words[sharedBoxWord_ + index] =
            static_cast<uint32_t>(lower ? std::min(held, truncated) : std::max(held, truncated));
      };
      widen(0, pathBox_.x0, true);
      widen(1, pathBox_.y0, true);
      widen(2, pathBox_.x1, false);
      widen(3, pathBox_.y1, false);
    }
  }
  ++machine_.pathPaintCount;
  state_ = kPage;
  clipRule_ = PathHeader::kRuleNone;
  pathStart_ = machine_.segments.Size();
  pathSegments_ = 0;
  pathHasPoint_ = false;
  Commit(kOpPath, start);
}

// ---- Operators ----

void ContentOps::SetDash() {
  CheckState(kPage | kText);
  Require(2);
  const ObjectValue& array = Operand(2, 0);
  if (!array.Is(ObjectTag::kArray)) runtime::ThrowMalformed();
  const Fixed phase = Number(2, 1);
  const runtime::ValueList& list = array.AsArray();
  int64_t sum = 0;
  for (uint32_t i = 0; i < list.count; ++i) {
    if (!list.items[i].IsNumber()) runtime::ThrowMalformed();
    const Fixed length = list.items[i].AsNumber();
    if (length < 0) runtime::ThrowMalformed();
    sum += length;
  }
  if (list.count != 0 && sum == 0) runtime::ThrowMalformed();
  // A pattern too long to be drawn dashed is recorded as solid: the program
  // need not hold its lengths.
  const uint32_t count = list.count <= runtime::StrokeStyle::kMaxDashes ? list.count : 0;
  const ProgramCursor start = Mark();
  machine_.opcodes.PushBack(kOpDash);
  PushWord(static_cast<uint32_t>(phase));
  PushWord(count);
  for (uint32_t i = 0; i < count; ++i) {
    PushWord(static_cast<uint32_t>(list.items[i].AsNumber()));
  }
  Commit(kOpDash, start);
}

void ContentOps::SetColorOperands(bool stroke, bool allowPattern) {
  uint32_t count = operandCount_;
  const ByteString* pattern = nullptr;
  if (allowPattern && count != 0 && operands_[count - 1].Is(ObjectTag::kName)) {
    pattern = &operands_[count - 1].AsName();
    --count;
  }
  if (count > ColorRecord::kMaxComponents) runtime::ThrowMalformed();
  for (uint32_t i = 0; i < count; ++i) {
    if (!operands_[i].IsNumber()) runtime::ThrowMalformed();
  }
  const ProgramCursor start = Mark();
  machine_.opcodes.PushBack(kOpColor);
  PushByte(static_cast<uint8_t>((stroke ? 1 : 0) | (pattern != nullptr ? 2 : 0)));
  if (pattern != nullptr) PushName(View(*pattern));
  PushByte(static_cast<uint8_t>(count));
  for (uint32_t i = 0; i < count; ++i) PushWord(static_cast<uint32_t>(operands_[i].AsNumber()));
  Commit(kOpColor, start);
}

void ContentOps::DoXObject() {
  CheckState(kPage | kPath);
  Require(1);
  const std::string_view name = View(NameOperand(1, 0));
  ObjectHandle xobject = FindResource(machine_.Resources(), "XObject", name).Resolved();
  if (xobject.Tag() != ObjectTag::kDictionary) {
    operandCount_ = 0;  // a missing XObject draws nothing
    return;
  }
  ObjectHandle subtype = runtime::Dictionary::Get(xobject, "Subtype");
  const bool form = subtype.Tag() == ObjectTag::kName && subtype->AsName().Equals("Form");
  const ProgramCursor start = Mark();
  if (!form) {
    machine_.opcodes.PushBack(kOpImage);
    PushName(name);
    Commit(kOpImage, start);
    return;
  }
  machine_.opcodes.PushBack(kOpForm);
  PushName(name);
  runtime::Matrix matrix;
  ObjectHandle matrixArray = runtime::Dictionary::Get(xobject, "Matrix");
  if (matrixArray.Tag() == ObjectTag::kArray && matrixArray->AsArray().count == 6) {
    const runtime::ValueList& items = matrixArray->AsArray();
    Fixed values[6];
    for (uint32_t i = 0; i < 6; ++i) {
      if (!items.items[i].IsNumber()) runtime::ThrowMalformed();
      values[i] = items.items[i].AsNumber();
    }
    matrix = {values[0], values[1], values[2], values[3], values[4], values[5]};
  }
  for (Fixed value : {matrix.a, matrix.b, matrix.c, matrix.d, matrix.e, matrix.f}) {
    PushWord(static_cast<uint32_t>(value));
  }
  Fixed box[4] = {};
  ObjectHandle boxArray = runtime::Dictionary::Get(xobject, "BBox");
  if (boxArray.Tag() == ObjectTag::kArray && boxArray->AsArray().count == 4) {
    const runtime::ValueList& items = boxArray->AsArray();
    for (uint32_t i = 0; i < 4; ++i) {
      if (items.items[i].IsNumber()) box[i] = items.items[i].AsNumber();
    }
  }
  for (Fixed value : box) PushWord(static_cast<uint32_t>(value));
  Commit(kOpForm, start);
}

void ContentOps::SetExtGState() {
  // Allowed while a path is being built too: pages set their transparency
  // between the path and its painting operator.
  CheckState(kPage | kPath | kText);
  Require(1);
  const std::string_view name = View(NameOperand(1, 0));
  uint32_t index = 0;
  if (const runtime::TreeNode* found = parameterSets_.Find(&name)) {
    index = reinterpret_cast<const ParameterSetNode*>(found)->index;
  } else {
    // Missing resources, category or entry, or one that is no dictionary,
    // are malformed content; nothing is recorded or remembered for them.
    const ObjectHandle dictionary =
        pdf::Resources::GetRequiredDict(machine_.Resources(), "ExtGState", name);
    runtime::ArenaAllocator& arena = machine_.Arena();
    auto* parsed = new (arena.Alloc(sizeof(ExtGState))) ExtGState;
    runtime::ReferenceResolver* document =
        dictionary.Owner() != nullptr ? dictionary.Owner() : machine_.GetDocument();
    parsed->Parse(arena, dictionary, document);
    auto* interned = static_cast<char*>(arena.Alloc(name.size() + size_t{1}));
    if (!name.empty()) std::memcpy(interned, name.data(), name.size());
    auto* node = new (arena.Alloc(sizeof(ParameterSetNode))) ParameterSetNode;
    node->name = std::string_view(interned, name.size());
    parsed->resourceName = node->name;
    node->index = machine_.parameterSets.Size();
    machine_.parameterSets.PushBack(parsed);
    parameterSets_.InsertOrReplace(&node->links, &node->name);
    index = node->index;
  }
  const ProgramCursor start = Mark();
  machine_.opcodes.PushBack(kOpExtGState);
  PushWord(index);
  Commit(kOpExtGState, start);
}

void ContentOps::ShowText(pdf::TokenParser&, std::string_view keyword) {
  CheckState(kText);
  runtime::ArenaAllocator& arena = machine_.Arena();
  RecordedObject* object;
  if (keyword == "TJ") {
    Require(1);
    object = new (arena.Alloc(sizeof(ShowArrayOp))) ShowArrayOp(arena, Operand(1, 0));
  } else if (keyword == "\"") {
    Require(3);
    object = new (arena.Alloc(sizeof(ShowSpacedStringOp)))
        ShowSpacedStringOp(arena, Operand(3, 2), Number(3, 0), Number(3, 1));
  } else {
    Require(1);
    object = new (arena.Alloc(sizeof(ShowStringOp)))
        ShowStringOp(arena, Operand(1, 0), keyword == "'");
  }
  RecordObject(object);
}

void ContentOps::FindStructElement(MarkedContentOp& object) {
  const int32_t structParents = machine_.StructParents();
  pdf::Document* document = machine_.GetDocument();
  if (structParents < 0 || document == nullptr) return;
  object.hasStructParents = true;
  object.structParents = structParents;
  if (!markedParentsLooked_) {
    markedParentsLooked_ = true;
    ObjectHandle parents = pdf::StructTree::FindMarkedParents(*document, structParents);
    if (!parents.IsNull()) {
      markedParents_ = runtime::NewInArena<ObjectHandle>(machine_.Arena(), parents);
    }
  }
  if (markedParents_ == nullptr) return;
  ObjectHandle element = pdf::StructTree::ElementAt(*document, *markedParents_, object.mcid);
  if (!element.IsNull()) object.element = runtime::NewInArena<ObjectHandle>(machine_.Arena(), element);
}

void ContentOps::MarkedContent(std::string_view keyword) {
  const bool properties = keyword == "BDC" || keyword == "DP";
  Require(properties ? 2 : 1);
  auto* object = new (machine_.Arena().Alloc(sizeof(MarkedContentOp))) MarkedContentOp;
  // Only a sequence's properties are used (for its MCID); a marked point's
  // are not, so whatever stands there is no reason to fail the page.
  if (keyword == "BDC") {
    const ObjectValue& operand = Operand(2, 1);
    ObjectHandle dictionary;
    if (operand.Is(ObjectTag::kName)) {
      dictionary = FindResource(machine_.Resources(), "Properties", View(operand.AsName()))
                       .Resolved();
    } else if (!operand.Is(ObjectTag::kDictionary)) {
      runtime::ThrowMalformed();
    }
    const ObjectValue* mcid = operand.Is(ObjectTag::kDictionary)
                                  ? runtime::Dictionary::FindByName(operand, "MCID")
                                  : (dictionary.Tag() == ObjectTag::kDictionary
                                         ? runtime::Dictionary::FindByName(dictionary.Value(),
                                                                           "MCID")
                                         : nullptr);
    if (keyword == "BDC" && mcid != nullptr && mcid->Is(ObjectTag::kInteger)) {
      object->hasMcid = true;
      object->mcid = mcid->AsInteger();
      FindStructElement(*object);
    }
  }
  const bool point = keyword == "MP" || keyword == "DP";
  RecordObject(object);
  if (point) {
    // A marked point is an empty marked sequence: begin, then end at once.
    const ProgramCursor start = Mark();
    machine_.opcodes.PushBack(kOpEndMarked);
    Commit(kOpEndMarked, start);
  }
}

void ContentOps::RunKeyword(pdf::TokenParser& parser, std::string_view keyword) {
  const KeywordEntry* entry = keyword.empty() ? nullptr : FindKeyword(keyword);
  if (entry == nullptr) {
    // Inside a compatibility section unknown operators are skipped with
    // their operands.
    if (compatibilityDepth_ == 0) runtime::ThrowMalformed();
    operandCount_ = 0;
    return;
  }
  constexpr uint8_t kPageOrPath = kPage | kPath;
  constexpr uint8_t kGeneral = kPage | kPath | kText;
  constexpr uint8_t kPageOrText = kPage | kText;
  constexpr uint8_t kPaint = kPage | kPath | kClipPending;
  switch (entry->op) {
    case Op::kSave: Record(kOpSave, kPaint, 0); break;
    case Op::kRestore:
      // A Q inside a text object ends the text object as well.
      CheckState(kPageOrPath | kText);
      Record(kOpRestore, kAnyState, 0);
      state_ = kPage;
      break;
    case Op::kConcat: Record(kOpConcat, kGeneral, 6); break;
    case Op::kLineWidth:
      Require(1);
      if (Number(1, 0) < 0) runtime::ThrowMalformed();
      Record(kOpLineWidth, kGeneral, 1);
      break;
    case Op::kLineCap:
    case Op::kLineJoin: {
      CheckState(kGeneral);
      Require(1);
      const int32_t value = Integer(1, 0);
      if (value < 0 || value > 2) runtime::ThrowMalformed();
      const uint8_t code = entry->op == Op::kLineCap ? kOpLineCap : kOpLineJoin;
      const ProgramCursor start = Mark();
      machine_.opcodes.PushBack(code);
      PushByte(static_cast<uint8_t>(value));
      Commit(code, start);
      break;
    }
    case Op::kMiterLimit: Record(kOpMiterLimit, kGeneral, 1); break;
    case Op::kDash: SetDash(); break;
    case Op::kIntent: {
      CheckState(kPageOrText);
      Require(1);
      const ProgramCursor start = Mark();
      machine_.opcodes.PushBack(kOpIntent);
      PushByte(RenderingIntentCode(View(NameOperand(1, 0))));
      Commit(kOpIntent, start);
      break;
    }
    case Op::kFlatness:
      Require(1);
      if (Number(1, 0) < 0) runtime::ThrowMalformed();
      Record(kOpFlatness, kPageOrText, 1);
      break;
    case Op::kExtGState: SetExtGState(); break;
    case Op::kMove:
    case Op::kLine: {
      CheckState(entry->op == Op::kMove ? kPaint : kPageOrPath);
      Require(2);
      // Operands first: a bad one must fail before an unpainted path is
      // dropped, or the list would be cut back past what it still holds.
      const Fixed x = Number(2, 0);
      const Fixed y = Number(2, 1);
      BeginPathIfNeeded();
      AddPoint(x, y, entry->op == Op::kMove ? runtime::PackedPoint::kMove
                                            : runtime::PackedPoint::kLine);
      state_ = kPath;
      operandCount_ = 0;
      break;
    }
    case Op::kCurve:
      CheckState(kPath);
      Require(6);
      for (uint32_t i = 0; i < 6; i += 2) {
        AddPoint(Number(6, i), Number(6, i + 1), runtime::PackedPoint::kCurve);
      }
      operandCount_ = 0;
      break;
    case Op::kCurveV: {
      CheckState(kPath);
      Require(4);
      if (!pathHasPoint_) runtime::ThrowMalformed();
      const Fixed x = currentX_;
      const Fixed y = currentY_;
      AddPoint(x, y, runtime::PackedPoint::kCurve);
      AddPoint(Number(4, 0), Number(4, 1), runtime::PackedPoint::kCurve);
      AddPoint(Number(4, 2), Number(4, 3), runtime::PackedPoint::kCurve);
      operandCount_ = 0;
      break;
    }
    case Op::kCurveY:
      CheckState(kPath);
      Require(4);
      AddPoint(Number(4, 0), Number(4, 1), runtime::PackedPoint::kCurve);
      AddPoint(Number(4, 2), Number(4, 3), runtime::PackedPoint::kCurve);
      AddPoint(Number(4, 2), Number(4, 3), runtime::PackedPoint::kCurve);
      operandCount_ = 0;
      break;
    case Op::kClose:
      CheckState(kPaint);
      if (state_ == kPath || state_ == kClipPending) ClosePath();
      operandCount_ = 0;
      break;
    case Op::kRectangle: {
      CheckState(kPaint);
      Require(4);
      const Fixed x = Number(4, 0);
      const Fixed y = Number(4, 1);
      const Fixed right = runtime::FixedAddSat(x, Number(4, 2));
      const Fixed top = runtime::FixedAddSat(y, Number(4, 3));
      BeginPathIfNeeded();
      AddPoint(x, y, runtime::PackedPoint::kMove);
      AddPoint(right, y, runtime::PackedPoint::kLine);
      AddPoint(right, top, runtime::PackedPoint::kLine);
      AddPoint(x, top, runtime::PackedPoint::kLine);
      ClosePath();
      if (state_ != kClipPending) state_ = kPath;
      operandCount_ = 0;
      break;
    }
    case Op::kClip:
    case Op::kClipEvenOdd:
      CheckState(kPageOrPath);
      clipRule_ = entry->op == Op::kClip ? 0 : 1;
      state_ = kClipPending;
      operandCount_ = 0;
      break;
    case Op::kStroke: PaintPath(false, true, PathHeader::kRuleNone); break;
    case Op::kCloseStroke: PaintPath(true, true, PathHeader::kRuleNone); break;
    case Op::kFill: PaintPath(false, false, 0); break;
    case Op::kFillEvenOdd: PaintPath(false, false, 1); break;
    case Op::kFillStroke: PaintPath(false, true, 0); break;
    case Op::kFillStrokeEvenOdd: PaintPath(false, true, 1); break;
    case Op::kCloseFillStroke: PaintPath(true, true, 0); break;
    case Op::kCloseFillStrokeEvenOdd: PaintPath(true, true, 1); break;
    case Op::kEndPath: PaintPath(false, false, PathHeader::kRuleNone); break;
    case Op::kStrokeSpace:
    case Op::kFillSpace: {
      CheckState(kGeneral);
      Require(1);
      const ProgramCursor start = Mark();
      machine_.opcodes.PushBack(kOpColorSpace);
      PushByte(entry->op == Op::kStrokeSpace ? 1 : 0);
      PushName(View(NameOperand(1, 0)));
      Commit(kOpColorSpace, start);
      break;
    }
    case Op::kStrokeColor: SetColorOperands(true, false); break;
    case Op::kStrokeColorN: SetColorOperands(true, true); break;
    case Op::kFillColor: SetColorOperands(false, false); break;
    case Op::kFillColorN: SetColorOperands(false, true); break;
    case Op::kStrokeGray:
    case Op::kFillGray:
    case Op::kStrokeRgb:
    case Op::kFillRgb:
    case Op::kStrokeCmyk:
    case Op::kFillCmyk: {
      CheckState(kGeneral);
      const bool stroke = entry->op == Op::kStrokeGray || entry->op == Op::kStrokeRgb ||
                          entry->op == Op::kStrokeCmyk;
      const bool gray = entry->op == Op::kStrokeGray || entry->op == Op::kFillGray;
      const bool rgb = entry->op == Op::kStrokeRgb || entry->op == Op::kFillRgb;
      const uint32_t count = gray ? 1 : (rgb ? 3 : 4);
      const uint8_t code = gray ? kOpGray : (rgb ? kOpRgb : kOpCmyk);
      Require(count);
      const ProgramCursor start = Mark();
      machine_.opcodes.PushBack(code);
      PushByte(stroke ? 1 : 0);
      PushNumbers(count);
      Commit(code, start);
      break;
    }
    case Op::kShading: {
      Require(1);
      const ProgramCursor start = Mark();
      machine_.opcodes.PushBack(kOpShading);
      PushName(View(NameOperand(1, 0)));
      Commit(kOpShading, start);
      break;
    }
    case Op::kDo: DoXObject(); break;
    case Op::kBeginImage: InlineImage(parser); break;
    case Op::kImageData: runtime::ThrowMalformed();
    case Op::kBeginText: Record(kOpBeginText, kPageOrPath, 0); state_ = kText; break;
    case Op::kEndText: Record(kOpEndText, kText, 0); state_ = kPage; break;
    case Op::kCharSpacing: Record(kOpCharSpacing, kPageOrText, 1); break;
    case Op::kWordSpacing: Record(kOpWordSpacing, kPageOrText, 1); break;
    case Op::kLeading: Record(kOpLeading, kPageOrText, 1); break;
    case Op::kRise: Record(kOpRise, kPageOrText, 1); break;
    case Op::kScale: {
      CheckState(kPageOrText);
      Require(1);
      const Fixed operand = Number(1, 0);
      // 100 must give exactly 1.0; other values divide by 100 as 2^5/100 ×
      // 2^-5 to stay inside 32 bits.
      const Fixed scale = operand == runtime::FixedFromInt(100)
                              ? runtime::kFixedOne
                              : runtime::FixedMul(operand >> 5, 20971);
      const ProgramCursor start = Mark();
      machine_.opcodes.PushBack(kOpHorizontalScale);
      PushWord(static_cast<uint32_t>(scale));
      Commit(kOpHorizontalScale, start);
      break;
    }
    case Op::kFont: {
      CheckState(kPageOrText);
      Require(2);
      const ProgramCursor start = Mark();
      machine_.opcodes.PushBack(kOpFont);
      PushName(View(NameOperand(2, 0)));
      PushWord(static_cast<uint32_t>(Number(2, 1)));
      Commit(kOpFont, start);
      break;
    }
    case Op::kRenderMode: {
      CheckState(kPageOrText);
      Require(1);
      const int32_t mode = Integer(1, 0);
      if (mode < 0 || mode > 7) runtime::ThrowMalformed();
      const ProgramCursor start = Mark();
      machine_.opcodes.PushBack(kOpRenderMode);
      PushByte(static_cast<uint8_t>(mode));
      Commit(kOpRenderMode, start);
      break;
    }
    case Op::kMoveText: Record(kOpMoveText, kText, 2); break;
    case Op::kMoveTextLeading: Record(kOpMoveTextLeading, kText, 2); break;
    case Op::kTextMatrix: Record(kOpTextMatrix, kText, 6); break;
    case Op::kNextLine: Record(kOpNextLine, kText, 0); break;
    case Op::kShow:
    case Op::kShowArray:
    case Op::kShowNextLine:
    case Op::kShowSpaced: ShowText(parser, keyword); break;
    case Op::kBeginMarked:
    case Op::kBeginMarkedProperties:
    case Op::kMarkPoint:
    case Op::kMarkPointProperties: MarkedContent(keyword); break;
    case Op::kEndMarked: Record(kOpEndMarked, kAnyState, 0); break;
    case Op::kBeginCompatibility: ++compatibilityDepth_; operandCount_ = 0; break;
    case Op::kEndCompatibility:
      if (compatibilityDepth_ != 0) --compatibilityDepth_;
      operandCount_ = 0;
      break;
    case Op::kGlyphWidth:
    case Op::kGlyphWidthBox: operandCount_ = 0; break;
    case Op::kTrue: PushOperand(ObjectValue::Boolean(true)); break;
    case Op::kFalse: PushOperand(ObjectValue::Boolean(false)); break;
    case Op::kNull: PushOperand(ObjectValue::Null()); break;
    case Op::kObj: operandCount_ = operandCount_ >= 2 ? operandCount_ - 2 : 0; break;
    case Op::kIgnored: break;
  }
}


// ---- Inline images ----

void ContentOps::InlineImage(pdf::TokenParser& parser) {
  CheckState(kPage | kPath);
  operandCount_ = 0;
  // The parameters live in the slice's value store, which outlasts the
  // image's reading; what the record keeps is copied out of it.
  runtime::ValueStore& store = parser.Store();
  const ObjectValue* parameters = new (store.Allocate(sizeof(ObjectValue)))
      ObjectValue(parser.ParseInlineImageParameters());
  const ObjectHandle handle(context_, parameters, &store, machine_.GetDocument());
  if (content::InlineImage* image = content::InlineImage::Create(machine_, handle, stream_)) {
    RecordObject(image);
  }
}

void ContentOps::RereadPath(uint64_t position, PathCacheSlot& slot) {
  if (!stream_) runtime::ThrowMalformed();
  if (!displaced_) {
    resumePosition_ = stream_->Position();
    displaced_ = true;
  }
  slot.position = PathCacheSlot::kNoPosition;
  slot.machineSerial = machine_.Serial();
  slot.segments.Clear();
  bool read = true;
  {
    runtime::ErrorTrap trap(context_);
    if (!trap.Run([&] { PathReader::Read(context_, *stream_, position, slot.segments); })) {
      trap.SetHandled();
      slot.segments.Clear();
      const runtime::ErrorRecord& held = trap.Held();
      if (runtime::IsCancelOrNoDataError(held) || held.IsRuntime(runtime::kOutOfMemory)) {
        trap.Rethrow();
      }
      trap.Close();
      read = false;
    }
  }
  // The program says a path was painted there: anything else means the
  // data changed or the position is wrong.
  if (!read) runtime::ThrowMalformed();
  slot.position = position;
}

}  // namespace content
