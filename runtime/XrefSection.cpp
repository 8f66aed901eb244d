#include "runtime/XrefSection.h"

#include <algorithm>
#include <new>

#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/MemoryContext.h"

namespace runtime {
namespace {

// Bytes charged for a subsection descriptor, and for a block of n entries
// (16 x n + 24): the device's sizes, so that purges weigh them alike.
constexpr uint32_t kDescriptorCharge = 24;
constexpr uint32_t kBlockHeaderCharge = 24;
constexpr uint32_t kEntryCharge = 16;

constexpr int64_t kLargestObjectNumber = 0x7FFFFFFF;

}  // namespace

void XrefSection::BlockCount::Destroy(LibraryContext* context, EntryBlock* block) {
  LibraryContext* owner = block->context != nullptr ? block->context : context;
  owner->memory.Free(block);
}

void XrefSection::DescriptorCount::Destroy(LibraryContext* context,
                                           SubsectionDescriptor* descriptor) {
  context->memory.Free(descriptor);
}

XrefSection::XrefSection(LibraryContext* context)
    : context_(context != nullptr ? context : GetDefaultContext()),
      subsections_(context_, context_, 0),
      descriptors_(context_),
      blocks_(context_) {}

// The members do the work: the caches give back every block and descriptor
// they hold, and the subsection list frees its storage.
XrefSection::~XrefSection() = default;

void XrefSection::AddSubsection(uint32_t first, uint32_t count, uint64_t position) {
  // Checked in 64 bits: a crafted "Index" or table header must not be able
  // to wrap first + count into a range that seems to hold any object.
  if (first > kLargestObjectNumber || count > kLargestObjectNumber ||
      int64_t{first} + int64_t{count} > kLargestObjectNumber) {
    ThrowRuntime(kMalformed);
  }
  subsections_.Append(Subsection{first, count, position});
}

XrefSection::BlockCache::Ref XrefSection::ReadBlock(uint64_t position, uint32_t count) {
  return blocks_.Get(position, [&] {
    const size_t bytes = sizeof(EntryBlock) + sizeof(XrefEntry) * size_t{count};
    auto* block = new (AllocOrThrow(context_, bytes)) EntryBlock{position, 1, count, context_};
    // Held from here on, so that a parse error frees the block.
    BlockCache::Ref held = BlockCache::Ref::Adopt(context_, block);
    for (uint32_t i = 0; i < count; ++i) new (block->Entries() + i) XrefEntry;
    ParseEntries(position, block->Entries(), count);
    return BlockCache::Built{std::move(held), kEntryCharge * count + kBlockHeaderCharge};
  });
}

uint32_t XrefSection::ListedEnd() {
  uint32_t end = 0;
  for (uint32_t i = 0; i < subsections_.Size(); ++i) {
    // A copy: Available may parse and so move the list.
    const Subsection subsection = subsections_[i];
    if (subsection.count == 0) continue;
    const uint32_t held = std::min(subsection.count, Available(subsection.position, subsection.count));
    if (held != 0) end = std::max(end, subsection.first + held);
  }
  return end;
}

XrefEntry XrefSection::GetEntry(uint32_t objectNumber) {
  const Subsection* found = nullptr;
  for (const Subsection& subsection : subsections_.Records()) {
    if (subsection.first <= objectNumber &&
        uint64_t{objectNumber} < uint64_t{subsection.first} + subsection.count) {
      found = &subsection;
      break;
    }
  }
  if (found == nullptr) return XrefEntry{};
  // A copy: parsing runs the derived section's code, which may add
  // subsections and so move the list.
  const Subsection subsection = *found;

  const SubsectionKey key{subsection.position, subsection.count};
  DescriptorCache::Ref descriptor = descriptors_.Get(key, [&] {
    auto* built = new (AllocOrThrow(context_, sizeof(SubsectionDescriptor)))
        SubsectionDescriptor{subsection.position, 1, subsection.count};
    return DescriptorCache::Built{DescriptorCache::Ref::Adopt(context_, built), kDescriptorCharge};
  });
  const uint32_t index = objectNumber - subsection.first;
  if (index >= descriptor->count) ThrowRuntime(kMalformed);

  const uint32_t blockStart = index & ~(kBlockEntries - 1);
  const uint64_t offset = uint64_t{EntrySize()} * blockStart;
  if (offset > UINT64_MAX - descriptor->position) ThrowRuntime(kMalformed);
  const uint32_t count = std::min(kBlockEntries, descriptor->count - blockStart);
  BlockCache::Ref block = ReadBlock(descriptor->position + offset, count);
  const uint32_t inBlock = index - blockStart;
  if (inBlock >= block->count) ThrowRuntime(kMalformed);
  return block->Entries()[inBlock];
}

}  // namespace runtime
