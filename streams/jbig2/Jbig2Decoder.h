#pragma once
// The JBIG2 decoder: the embedded stream of one page (with optional global
// segments) in, one 1-bit page out. Every allocation goes through the
// current Jbig2Heap scope, which the caller opens; on a thrown error the
// decoder frees nothing and the scope releases everything.
#include <cstddef>
#include <cstdint>

#include "runtime/ErrorRecord.h"
#include "streams/jbig2/Jbig2Segment.h"

namespace streams {

// Decodes one image. Returns 0 on success and -1 on any failure reported by
// result code; errors thrown inside (truncated data, bad sizes, memory) pass
// through. With `reuseGlobals`, *globalsInOut and *globalCountInOut are the
// global segments parsed by an earlier call and the globals bytes are
// ignored; otherwise, on success, the newly parsed global segments are
// handed back through them for the caller to release with
// Jbig2FreeSegments. On success *pixelsOut is a new heap block of
// rowBytes x height + 1 bytes: the page rows, 0 for black and 1 for white.
// A page segment that fails (by result code or by a thrown error other
// than cancellation) ends decoding there, and the page keeps the regions
// decoded before it: the call succeeds and `*fault` tells what failed.
struct Jbig2Fault {
  int result = 0;  // the segment's result code; 0 when it threw
  bool threw = false;
  runtime::ErrorRecord error;
  uint32_t segment = 0;  // the failing segment's number
  bool Failed() const { return threw || result != 0; }
};

int Jbig2Decode(const uint8_t* globalsData, size_t globalsLength, const uint8_t* data,
                size_t dataLength, bool reuseGlobals, Jbig2Segment*** globalsInOut,
                uint32_t* globalCountInOut, uint8_t** pixelsOut, uint32_t* widthOut,
                uint32_t* heightOut, Jbig2Fault* fault = nullptr);

// Releases segments and what their decoding produced, then the array.
void Jbig2FreeSegments(Jbig2Segment** segments, uint32_t count);

}  // namespace streams
