#pragma once
// Reads CMap text (the PostScript subset of CMap files and ToUnicode
// streams) into a CMap. The PDF tokenizer runs the token loop; this parser
// keeps the operands it pushes and acts on the CMap keywords.
#include <cstdint>

#include "fonts/CMap.h"
#include "streams/DataStream.h"

namespace fonts {

class CMapParser {
 public:
  // How deep "usecmap" may nest (the built-in maps need one level).
  static constexpr uint32_t kMaxUseDepth = 4;
  // Operands allowed on the stack at once.
  static constexpr uint32_t kMaxOperands = 50000;

  CMapParser(runtime::LibraryContext* context, streams::DataStream& stream, CMap& target,
             uint32_t depth = 0);

  // Parses to the end of the stream. Malformed sections raise (runtime, 2).
  void Run();

  // A map of `kind` built from the text of `stream`.
  static CMapRef Parse(runtime::LibraryContext* context, streams::DataStream& stream,
                       CMapDestination kind);
  // A map of `kind` built from a packed built-in table.
  static CMapRef ParseBuiltin(runtime::LibraryContext* context, const uint8_t* data,
                              uint32_t length, CMapDestination kind);

 private:
  runtime::LibraryContext* context_;
  streams::DataStream& stream_;
  CMap& target_;
  uint32_t depth_;
};

}  // namespace fonts
