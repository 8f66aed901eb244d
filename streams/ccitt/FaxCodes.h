#pragma once
// The run-length and mode codes of group 3 and group 4 facsimile coding,
// shared by the CCITTFax filter and the JBIG2 decoder's MMR regions.
//
// Each table answers one lookup on the next 13 bits of the stream (the
// longest code is 13 bits long): the code's value and its length in bits.
#include <cstdint>

namespace streams {

struct FaxCode {
  int16_t value;
  uint8_t length;  // 0 for kInvalid
};

class FaxCodes {
 public:
  // Bits a lookup looks at; bits past the end of the data read as 0.
  static constexpr int kLookupBits = 13;

  // Values beside run lengths and modes.
  static constexpr int16_t kInvalid = -1;
  // 000000000001; a stream's fill bits may stand before it.
  static constexpr int16_t kEndOfLine = -2;
  // The prefix of an extension code; three more bits say which one
  // (111 enters uncompressed mode).
  static constexpr int16_t kExtension = -3;

  // Two-dimensional modes, numbered so that a vertical mode's offset from
  // b1 is the value minus kVertical0.
  static constexpr int16_t kPass = 0;
  static constexpr int16_t kHorizontal = 1;
  static constexpr int16_t kVerticalLeft3 = 2;
  static constexpr int16_t kVertical0 = 5;
  static constexpr int16_t kVerticalRight3 = 8;

  // The longest run a single code stands for; longer runs repeat make-ups.
  static constexpr int32_t kLargestMakeUp = 2560;

  static FaxCode White(uint32_t next13) { return Tables().white[next13 & kMask]; }
  static FaxCode Black(uint32_t next13) { return Tables().black[next13 & kMask]; }
  static FaxCode Run(bool black, uint32_t next13) {
    return black ? Black(next13) : White(next13);
  }
  static FaxCode Mode(uint32_t next13) { return Tables().mode[next13 & kMask]; }

  // One code as written in the recommendation: its bits, most significant
  // first, and what it stands for. Exposed so that tests can encode.
  struct CodeWord {
    const char* bits;
    int16_t value;
  };
  static const CodeWord* WhiteCodeWords(int* count);
  static const CodeWord* BlackCodeWords(int* count);
  static const CodeWord* ModeCodeWords(int* count);

 private:
  static constexpr uint32_t kMask = (1u << kLookupBits) - 1;
  struct LookupTables {
    FaxCode white[1u << kLookupBits];
    FaxCode black[1u << kLookupBits];
    FaxCode mode[1u << kLookupBits];
  };
  static const LookupTables& Tables();
};

}  // namespace streams
