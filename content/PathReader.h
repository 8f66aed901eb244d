#pragma once
// Reads one path of a content stream again, from where it began to its
// painting operator. Paths begun after a program holds its quota of
// segments are recorded by stream position only; a painter whose
// path-cache record no longer holds such a path rebuilds it here, with the
// segments the recorder would have kept.
#include <cstdint>

#include "content/ContentMachine.h"
#include "streams/DataStream.h"

namespace content {

class PathReader {
 public:
  // Operands one operator may carry before the path's operators ignore
  // them; matches the recorder so that both accept the same content.
  static constexpr uint32_t kMaxOperands = 64;

  // Appends to `segments` the path that begins at `position` of `stream`
  // and ends at its painting operator (the close of s, b and b* included).
  // Leaves the stream after the painting operator. Content that does not
  // form a painted path there is (runtime, 2).
  static void Read(runtime::LibraryContext* context, streams::DataStream& stream,
                   uint64_t position, runtime::ArenaVector<runtime::PackedPoint>& segments);
};

}  // namespace content
