#include "pdf/StreamXrefSection.h"

#include "pdf/Document.h"
#include "pdf/Lexer.h"
#include "pdf/StreamObject.h"
#include "pdf/TokenParser.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "streams/ChainedStream.h"

namespace pdf {
namespace {

using runtime::ObjectTag;
using runtime::ObjectValue;

[[noreturn]] void Malformed() { runtime::ThrowRuntime(runtime::kMalformed); }

// A non-negative direct integer; (runtime, 2) otherwise.
uint32_t Count(const ObjectValue& value) {
  const int32_t number = value.AsInteger();
  if (number < 0) Malformed();
  return static_cast<uint32_t>(number);
}

}  // namespace

StreamXrefSection::StreamXrefSection(runtime::LibraryContext* context, Document& document,
                                     streams::DataStreamRef stream)
    : XrefSection(context),
      document_(document),
      store_(runtime::StoreRef::Adopt(context, runtime::ValueStore::New(context))) {
  streams::DataStream& in = *stream;
  const int32_t number = Lexer::ReadUnsigned(in);
  Lexer::SkipWhiteSpace(in);
  const int32_t generation = Lexer::ReadUnsigned(in);
  Lexer::SkipWhiteSpace(in);
  if (!Lexer::TakeKeyword(in, "obj")) Malformed();
  ParseSettings settings;
  settings.objectNumber = static_cast<uint32_t>(number);
  settings.generation = static_cast<uint32_t>(generation);
  // The dictionary's strings are never encrypted: no decryptor here.
  dictionary_ = TokenParser::Parse(context, in, *store_, settings);
  const runtime::ContainerRecord* record = dictionary_.AsDictionary().Record();
  if (record == nullptr || record->streamPosition == 0) Malformed();

  const ObjectValue& widths = *runtime::Dictionary::FindByName(dictionary_, "W");
  const runtime::ValueList& widthList = widths.AsArray();
  for (uint32_t i = 0; i < 3 && i < widthList.count; ++i) {
    const int32_t width = widthList.items[i].AsInteger();
    if (width < 0 || width > kMaxFieldWidth) Malformed();
    widths_[i] = width;
    entrySize_ += static_cast<uint32_t>(width);
  }
  if (entrySize_ == 0) Malformed();

  const ObjectValue& index = *runtime::Dictionary::FindByName(dictionary_, "Index");
  if (index.IsNull()) {
    AddSubsection(0, Count(*runtime::Dictionary::FindByName(dictionary_, "Size")), 0);
  } else {
    const runtime::ValueList& pairs = index.AsArray();
    if (pairs.count % 2 != 0) Malformed();
    uint64_t position = 0;
    for (uint32_t i = 0; i < pairs.count; i += 2) {
      const uint32_t count = Count(pairs.items[i + 1]);
      AddSubsection(Count(pairs.items[i]), count, position);
      position += uint64_t{count} * entrySize_;
    }
  }

  const ObjectValue& prev = *runtime::Dictionary::FindByName(dictionary_, "Prev");
  if (prev.Is(ObjectTag::kInteger) && prev.payload.integer > 0) {
    previousOffset_ = int64_t{prev.payload.integer} + document.HeaderOffset();
  }
  ownBytes_ = static_cast<uint32_t>(store_->BytesHeld()) + 16 * SubsectionCount();
}

runtime::ObjectHandle StreamXrefSection::GetTrailer() {
  return runtime::ObjectHandle(Context(), &dictionary_, store_.Get(), &document_);
}

void StreamXrefSection::ParseEntries(uint64_t position, runtime::XrefEntry* out,
                                     uint32_t count) {
  if (!data_) {
    streams::StreamRef decoded =
        StreamObject::OpenData(document_, GetTrailer(), StreamObject::kNeverDecrypt);
    data_ = streams::MakeRef<streams::ChainedStream>(Context(), std::move(decoded));
  }
  streams::DataStream& in = *data_;
  in.Seek(position);
  for (uint32_t i = 0; i < count; ++i) {
    uint64_t fields[3];
    in.ReadFieldsBE(fields, widths_, 3);
    // Without a type field every entry is in use.
    const uint64_t type = widths_[0] == 0 ? 1 : fields[0];
    runtime::XrefEntry& entry = out[i];
    if (type == 1) {
      if (fields[2] > 0xFFFF) Malformed();
      entry.kind = 2;
      entry.generation = static_cast<uint32_t>(fields[2]);
      entry.offset = fields[1] + document_.HeaderOffset();
      if (entry.offset < fields[1]) Malformed();
    } else if (type == 2 && fields[1] <= 0x7FFFFFFF && fields[2] <= 0xFFFFFFFF) {
      entry.kind = 3;
      entry.generation = 0;
      entry.offset = fields[2] << 32 | fields[1];
    } else {
      entry.kind = 1;
      entry.generation = 0;
      entry.offset = 0;
    }
  }
}

}  // namespace pdf
