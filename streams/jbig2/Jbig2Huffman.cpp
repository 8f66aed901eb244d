#include "streams/jbig2/Jbig2Huffman.h"

#include <new>

#include "runtime/ErrorTrap.h"
#include "runtime/Jbig2Heap.h"
#include "streams/jbig2/Jbig2Segment.h"

namespace streams {
namespace {

using runtime::Jbig2Heap;

// A standard table line: prefix length, range length, range low; kinds
// for the lower-range, upper-range and out-of-band lines.
struct StandardLine {
  uint8_t prefixLength;
  uint8_t rangeLength;
  int32_t rangeLow;
  uint8_t kind = 0;
};
constexpr uint8_t kNormal = 0;
constexpr uint8_t kLower = 1;
constexpr uint8_t kOob = 2;

#define LOWER(prefix, low) {prefix, 32, low, kLower}
#define UPPER(prefix, low) {prefix, 32, low, kNormal}
#define OOB(prefix) {prefix, 0, 0, kOob}

constexpr StandardLine kB1[] = {{1, 4, 0}, {2, 8, 16}, {3, 16, 272}, UPPER(3, 65808)};
constexpr StandardLine kB2[] = {{1, 0, 0}, {2, 0, 1}, {3, 0, 2}, {4, 3, 3}, {5, 6, 11},
                                UPPER(6, 75), OOB(6)};
constexpr StandardLine kB3[] = {{8, 8, -256}, {1, 0, 0}, {2, 0, 1}, {3, 0, 2}, {4, 3, 3},
                                {5, 6, 11}, LOWER(8, -257), UPPER(7, 75), OOB(6)};
constexpr StandardLine kB4[] = {{1, 0, 1}, {2, 0, 2}, {3, 0, 3}, {4, 3, 4}, {5, 6, 12},
                                UPPER(5, 76)};
constexpr StandardLine kB5[] = {{7, 8, -255}, {1, 0, 1}, {2, 0, 2}, {3, 0, 3}, {4, 3, 4},
                                {5, 6, 12}, LOWER(7, -256), UPPER(6, 76)};
constexpr StandardLine kB6[] = {{5, 10, -2048}, {4, 9, -1024}, {4, 8, -512}, {4, 7, -256},
                                {5, 6, -128},   {5, 5, -64},   {4, 5, -32},  {2, 7, 0},
                                {3, 7, 128},    {3, 8, 256},   {4, 9, 512},  {4, 10, 1024},
                                LOWER(6, -2049), UPPER(6, 2048)};
constexpr StandardLine kB7[] = {{4, 9, -1024}, {3, 8, -512}, {4, 7, -256}, {5, 6, -128},
                                {5, 5, -64},   {4, 5, -32},  {4, 5, 0},    {5, 5, 32},
                                {5, 6, 64},    {4, 7, 128},  {3, 8, 256},  {3, 9, 512},
                                {3, 10, 1024}, LOWER(5, -1025), UPPER(5, 2048)};
constexpr StandardLine kB8[] = {{8, 3, -15}, {9, 1, -7},  {8, 1, -5},   {9, 0, -3},  {7, 0, -2},
                                {4, 0, -1},  {2, 1, 0},   {5, 0, 2},    {6, 0, 3},   {3, 4, 4},
                                {6, 1, 20},  {4, 4, 22},  {4, 5, 38},   {5, 6, 70},  {5, 7, 134},
                                {6, 7, 262}, {7, 8, 390}, {6, 10, 646}, LOWER(9, -16),
                                UPPER(9, 1670), OOB(2)};
constexpr StandardLine kB9[] = {{8, 4, -31},  {9, 2, -15},  {8, 2, -11},   {9, 1, -7},
                                {7, 1, -5},   {4, 1, -3},   {3, 1, -1},    {3, 1, 1},
                                {5, 1, 3},    {6, 1, 5},    {3, 5, 7},     {6, 2, 39},
                                {4, 5, 43},   {4, 6, 75},   {5, 7, 139},   {5, 8, 267},
                                {6, 8, 523},  {7, 9, 779},  {6, 11, 1291}, LOWER(9, -32),
                                UPPER(9, 3339), OOB(2)};
constexpr StandardLine kB10[] = {{7, 4, -21},  {8, 0, -5},    {7, 0, -4},   {5, 0, -3},
                                 {2, 2, -2},   {5, 0, 2},     {6, 0, 3},    {7, 0, 4},
                                 {8, 0, 5},    {2, 6, 6},     {5, 5, 70},   {6, 5, 102},
                                 {6, 6, 134},  {6, 7, 198},   {6, 8, 326},  {6, 9, 582},
                                 {6, 10, 1094}, {7, 11, 2118}, LOWER(8, -22), UPPER(8, 4166),
                                 OOB(2)};
constexpr StandardLine kB11[] = {{1, 0, 1},  {2, 1, 2},  {4, 0, 4},  {4, 1, 5},  {5, 1, 7},
                                 {5, 2, 9},  {6, 2, 13}, {7, 2, 17}, {7, 3, 21}, {7, 4, 29},
                                 {7, 5, 45}, {7, 6, 77}, UPPER(7, 141)};
constexpr StandardLine kB12[] = {{1, 0, 1},  {2, 0, 2},  {3, 1, 3},  {5, 0, 5},  {5, 1, 6},
                                 {6, 1, 8},  {7, 0, 10}, {7, 1, 11}, {7, 2, 13}, {7, 3, 17},
                                 {7, 4, 25}, {8, 5, 41}, UPPER(8, 73)};
constexpr StandardLine kB13[] = {{1, 0, 1},  {3, 0, 2},  {4, 0, 3},  {5, 0, 4},  {4, 1, 5},
                                 {3, 1, 7},  {6, 1, 9},  {6, 2, 11}, {6, 3, 15}, {6, 4, 23},
                                 {6, 5, 39}, {7, 6, 71}, UPPER(7, 135)};
constexpr StandardLine kB14[] = {{3, 0, -2}, {3, 0, -1}, {1, 0, 0}, {3, 0, 1}, {3, 0, 2}};
constexpr StandardLine kB15[] = {{7, 4, -24}, {6, 2, -8}, {5, 1, -4}, {4, 0, -2}, {3, 0, -1},
                                 {1, 0, 0},   {3, 0, 1},  {4, 0, 2},  {5, 1, 3},  {6, 2, 5},
                                 {7, 4, 9},   LOWER(7, -25), UPPER(7, 25)};

#undef LOWER
#undef UPPER
#undef OOB

struct StandardTable {
  const StandardLine* lines;
  uint32_t count;
};

template <size_t N>
constexpr StandardTable Table(const StandardLine (&lines)[N]) {
  return {lines, static_cast<uint32_t>(N)};
}

constexpr StandardTable kStandard[15] = {
    Table(kB1), Table(kB2),  Table(kB3),  Table(kB4),  Table(kB5),
    Table(kB6), Table(kB7),  Table(kB8),  Table(kB9),  Table(kB10),
    Table(kB11), Table(kB12), Table(kB13), Table(kB14), Table(kB15),
};

// The standard tables live in static storage, built once: their size is
// fixed and small, so they need no heap and no release.
struct BuiltStandard {
  HuffmanTable tables[15];
  HuffmanLine lines[15][24];
  uint32_t order[15][24];
};

void Assign(HuffmanTable* table) {
  uint32_t lengthCount[HuffmanTable::kMaxPrefixLength + 1] = {};
  for (uint32_t i = 0; i < table->lineCount; ++i) ++lengthCount[table->lines[i].prefixLength];
  lengthCount[0] = 0;
  uint32_t code = 0;
  uint32_t position = 0;
  for (int n = 1; n <= table->maxPrefixLength; ++n) {
    code = (code + lengthCount[n - 1]) << 1;
    table->firstCode[n] = code;
    table->count[n] = lengthCount[n];
    table->start[n] = position;
    for (uint32_t i = 0; i < table->lineCount; ++i) {
      if (table->lines[i].prefixLength == n) table->order[position++] = i;
    }
  }
}

const BuiltStandard& Standard() {
  static const BuiltStandard* built = [] {
    static BuiltStandard storage;
    for (int t = 0; t < 15; ++t) {
      HuffmanTable& table = storage.tables[t];
      table.lines = storage.lines[t];
      table.order = storage.order[t];
      table.lineCount = kStandard[t].count;
      for (uint32_t i = 0; i < table.lineCount; ++i) {
        const StandardLine& line = kStandard[t].lines[i];
        table.lines[i].prefixLength = line.prefixLength;
        table.lines[i].rangeLength = line.rangeLength;
        table.lines[i].rangeLow = line.rangeLow;
        table.lines[i].isLowerRange = line.kind == kLower;
        table.lines[i].isOob = line.kind == kOob;
        if (line.prefixLength > table.maxPrefixLength) table.maxPrefixLength = line.prefixLength;
      }
      Assign(&table);
    }
    return &storage;
  }();
  return *built;
}

}  // namespace

HuffmanTable* HuffmanTable::Build(const HuffmanLine* lines, uint32_t lineCount) {
  uint8_t longest = 0;
  for (uint32_t i = 0; i < lineCount; ++i) {
    if (lines[i].prefixLength >= kMaxPrefixLength) return nullptr;
    if (lines[i].prefixLength > longest) longest = lines[i].prefixLength;
  }
  auto* table = new (Jbig2Heap::Alloc(sizeof(HuffmanTable))) HuffmanTable();
  table->lineCount = lineCount;
  table->maxPrefixLength = longest;
  table->lines = static_cast<HuffmanLine*>(Jbig2Heap::Alloc(sizeof(HuffmanLine) * (lineCount + 1)));
  table->order = static_cast<uint32_t*>(Jbig2Heap::Alloc(sizeof(uint32_t) * (lineCount + 1)));
  for (uint32_t i = 0; i < lineCount; ++i) table->lines[i] = lines[i];
  Assign(table);
  return table;
}

void HuffmanTable::Free(HuffmanTable* table) {
  if (table == nullptr) return;
  Jbig2Heap::Free(table->lines);
  Jbig2Heap::Free(table->order);
  Jbig2Heap::Free(table);
}

const HuffmanLine& HuffmanTable::DecodeLine(Jbig2Cursor* cursor) const {
  uint32_t code = 0;
  for (int n = 1; n <= maxPrefixLength; ++n) {
    code = (code << 1) | cursor->ReadBit();
    if (count[n] != 0 && code >= firstCode[n] && code - firstCode[n] < count[n]) {
      return lines[order[start[n] + (code - firstCode[n])]];
    }
  }
  runtime::ThrowRuntime(runtime::kMalformed);
}

int32_t HuffmanTable::Decode(Jbig2Cursor* cursor, bool* oob) const {
  const HuffmanLine& line = DecodeLine(cursor);
  *oob = false;
  if (line.isOob) {
    *oob = true;
    return 0;
  }
  const uint32_t offset = cursor->ReadBits(static_cast<int>(line.rangeLength));
  const auto low = static_cast<uint32_t>(line.rangeLow);
  // Unsigned arithmetic: hostile offsets wrap instead of overflowing.
  return static_cast<int32_t>(line.isLowerRange ? low - offset : low + offset);
}

void Jbig2StandardTables::Acquire() { Standard(); }
void Jbig2StandardTables::Release() {}

const HuffmanTable* Jbig2StandardTables::Get(int number) {
  if (number < 1 || number > 15) runtime::ThrowRuntime(runtime::kMalformed);
  return &Standard().tables[number - 1];
}

int Jbig2TablesSegment(Jbig2Segment* segment) {
  Jbig2Cursor* cursor = segment->cursor;
  const uint8_t flags = cursor->ReadByte();
  const bool hasOob = flags & 1;
  const int prefixBits = ((flags >> 1) & 7) + 1;
  const int rangeBits = ((flags >> 4) & 7) + 1;
  const int32_t low = cursor->ReadInt32();
  const int32_t high = cursor->ReadInt32();
  if (low >= high) return kJbig2BadStructure;
  cursor->AlignToByte();
  // Count the lines first, from a copy of the cursor, then read them.
  const Jbig2Cursor saved = *cursor;
  uint32_t lines = 0;
  for (int64_t current = low; current < high; ++lines) {
    cursor->ReadBits(prefixBits);
    const uint32_t rangeLength = cursor->ReadBits(rangeBits);
    if (rangeLength > 32) return kJbig2BadStructure;
    current += int64_t{1} << rangeLength;
  }
  const uint32_t total = lines + 2 + (hasOob ? 1 : 0);
  auto* table = static_cast<HuffmanLine*>(Jbig2Heap::Alloc(sizeof(HuffmanLine) * total));
  *cursor = saved;
  int64_t current = low;
  for (uint32_t i = 0; i < lines; ++i) {
    table[i] = HuffmanLine();
    table[i].prefixLength = static_cast<uint8_t>(cursor->ReadBits(prefixBits));
    table[i].rangeLength = cursor->ReadBits(rangeBits);
    table[i].rangeLow = static_cast<int32_t>(current);
    current += int64_t{1} << table[i].rangeLength;
  }
  table[lines] = HuffmanLine();
  table[lines].prefixLength = static_cast<uint8_t>(cursor->ReadBits(prefixBits));
  table[lines].rangeLength = 32;
  table[lines].rangeLow = static_cast<int32_t>(int64_t{low} - 1);
  table[lines].isLowerRange = 1;
  table[lines + 1] = HuffmanLine();
  table[lines + 1].prefixLength = static_cast<uint8_t>(cursor->ReadBits(prefixBits));
  table[lines + 1].rangeLength = 32;
  table[lines + 1].rangeLow = high;
  if (hasOob) {
    table[lines + 2] = HuffmanLine();
    table[lines + 2].prefixLength = static_cast<uint8_t>(cursor->ReadBits(prefixBits));
    table[lines + 2].isOob = 1;
  }
  segment->table = HuffmanTable::Build(table, total);
  Jbig2Heap::Free(table);
  return kJbig2Ok;
}

}  // namespace streams
