#pragma once
// The adaptive arithmetic (MQ) decoder of JBIG2 and its integer decoding
// procedures.
#include <cstdint>

#include "streams/jbig2/Jbig2Cursor.h"

namespace streams {

// The probability estimation states (T.88 Table E.1): Qe, the next state
// after a more probable and after a less probable symbol, and whether the
// less probable one swaps the meaning of MPS.
struct MqState {
  uint16_t qe;
  uint8_t nmps;
  uint8_t nlps;
  uint8_t swap;
};
extern const MqState kMqStates[47];

// Adaptive states of 2^bits contexts: a probability state (0 to 46) and the
// more probable symbol of each.
struct MqContextStore {
  uint8_t* index = nullptr;
  uint8_t* mps = nullptr;
  uint32_t bits = 0;

  // From the JBIG2 heap, all zero.
  static MqContextStore* Create(uint32_t bits);
  static void Free(MqContextStore* store);
  // Same size: copies states and symbols.
  void CopyFrom(const MqContextStore& other);
};

class MqDecoder {
 public:
  MqDecoder() = default;
  virtual ~MqDecoder() = default;

  // Starts decoding at the cursor's position; no first byte throws
  // (runtime, 1).
  void InitDec(Jbig2Cursor* cursor);
  // The more probable symbol without renormalisation, the common case, is
  // decided here; everything else in DecodeRest.
  int DecodeBit(uint8_t* index, uint8_t* mps) {
    ++decodes_;
    const uint32_t qe = kMqStates[*index].qe;
    a_ -= qe;
    if ((c_ >> 16) >= qe) {
      c_ -= qe << 16;
      if (a_ & 0x8000) return *mps;
      return DecodeMpsExchange(index, mps, qe);
    }
    return DecodeLpsExchange(index, mps, qe);
  }
  int Decode(MqContextStore* store, uint32_t context) {
    return DecodeBit(&store->index[context], &store->mps[context]);
  }

  // True once far more 1 bits have been fed past the end of the data than
  // any encoder's flush leaves, or once far more symbols have been decoded
  // from that filler than one region of the largest size holds: decoding
  // that still goes on reads nothing but the filler, and the loops over
  // rows, symbols and instances stop. The decode count matters because a
  // skewed context decodes hundreds of thousands of symbols per filler byte.
  bool PastEnd() const {
    return bytesPastEnd_ > kFillerLimit ||
           (bytesPastEnd_ > 0 && decodes_ - decodesAtEnd_ > kFillerDecodeLimit);
  }

  // Pixels that typical prediction fills without decoding count as decoded
  // here, so that filler which keeps prediction switched on is bounded too.
  void CountPredicted(uint64_t pixels) { decodes_ += pixels; }

  Jbig2Cursor* cursor = nullptr;

 private:
  static constexpr uint32_t kFillerLimit = 65536;
  static constexpr uint64_t kFillerDecodeLimit = uint64_t{1} << 24;

  // The two halves of the decision that renormalise (T.88 E.3.2).
  int DecodeMpsExchange(uint8_t* index, uint8_t* mps, uint32_t qe);
  int DecodeLpsExchange(uint8_t* index, uint8_t* mps, uint32_t qe);
  void ByteIn();
  void FeedFiller();
  void Renormalise();

  uint32_t c_ = 0;
  uint32_t a_ = 0;
  uint8_t b_ = 0;
  uint32_t ct_ = 0;
  uint32_t bytesPastEnd_ = 0;
  uint64_t decodes_ = 0;
  uint64_t decodesAtEnd_ = 0;
};

// The integer decoding procedures (IADH ... IAAI) of one symbol dictionary
// or text region, each with its own contexts.
struct IntegerDecoders {
  enum Procedure {
    kIadh = 0, kIads, kIadt, kIadw, kIaex, kIafs, kIaid, kIait,
    kIardh, kIardw, kIardx, kIardy, kIari, kIaai, kProcedureCount
  };

  // Contexts of the 9-bit PREV values, for every procedure but IAID.
  static constexpr uint32_t kPrevContexts = 512;
  // IAID uses 2^symCodeLen contexts; kept small enough to allocate.
  static constexpr uint32_t kMaxSymCodeLen = 24;

  static IntegerDecoders* Create(MqDecoder* decoder, uint32_t symCodeLen);
  static void Free(IntegerDecoders* decoders);

  // The decoded value; out-of-band sets *oob and returns 0.
  int32_t Decode(int procedure, bool* oob);
  uint32_t DecodeId();

  MqDecoder* decoder = nullptr;
  uint32_t symCodeLen = 0;
  uint8_t* index[kProcedureCount] = {};
  uint8_t* mps[kProcedureCount] = {};
};

}  // namespace streams
