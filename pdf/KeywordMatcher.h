#pragma once
// The table-driven token engine shared by the object parser and the
// content-stream interpreter. A root table maps the current byte to
// nothing, to a handler id, or to a row of a keyword trie; a row demands a
// fixed suffix and then either continues in a further table or names the
// handler of the keyword. The engine only recognises; what a handler does
// is up to the sink that runs it.
#include <cstdint>

#include "streams/DataStream.h"

namespace pdf {

// Table entries: 0 no match, 1..255 a row (index + 1), 256 and above a
// handler id.
inline constexpr uint16_t kFirstHandler = 256;

struct KeywordTable {
  uint8_t first;
  uint8_t last;
  const uint16_t* entries;  // last - first + 1 of them
};

struct KeywordRow {
  const KeywordTable* next;  // null: the keyword ends with the suffix
  uint16_t handler;          // 0: none
  const char* suffix;        // bytes that must follow exactly; null for none
};

struct KeywordTables {
  const KeywordTable* root;
  const KeywordRow* rows;
  uint32_t rowCount;
};

// What runs the handlers. Each returns 1 to continue and 0 to stop.
class KeywordSink {
 public:
  virtual ~KeywordSink() = default;
  // A handler selected by the tables. A root-table handler finds the read
  // position at its byte; a keyword's handler finds it after the keyword.
  virtual int RunHandler(uint16_t handler) = 0;
  // A byte or keyword that no entry accepts.
  virtual int OnNoMatch() = 0;
  // No data is left before a token.
  virtual int OnEndOfData() = 0;
};

class KeywordMatcher {
 public:
  // One token: see KeywordSink for the outcomes. A keyword counts only when
  // white-space, a delimiter or the end of data follows it, so "nullx" or
  // "truex" are no keywords.
  static int Match(streams::DataStream& stream, const KeywordTables& tables, KeywordSink& sink);
};

}  // namespace pdf
