#pragma once
// "JBIG2Decode" (with "JBIG2Globals"): the whole encoded image is decoded
// on the first fetch into one page of packed rows, 0 for black, which is
// then handed out block by block. A page that fails to decode gives no
// data.
#include "streams/FilterBase.h"
#include "streams/jbig2/Jbig2Decoder.h"

namespace streams {

class Jbig2Filter final : public FilterBase {
 public:
  // `globals` is the decoded globals stream, or null.
  Jbig2Filter(LibraryContext* context, StreamRef source, StreamRef globals);
  ~Jbig2Filter() override;
  uint32_t Decode(uint8_t* buffer, uint32_t capacity) override;
  void Restart(uint64_t position) override;
  uint32_t MemorySize() const override;

  // A segment that failed part way: the page holds what was decoded
  // before it, and the failure is kept here (once per decode) instead of
  // blanking the page.
  bool Faulted() const { return fault_.Failed(); }
  const Jbig2Fault& Fault() const { return fault_; }

  uint32_t PageWidth() const { return width_; }
  uint32_t PageHeight() const { return height_; }

 private:
  void DecodePage();
  void ReleasePage();

  StreamRef globals_;
  bool decoded_ = false;
  uint8_t* pixels_ = nullptr;  // a block detached from the JBIG2 heap
  size_t size_ = 0;
  size_t position_ = 0;
  uint32_t width_ = 0;
  uint32_t height_ = 0;
  Jbig2Fault fault_;
};

}  // namespace streams
