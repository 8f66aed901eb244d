#pragma once
// A cross-reference stream: an indirect stream object whose dictionary is
// the trailer and whose decoded data holds fixed-width binary entries
// ("W") for the object ranges of "Index". Its data is never decrypted.
#include "runtime/ObjectHandle.h"
#include "runtime/ValueStore.h"
#include "runtime/XrefSection.h"
#include "streams/DataStream.h"
#include "streams/BlockSource.h"

namespace pdf {

class Document;

class StreamXrefSection final : public runtime::XrefSection {
 public:
  // The widest field a reader can hold (64 bits).
  static constexpr int32_t kMaxFieldWidth = 8;
  // Decoded entry data beyond this is refused: a small stream must not
  // inflate into more than any real table needs.
  static constexpr uint32_t kMaxDecodedBytes = 64u << 20;

  // `stream` stands at the object header. (runtime, 2) for a malformed
  // stream dictionary.
  StreamXrefSection(runtime::LibraryContext* context, Document& document,
                    streams::DataStreamRef stream);
  ~StreamXrefSection() override;

  runtime::ObjectHandle GetTrailer() override;
  void ParseEntries(uint64_t position, runtime::XrefEntry* out, uint32_t count) override;
  uint32_t EntrySize() override { return entrySize_; }
  // Cut at the entries the decoded data really holds (decoding it whole).
  uint32_t Available(uint64_t position, uint32_t count) override;

 private:
  Document& document_;
  runtime::StoreRef store_;
  runtime::ObjectValue dictionary_;
  int32_t widths_[3] = {};
  uint32_t entrySize_ = 0;
  // Decodes the entry data up to `end` bytes (or its end); the bytes are
  // kept, so that blocks read in any order decode the stream once.
  void DecodeUpTo(uint64_t end);

  // The decoder, opened on first use, and the bytes it has given so far.
  streams::StreamRef data_;
  uint8_t* decoded_ = nullptr;
  uint32_t decodedLength_ = 0;
  uint32_t decodedCapacity_ = 0;
  bool decodedAll_ = false;
};

}  // namespace pdf
