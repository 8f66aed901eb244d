#include "content/ContentMachine.h"

#include <atomic>

#include "content/ContentOps.h"
#include "runtime/Dictionary.h"
#include "runtime/Scheduler.h"
#include "runtime/TransientBlocks.h"

namespace content {

namespace {
// Arena block sizes: a first block that holds a short page's whole program,
// smaller blocks after it.
constexpr uint32_t kArenaBlock = 16384;
constexpr uint32_t kArenaLarge = 4096;

// Serial numbers start at 1 so that a fresh path-cache record (serial 0)
// never claims to hold a path of any machine.
std::atomic<uint64_t> nextSerial{1};
}  // namespace

ContentMachine::ContentMachine(runtime::LibraryContext* context, pdf::Document* document,
                               streams::DataStreamRef stream,
                               const runtime::ObjectHandle& resources, uint32_t options)
    : context_(context),
      document_(document),
      arena_(context, kArenaBlock, kArenaLarge),
      opcodes(arena_, 400),
      bytes(arena_, 400),
      words(arena_, 100),
      segments(arena_, 100),
      objects(arena_, 16),
      parameterSets(arena_, 4),
      resources_(resources),
      options_(options),
      serial_(nextSerial.fetch_add(1, std::memory_order_relaxed)) {
  ops_ = runtime::NewObject<ContentOps>(context, *this, std::move(stream));
}

ContentMachine::~ContentMachine() { runtime::DestroyAndFree(context_, ops_); }

bool ContentMachine::ParseMore(PathCacheSlot* overflow) {
  const uint32_t before = opcodes.Size();
  while (!finished_ && opcodes.Size() == before) {
    const uint32_t tokens = ops_->ParseMore(overflow);
    // Parsing costs work by the token, and between slices the thread may
    // yield: a long run of tokens that records nothing (one path of a
    // million segments) must not hold the thread.
    runtime::ChargeWork(context_, static_cast<int32_t>(tokens) * ContentOps::kTokenCost);
  }
  return opcodes.Size() != before;
}

int32_t ContentMachine::StructParentsOf(const runtime::ObjectHandle& owner) {
  if (owner.Tag() != runtime::ObjectTag::kDictionary) return -1;
  const runtime::ObjectHandle value = runtime::Dictionary::Get(owner, "StructParents");
  if (value.Tag() != runtime::ObjectTag::kInteger || value->AsInteger() < 0) return -1;
  return value->AsInteger();
}

void ContentMachine::RereadPath(uint64_t position, PathCacheSlot& slot) {
  ++pathRereads_;
  ops_->RereadPath(position, slot);
}

void ContentMachine::StoreError(const runtime::ErrorRecord& record) {
  if (!hasError_) {
    error_ = record;
    hasError_ = true;
  }
  finished_ = true;
}

}  // namespace content
