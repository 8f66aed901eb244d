#include "content/ContentToken.h"

#include "pdf/Lexer.h"
#include "pdf/PdfCharClass.h"
#include "pdf/TokenParser.h"

namespace content {

ContentToken::Kind ContentToken::Read(streams::DataStream& stream, pdf::TokenParser& parser,
                                      ContentToken& token) {
  if (!pdf::Lexer::SkipWhiteSpaceAndComments(stream)) return kEnd;
  token.start = stream.Position();
  const uint8_t byte = *stream.Cursor();
  if (pdf::IsDecimal(byte) || byte == '+' || byte == '-' || byte == '.') {
    token.operand = pdf::Lexer::ParseNumberToken(stream);
    return kOperand;
  }
  if (byte == '/' || byte == '(' || byte == '<' || byte == '[') {
    token.operand = parser.ParseObject();
    return kOperand;
  }
  if (pdf::IsTokenEnd(byte)) {
    stream.Advance(1);
    return kDelimiter;
  }
  uint32_t length = 0;
  while (stream.Fill(false) && !pdf::IsTokenEnd(*stream.Cursor())) {
    if (length < kMaxKeywordLength) token.buffer_[length] = static_cast<char>(*stream.Cursor());
    ++length;
    stream.Advance(1);
  }
  token.keyword =
      length <= kMaxKeywordLength ? std::string_view(token.buffer_, length) : std::string_view();
  return kKeyword;
}

}  // namespace content
