#include "fonts/CMapParser.h"

#include <string_view>

#include "fonts/BuiltinCMapTextStream.h"
#include "fonts/PredefinedCMaps.h"
#include "pdf/PdfCharClass.h"
#include "pdf/TokenParser.h"
#include "runtime/ErrorTrap.h"
#include "runtime/ValueStore.h"

namespace fonts {
namespace {

using runtime::ObjectTag;
using runtime::ObjectValue;


enum class CMapKeyword {
  kUnknown,
  kBeginSection,
  kEndCodespaceRange,
  kEndBfChar,
  kEndBfRange,
  kEndCidChar,
  kEndCidRange,
  kEndNotdefRange,
  kDef,
  kUseCMap,
  kPopTwo,
  kPopOne,
  kClear,
};

struct KeywordEntry {
  std::string_view word;
  CMapKeyword keyword;
};

// Words that need nothing ("begin", "begincmap", "endcmap", "currentdict",
// "pop", "CIDSystemInfo", "CMapName") are unknown words, which do nothing.
constexpr KeywordEntry kKeywords[] = {
    {"begincodespacerange", CMapKeyword::kBeginSection},
    {"beginbfchar", CMapKeyword::kBeginSection},
    {"beginbfrange", CMapKeyword::kBeginSection},
    {"begincidchar", CMapKeyword::kBeginSection},
    {"begincidrange", CMapKeyword::kBeginSection},
    {"beginnotdefrange", CMapKeyword::kBeginSection},
    {"endcodespacerange", CMapKeyword::kEndCodespaceRange},
    {"endbfchar", CMapKeyword::kEndBfChar},
    {"endbfrange", CMapKeyword::kEndBfRange},
    {"endcidchar", CMapKeyword::kEndCidChar},
    {"endcidrange", CMapKeyword::kEndCidRange},
    {"endnotdefrange", CMapKeyword::kEndNotdefRange},
    {"def", CMapKeyword::kDef},
    {"usecmap", CMapKeyword::kUseCMap},
    {"findresource", CMapKeyword::kPopTwo},
    {"defineresource", CMapKeyword::kPopOne},
    {"dict", CMapKeyword::kPopOne},
    {"dup", CMapKeyword::kPopOne},
    {"end", CMapKeyword::kClear},
};

CMapKeyword FindKeyword(std::string_view word) {
  for (const KeywordEntry& entry : kKeywords) {
    if (entry.word == word) return entry.keyword;
  }
  return CMapKeyword::kUnknown;
}

// A code string's bytes.
const runtime::ByteString& CodeString(const ObjectValue& value) {
  const runtime::ByteString& bytes = value.AsString();
  if (bytes.length < 1 || bytes.length > 4) runtime::ThrowMalformed();
  return bytes;
}

struct CodePair {
  uint32_t low;
  uint32_t high;
  uint32_t bytes;
};

// A low/high pair read over the shorter of the two lengths.
CodePair CodeRange(const ObjectValue& lowValue, const ObjectValue& highValue) {
  const runtime::ByteString& low = lowValue.AsString();
  const runtime::ByteString& high = highValue.AsString();
  const uint32_t bytes = low.length < high.length ? low.length : high.length;
  if (bytes < 1 || bytes > 4) runtime::ThrowMalformed();
  return {CodeFromBytes(low.Bytes(), bytes), CodeFromBytes(high.Bytes(), bytes), bytes};
}

uint32_t CidOperand(const ObjectValue& value) {
  const int32_t cid = value.AsInteger();
  if (cid < 0) runtime::ThrowMalformed();
  return static_cast<uint32_t>(cid);
}

class CMapGrammar final : public pdf::ParserObject {
 public:
  CMapGrammar(runtime::LibraryContext* context, CMap& target, uint32_t depth)
      : context_(context), target_(target), depth_(depth) {}

