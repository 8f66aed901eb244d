#include "pdf/HintTables.h"

#include "pdf/Document.h"
#include "pdf/Lexer.h"
#include "pdf/LinearizedPages.h"
#include "pdf/StreamObject.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "runtime/Scheduler.h"
#include "streams/SubRangeStream.h"

namespace pdf {
namespace {

using runtime::ObjectHandle;

// Big-endian fields of any bit width up to 32 over the decoded hint data;
// reading past the end is malformed data.
class BitReader {
 public:
  explicit BitReader(const runtime::RecordVector<uint8_t>& data) : data_(data) {}

  void Seek(uint32_t byte) {
    if (byte > data_.Size()) runtime::ThrowMalformed();
    bit_ = uint64_t{byte} * 8;
  }
  uint32_t Bits(uint32_t width) {
    if (width > 32) runtime::ThrowMalformed();
    if (bit_ + width > uint64_t{data_.Size()} * 8) runtime::ThrowMalformed();
    uint32_t value = 0;
    for (uint32_t i = 0; i < width; ++i, ++bit_) {
      value = value << 1 | ((data_[static_cast<uint32_t>(bit_ >> 3)] >> (7 - (bit_ & 7))) & 1u);
    }
    return value;
  }
  uint32_t Bytes(uint32_t count) { return Bits(count * 8); }
  // Each item of a table starts on a byte boundary.
  void Align() { bit_ = (bit_ + 7) & ~uint64_t{7}; }

