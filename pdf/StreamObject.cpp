#include "pdf/StreamObject.h"

#include "pdf/Document.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "streams/ChainedStream.h"
#include "streams/DecodeFilterRegistry.h"
#include "streams/FileRange.h"
#include "streams/FilterChainBuilder.h"
#include "streams/RangeBlockSource.h"

namespace pdf {
namespace {

using runtime::Dictionary;
using runtime::ObjectHandle;
using runtime::ObjectTag;

const runtime::ContainerRecord& StreamRecord(const ObjectHandle& stream) {
  const runtime::ContainerRecord* record = stream->AsDictionary().Record();
  if (record == nullptr || record->streamPosition == 0) runtime::ThrowMalformed();
  return *record;
}

bool IsCrypt(const ObjectHandle& name) { return name->AsName().Equals("Crypt"); }

// One filter over the chain: a registry filter, or the security handler's
// crypt filter for "Crypt".
void ApplyOne(Document& document, streams::StreamRef& chain, const ObjectHandle& name,
              const ObjectHandle& parameters, const runtime::ContainerRecord& record) {
  runtime::LibraryContext* context = document.Context();
  if (IsCrypt(name) && document.Decryptor() != nullptr) {
    chain = document.Decryptor()->ApplyCryptFilter(context, chain, parameters,
                                                   record.objectNumber, record.generation);
    return;
  }
  if (!parameters.IsNull() && parameters.Tag() != ObjectTag::kDictionary) runtime::ThrowMalformed();
  streams::DictionaryFilterParameters dictionaryParameters(parameters, &document);
  const streams::FilterStep step{reinterpret_cast<const char*>(name->AsName().Bytes()),
                                 parameters.IsNull() ? nullptr : &dictionaryParameters};
  streams::ApplyFilters(context, chain, {&step, 1}, streams::DecodeFilterRegistry::Document(),
                        false);
}

// Where the data of a stream that starts at `start` ends: before the first
// "endstream" and the line end in front of it, or at the end of the file.
uint64_t FindEndstream(runtime::LibraryContext* context, const streams::DataStoreRef& source,
                       uint64_t start, uint64_t fileLength) {
  static constexpr char kKeyword[] = "endstream";
  constexpr uint32_t kKeywordLength = sizeof(kKeyword) - 1;
  if (start >= fileLength) return start;
  auto range = streams::MakeRef<streams::FileRange>(context, source, start, fileLength);
  streams::RangeBlockSource blocks(context, std::move(range));
  uint64_t position = start;
  uint32_t matched = 0;
  // The two bytes before the match, for the line end that belongs to the
  // keyword rather than to the data.
  uint8_t before[2] = {0, 0};
  uint8_t last[2] = {0, 0};
  for (;;) {
    streams::BlockRef block = blocks.FetchBlock();
    const uint32_t count = streams::CountOf(block);
    if (count == 0) return fileLength;
    const uint8_t* data = block->Data();
    for (uint32_t i = 0; i < count; ++i, ++position) {
      const uint8_t byte = data[i];
      if (byte == static_cast<uint8_t>(kKeyword[matched])) {
        if (matched == 0) {
          before[0] = last[0];
          before[1] = last[1];
        }
        if (++matched == kKeywordLength) {
          uint64_t end = position + 1 - kKeywordLength;
          if (before[1] == '\n' && end > start) {
            --end;
            if (before[0] == '\r' && end > start) --end;
          } else if (before[1] == '\r' && end > start) {
            --end;
          }
          return end;
        }
      } else {
        matched = byte == static_cast<uint8_t>(kKeyword[0]) ? 1 : 0;
        if (matched == 1) {
          before[0] = last[0];
          before[1] = last[1];
        }
      }
      last[0] = last[1];
      last[1] = byte;
    }
  }
}

}  // namespace

bool StreamObject::IsStream(const runtime::ObjectValue& value) {
  if (!value.Is(ObjectTag::kDictionary)) return false;
  const runtime::ContainerRecord* record = value.payload.list->Record();
  return record != nullptr && record->streamPosition != 0;
}

streams::StreamRef StreamObject::OpenRaw(Document& document, const ObjectHandle& stream) {
  const runtime::ContainerRecord& record = StreamRecord(stream);
  const uint64_t start = record.streamPosition;
  const uint64_t fileLength = document.FileLength();
  runtime::LibraryContext* context = document.Context();
  ObjectHandle lengthValue = Dictionary::Get(stream, "Length");
  uint64_t end = 0;
  if (lengthValue.Tag() != ObjectTag::kInteger) {
    // Writers that forget "Length" (or point it at an object that is not
    // there) are common enough: the data then ends at its "endstream".
    end = FindEndstream(context, document.Source(), start, fileLength);
  } else {
    const int32_t length = lengthValue->AsInteger();
    if (length < 0) runtime::ThrowMalformed();
    // A "Length" that runs past the end of the file stops at the end.
    end = start >= fileLength ? start
          : uint64_t(length) > fileLength - start ? fileLength
                                                  : start + uint64_t(length);
  }
  auto range = streams::MakeRef<streams::FileRange>(context, document.Source(), start, end);
  return streams::MakeRef<streams::RangeBlockSource>(context, std::move(range));
}

streams::StreamRef StreamObject::OpenData(Document& document, const ObjectHandle& stream,
                                          uint32_t flags) {
  const runtime::ContainerRecord& record = StreamRecord(stream);
  streams::StreamRef chain = OpenRaw(document, stream);
  ObjectHandle filter = Dictionary::Get(stream, "Filter");
  ObjectHandle parameters = Dictionary::Get(stream, "DecodeParms");

  // Cross-reference streams and the "Encrypt" dictionary are never
  // encrypted, whoever opens them.
  ObjectDecryptor* decryptor = document.Decryptor();
  ObjectHandle type = Dictionary::Get(stream, "Type");
  const bool xrefStream = type.Tag() == ObjectTag::kName && type->AsName().Equals("XRef");
  if ((flags & kNeverDecrypt) != 0 || xrefStream ||
      record.objectNumber == document.EncryptObjectNumber()) {
    decryptor = nullptr;
  }
  runtime::LibraryContext* context = document.Context();
  const auto decrypt = [&] {
    chain = decryptor->DecryptStream(context, chain, record.objectNumber, record.generation);
  };

  if (filter.IsNull()) {
    if (decryptor != nullptr) decrypt();
    return chain;
  }
  if (filter.Tag() == ObjectTag::kName) {
    if (decryptor != nullptr && !IsCrypt(filter)) decrypt();
    // A one-element parameter array goes with a single name as well.
    if (parameters.Tag() == ObjectTag::kArray && runtime::Array::Count(parameters) == 1) {
      parameters = runtime::Array::Get(parameters, 0);
    }
    ApplyOne(document, chain, filter, parameters, record);
    return chain;
  }
  if (filter.Tag() != ObjectTag::kArray) runtime::ThrowMalformed();
  const uint32_t count = runtime::Array::Count(filter);
  if (count > streams::kMaxFilters) runtime::ThrowMalformed();
  const bool parameterArray = parameters.Tag() == ObjectTag::kArray;
  if (parameterArray && runtime::Array::Count(parameters) != count) runtime::ThrowMalformed();
  // A single filter written as an array takes a parameter dictionary given
  // plainly, as one written as a name does; with more filters it is no
  // longer clear whose parameters they are.
  if (!parameterArray && !parameters.IsNull() && count != 1) runtime::ThrowMalformed();
  bool explicitCrypt = false;
  for (uint32_t i = 0; i < count; ++i) {
    ObjectHandle name = runtime::Array::Get(filter, i);
    if (name.Tag() != ObjectTag::kName) runtime::ThrowMalformed();
    explicitCrypt = explicitCrypt || IsCrypt(name);
    // Unknown names fail before any filter is built.
    if (!(IsCrypt(name) && decryptor != nullptr) &&
        streams::DecodeFilterRegistry::Document().Find(
            reinterpret_cast<const char*>(name->AsName().Bytes()), false) == nullptr) {
      runtime::ThrowRuntime(runtime::kUnsupported);
    }
  }
  if (decryptor != nullptr && !explicitCrypt) decrypt();
  for (uint32_t i = 0; i < count; ++i) {
    ObjectHandle name = runtime::Array::Get(filter, i);
    ObjectHandle step = parameterArray ? runtime::Array::Get(parameters, i) : parameters;
    ApplyOne(document, chain, name, step, record);
  }
  return chain;
}

streams::DataStreamRef StreamObject::OpenDataStream(Document& document,
                                                    const ObjectHandle& stream, uint32_t flags) {
  return streams::MakeRef<streams::ChainedStream>(document.Context(),
                                                  OpenData(document, stream, flags));
}

}  // namespace pdf
