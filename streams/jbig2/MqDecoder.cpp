#include "streams/jbig2/MqDecoder.h"

#include <cstring>
#include <new>

#include "runtime/Jbig2Heap.h"

namespace streams {
namespace {

uint8_t* ZeroedBytes(size_t count) {
  auto* bytes = static_cast<uint8_t*>(runtime::Jbig2Heap::Alloc(count));
  std::memset(bytes, 0, count);
  return bytes;
}

}  // namespace

const MqState kMqStates[47] = {
    {0x5601, 1, 1, 1},   {0x3401, 2, 6, 0},   {0x1801, 3, 9, 0},   {0x0AC1, 4, 12, 0},
    {0x0521, 5, 29, 0},  {0x0221, 38, 33, 0}, {0x5601, 7, 6, 1},   {0x5401, 8, 14, 0},
    {0x4801, 9, 14, 0},  {0x3801, 10, 14, 0}, {0x3001, 11, 17, 0}, {0x2401, 12, 18, 0},
    {0x1C01, 13, 20, 0}, {0x1601, 29, 21, 0}, {0x5601, 15, 14, 1}, {0x5401, 16, 14, 0},
    {0x5101, 17, 15, 0}, {0x4801, 18, 16, 0}, {0x3801, 19, 17, 0}, {0x3401, 20, 18, 0},
    {0x3001, 21, 19, 0}, {0x2801, 22, 19, 0}, {0x2401, 23, 20, 0}, {0x2201, 24, 21, 0},
    {0x1C01, 25, 22, 0}, {0x1801, 26, 23, 0}, {0x1601, 27, 24, 0}, {0x1401, 28, 25, 0},
    {0x1201, 29, 26, 0}, {0x1101, 30, 27, 0}, {0x0AC1, 31, 28, 0}, {0x09C1, 32, 29, 0},
    {0x08A1, 33, 30, 0}, {0x0521, 34, 31, 0}, {0x0441, 35, 32, 0}, {0x02A1, 36, 33, 0},
    {0x0221, 37, 34, 0}, {0x0141, 38, 35, 0}, {0x0111, 39, 36, 0}, {0x0085, 40, 37, 0},
    {0x0049, 41, 38, 0}, {0x0025, 42, 39, 0}, {0x0015, 43, 40, 0}, {0x0009, 44, 41, 0},
    {0x0005, 45, 42, 0}, {0x0001, 45, 43, 0}, {0x5601, 46, 46, 0},
};


MqContextStore* MqContextStore::Create(uint32_t bits) {
  auto* store = new (runtime::Jbig2Heap::Alloc(sizeof(MqContextStore))) MqContextStore();
  store->bits = bits;
  store->index = ZeroedBytes(size_t{1} << bits);
  store->mps = ZeroedBytes(size_t{1} << bits);
  return store;
}

void MqContextStore::Free(MqContextStore* store) {
  if (store == nullptr) return;
  runtime::Jbig2Heap::Free(store->index);
  runtime::Jbig2Heap::Free(store->mps);
  runtime::Jbig2Heap::Free(store);
}

void MqContextStore::CopyFrom(const MqContextStore& other) {
  const size_t count = size_t{1} << (bits < other.bits ? bits : other.bits);
  std::memcpy(index, other.index, count);
  std::memcpy(mps, other.mps, count);
}

void MqDecoder::InitDec(Jbig2Cursor* source) {
  cursor = source;
  b_ = cursor->ReadByte();
  c_ = uint32_t{b_} << 16;
  ByteIn();
  c_ <<= 7;
  ct_ -= 7;
  a_ = 0x8000;
}

void MqDecoder::FeedFiller() {
  c_ += 0xFF00;
  ct_ = 8;
  if (bytesPastEnd_++ == 0) decodesAtEnd_ = decodes_;
}

void MqDecoder::ByteIn() {
  if (cursor->Remaining() == 0) {
    FeedFiller();
  } else if (b_ != 0xFF) {
    b_ = cursor->ReadByte();
    c_ += uint32_t{b_} << 8;
    ct_ = 8;
  } else if (*cursor->pos > 0x8F) {
    // A marker: it stays unread, and 1 bits are fed from here on.
    FeedFiller();
  } else {
    b_ = cursor->ReadByte();
    c_ += uint32_t{b_} << 9;
    ct_ = 7;
  }
}

void MqDecoder::Renormalise() {
  do {
    if (ct_ == 0) ByteIn();
    a_ <<= 1;
    c_ <<= 1;
    --ct_;
  } while ((a_ & 0x8000) == 0);
}

int MqDecoder::DecodeMpsExchange(uint8_t* index, uint8_t* mps, uint32_t qe) {
  const MqState& state = kMqStates[*index];
  int bit;
  if (a_ < qe) {
    bit = 1 - *mps;
    if (state.swap) *mps = static_cast<uint8_t>(1 - *mps);
    *index = state.nlps;
  } else {
    bit = *mps;
    *index = state.nmps;
  }
  Renormalise();
  return bit;
}

int MqDecoder::DecodeLpsExchange(uint8_t* index, uint8_t* mps, uint32_t qe) {
  const MqState& state = kMqStates[*index];
  int bit;
  if (a_ < qe) {
    bit = *mps;
    *index = state.nmps;
  } else {
    bit = 1 - *mps;
    if (state.swap) *mps = static_cast<uint8_t>(1 - *mps);
    *index = state.nlps;
  }
  a_ = qe;
  Renormalise();
  return bit;
}

IntegerDecoders* IntegerDecoders::Create(MqDecoder* decoder, uint32_t symCodeLen) {
  if (symCodeLen > kMaxSymCodeLen) return nullptr;
  auto* decoders = new (runtime::Jbig2Heap::Alloc(sizeof(IntegerDecoders))) IntegerDecoders();
  decoders->decoder = decoder;
  decoders->symCodeLen = symCodeLen;
  for (int p = 0; p < kProcedureCount; ++p) {
    const size_t count = p == kIaid ? (size_t{1} << symCodeLen) : kPrevContexts;
    decoders->index[p] = ZeroedBytes(count);
    decoders->mps[p] = ZeroedBytes(count);
  }
  return decoders;
}

void IntegerDecoders::Free(IntegerDecoders* decoders) {
  if (decoders == nullptr) return;
  for (int p = 0; p < kProcedureCount; ++p) {
    runtime::Jbig2Heap::Free(decoders->index[p]);
    runtime::Jbig2Heap::Free(decoders->mps[p]);
  }
  runtime::Jbig2Heap::Free(decoders);
}

int32_t IntegerDecoders::Decode(int procedure, bool* oob) {
  uint8_t* states = index[procedure];
  uint8_t* symbols = mps[procedure];
  uint32_t prev = 1;
  auto bit = [&] {
    const int d = decoder->DecodeBit(&states[prev], &symbols[prev]);
    prev = prev < 256 ? ((prev << 1) | static_cast<uint32_t>(d))
                      : ((((prev << 1) | static_cast<uint32_t>(d)) & 511) | 256);
    return d;
  };
  const int sign = bit();
  // The prefix picks how many value bits follow and what is added to them.
  static constexpr struct {
    int bits;
    uint32_t offset;
  } kClasses[] = {{2, 0}, {4, 4}, {6, 20}, {8, 84}, {12, 340}, {32, 4436}};
  int selected = 0;
  while (selected < 5 && bit() == 1) ++selected;
  uint32_t value = 0;
  for (int i = 0; i < kClasses[selected].bits; ++i) {
    value = (value << 1) | static_cast<uint32_t>(bit());
  }
  value += kClasses[selected].offset;  // wraps for hostile 32-bit values
  *oob = false;
  if (sign == 0) return static_cast<int32_t>(value);
  if (value == 0) {
    *oob = true;
    return 0;
  }
  return static_cast<int32_t>(0u - value);
}

uint32_t IntegerDecoders::DecodeId() {
  uint32_t prev = 1;
  for (uint32_t i = 0; i < symCodeLen; ++i) {
    const int d = decoder->DecodeBit(&index[kIaid][prev], &mps[kIaid][prev]);
    prev = (prev << 1) | static_cast<uint32_t>(d);
  }
  return prev - (uint32_t{1} << symCodeLen);
}

}  // namespace streams
