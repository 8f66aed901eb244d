#pragma once
// One cross-reference section (a classic table or a cross-reference
// stream), read lazily. Opening a section records only its subsection list;
// entries are parsed on demand in blocks of up to 128 consecutive entries,
// kept in a cost cache so that memory pressure can give them back and a
// later lookup parses them again. The two section kinds derive from this
// and say how to parse entries and how big one is.
#include <cstdint>

#include "runtime/ObjectCache.h"
#include "runtime/ObjectHandle.h"
#include "runtime/RecordVector.h"

namespace runtime {

class LibraryContext;

// One entry as held in memory.
struct XrefEntry {
  // 0 not listed by this section, 1 free, 2 in use at a file offset,
  // 3 compressed inside an object stream.
  uint32_t kind = 0;
  uint32_t generation = 0;
  // Kind 2: the object's file offset. Kind 3: the object stream's number in
  // the low word, the index within it in the high word.
  uint64_t offset = 0;
};
static_assert(sizeof(XrefEntry) == 16);

class XrefSection {
 public:
  // Entries parsed together.
  static constexpr uint32_t kBlockEntries = 128;
  // What a section costs beyond the storage its kind reports.
  static constexpr uint32_t kBaseByteSize = 336;

  explicit XrefSection(LibraryContext* context);
  virtual ~XrefSection();
  XrefSection(const XrefSection&) = delete;
  XrefSection& operator=(const XrefSection&) = delete;

  // The entry for `objectNumber`; kind 0 when no subsection lists it.
  virtual XrefEntry FindEntry(uint32_t objectNumber) { return GetEntry(objectNumber); }
  // The trailer dictionary (or the cross-reference stream's dictionary).
  virtual ObjectHandle GetTrailer() = 0;
  // The absolute offset of the previous section; 0 when there is none.
  virtual int64_t GetPrev() { return previousOffset_; }
  // The bytes charged for the section when it is cached.
  virtual uint32_t ByteSize() { return kBaseByteSize + ownBytes_; }
  // Parses `count` entries starting at `position` of the section's data.
  virtual void ParseEntries(uint64_t position, XrefEntry* out, uint32_t count) = 0;
  // Bytes per entry in the section's data.
  virtual uint32_t EntrySize() = 0;

  // Records a subsection of `count` entries from object number `first`,
  // whose first entry is at `position`. Object numbers are 31-bit: a
  // subsection that would reach past 0x7FFFFFFF raises (runtime, 2).
  void AddSubsection(uint32_t first, uint32_t count, uint64_t position);
  XrefEntry GetEntry(uint32_t objectNumber);
  uint32_t SubsectionCount() const { return subsections_.Size(); }
  // One past the largest object number whose entry the section can hold:
  // a section kind whose data may be shorter than its subsections claim
  // cuts them at the entries `Available` says its data has.
  uint32_t ListedEnd();
  // How many of the `count` entries at `position` the section's data
  // really holds; all of them unless a section kind knows better.
  virtual uint32_t Available(uint64_t position, uint32_t count) {
    (void)position;
    return count;
  }

  LibraryContext* Context() const { return context_; }

  // Counted holders share a section; the section cache holds one count and
  // may evict the section only while that is the last one.
  uint32_t refCount = 1;

 protected:
  int64_t previousOffset_ = 0;
  // Bytes of storage the derived section keeps for itself.
  uint32_t ownBytes_ = 0;

 private:
  struct Subsection {
    uint32_t first;
    uint32_t count;
    uint64_t position;
  };
  struct SubsectionKey {
    uint64_t position;
    uint32_t count;
    uint32_t unused = 0;
    bool operator<(const SubsectionKey& other) const {
      return position != other.position ? position < other.position : count < other.count;
    }
  };
  struct SubsectionDescriptor {
    uint64_t position;
    uint32_t refCount;
    uint32_t count;
  };
  // A block's entries follow its header in the same allocation.
  struct EntryBlock {
    uint64_t position;
    uint32_t refCount;
    uint32_t count;
    LibraryContext* context;

    XrefEntry* Entries() { return reinterpret_cast<XrefEntry*>(this + 1); }
  };
  struct BlockCount : MemberCount<EntryBlock> {
    static void Destroy(LibraryContext* context, EntryBlock* block);
  };
  struct DescriptorCount : MemberCount<SubsectionDescriptor> {
    static void Destroy(LibraryContext* context, SubsectionDescriptor* descriptor);
  };
  using DescriptorCache = ObjectCache<SubsectionDescriptor, SubsectionKey, DescriptorCount>;
  using BlockCache = ObjectCache<EntryBlock, uint64_t, BlockCount>;

  BlockCache::Ref ReadBlock(uint64_t position, uint32_t count);

  LibraryContext* context_;
  RecordVector<Subsection> subsections_;
  DescriptorCache descriptors_;
  BlockCache blocks_;
};

}  // namespace runtime
