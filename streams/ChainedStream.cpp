#include "streams/ChainedStream.h"

#include "runtime/CleanupNode.h"

namespace streams {

// Registered while the source fetches: an error passing through leaves no
// half-filled buffer behind and makes the next fetch start over.
struct ChainedStream::FetchGuard {
  runtime::CleanupNode node;
  ChainedStream* stream;

  static void OnError(runtime::CleanupNode* node) {
    auto* guard = reinterpret_cast<FetchGuard*>(node);
    guard->stream->restartPending_ = true;
    guard->stream->ResetBuffers();
    node->Unlink();
  }
};

ChainedStream::ChainedStream(LibraryContext* context, StreamRef source)
    : DataStream(context, 0), source_(std::move(source)) {}

BlockRef ChainedStream::FetchBlock() {
  FetchGuard guard{};
  guard.stream = this;
  guard.node.Register(Context(), &FetchGuard::OnError);

  uint64_t wanted = NextFetchPosition();
  if (restartPending_ || wanted < sourcePosition_) {
    restartPending_ = false;
    source_->Restart(0);
    sourcePosition_ = 0;
  }
  // A block source cannot seek: read through to the wanted position.
  BlockRef block;
  for (;;) {
    block = source_->FetchBlock();
    uint32_t count = CountOf(block);
    if (count == 0 || sourcePosition_ + count > wanted) break;
    sourcePosition_ += count;
  }
  uint32_t count = CountOf(block);
  if (count > 0) {
    auto offset = static_cast<uint32_t>(wanted - sourcePosition_);
    sourcePosition_ += count;
    if (offset > 0) block = MakeWindow(Context(), block, offset);
  }
  guard.node.Unlink();
  return block;
}

}  // namespace streams
