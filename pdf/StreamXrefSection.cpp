#include "pdf/StreamXrefSection.h"

#include <cstring>

#include "pdf/Document.h"
#include "pdf/Lexer.h"
#include "pdf/StreamObject.h"
#include "pdf/TokenParser.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "runtime/Scheduler.h"

namespace pdf {
namespace {

using runtime::ObjectTag;
using runtime::ObjectValue;

// A non-negative direct integer; (runtime, 2) otherwise.
uint32_t Count(const ObjectValue& value) {
  const int32_t number = value.AsInteger();
  if (number < 0) runtime::ThrowMalformed();
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
  if (!Lexer::TakeKeyword(in, "obj")) runtime::ThrowMalformed();
  ParseSettings settings;
  settings.objectNumber = static_cast<uint32_t>(number);
  settings.generation = static_cast<uint32_t>(generation);
  // The dictionary's strings are never encrypted: no decryptor here.
  dictionary_ = TokenParser::Parse(context, in, *store_, settings);
  const runtime::ContainerRecord* record = dictionary_.AsDictionary().Record();
  if (record == nullptr || record->streamPosition == 0) runtime::ThrowMalformed();

  const ObjectValue& widths = *runtime::Dictionary::FindByName(dictionary_, "W");
  const runtime::ValueList& widthList = widths.AsArray();
  for (uint32_t i = 0; i < 3 && i < widthList.count; ++i) {
    const int32_t width = widthList.items[i].AsInteger();
    if (width < 0 || width > kMaxFieldWidth) runtime::ThrowMalformed();
    widths_[i] = width;
    entrySize_ += static_cast<uint32_t>(width);
  }
  if (entrySize_ == 0) runtime::ThrowMalformed();

  const ObjectValue& index = *runtime::Dictionary::FindByName(dictionary_, "Index");
  if (index.IsNull()) {
    AddSubsection(0, Count(*runtime::Dictionary::FindByName(dictionary_, "Size")), 0);
  } else {
    const runtime::ValueList& pairs = index.AsArray();
    if (pairs.count % 2 != 0) runtime::ThrowMalformed();
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

StreamXrefSection::~StreamXrefSection() { Context()->memory.Free(decoded_); }

void StreamXrefSection::DecodeUpTo(uint64_t end) {
  if (!data_) data_ = StreamObject::OpenData(document_, GetTrailer(), StreamObject::kNeverDecrypt);
  runtime::LibraryContext* context = Context();
  while (!decodedAll_ && decodedLength_ < end) {
    streams::BlockRef block = data_->FetchBlock();
    const uint32_t count = streams::CountOf(block);
    if (count == 0) {
      decodedAll_ = true;
      break;
    }
    if (count > kMaxDecodedBytes - decodedLength_) runtime::ThrowMalformed();
    if (decodedLength_ + count > decodedCapacity_) {
      uint32_t grown = decodedCapacity_ == 0 ? 16384 : decodedCapacity_;
      while (grown < decodedLength_ + count) {
        grown = grown > kMaxDecodedBytes / 2 ? kMaxDecodedBytes : grown * 2;
      }
      auto* bytes = static_cast<uint8_t*>(runtime::AllocOrThrow(context, grown));
      if (decodedLength_ != 0) std::memcpy(bytes, decoded_, decodedLength_);
      context->memory.Free(decoded_);
      decoded_ = bytes;
      decodedCapacity_ = grown;
    }
    std::memcpy(decoded_ + decodedLength_, block->Data(), count);
    decodedLength_ += count;
    runtime::ChargeWork(context, runtime::kWorkCostLight);
  }
}

uint32_t StreamXrefSection::Available(uint64_t position, uint32_t count) {
  DecodeUpTo(position + uint64_t{count} * entrySize_);
  if (position >= decodedLength_) return 0;
  const uint64_t held = (decodedLength_ - position) / entrySize_;
  return held < count ? static_cast<uint32_t>(held) : count;
}

void StreamXrefSection::ParseEntries(uint64_t position, runtime::XrefEntry* out,
                                     uint32_t count) {
  // Entries past the end of the data (a "Size" or "Index" claiming more
  // than the stream holds) are not listed here: older sections may know
  // those objects.
  const uint32_t held = Available(position, count);
  for (uint32_t i = held; i < count; ++i) out[i] = runtime::XrefEntry{};
  // An empty stream has no data to point into.
  if (held == 0) return;
  const uint8_t* at = decoded_ + position;
  for (uint32_t i = 0; i < held; ++i) {
    uint64_t fields[3];
    for (int f = 0; f < 3; ++f) {
      uint64_t value = 0;
      for (int32_t b = 0; b < widths_[f]; ++b) value = value << 8 | *at++;
      fields[f] = value;
    }
    // Without a type field every entry is in use.
    const uint64_t type = widths_[0] == 0 ? 1 : fields[0];
    runtime::XrefEntry& entry = out[i];
    if (type == 1) {
      if (fields[2] > 0xFFFF) runtime::ThrowMalformed();
      entry.kind = 2;
      entry.generation = static_cast<uint32_t>(fields[2]);
      entry.offset = fields[1] + document_.HeaderOffset();
      if (entry.offset < fields[1]) runtime::ThrowMalformed();
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
