#pragma once
// Stream objects: the raw data cut out of the file by "Length", decrypted
// when the document is encrypted, and decoded through the filters that
// "Filter" names with their "DecodeParms".
#include <cstdint>

#include "runtime/ObjectHandle.h"
#include "streams/BlockSource.h"
#include "streams/DataStream.h"

namespace pdf {

class Document;

class StreamObject {
 public:
  enum Flags : uint32_t {
    // Cross-reference streams: their data is never encrypted.
    kNeverDecrypt = 1,
  };

  // The decoded data of `stream` (a dictionary followed by stream data in
  // the file). (runtime, 2) for a dictionary without data, a "Filter" that
  // is neither a name nor an array of names, or a "DecodeParms" array of
  // another length; (runtime, 5) for a filter the registry does not know.
  static streams::StreamRef OpenData(Document& document, const runtime::ObjectHandle& stream,
                                     uint32_t flags = 0);
  // The bytes as they stand in the file, neither decrypted nor decoded.
  static streams::StreamRef OpenRaw(Document& document, const runtime::ObjectHandle& stream);
  // OpenData read through a buffered stream.
  static streams::DataStreamRef OpenDataStream(Document& document,
                                               const runtime::ObjectHandle& stream,
                                               uint32_t flags = 0);
  // Whether the value is a dictionary followed by stream data.
  static bool IsStream(const runtime::ObjectValue& value);
};

}  // namespace pdf
