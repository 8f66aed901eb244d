#pragma once
// One token of a content stream as the operator loop sees it: an operand,
// an operator keyword, a stray delimiter, or the end of the data. Shared by
// the recorder and by the reader of paths kept by reference, so that both
// split the bytes the same way.
#include <cstdint>
#include <string_view>

#include "runtime/ObjectValue.h"
#include "streams/DataStream.h"

namespace pdf {
class TokenParser;
}

namespace content {

struct ContentToken {
  enum Kind : uint8_t { kEnd, kOperand, kDelimiter, kKeyword };
  // Keywords longer than this are no operator; they are read and given as
  // the empty keyword.
  static constexpr uint32_t kMaxKeywordLength = 32;

  // Reads the next token after white space and comments. A stray delimiter
  // is consumed.
  static Kind Read(streams::DataStream& stream, pdf::TokenParser& parser, ContentToken& token);

  // Where the token began in the stream.
  uint64_t start = 0;
  runtime::ObjectValue operand;
  std::string_view keyword;

 private:
  char buffer_[kMaxKeywordLength] = {};
};

}  // namespace content