  // Bare words are the keywords; the tokenizer reports them as no match.
  int OnNoMatch(pdf::TokenParser& parser) override {
    char word[24];
    const uint32_t length = ReadWord(parser, word, sizeof(word));
    Keyword(parser, length == 0 ? CMapKeyword::kUnknown
                                : FindKeyword(std::string_view(word, length)));
    return 1;
  }
  // Stray delimiters, "ID" and "R" mean nothing in CMap text.
  int OnCloseDelimiter(pdf::TokenParser& parser) override { return Skip(parser); }
  int OnGreaterThan(pdf::TokenParser& parser) override { return Skip(parser); }
  int OnArrayEnd(pdf::TokenParser& parser) override { return Skip(parser); }
  int OnInlineImageData(pdf::TokenParser&) override { return 1; }
  int OnReference(pdf::TokenParser&) override { return 1; }
  int OnValue(pdf::TokenParser& parser) override {
    if (parser.ValuesSince(parser.Mark()) > CMapParser::kMaxOperands) runtime::ThrowMalformed();
    return 1;
  }
  bool EndOfDataEnds() const override { return true; }

 private:
  static int Skip(pdf::TokenParser& parser) {
    parser.Stream().Advance(1);
    return 1;
  }

  // The word at the token: the bytes the keyword tables already took
  // (a prefix of "endobj" or "false"; anything else is no CMap keyword)
  // and the regular bytes after them. 0 for a word that is no keyword.
  static uint32_t ReadWord(pdf::TokenParser& parser, char* word, uint32_t size) {
    streams::DataStream& stream = parser.Stream();
    const uint64_t taken = stream.Position() - parser.TokenStart();
    uint32_t length = 0;
    bool known = true;
    if (taken != 0) {
      const uint8_t first = parser.TokenFirstByte();
      const std::string_view prefix = first == 'e' ? "endobj" : first == 'f' ? "false" : "";
      if (taken > prefix.size()) {
        known = false;
      } else {
        for (uint64_t i = 0; i < taken; ++i) word[length++] = prefix[i];
      }
    }
    // A byte no token starts with (a stray delimiter) is skipped alone.
    if (taken == 0 && stream.Fill(false) && pdf::IsTokenEnd(*stream.Cursor())) {
      stream.Advance(1);
      return 0;
    }
    while (stream.Fill(false) && !pdf::IsTokenEnd(*stream.Cursor())) {
      if (length < size) {
        word[length++] = static_cast<char>(*stream.Cursor());
      } else {
        known = false;
      }
      stream.Advance(1);
    }
    return known ? length : 0;
  }

  static uint32_t Count(pdf::TokenParser& parser) { return parser.ValuesSince(parser.Mark()); }
  static const ObjectValue& Operand(pdf::TokenParser& parser, uint32_t index) {
    return parser.At(parser.Mark() + index);
  }
  void Clear(pdf::TokenParser& parser) {
    while (Count(parser) != 0) parser.Pop();
    // Nothing refers to the parsed values any more.
    parser.Store().Arena().Reset();
  }