 private:
  const runtime::RecordVector<uint8_t>& data_;
  uint64_t bit_ = 0;
};

uint32_t Sum(uint32_t least, uint32_t delta) {
  const uint64_t sum = uint64_t{least} + delta;
  if (sum > UINT32_MAX) runtime::ThrowMalformed();
  return static_cast<uint32_t>(sum);
}

// The hint stream: the object that begins at `offset`, which the
// cross-reference data must list there.
ObjectHandle HintStreamAt(Document& document, uint64_t offset) {
  if (offset >= document.FileLength()) runtime::ThrowMalformed();
  streams::DataStreamRef stream =
      streams::MakeRef<streams::SubRangeStream>(document.Context(), document.Source(), offset);
  Lexer::SkipWhiteSpace(*stream);
  const int32_t number = Lexer::ReadUnsigned(*stream);
  Lexer::SkipWhiteSpace(*stream);
  const int32_t generation = Lexer::ReadUnsigned(*stream);
  const runtime::XrefEntry entry = document.LookupEntry(static_cast<uint32_t>(number));
  if (entry.kind != 2 || entry.offset != offset) runtime::ThrowMalformed();
  ObjectHandle hints = document.GetObject(static_cast<uint32_t>(number),
                                          static_cast<uint32_t>(generation));
  if (!StreamObject::IsStream(hints.Value())) runtime::ThrowMalformed();
  return hints;
}

void ReadData(Document& document, const ObjectHandle& stream,
              runtime::RecordVector<uint8_t>& out) {
  streams::StreamRef data = StreamObject::OpenData(document, stream);
  for (;;) {
    streams::BlockRef block = data->FetchBlock();
    const uint32_t count = streams::CountOf(block);
    if (count == 0) return;
    if (out.Size() + count > HintTables::kMaxDataBytes) runtime::ThrowMalformed();
    for (uint32_t i = 0; i < count; ++i) out.Append(block->Data()[i]);
    runtime::ChargeWork(document.Context(), runtime::kWorkCostLight);
  }
}

uint32_t NonNegative(const ObjectHandle& dictionary, const char* key) {
  const int32_t value = runtime::Dictionary::GetIntegerOr(dictionary, key, 0);
  if (value < 0) runtime::ThrowMalformed();
  return static_cast<uint32_t>(value);
}

// Charges the work of one table item over `count` entries.
void ChargeItem(runtime::LibraryContext* context, uint32_t count) {
  constexpr uint32_t kEntriesPerUnit = 64;
  for (uint32_t i = 0; i < count; i += kEntriesPerUnit) {
    runtime::ChargeWork(context, runtime::kWorkCostLight);
  }
}

void ReadGeneric(BitReader& bits, const ObjectHandle& stream, const char* key, uint32_t offset,
                 HintTables::Generic& out) {
  if (runtime::Dictionary::Get(stream, key).IsNull()) return;
  bits.Seek(offset);
  out.firstObject = bits.Bytes(4);
  out.location = bits.Bytes(4);
  out.objectCount = bits.Bytes(4);
  out.groupLength = bits.Bytes(4);
  out.present = true;
}

}  // namespace

HintTables::HintTables(runtime::LibraryContext* context)
    : pages(context, context, 0),
      sharedIds(context, context, 0),
      groupLengths(context, context, 0),
      groupOffsets(context, context, 0) {}

void HintTables::Read(Document& document, int32_t firstPage, HintTables& tables) {
  runtime::LibraryContext* context = document.Context();
  const ObjectHandle& linearized = document.LinearizedDictionary();
  if (document.LinearizedObject() == 0 || linearized.Tag() != runtime::ObjectTag::kDictionary) {
    runtime::ThrowMalformed();
  }
  const int32_t pageCount = runtime::Dictionary::GetInteger(linearized, "N");
  if (pageCount < 0 || static_cast<uint32_t>(pageCount) > kMaxPages ||
      uint64_t(uint32_t(pageCount)) * kMinPageBytes > document.FileLength()) {
    runtime::ThrowMalformed();
  }
  ObjectHandle h = runtime::Dictionary::Get(linearized, "H").AsArray();
  const uint32_t hLength = runtime::Array::Count(h);
  if (hLength != 2 && hLength != 4) runtime::ThrowMalformed();
  const int32_t hOffset = runtime::Array::GetInteger(h, 0);
  if (hOffset < 0) runtime::ThrowMalformed();
  ObjectHandle stream =
      HintStreamAt(document, uint64_t(uint32_t(hOffset)) + document.HeaderOffset());

  tables.sharedTableOffset = static_cast<uint32_t>(runtime::Dictionary::GetInteger(stream, "S"));
  tables.outlineOffset = NonNegative(stream, "O");
  tables.namedDestOffset = NonNegative(stream, "E");
  tables.infoOffset = NonNegative(stream, "I");
  tables.structureOffset = NonNegative(stream, "C");
  runtime::RecordVector<uint8_t> data(context, context, 0);
  ReadData(document, stream, data);
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
  const auto count = static_cast<uint32_t>(pageCount);
  tables.pages.Clear();
  tables.pages.Reserve(count);
  for (uint32_t i = 0; i < count; ++i) tables.pages.Append(Page{});
  ChargeItem(context, count);
  for (Page& page : tables.pages.Records()) page.objects = Sum(leastObjects, bits.Bits(objectBits));
  bits.Align();
  ChargeItem(context, count);
  for (Page& page : tables.pages.Records()) page.length = Sum(leastLength, bits.Bits(lengthBits));
  bits.Align();
  ChargeItem(context, count);
  uint64_t sharedTotal = 0;
  for (Page& page : tables.pages.Records()) {
    page.sharedCount = bits.Bits(sharedCountBits);
    page.sharedStart = static_cast<uint32_t>(sharedTotal);
    sharedTotal += page.sharedCount;
    if (sharedTotal > kMaxSharedIds) runtime::ThrowMalformed();
  }
  bits.Align();
  // Every identifier takes its bits of the data: a count the data cannot
  // hold is malformed before anything is sized to it.
  if (sharedTotal * sharedIdBits > uint64_t{data.Size()} * 8) runtime::ThrowMalformed();
  tables.sharedIds.Clear();
  tables.sharedIds.Reserve(static_cast<uint32_t>(sharedTotal));
  ChargeItem(context, static_cast<uint32_t>(sharedTotal));
  for (uint64_t i = 0; i < sharedTotal; ++i) tables.sharedIds.Append(bits.Bits(sharedIdBits));

  // The running sums, the first page left out.
  uint64_t object = 1;
  uint64_t offset = 0;
  for (uint32_t i = 0; i < count; ++i) {
    Page& page = tables.pages[i];
    if (object > UINT32_MAX) runtime::ThrowMalformed();
    page.firstObject = static_cast<uint32_t>(object);
    page.offset = offset;
    if (static_cast<int32_t>(i) == firstPage) continue;
    object += page.objects;
    offset += page.length;
  }

  // Shared object table.
  bits.Seek(tables.sharedTableOffset);
  tables.sharedFirstObject = bits.Bytes(4);
  tables.sharedLocation = bits.Bytes(4);
  tables.firstPageGroups = bits.Bytes(4);
  const uint32_t groups = bits.Bytes(4);
  bits.Bytes(2);  // bits for the objects in a group
  const uint32_t leastGroupLength = bits.Bytes(4);
  const uint32_t groupLengthBits = bits.Bytes(2);
  // Each group takes its bits of the data, and at least a byte of the
  // file when its lengths take no bits.
  if (groups > kMaxSharedIds || uint64_t{groups} * groupLengthBits > uint64_t{data.Size()} * 8 ||
      uint64_t{groups} > document.FileLength()) {
    runtime::ThrowMalformed();
  }
  tables.groupLengths.Clear();
  tables.groupOffsets.Clear();
  tables.groupLengths.Reserve(groups);
  tables.groupOffsets.Reserve(groups);
  ChargeItem(context, groups);
  uint64_t groupOffset = 0;
  for (uint32_t g = 0; g < groups; ++g) {
    // The shared-objects section starts over at its first group.
    if (g == tables.firstPageGroups) groupOffset = 0;
    const uint32_t length = Sum(leastGroupLength, bits.Bits(groupLengthBits));
    tables.groupLengths.Append(length);
    tables.groupOffsets.Append(groupOffset);
    groupOffset += length;
  }

  ReadGeneric(bits, stream, "O", tables.outlineOffset, tables.outlines);
  ReadGeneric(bits, stream, "E", tables.namedDestOffset, tables.namedDests);
}

bool HintTables::EnsureRead(const LinearizedPages& record) {
  HintTables& tables = record.hints_;
  if (tables.hintState_ != 0) return tables.hintState_ > 0;
  runtime::ErrorTrap trap(record.document_.Context());
  if (trap.Run([&] { Read(record.document_, record.firstPage_, tables); })) {
    tables.hintState_ =
        tables.pages.Size() == static_cast<uint32_t>(record.pageCount_) ? 1 : -1;
  } else {
    trap.SetHandled();
    if (!trap.Held().IsRuntime(runtime::kMalformed)) trap.Rethrow();
    trap.Close();
    tables.hintState_ = -1;
  }
  return tables.hintState_ > 0;
}

}  // namespace pdf
