#include "pdf/TokenParser.h"

#include <array>
#include <cstring>
#include <new>

#include "pdf/Lexer.h"
#include "pdf/PdfCharClass.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/Scheduler.h"

namespace pdf {
namespace {

using runtime::ObjectTag;
using runtime::ObjectValue;


enum Handler : uint16_t {
  kSkipByte = kFirstHandler,
  kComment,
  kLiteralString,
  kCloseDelimiter,
  kNumber,
  kName,
  kLessThan,
  kGreaterThan,
  kArrayStart,
  kArrayEnd,
  kInlineImageData,
  kReference,
  kEndObject,
  kFalse,
  kNull,
  kObject,
  kTrailer,
  kTrue,
};

// Rows of the keyword trie (entry k selects row k - 1).
enum Row : uint16_t { kRowID = 1, kRowR, kRowEndobj, kRowFalse, kRowNull, kRowObj, kRowTr,
                      kRowTrailer, kRowTrue };

constexpr uint8_t kRootLast = '}';

constexpr std::array<uint16_t, kRootLast + 1> BuildRoot() {
  std::array<uint16_t, kRootLast + 1> root{};
  for (int byte : {0, 9, 10, 12, 13, 32}) root[byte] = kSkipByte;
  root['%'] = kComment;
  root['('] = kLiteralString;
  root[')'] = root['{'] = root['}'] = kCloseDelimiter;
  root['+'] = root['-'] = root['.'] = kNumber;
  for (int digit = '0'; digit <= '9'; ++digit) root[digit] = kNumber;
  root['/'] = kName;
  root['<'] = kLessThan;
  root['>'] = kGreaterThan;
  root['['] = kArrayStart;
  root[']'] = kArrayEnd;
  root['I'] = kRowID;
  root['R'] = kRowR;
  root['e'] = kRowEndobj;
  root['f'] = kRowFalse;
  root['n'] = kRowNull;
  root['o'] = kRowObj;
  root['t'] = kRowTr;
  return root;
}

constexpr std::array<uint16_t, kRootLast + 1> kRootEntries = BuildRoot();
constexpr KeywordTable kRootTable{0, kRootLast, kRootEntries.data()};
constexpr uint16_t kAfterTrEntries[] = {kRowTrailer, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, kRowTrue};
constexpr KeywordTable kAfterTr{'a', 'u', kAfterTrEntries};

constexpr KeywordRow kRows[] = {
    {nullptr, kInlineImageData, "D"},
    {nullptr, kReference, nullptr},
    {nullptr, kEndObject, "ndobj"},
    {nullptr, kFalse, "alse"},
    {nullptr, kNull, "ull"},
    {nullptr, kObject, "bj"},
    {&kAfterTr, 0, "r"},
    {nullptr, kTrailer, "iler"},
    {nullptr, kTrue, "e"},
};

constexpr KeywordTables kObjectTables{&kRootTable, kRows, sizeof(kRows) / sizeof(kRows[0])};

// Skips two bytes (a stray ">>"), as far as there are any.
int SkipTwo(TokenParser& parser) {
  for (int i = 0; i < 2 && parser.Stream().Fill(false); ++i) parser.Stream().Advance(1);
  return 1;
}

// One object of a file or an object stream: stops as soon as the first value
// is complete. An integer is complete once two further values show that it
// does not start "number generation R".
class TopLevelGrammar final : public ParserObject {
 public:
  int OnGreaterThan(TokenParser& parser) override { return SkipTwo(parser); }
  // "endobj" before any value ends an empty object, which is null; it
  // must not run on into the next object and take its value.
  int OnEndObject(TokenParser& parser) override {
    if (parser.ValuesSince(parser.Mark()) == 0) parser.Push(ObjectValue::Null());
    return 0;
  }
  int OnValue(TokenParser& parser) override {
    const uint32_t count = parser.ValuesSince(parser.Mark());
    if (count == 0) return 1;
    if (!parser.At(parser.Mark()).Is(ObjectTag::kInteger)) return 0;
    if (count == 1) return 1;
    return count == 2 && parser.At(parser.Mark() + 1).Is(ObjectTag::kInteger) ? 1 : 0;
  }
  bool EndOfDataEnds() const override { return true; }
};

class ArrayGrammar final : public ParserObject {
 public:
  int OnGreaterThan(TokenParser& parser) override { return SkipTwo(parser); }
  int OnArrayEnd(TokenParser& parser) override {
    parser.Stream().Advance(1);
    return 0;
  }
};

class DictionaryGrammar final : public ParserObject {
 public:
  int OnGreaterThan(TokenParser& parser) override {
    streams::DataStream& stream = parser.Stream();
    stream.Advance(1);
    if (!stream.Fill(false) || *stream.Cursor() != '>') runtime::ThrowMalformed();
    stream.Advance(1);
    return 0;
  }
};

class InlineImageGrammar final : public ParserObject {
 public:
  int OnGreaterThan(TokenParser& parser) override { return SkipTwo(parser); }
  int OnInlineImageData(TokenParser&) override { return 0; }
  // ASCII-filtered data may follow "ID" without white space ("ID00FF>"):
  // the keyword then runs into the data and is no keyword to the tables,
  // yet it ends the parameters all the same, with the read position just
  // after its two bytes.
  int OnNoMatch(TokenParser& parser) override {
    if (parser.TokenFirstByte() == 'I' &&
        parser.Stream().Position() == parser.TokenStart() + 2) {
      return 0;
    }
    return ParserObject::OnNoMatch(parser);
  }
};

}  // namespace

StringDecryptor* ParserObject::Decryptor(TokenParser& parser) {
  return parser.Settings().decryptor;
}
int ParserObject::OnNoMatch(TokenParser&) { runtime::ThrowMalformed(); }
int ParserObject::OnCloseDelimiter(TokenParser&) { runtime::ThrowMalformed(); }
int ParserObject::OnDictionaryStart(TokenParser& parser) { return parser.ParseDictionary(); }
int ParserObject::OnGreaterThan(TokenParser&) { runtime::ThrowMalformed(); }
int ParserObject::OnInlineImageData(TokenParser&) { runtime::ThrowMalformed(); }
int ParserObject::OnArrayEnd(TokenParser&) { runtime::ThrowMalformed(); }
int ParserObject::OnReference(TokenParser& parser) {
  parser.MakeReference();
  return 1;
}

TokenParser::TokenParser(runtime::LibraryContext* context, streams::DataStream& stream,
                         runtime::ValueStore& store, const ParseSettings& settings)
    : context_(context != nullptr ? context : runtime::GetDefaultContext()),
      stream_(stream),
      store_(store),
      settings_(settings) {}

TokenParser::~TokenParser() {
  context_->memory.Free(values_);
  context_->memory.Free(scratch_);
}

ObjectValue TokenParser::Parse(runtime::LibraryContext* context, streams::DataStream& stream,
                               runtime::ValueStore& store, const ParseSettings& settings) {
  TokenParser parser(context, stream, store, settings);
  return parser.ParseObject();
}

ObjectValue TokenParser::ParseObject() {
  TopLevelGrammar grammar;
  const uint32_t mark = size_;
  Run(grammar, mark);
  if (size_ == mark) runtime::ThrowMalformed();
  const ObjectValue value = values_[mark];
  size_ = mark;
  return value;
}

ObjectValue TokenParser::ParseInlineImageParameters() {
  InlineImageGrammar grammar;
  const uint32_t mark = size_;
  const uint64_t start = stream_.Position();
  Nest(grammar);
  return TakeContainer(mark, true, start, 0);
}

void TokenParser::Push(const ObjectValue& value) {
  if (size_ == capacity_) {
    const uint32_t grown = capacity_ < 64 ? 64 : capacity_ * 2;
    if (grown < capacity_ || grown > (UINT32_MAX / sizeof(ObjectValue))) {
      runtime::ThrowRuntime(runtime::kOverflow);
    }
    auto* fresh = static_cast<ObjectValue*>(
        runtime::AllocOrThrow(context_, size_t{grown} * sizeof(ObjectValue)));
    if (size_ != 0) std::memcpy(static_cast<void*>(fresh), values_, size_ * sizeof(ObjectValue));
    context_->memory.Free(values_);
    values_ = fresh;
    capacity_ = grown;
  }
  values_[size_++] = value;
}

ObjectValue TokenParser::Pop() {
  if (size_ == mark_) runtime::ThrowMalformed();
  return values_[--size_];
}

void TokenParser::MakeReference() {
  const ObjectValue generation = Pop();
  const ObjectValue number = Pop();
  if (!generation.Is(ObjectTag::kInteger) || !number.Is(ObjectTag::kInteger) ||
      generation.payload.integer < 0 || number.payload.integer < 0) {
    runtime::ThrowMalformed();
  }
  Push(store_.Reference(static_cast<uint32_t>(number.payload.integer),
                        static_cast<uint32_t>(generation.payload.integer)));
}

void TokenParser::Run(ParserObject& grammar, uint32_t mark) {
  ParserObject* outerGrammar = grammar_;
  const uint32_t outerMark = mark_;
  grammar_ = &grammar;
  mark_ = mark;
  for (;;) {
    // A long parse lets other threads run.
    runtime::ChargeWork(context_, runtime::kWorkCostHeavy);
    if (stream_.Fill(false)) {
      tokenStart_ = stream_.Position();
      tokenFirstByte_ = *stream_.Cursor();
    }
    if (KeywordMatcher::Match(stream_, kObjectTables, *this) == 0) break;
  }
  grammar_ = outerGrammar;
  mark_ = outerMark;
}

void TokenParser::Nest(ParserObject& grammar) {
  if (depth_ >= kMaxNesting) runtime::ThrowMalformed();
  runtime::CheckStackSpace(context_->scheduler);
  ++depth_;
  Run(grammar, size_);
  --depth_;
}

ObjectValue TokenParser::TakeContainer(uint32_t mark, bool dictionary, uint64_t start,
                                       uint64_t streamPosition) {
  const uint32_t count = size_ - mark;
  auto* record = new (store_.Allocate(sizeof(runtime::ContainerRecord))) runtime::ContainerRecord{};
  if (count != 0) {
    auto* items = static_cast<ObjectValue*>(store_.Allocate(sizeof(ObjectValue) * size_t{count}));
    std::memcpy(static_cast<void*>(items), values_ + mark, sizeof(ObjectValue) * size_t{count});
    record->list.items = items;
  }
  record->list.count = count;
  record->list.hasRecord = 1;
  record->startPosition = start;
  record->streamPosition = streamPosition;
  record->objectNumber = settings_.objectNumber;
  record->generation = settings_.generation;
  size_ = mark;
  return dictionary ? ObjectValue::Dictionary(&record->list) : ObjectValue::Array(&record->list);
}

int TokenParser::AfterValue() { return grammar_->OnValue(*this); }

int TokenParser::OnNoMatch() { return grammar_->OnNoMatch(*this); }

int TokenParser::OnEndOfData() {
  if (!grammar_->EndOfDataEnds()) runtime::ThrowMalformed();
  return 0;
}

int TokenParser::RunHandler(uint16_t handler) {
  switch (handler) {
    case kSkipByte:
      stream_.Advance(1);
      return 1;
    case kComment:
      while (stream_.Fill(false) && (kPdfCharClass[*stream_.Cursor()] & kEndOfLine) == 0) {
        stream_.Advance(1);
      }
      return 1;
    case kLiteralString:
      ParseLiteralString();
      return AfterValue();
    case kCloseDelimiter:
      return grammar_->OnCloseDelimiter(*this);
    case kNumber:
      Push(Lexer::ParseNumberToken(stream_));
      return AfterValue();
    case kName:
      ParseName();
      return AfterValue();
    case kLessThan: {
      stream_.Advance(1);
      const uint8_t next = stream_.Fill(false) ? *stream_.Cursor() : 0;
      if (stream_.Fill(false) && (IsHexDigit(next) || IsWhiteSpace(next) || next == '>')) {
        ParseHexString();
        return AfterValue();
      }
      if (next != '<') runtime::ThrowMalformed();
      stream_.Advance(1);
      return grammar_->OnDictionaryStart(*this);
    }
    case kGreaterThan:
      return grammar_->OnGreaterThan(*this);
    case kArrayStart:
      ParseArray();
      return AfterValue();
    case kArrayEnd:
      return grammar_->OnArrayEnd(*this);
    case kInlineImageData:
      return grammar_->OnInlineImageData(*this);
    case kReference:
      if (grammar_->OnReference(*this) == 0) return 0;
      return AfterValue();
    case kEndObject:
      return grammar_->OnEndObject(*this);
    case kFalse:
      Push(ObjectValue::Boolean(false));
      return AfterValue();
    case kTrue:
      Push(ObjectValue::Boolean(true));
      return AfterValue();
    case kNull:
      Push(ObjectValue::Null());
      return AfterValue();
    case kObject: {
      // "number generation obj": the header is not part of the value.
      const ObjectValue generation = Pop();
      const ObjectValue number = Pop();
      if (!generation.Is(ObjectTag::kInteger) || !number.Is(ObjectTag::kInteger)) runtime::ThrowMalformed();
      return 1;
    }
    case kTrailer:
      return 1;
    default:
      return grammar_->OnNoMatch(*this);
  }
}

void TokenParser::AppendScratch(uint8_t byte) {
  if (scratchSize_ == scratchCapacity_) {
    const uint32_t grown = scratchCapacity_ < 256 ? 256 : scratchCapacity_ * 2;
    if (grown <= scratchCapacity_) runtime::ThrowRuntime(runtime::kOverflow);
    auto* fresh = static_cast<uint8_t*>(runtime::AllocOrThrow(context_, grown));
    if (scratchSize_ != 0) std::memcpy(fresh, scratch_, scratchSize_);
    context_->memory.Free(scratch_);
    scratch_ = fresh;
    scratchCapacity_ = grown;
  }
  scratch_[scratchSize_++] = byte;
}

void TokenParser::PushScratchString(bool isName) {
  const std::string_view bytes(reinterpret_cast<const char*>(scratch_), scratchSize_);
  Push(isName ? store_.Name(bytes) : store_.String(bytes));
}

void TokenParser::Decrypt() {
  StringDecryptor* decryptor = grammar_->Decryptor(*this);
  if (decryptor != nullptr && scratchSize_ != 0) decryptor->DecryptString(scratch_, scratchSize_);
}

void TokenParser::ParseLiteralString() {
  stream_.Advance(1);  // (
  scratchSize_ = 0;
  uint32_t depth = 1;
  for (;;) {
    // ReadU8 raises (runtime, 2) when the data ends inside the string.
    uint8_t byte = stream_.ReadU8();
    if (byte == '(') {
      ++depth;
    } else if (byte == ')') {
      if (--depth == 0) break;
    } else if (byte == '\r') {
      if (stream_.Fill(false) && *stream_.Cursor() == '\n') stream_.Advance(1);
      byte = '\n';
    } else if (byte == '\\') {
      const uint8_t escaped = stream_.ReadU8();
      switch (escaped) {
        case 'n': byte = '\n'; break;
        case 'r': byte = '\r'; break;
        case 't': byte = '\t'; break;
        case 'b': byte = '\b'; break;
        case 'f': byte = '\f'; break;
        case '\r':
          if (stream_.Fill(false) && *stream_.Cursor() == '\n') stream_.Advance(1);
          continue;
        case '\n':
          continue;
        default:
          if ((kPdfCharClass[escaped] & kOctal) != 0) {
            uint32_t value = escaped - '0';
            for (int i = 0; i < 2 && stream_.Fill(false) &&
                            (kPdfCharClass[*stream_.Cursor()] & kOctal) != 0;
                 ++i) {
              value = value * 8 + (*stream_.Cursor() - '0');
              stream_.Advance(1);
            }
            byte = static_cast<uint8_t>(value & 0xFF);
          } else {
            byte = escaped;
          }
          break;
      }
    }
    AppendScratch(byte);
  }
  Decrypt();
  PushScratchString(false);
}

void TokenParser::ParseHexString() {
  scratchSize_ = 0;
  int high = -1;
  for (;;) {
    const uint8_t byte = stream_.ReadU8();
    if (IsWhiteSpace(byte)) continue;
    if (!IsHexDigit(byte)) break;  // normally '>'; consumed whatever it is
    if (high < 0) {
      high = HexValue(byte);
    } else {
      AppendScratch(static_cast<uint8_t>(high << 4 | HexValue(byte)));
      high = -1;
    }
  }
  if (high >= 0) AppendScratch(static_cast<uint8_t>(high << 4));
  Decrypt();
  PushScratchString(false);
}

void TokenParser::ParseName() {
  stream_.Advance(1);  // /
  scratchSize_ = 0;
  while (stream_.Fill(false) && !IsTokenEnd(*stream_.Cursor())) {
    uint8_t byte = *stream_.Cursor();
    stream_.Advance(1);
    if (byte == '#') {
      byte = 0;
      for (int i = 0; i < 2 && stream_.Fill(false) && IsHexDigit(*stream_.Cursor()); ++i) {
        byte = static_cast<uint8_t>(byte << 4 | HexValue(*stream_.Cursor()));
        stream_.Advance(1);
      }
    }
    AppendScratch(byte);
  }
  PushScratchString(true);
}

void TokenParser::ParseArray() {
  const uint64_t start = stream_.Position();
  stream_.Advance(1);  // [
  ArrayGrammar grammar;
  const uint32_t mark = size_;
  Nest(grammar);
  Push(TakeContainer(mark, false, start, 0));
}

int TokenParser::ParseDictionary() {
  const uint64_t start = stream_.Position() - 2;
  DictionaryGrammar grammar;
  const uint32_t mark = size_;
  Nest(grammar);
  const uint64_t streamPosition =
      depth_ == 0 && settings_.allowStreams ? CheckStreamKeyword() : 0;
  Push(TakeContainer(mark, true, start, streamPosition));
  return AfterValue();
}

uint64_t TokenParser::CheckStreamKeyword() {
  if (!Lexer::SkipWhiteSpace(stream_)) return 0;
  constexpr uint32_t kKeywordLength = 6;
  if (stream_.EnsureContiguous(kKeywordLength) < kKeywordLength ||
      std::memcmp(stream_.Cursor(), "stream", kKeywordLength) != 0) {
    return 0;
  }
  stream_.Advance(kKeywordLength);
  while (stream_.Fill(false) && (*stream_.Cursor() == ' ' || *stream_.Cursor() == '\t')) {
    stream_.Advance(1);
  }
  if (!stream_.Fill(false)) runtime::ThrowMalformed();
  const uint8_t end = *stream_.Cursor();
  if (end == '\n') {
    stream_.Advance(1);
  } else if (end == '\r') {
    stream_.Advance(1);
    if (stream_.Fill(false) && *stream_.Cursor() == '\n') stream_.Advance(1);
  } else {
    runtime::ThrowMalformed();
  }
  return stream_.Position();
}

}  // namespace pdf
