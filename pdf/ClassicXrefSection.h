#pragma once
// A classic cross-reference table: "xref", subsections of 20-byte entries,
// "trailer" and the trailer dictionary. Opening reads only the subsection
// headers and the trailer; entries are parsed block by block when wanted.
#include "runtime/ObjectHandle.h"
#include "runtime/ValueStore.h"
#include "runtime/XrefSection.h"
#include "streams/DataStream.h"

namespace pdf {

class Document;

class ClassicXrefSection final : public runtime::XrefSection {
 public:
  // Bytes per entry: ten offset digits, five generation digits, the type
  // letter, and two bytes of spaces and line end.
  static constexpr uint32_t kEntryBytes = 20;

  // `stream` stands at "xref". (runtime, 2) for a malformed table.
  ClassicXrefSection(runtime::LibraryContext* context, Document& document,
                     streams::DataStreamRef stream);

  runtime::ObjectHandle GetTrailer() override;
  void ParseEntries(uint64_t position, runtime::XrefEntry* out, uint32_t count) override;
  uint32_t EntrySize() override { return entryBytes_; }

 private:
  Document& document_;
  streams::DataStreamRef stream_;
  runtime::StoreRef store_;
  runtime::ObjectValue trailer_;
  // Some writers end entries with a single end-of-line byte: 19 bytes.
  uint32_t entryBytes_ = kEntryBytes;
};

}  // namespace pdf
