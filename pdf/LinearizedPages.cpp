#include "pdf/LinearizedPages.h"

#include <algorithm>

#include "pdf/Document.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"

namespace pdf {
namespace {

[[noreturn]] void Malformed() { runtime::ThrowRuntime(runtime::kMalformed); }

// Classic cross-reference tables are fetched in blocks of 128 entries of
// 20 bytes.
constexpr uint64_t kXrefBlockEntries = 128;
constexpr uint64_t kXrefBlockBytes = kXrefBlockEntries * 20;
// The first-page cross-reference section is read in one window of this.
constexpr uint64_t kFirstSectionWindow = 2688;
// The trailer search reads the file's last bytes.
constexpr uint64_t kTailBytes = 512;

}  // namespace

LinearizedPages::LinearizedPages(Document& document) : document_(document) {
  const runtime::ObjectHandle& linearized = document.LinearizedDictionary();
  if (document.LinearizedObject() == 0 || linearized.Tag() != runtime::ObjectTag::kDictionary) {
    Malformed();
  }
  pageCount_ = runtime::Dictionary::GetInteger(linearized, "N");
  const int32_t first = runtime::Dictionary::GetInteger(linearized, "O");
  firstPage_ = runtime::Dictionary::GetIntegerOr(linearized, "P", 0);
  if (pageCount_ < 0 || first <= 0) Malformed();
  firstPageObject_ = static_cast<uint32_t>(first);
  // Malformed hints are no reason to fail: the page tree still answers.
  runtime::ErrorTrap trap(document.Context());
  if (trap.Run([&] { hints_ = HintTables::Read(document); })) {
    hasHints_ = hints_.pages.size() == static_cast<size_t>(pageCount_);
  } else {
    trap.SetHandled();
    if (!trap.Held().IsRuntime(runtime::kMalformed)) trap.Rethrow();
    trap.Close();
  }
}

int64_t LinearizedPages::ObjectOfPage(int32_t index) const {
  if (index < 0 || index >= pageCount_) Malformed();
  if (index == firstPage_) return firstPageObject_;
  if (!hasHints_) return -1;
  // The objects of the pages after the first are numbered from 1 in page
  // order, each page's own object first.
  int64_t number = 1;
  for (int32_t page = 0; page < index; ++page) {
    if (page != firstPage_) number += hints_.pages[static_cast<size_t>(page)].objects;
  }
  return number;
}

int32_t LinearizedPages::PageIndexOfObject(uint32_t number) const {
  if (number == firstPageObject_) return firstPage_;
  if (!hasHints_) return -1;
  int64_t running = 1;
  for (int32_t page = 0; page < pageCount_; ++page) {
    if (page == firstPage_) continue;
    if (running == number) return page;
    running += hints_.pages[static_cast<size_t>(page)].objects;
  }
  Malformed();
}

int32_t LinearizedPages::PageIndexOfRef(const runtime::ObjectReference& reference) const {
  if (reference.generation != 0) Malformed();
  return PageIndexOfObject(reference.number);
}

streams::ByteRange LinearizedPages::PageObjectsRange(int32_t index) const {
  if (index < 0 || index >= pageCount_ || index == firstPage_ || !hasHints_) Malformed();
  // The pages after the first begin where object 1 does.
  const runtime::XrefEntry entry = document_.LookupEntry(1);
  if (entry.kind != 2) Malformed();
  uint64_t start = entry.offset;
  for (int32_t page = 0; page < index; ++page) {
    if (page != firstPage_) start += hints_.pages[static_cast<size_t>(page)].length;
  }
  return streams::ByteRange{start, start + hints_.pages[static_cast<size_t>(index)].length};
}

void LinearizedPages::AddRange(Ranges& ranges, uint64_t start, uint64_t end) {
  if (start >= end) return;
  auto at = ranges.begin();
  while (at != ranges.end() && at->end < start) ++at;
  // Swallow every range that overlaps or touches [start, end).
  auto last = at;
  while (last != ranges.end() && last->start <= end) {
    start = std::min(start, last->start);
    end = std::max(end, last->end);
    ++last;
  }
  at = ranges.erase(at, last);
  ranges.insert(at, streams::ByteRange{start, end});
}

LinearizedPages::Ranges LinearizedPages::WholeFileRanges() const {
  return Ranges{streams::ByteRange{0, document_.FileLength()}};
}

LinearizedPages::Ranges LinearizedPages::FirstPageRanges() const {
  Ranges ranges;
  const uint64_t length = document_.FileLength();
  const uint64_t header = document_.HeaderOffset();
  runtime::ObjectHandle h = runtime::Dictionary::Get(document_.LinearizedDictionary(), "H");
  if (h.Tag() != runtime::ObjectTag::kArray) return ranges;
  const uint32_t count = runtime::Array::Count(h);
  if (count != 2 && count != 4) return ranges;
  for (uint32_t i = 0; i < count; i += 2) {
    const int32_t offset = runtime::Array::GetInteger(h, i);
    const int32_t size = runtime::Array::GetInteger(h, i + 1);
    if (offset < 0 || size < 0) Malformed();
    const uint64_t start = header + static_cast<uint32_t>(offset);
    AddRange(ranges, std::min(start, length), std::min(start + static_cast<uint32_t>(size), length));
  }
  const uint64_t section = static_cast<uint64_t>(document_.NewestSectionOffset());
  AddRange(ranges, std::min(section, length), std::min(section + kFirstSectionWindow, length));
  AddRange(ranges, length > kTailBytes ? length - kTailBytes : 0, length);
  return ranges;
}

LinearizedPages::Ranges LinearizedPages::PageRanges(int32_t index) const {
  if (index < 0 || index >= pageCount_) Malformed();
  if (index == firstPage_) return FirstPageRanges();
  if (!hasHints_) return WholeFileRanges();
  const uint64_t length = document_.FileLength();
  Ranges ranges;
  const streams::ByteRange own = PageObjectsRange(index);
  AddRange(ranges, std::min(own.start, length), std::min(own.end, length));

  // The cross-reference entries of the page's objects.
  runtime::ObjectHandle trailer = document_.GetTrailer();
  const runtime::ObjectValue* type = runtime::Dictionary::FindByName(trailer.Value(), "Type");
  const bool xrefIsStream = type->Is(runtime::ObjectTag::kName) && type->AsName().Equals("XRef");
  const int32_t t = runtime::Dictionary::GetInteger(document_.LinearizedDictionary(), "T");
  if (t < 0) Malformed();
  const uint64_t main = document_.HeaderOffset() + static_cast<uint64_t>(t);
  const int64_t firstObject = ObjectOfPage(index);
  const uint64_t lastObject =
      static_cast<uint64_t>(firstObject) + hints_.pages[static_cast<size_t>(index)].objects;
  const auto addBlocks = [&](uint64_t first, uint64_t last) {
    const uint64_t base = main + 1;
    AddRange(ranges, std::min(base + first / kXrefBlockEntries * kXrefBlockBytes, length),
             std::min(base + (last + kXrefBlockEntries - 1) / kXrefBlockEntries * kXrefBlockBytes,
                      length));
  };
  if (xrefIsStream) {
    AddRange(ranges, std::min(main, length), length);
  } else {
    addBlocks(static_cast<uint64_t>(firstObject), lastObject);
  }

  // The shared object groups the page uses.
  const HintTables::Page& page = hints_.pages[static_cast<size_t>(index)];
  const uint32_t groups = static_cast<uint32_t>(hints_.groupLengths.size());
  for (uint32_t i = 0; i < page.sharedCount; ++i) {
    const uint32_t id = hints_.sharedIds[page.sharedStart + i];
    if (id >= groups) return WholeFileRanges();
    uint64_t offset = 0;
    int64_t object = -1;
    if (id >= hints_.firstPageGroups) {
      offset = document_.HeaderOffset() + uint64_t{hints_.sharedLocation};
      for (uint32_t g = hints_.firstPageGroups; g < id; ++g) offset += hints_.groupLengths[g];
      object = int64_t{hints_.sharedFirstObject} + (id - hints_.firstPageGroups);
    } else {
      const runtime::XrefEntry first = document_.LookupEntry(firstPageObject_);
      if (first.kind != 2) return WholeFileRanges();
      offset = first.offset;
      for (uint32_t g = 0; g < id; ++g) offset += hints_.groupLengths[g];
    }
    AddRange(ranges, std::min(offset, length), std::min(offset + hints_.groupLengths[id], length));
    if (object >= 0 && !xrefIsStream) {
      addBlocks(static_cast<uint64_t>(object), static_cast<uint64_t>(object) + 1);
    }
  }
  return ranges;
}

void LinearizedPages::RequestPage(Document& document, int32_t index) {
  if (document.LinearizedObject() == 0) {
    const streams::ByteRange whole{0, document.FileLength()};
    document.Source()->RequestRanges({&whole, 1});
    return;
  }
  const LinearizedPages pages(document);
  const Ranges first = pages.FirstPageRanges();
  document.Source()->RequestRanges(first);
  if (index != pages.firstPage_) document.Source()->RequestRanges(pages.PageRanges(index));
}

}  // namespace pdf