  void Keyword(pdf::TokenParser& parser, CMapKeyword keyword) {
    const uint32_t count = Count(parser);
    switch (keyword) {
      case CMapKeyword::kUnknown:
        return;
      case CMapKeyword::kBeginSection:
        // The entry count is only a hint; the end keyword reads what is
        // there.
        if (count != 0) parser.Pop();
        return;
      case CMapKeyword::kEndCodespaceRange:
        if (count % 2 != 0) runtime::ThrowMalformed();
        for (uint32_t i = 0; i < count; i += 2) {
          const CodePair range = CodeRange(Operand(parser, i), Operand(parser, i + 1));
          target_.AddCodespaceRange(range.low, range.high, range.bytes);
        }
        break;
      case CMapKeyword::kEndBfChar:
        if (count % 2 != 0) runtime::ThrowMalformed();
        for (uint32_t i = 0; i < count; i += 2) {
          const runtime::ByteString& code = CodeString(Operand(parser, i));
          const ObjectValue& destination = Operand(parser, i + 1);
          if (destination.Is(ObjectTag::kName)) continue;  // a glyph name has no Unicode
          const runtime::ByteString& units = destination.AsString();
          target_.AddBfChar(CodeFromBytes(code.Bytes(), code.length), units.Bytes(),
                            units.length, code.length);
        }
        break;
      case CMapKeyword::kEndBfRange:
      case CMapKeyword::kEndCidRange:
        if (count % 3 != 0) runtime::ThrowMalformed();
        for (uint32_t i = 0; i < count; i += 3) {
          AddRange(Operand(parser, i), Operand(parser, i + 1), Operand(parser, i + 2));
        }
        break;
      case CMapKeyword::kEndCidChar:
        if (count % 2 != 0) runtime::ThrowMalformed();
        for (uint32_t i = 0; i < count; i += 2) {
          const runtime::ByteString& code = CodeString(Operand(parser, i));
          target_.AddCidChar(CodeFromBytes(code.Bytes(), code.length),
                             CidOperand(Operand(parser, i + 1)), code.length);
        }
        break;
      case CMapKeyword::kEndNotdefRange:
        if (count % 3 != 0) runtime::ThrowMalformed();
        for (uint32_t i = 0; i < count; i += 3) {
          const CodePair range = CodeRange(Operand(parser, i), Operand(parser, i + 1));
          target_.AddNotdefRange(range.low, range.high, CidOperand(Operand(parser, i + 2)),
                                 range.bytes);
        }
        break;
      case CMapKeyword::kDef:
        if (count >= 2) {
          const ObjectValue& key = Operand(parser, count - 2);
          const ObjectValue& value = Operand(parser, count - 1);
          if (key.Is(ObjectTag::kName) && key.payload.bytes->Equals("WMode")) {
            target_.SetWMode(value.Is(ObjectTag::kInteger) && value.payload.integer == 1 ? 1 : 0);
          }
        }
        break;
      case CMapKeyword::kUseCMap: {
        if (count == 0 || !Operand(parser, count - 1).Is(ObjectTag::kName)) runtime::ThrowMalformed();
        UseCMap(Operand(parser, count - 1).payload.bytes->View());
        parser.Pop();
        return;
      }
      case CMapKeyword::kPopTwo:
        parser.Pop();
        parser.Pop();
        return;
      case CMapKeyword::kPopOne:
        parser.Pop();
        return;
      case CMapKeyword::kClear:
        break;
    }
    Clear(parser);
  }

  void AddRange(const ObjectValue& low, const ObjectValue& high, const ObjectValue& destination) {
    const CodePair range = CodeRange(low, high);
    if (destination.Is(ObjectTag::kString)) {
      const runtime::ByteString& units = destination.payload.bytes[0];
      target_.AddBfRange(range.low, range.high, units.Bytes(), units.length, range.bytes);
      return;
    }
    if (destination.Is(ObjectTag::kArray)) {
      target_.AddBfRangeList(range.low, range.high, destination.AsArray(), range.bytes);
      return;
    }
    target_.AddCidRange(range.low, range.high, CidOperand(destination), range.bytes);
  }

  void UseCMap(std::string_view name) {
    if (IsIdentityCMapName(name)) {
      target_.AddIdentity();
      return;
    }
    const PredefinedCMap table = LookupPredefinedCMap(0, name);
    if (!table || depth_ >= CMapParser::kMaxUseDepth) return;
    streams::DataStreamRef stream = BuiltinCMapTextStream::Open(context_, table.data, table.length);
    CMapParser nested(context_, *stream, target_, depth_ + 1);
    nested.Run();
  }

  runtime::LibraryContext* context_;
  CMap& target_;
  uint32_t depth_;
};

}  // namespace

CMapParser::CMapParser(runtime::LibraryContext* context, streams::DataStream& stream,
                       CMap& target, uint32_t depth)
    : context_(context), stream_(stream), target_(target), depth_(depth) {}

void CMapParser::Run() {
  runtime::StoreRef store = runtime::StoreRef::Adopt(context_, runtime::ValueStore::New(context_));
  pdf::TokenParser parser(context_, stream_, *store, pdf::ParseSettings{});
  CMapGrammar grammar(context_, target_, depth_);
  parser.RunGrammar(grammar);
}

CMapRef CMapParser::Parse(runtime::LibraryContext* context, streams::DataStream& stream,
                          CMapDestination kind) {
  CMapRef map = CMapRef::Adopt(context, CMap::New(context, kind));
  CMapParser parser(context, stream, *map);
  parser.Run();
  return map;
}

CMapRef CMapParser::ParseBuiltin(runtime::LibraryContext* context, const uint8_t* data,
                                 uint32_t length, CMapDestination kind) {
  streams::DataStreamRef stream = BuiltinCMapTextStream::Open(context, data, length);
  return Parse(context, *stream, kind);
}

}  // namespace fonts
