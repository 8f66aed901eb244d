#include "pdf/HintTables.h"

#include "pdf/Document.h"
#include "pdf/StreamObject.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"

namespace pdf {
namespace {

using runtime::ObjectHandle;

[[noreturn]] void Malformed() { runtime::ThrowRuntime(runtime::kMalformed); }

// Big-endian fields of any bit width up to 32 over the decoded hint data;
// reading past the end is malformed data.
class BitReader {
 public:
  explicit BitReader(const std::vector<uint8_t>& data) : data_(data) {}

  void Seek(uint32_t byte) {
    if (byte > data_.size()) Malformed();
    bit_ = uint64_t{byte} * 8;
  }
  uint32_t Bits(uint32_t width) {
    if (width > 32) Malformed();
    if (bit_ + width > uint64_t{data_.size()} * 8) Malformed();
    uint32_t value = 0;
    for (uint32_t i = 0; i < width; ++i, ++bit_) {
      value = value << 1 | ((data_[bit_ >> 3] >> (7 - (bit_ & 7))) & 1u);
    }
    return value;
  }
  uint32_t Bytes(uint32_t count) { return Bits(count * 8); }
  // Each item of a table starts on a byte boundary.
  void Align() { bit_ = (bit_ + 7) & ~uint64_t{7}; }

 private:
  const std::vector<uint8_t>& data_;
  uint64_t bit_ = 0;
};

uint32_t Sum(uint32_t least, uint32_t delta) {
  const uint64_t sum = uint64_t{least} + delta;
  if (sum > UINT32_MAX) Malformed();
  return static_cast<uint32_t>(sum);
}

// The object number of the in-use object that starts at `offset`.
uint32_t ObjectAt(Document& document, uint64_t offset) {
  const uint32_t count = document.ObjectCountHint();
  for (uint32_t number = 1; number < count; ++number) {
    const runtime::XrefEntry entry = document.LookupEntry(number);
    if (entry.kind == 2 && entry.offset == offset) return number;
  }
  Malformed();
}

std::vector<uint8_t> ReadData(Document& document, const ObjectHandle& stream) {
  streams::StreamRef data = StreamObject::OpenData(document, stream);
  std::vector<uint8_t> out;
  for (;;) {
    streams::BlockRef block = data->FetchBlock();
    if (streams::CountOf(block) == 0) return out;
    if (out.size() + block->Count() > HintTables::kMaxDataBytes) Malformed();
    out.insert(out.end(), block->Data(), block->Data() + block->Count());
  }
}

uint32_t NonNegative(const ObjectHandle& dictionary, const char* key) {
  const int32_t value = runtime::Dictionary::GetIntegerOr(dictionary, key, 0);
  if (value < 0) Malformed();
  return static_cast<uint32_t>(value);
}

}  // namespace

HintTables HintTables::Read(Document& document) {
  const ObjectHandle& linearized = document.LinearizedDictionary();
  if (document.LinearizedObject() == 0 || linearized.Tag() != runtime::ObjectTag::kDictionary) {
    Malformed();
  }
  const int32_t pageCount = runtime::Dictionary::GetInteger(linearized, "N");
  if (pageCount < 0 || static_cast<uint32_t>(pageCount) > kMaxPages) Malformed();
  ObjectHandle h = runtime::Dictionary::Get(linearized, "H").AsArray();
  const uint32_t hLength = runtime::Array::Count(h);
  if (hLength != 2 && hLength != 4) Malformed();
  const int32_t hOffset = runtime::Array::GetInteger(h, 0);
  if (hOffset < 0) Malformed();

  const uint32_t number = ObjectAt(document, uint64_t(uint32_t(hOffset)) + document.HeaderOffset());
  ObjectHandle stream = document.GetObject(number, 0);
  if (!StreamObject::IsStream(stream.Value())) Malformed();

  HintTables tables;
  tables.sharedTableOffset = static_cast<uint32_t>(runtime::Dictionary::GetInteger(stream, "S"));
  tables.outlineOffset = NonNegative(stream, "O");
  tables.namedDestOffset = NonNegative(stream, "E");
  tables.infoOffset = NonNegative(stream, "I");
  tables.structureOffset = NonNegative(stream, "C");
  const std::vector<uint8_t> data = ReadData(document, stream);
  BitReader bits(data);

  // Page offset table.
  const uint32_t leastObjects = bits.Bytes(4);
  tables.firstPageObjectOffset = bits.Bytes(4);
  const uint32_t objectBits = bits.Bytes(2);
  const uint32_t leastLength = bits.Bytes(4);
  const uint32_t lengthBits = bits.Bytes(2);
  bits.Bytes(4);  // least content offset
  bits.Bytes(2);
  bits.Bytes(4);  // least content length
  bits.Bytes(2);
  const uint32_t sharedCountBits = bits.Bytes(2);
  const uint32_t sharedIdBits = bits.Bytes(2);
  bits.Bytes(2);  // numerator bits
  bits.Bytes(2);  // denominator
  tables.pages.resize(static_cast<uint32_t>(pageCount));
  for (Page& page : tables.pages) page.objects = Sum(leastObjects, bits.Bits(objectBits));
  bits.Align();
  for (Page& page : tables.pages) page.length = Sum(leastLength, bits.Bits(lengthBits));
  bits.Align();
  uint64_t sharedTotal = 0;
  for (Page& page : tables.pages) {
    page.sharedCount = bits.Bits(sharedCountBits);
    page.sharedStart = static_cast<uint32_t>(sharedTotal);
    sharedTotal += page.sharedCount;
    if (sharedTotal > kMaxSharedIds) Malformed();
  }
  bits.Align();
  tables.sharedIds.resize(static_cast<size_t>(sharedTotal));
  for (uint32_t& id : tables.sharedIds) id = bits.Bits(sharedIdBits);

  // Shared object table.
  bits.Seek(tables.sharedTableOffset);
  tables.sharedFirstObject = bits.Bytes(4);
  tables.sharedLocation = bits.Bytes(4);
  tables.firstPageGroups = bits.Bytes(4);
  const uint32_t groups = bits.Bytes(4);
  bits.Bytes(2);  // bits for the objects in a group
  const uint32_t leastGroupLength = bits.Bytes(4);
  const uint32_t groupLengthBits = bits.Bytes(2);
  if (groups > kMaxSharedIds) Malformed();
  tables.groupLengths.resize(groups);
  for (uint32_t& length : tables.groupLengths) {
    length = Sum(leastGroupLength, bits.Bits(groupLengthBits));
  }
  return tables;
}

}  // namespace pdf
