#include "fonts/BuiltinCMapTextStream.h"

#include <cstdio>
#include <cstring>

#include "runtime/ErrorTrap.h"
#include "streams/ChainedStream.h"
#include "streams/DataBlock.h"

namespace fonts {

const char* const kCMapWords[kCMapWordCount] = {
    "beginbfchar", "beginbfrange", "begincidchar", "begincidrange", "endbfchar", "endbfrange",
    "endcidchar", "endcidrange", "begin", "begincmap", "begincodespacerange",
    "beginnotdefrange", "currentdict", "def", "defineresource", "dict", "dup", "end", "endcmap",
    "endcodespacerange", "endnotdefrange", "findresource", "pop", "usecmap", "1.000", "1.001",
    "9.001", "10.001", "11.001", "12.000", "12.001", "CMapName", "(Vantrel)", "(CNS1)", "(GB1)",
    "(Japan1)", "(Japan2)", "(Korea1)", "/CIDCount", "/CIDInit", "/CIDSystemInfo", "/CMap",
    "/CMapName", "/CMapVersion", "/CMapType", "/Ordering", "/ProcSet", "/Registry",
    "/Supplement", "/UIDOffset", "/WMode", "/XUID", "TBDd", "TBDc", "TBDb", "TBDa", "TBD9",
    "TBD8", "TBD7", "TBD6", "TBD5", "TBD4", "TBD3", "TBD2"};

namespace {

// A block collects chunks up to this much text.
constexpr uint32_t kBlockText = streams::kBlockCapacity - BuiltinCMapTextStream::kChunkBytes - 64;

uint8_t GrowWidth(uint8_t width, uint32_t operation) {
  const uint32_t grown = width + (1u << (operation - 3));
  return static_cast<uint8_t>(grown > 32 ? 32 : grown);
}

}  // namespace

BuiltinCMapTextStream::BuiltinCMapTextStream(runtime::LibraryContext* context,
                                             const uint8_t* data, uint32_t length)
    : BlockSource(context), data_(data), length_(data != nullptr ? length : 0) {}

streams::DataStreamRef BuiltinCMapTextStream::Open(runtime::LibraryContext* context,
                                                   const uint8_t* data, uint32_t length) {
  streams::StreamRef source = streams::MakeRef<BuiltinCMapTextStream>(context, data, length);
  return streams::MakeRef<streams::ChainedStream>(context, std::move(source));
}

uint32_t BuiltinCMapTextStream::Bits(uint32_t count) {
  uint32_t value = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t byteIndex = bitPosition_ >> 3;
    uint32_t bit = 0;
    if (byteIndex < length_) bit = (data_[byteIndex] >> (7 - (bitPosition_ & 7))) & 1;
    value = (value << 1) | bit;
    ++bitPosition_;
  }
  return value;
}

void BuiltinCMapTextStream::Put(const char* text, uint32_t length) {
  std::memcpy(chunk_ + chunkLength_, text, length);
  chunkLength_ += length;
}

void BuiltinCMapTextStream::PutHex(uint32_t value, uint32_t digits) {
  // Codes and numeric destinations are at most four bytes wide.
  static constexpr char kDigits[] = "0123456789ABCDEF";
  char text[10];
  uint32_t at = 0;
  text[at++] = '<';
  for (uint32_t d = digits; d > 0; --d) text[at++] = kDigits[(value >> (4 * (d - 1))) & 0xF];
  text[at++] = '>';
  Put(text, at);
}

