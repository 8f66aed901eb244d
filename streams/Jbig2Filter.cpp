#include "streams/Jbig2Filter.h"

#include <algorithm>
#include <cstring>

#include "runtime/ErrorTrap.h"
#include "runtime/Jbig2Heap.h"
#include "streams/jbig2/Jbig2Decoder.h"

namespace streams {
namespace {

// The bytes of a whole stream in one buffer on the memory context; the
// destructor frees it (also when a throw unwinds past it).
class WholeStream {
 public:
  explicit WholeStream(LibraryContext* context) : context_(context) {}
  ~WholeStream() { context_->memory.Free(data_); }
  WholeStream(const WholeStream&) = delete;
  WholeStream& operator=(const WholeStream&) = delete;

  void ReadAll(BlockSource& source) {
    for (;;) {
      BlockRef block = source.FetchBlock();
      const uint32_t count = CountOf(block);
      if (count == 0) return;
      if (size_ + count > capacity_) {
        const size_t grown = std::max<size_t>(capacity_ * 2, size_ + count);
        void* moved = context_->memory.Reallocate(data_, grown);
        if (moved == nullptr) runtime::ThrowRuntime(runtime::kOutOfMemory);
        data_ = static_cast<uint8_t*>(moved);
        capacity_ = grown;
      }
      std::memcpy(data_ + size_, block->Data(), count);
      size_ += count;
    }
  }
  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  LibraryContext* context_;
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

}  // namespace

Jbig2Filter::Jbig2Filter(LibraryContext* context, StreamRef source, StreamRef globals)
    : FilterBase(context, std::move(source)), globals_(std::move(globals)) {}

Jbig2Filter::~Jbig2Filter() { ReleasePage(); }

void Jbig2Filter::ReleasePage() {
  runtime::Jbig2Heap::FreeDetached(Context(), pixels_);
  pixels_ = nullptr;
  size_ = position_ = 0;
  width_ = height_ = 0;
  fault_ = Jbig2Fault();
}

void Jbig2Filter::DecodePage() {
  decoded_ = true;
  WholeStream data(Context());
  WholeStream globals(Context());
  data.ReadAll(*source_);
  if (globals_) {
    globals_->Restart(0);
    globals.ReadAll(*globals_);
  }
  // A page that cannot be decoded gives no data; only cancellation goes on.
  // Each decode has its own heap scope, suspended while the decoder yields,
  // so that decodes on other cooperative threads never share it.
  runtime::CatchAllExceptCancel(Context(), [&] {
    runtime::Jbig2Heap heap(Context());
    Jbig2Segment** segments = nullptr;
    uint32_t segmentCount = 0;
    uint8_t* pixels = nullptr;
    uint32_t width = 0;
    uint32_t height = 0;
    if (Jbig2Decode(globals.size() > 0 ? globals.data() : nullptr, globals.size(), data.data(),
                    data.size(), false, &segments, &segmentCount, &pixels, &width,
                    &height, &fault_) != 0) {
      return;
    }
    Jbig2FreeSegments(segments, segmentCount);
    pixels_ = static_cast<uint8_t*>(runtime::Jbig2Heap::Detach(pixels));
    width_ = width;
    height_ = height;
    size_ = size_t{(width + 7) / 8} * height;
  });
}

uint32_t Jbig2Filter::Decode(uint8_t* buffer, uint32_t capacity) {
  if (!decoded_) DecodePage();
  const auto take = static_cast<uint32_t>(std::min<size_t>(capacity, size_ - position_));
  if (take > 0) std::memcpy(buffer, pixels_ + position_, take);
  position_ += take;
  if (position_ == size_) end_ = true;
  return take;
}

void Jbig2Filter::Restart(uint64_t position) {
  FilterBase::Restart(position);
  // The next fetch decodes both buffers again.
  ReleasePage();
  decoded_ = false;
}

uint32_t Jbig2Filter::MemorySize() const { return FilterBase::MemorySize() + 116; }

}  // namespace streams
