#pragma once
// A cross-reference stream: an indirect stream object whose dictionary is
// the trailer and whose decoded data holds fixed-width binary entries
// ("W") for the object ranges of "Index". Its data is never decrypted.
#include "runtime/ObjectHandle.h"
#include "runtime/ValueStore.h"
#include "runtime/XrefSection.h"
#include "streams/DataStream.h"

namespace pdf {

class Document;

class StreamXrefSection final : public runtime::XrefSection {
 public:
  // The widest field a reader can hold (64 bits).
  static constexpr int32_t kMaxFieldWidth = 8;

  // `stream` stands at the object header. (runtime, 2) for a malformed
  // stream dictionary.
  StreamXrefSection(runtime::LibraryContext* context, Document& document,
                    streams::DataStreamRef stream);

  runtime::ObjectHandle GetTrailer() override;
  void ParseEntries(uint64_t position, runtime::XrefEntry* out, uint32_t count) override;
  uint32_t EntrySize() override { return entrySize_; }

 private:
  Document& document_;
  runtime::StoreRef store_;
  runtime::ObjectValue dictionary_;
  int32_t widths_[3] = {};
  uint32_t entrySize_ = 0;
  // The decoded entries, opened on first use and kept for later blocks.
  streams::DataStreamRef data_;
};

}  // namespace pdf