void BuiltinCMapTextStream::Record() {
  --recordsLeft_;
  if (Bits(1) != 0) {
    for (;;) {
      const uint32_t field = Bits(2);
      if (field == 0) break;
      const uint32_t operation = Bits(3);
      if (operation == 0) {
        code_ = 0;
      } else if (operation == 1) {
        const uint32_t v = Bits(2);
        if (field == 1) {
          codeBytes_ = static_cast<uint8_t>(v + 1);
        } else {
          static constexpr uint8_t kBytes[] = {1, 2, 4};
          destinationBytes_ = v < 3 ? kBytes[v] : static_cast<uint8_t>(Bits(5));
        }
      } else {
        uint8_t& width = field == 1   ? codeDeltaBits_
                         : field == 2 ? destinationDeltaBits_
                                      : rangeBits_;
        width = operation == 2 ? 0 : GrowWidth(width, operation);
      }
    }
  }
  code_ += Bits(codeDeltaBits_);
  bool isString = false;
  if (destinationBytes_ < 5) {
    const uint32_t delta = Bits(destinationDeltaBits_);
    destination_ = Bits(1) != 0 ? destination_ - delta : destination_ + delta;
  } else {
    isString = true;
    for (uint32_t i = 0; i < destinationBytes_; ++i) string_[i] = static_cast<uint8_t>(Bits(8));
  }
  const uint32_t range = hasRangeEnd_ != 0 ? Bits(rangeBits_) : 0;
  PutHex(code_, 2u * codeBytes_);
  if (hasRangeEnd_ != 0) {
    code_ += range;
    PutHex(code_, 2u * codeBytes_);
  }
  if (isString) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    Put("<", 1);
    for (uint32_t i = 0; i < destinationBytes_; ++i) {
      const char pair[2] = {kDigits[string_[i] >> 4], kDigits[string_[i] & 0xF]};
      Put(pair, 2);
    }
    Put(">\n", 2);
  } else if (destinationIsHex_ != 0) {
    PutHex(destination_, 2u * destinationBytes_);
    Put("\n", 1);
  } else {
    char text[16];
    const int n = std::snprintf(text, sizeof(text), "%d\n", static_cast<int32_t>(destination_));
    Put(text, static_cast<uint32_t>(n));
  }
  destination_ += range;
  code_ += 1;
}

void BuiltinCMapTextStream::ExpandChunk() {
  while (!finished_ && chunkLength_ == 0) {
    if (recordsLeft_ != 0) {
      Record();
      continue;
    }
    if ((bitPosition_ >> 3) >= length_) {
      // A table that ends inside a command ends the text.
      finished_ = true;
      break;
    }
    switch (Bits(2)) {
      case 0:
        finished_ = true;
        break;
      case 1: {
        const uint32_t count = Bits(8);
        for (uint32_t i = 0; i < count; ++i) chunk_[chunkLength_++] = static_cast<char>(Bits(8));
        break;
      }
      case 2: {
        const uint32_t index = Bits(6);
        Put(" ", 1);
        Put(kCMapWords[index], static_cast<uint32_t>(std::strlen(kCMapWords[index])));
        if (index < 4) {
          Put("\n", 1);
        } else if (index < 8) {
          Put("\n\n", 2);
        }
        break;
      }
      default:
        destinationIsHex_ = static_cast<uint8_t>(Bits(1));
        hasRangeEnd_ = static_cast<uint8_t>(Bits(1));
        recordsLeft_ = static_cast<uint8_t>(Bits(8));
        code_ = destination_ = 0;
        codeBytes_ = codeDeltaBits_ = rangeBits_ = 0;
        destinationBytes_ = destinationDeltaBits_ = 0;
        break;
    }
  }
}

streams::BlockRef BuiltinCMapTextStream::FetchBlock() {
  runtime::LibraryContext* context = Context();
  if (finished_ && recordsLeft_ == 0) return streams::MakeEmptyBlock(context);
  streams::Ref<streams::InlineBlock> block = streams::MakeRef<streams::InlineBlock>(context);
  uint32_t count = 0;
  while (count < kBlockText) {
    chunkLength_ = 0;
    ExpandChunk();
    if (chunkLength_ == 0) break;
    std::memcpy(block->Bytes() + count, chunk_, chunkLength_);
    count += chunkLength_;
  }
  if (count == 0) return streams::MakeEmptyBlock(context);
  block->SetCount(count);
  return block;
}

void BuiltinCMapTextStream::Restart(uint64_t position) {
  if (position != 0) runtime::ThrowRuntime(runtime::kUnsupported);
  bitPosition_ = 0;
  finished_ = false;
  recordsLeft_ = 0;
  chunkLength_ = 0;
}

}  // namespace fonts
