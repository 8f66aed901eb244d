#pragma once
// The object parser: PDF syntax from a buffered stream into values kept in
// a ValueStore. One driver runs the token tables; which object grammar is
// in force (a top-level object, the elements of an array, the entries of a
// dictionary, the parameters of an inline image) is the parser object's
// business, so the driver is the same for all of them.
#include <cstdint>

#include "pdf/KeywordMatcher.h"
#include "runtime/ObjectValue.h"
#include "runtime/ValueStore.h"
#include "streams/DataStream.h"

namespace pdf {

class TokenParser;

// Decrypts the strings of one object; each call is one string, started
// afresh.
class StringDecryptor {
 public:
  virtual ~StringDecryptor() = default;
  virtual void DecryptString(uint8_t* bytes, uint32_t count) = 0;
};

// The grammar in force. Each operation returns 1 to go on and 0 to stop.
class ParserObject {
 public:
  virtual ~ParserObject() = default;
  virtual StringDecryptor* Decryptor(TokenParser& parser);
  virtual int OnNoMatch(TokenParser& parser);
  virtual int OnCloseDelimiter(TokenParser& parser);
  virtual int OnDictionaryStart(TokenParser& parser);
  virtual int OnGreaterThan(TokenParser& parser);
  virtual int OnInlineImageData(TokenParser& parser);
  virtual int OnArrayEnd(TokenParser& parser);
  virtual int OnReference(TokenParser& parser);
  // "endobj": nothing inside a container.
  virtual int OnEndObject(TokenParser&) { return 1; }
  // A value was pushed.
  virtual int OnValue(TokenParser&) { return 1; }
  // Whether running out of data ends the parse quietly.
  virtual bool EndOfDataEnds() const { return false; }
};

struct ParseSettings {
  // The indirect object the values belong to (recorded in containers).
  uint32_t objectNumber = 0;
  uint32_t generation = 0;
  // Decrypts strings; null for none.
  StringDecryptor* decryptor = nullptr;
  // Whether a top-level dictionary may be followed by stream data (not in
  // object streams or content).
  bool allowStreams = true;
};

class TokenParser final : public KeywordSink {
 public:
  // Containers nested deeper than this are refused as malformed: a crafted
  // file must not exhaust the stack.
  static constexpr uint32_t kMaxNesting = 200;

  TokenParser(runtime::LibraryContext* context, streams::DataStream& stream,
              runtime::ValueStore& store, const ParseSettings& settings);
  ~TokenParser() override;
  TokenParser(const TokenParser&) = delete;
  TokenParser& operator=(const TokenParser&) = delete;

  // One object at the read position. A dictionary followed by "stream"
  // records where the data starts (ContainerRecord::streamPosition) and
  // leaves the read position there. (runtime, 2) when there is no object
  // or the syntax is broken.
  runtime::ObjectValue ParseObject();
  // The parameters of an inline image up to and including "ID", as a
  // dictionary; the read position is just after "ID".
  runtime::ObjectValue ParseInlineImageParameters();

  // Runs `grammar` over the stream until one of its operations returns 0
  // or the data ends (when the grammar allows that); the values it leaves
  // stay on the stack above the current mark.
  void RunGrammar(ParserObject& grammar) { Run(grammar, size_); }

  // Convenience: one object from `stream` into `store`.
  static runtime::ObjectValue Parse(runtime::LibraryContext* context, streams::DataStream& stream,
                                    runtime::ValueStore& store, const ParseSettings& settings);

  // For the parser objects.
  streams::DataStream& Stream() { return stream_; }
  const ParseSettings& Settings() const { return settings_; }
  uint32_t ValuesSince(uint32_t mark) const { return size_ - mark; }
  uint32_t Mark() const { return mark_; }
  const runtime::ObjectValue& At(uint32_t index) const { return values_[index]; }
  // Where the token being matched began, and its first byte.
  uint64_t TokenStart() const { return tokenStart_; }
  uint8_t TokenFirstByte() const { return tokenFirstByte_; }
  runtime::ValueStore& Store() { return store_; }
  void Push(const runtime::ObjectValue& value);
  runtime::ObjectValue Pop();
  // Opens a dictionary after "<<": its entries up to ">>", then the check
  // for stream data.
  int ParseDictionary();
  // Turns the two integers on top into a reference.
  void MakeReference();

  int RunHandler(uint16_t handler) override;
  int OnNoMatch() override;
  int OnEndOfData() override;

 private:
  void Run(ParserObject& grammar, uint32_t mark);
  void Nest(ParserObject& grammar);
  runtime::ObjectValue TakeContainer(uint32_t mark, bool dictionary, uint64_t start,
                                     uint64_t streamPosition);
  int AfterValue();
  void ParseLiteralString();
  void ParseHexString();
  void ParseName();
  void ParseArray();
  uint64_t CheckStreamKeyword();
  void Decrypt();
  void PushScratchString(bool isName);
  void AppendScratch(uint8_t byte);

  runtime::LibraryContext* context_;
  streams::DataStream& stream_;
  runtime::ValueStore& store_;
  ParseSettings settings_;
  ParserObject* grammar_ = nullptr;
  uint32_t mark_ = 0;
  uint32_t depth_ = 0;
  // The output stack, shared by every nesting level.
  runtime::ObjectValue* values_ = nullptr;
  uint32_t size_ = 0;
  uint32_t capacity_ = 0;
  // Bytes of the string or name being read.
  uint8_t* scratch_ = nullptr;
  uint32_t scratchSize_ = 0;
  uint32_t scratchCapacity_ = 0;
  uint64_t tokenStart_ = 0;
  uint8_t tokenFirstByte_ = 0;
};

}  // namespace pdf
