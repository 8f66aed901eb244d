#include "pdf/LinearizedPages.h"

#include <algorithm>

#include "pdf/Document.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"

namespace pdf {
namespace {

// Classic cross-reference tables are fetched in blocks of 128 entries of
// 20 bytes.
constexpr uint64_t kXrefBlockEntries = 128;
constexpr uint64_t kXrefBlockBytes = kXrefBlockEntries * 20;
// The first-page cross-reference section is read in one window of this.
constexpr uint64_t kFirstSectionWindow = 2688;
// The trailer search reads the file's last bytes.
constexpr uint64_t kTailBytes = 512;

// A non-negative integer entry of the linearisation dictionary;
// (runtime, 2) when it is missing or of another kind.
uint64_t Offset(Document& document, const char* key) {
  const int32_t value = runtime::Dictionary::GetInteger(document.LinearizedDictionary(), key);
  if (value < 0) runtime::ThrowMalformed();
  return static_cast<uint32_t>(value);
}

}  // namespace

LinearizedPages::LinearizedPages(Document& document)
    : document_(document), hints_(document.Context()) {
  const runtime::ObjectHandle& linearized = document.LinearizedDictionary();
  if (document.LinearizedObject() == 0 || linearized.Tag() != runtime::ObjectTag::kDictionary) {
    runtime::ThrowMalformed();
  }
  pageCount_ = runtime::Dictionary::GetInteger(linearized, "N");
  const int32_t first = runtime::Dictionary::GetInteger(linearized, "O");
  firstPage_ = runtime::Dictionary::GetIntegerOr(linearized, "P", 0);
  if (pageCount_ < 0 || first <= 0) runtime::ThrowMalformed();
  firstPageObject_ = static_cast<uint32_t>(first);
}

bool LinearizedPages::HasHints() const { return HintTables::EnsureRead(*this); }

int64_t LinearizedPages::ObjectOfPage(int32_t index) const {
  if (index < 0 || index >= pageCount_) runtime::ThrowMalformed();
  if (index == firstPage_) return firstPageObject_;
  if (!HasHints()) return -1;
  return hints_.pages[static_cast<uint32_t>(index)].firstObject;
}

int32_t LinearizedPages::PageIndexOfObject(uint32_t number) const {
  if (number == firstPageObject_) return firstPage_;
  if (!HasHints()) return -1;
  // The first page other than "P" whose running object number is `number`:
  // the numbers never fall from page to page.
  const std::span<const HintTables::Page> pages = hints_.pages.Records();
  auto at = std::lower_bound(pages.begin(), pages.end(), number,
                             [](const HintTables::Page& page, uint32_t wanted) {
                               return page.firstObject < wanted;
                             });
  if (at != pages.end() && at - pages.begin() == firstPage_) ++at;
  if (at == pages.end() || at->firstObject != number) runtime::ThrowMalformed();
  return static_cast<int32_t>(at - pages.begin());
}

int32_t LinearizedPages::PageIndexOfRef(const runtime::ObjectReference& reference) const {
  if (reference.generation != 0) runtime::ThrowMalformed();
  return PageIndexOfObject(reference.number);
}

streams::ByteRange LinearizedPages::PageObjectsRange(int32_t index) const {
  if (index < 0 || index >= pageCount_ || index == firstPage_ || !HasHints()) runtime::ThrowMalformed();
  // The pages after the first begin where object 1 does.
  const runtime::XrefEntry entry = document_.LookupEntry(1);
  if (entry.kind != 2) runtime::ThrowMalformed();
  const HintTables::Page& page = hints_.pages[static_cast<uint32_t>(index)];
  const uint64_t start = entry.offset + page.offset;
  return streams::ByteRange{start, start + page.length};
}

LinearizedPages::Ranges LinearizedPages::WholeFileRanges() const {
  Ranges ranges(document_.Context());
  ranges.Add(0, document_.FileLength());
  return ranges;
}

LinearizedPages::Ranges LinearizedPages::FirstPageRanges() const {
  Ranges ranges(document_.Context());
  const uint64_t length = document_.FileLength();
  const uint64_t header = document_.HeaderOffset();
  runtime::ObjectHandle h = runtime::Dictionary::Get(document_.LinearizedDictionary(), "H");
  if (h.Tag() != runtime::ObjectTag::kArray) return ranges;
  const uint32_t count = runtime::Array::Count(h);
  if (count != 2 && count != 4) return ranges;
  for (uint32_t i = 0; i < count; i += 2) {
    const int32_t offset = runtime::Array::GetInteger(h, i);
    const int32_t size = runtime::Array::GetInteger(h, i + 1);
    if (offset < 0 || size < 0) runtime::ThrowMalformed();
    const uint64_t start = header + static_cast<uint32_t>(offset);
    ranges.AddCut(start, start + static_cast<uint32_t>(size), length);
  }
  // The first page itself: everything up to its end.
  const runtime::ObjectValue* e =
      runtime::Dictionary::FindByName(document_.LinearizedDictionary().Value(), "E");
  if (e->Is(runtime::ObjectTag::kInteger) && e->payload.integer > 0) {
    ranges.AddCut(0, header + static_cast<uint32_t>(e->payload.integer), length);
  }
  const uint64_t section = static_cast<uint64_t>(document_.NewestSectionOffset());
  ranges.AddCut(section, section + kFirstSectionWindow, length);
  ranges.AddCut(length > kTailBytes ? length - kTailBytes : 0, length, length);
  return ranges;
}

bool LinearizedPages::XrefIsStream() const {
  runtime::ObjectHandle trailer = document_.GetTrailer();
  const runtime::ObjectValue* type = runtime::Dictionary::FindByName(trailer.Value(), "Type");
  return type->Is(runtime::ObjectTag::kName) && type->AsName().Equals("XRef");
}

void LinearizedPages::AddXrefBlocks(Ranges& ranges, uint64_t first, uint64_t last) const {
  const uint64_t base = document_.HeaderOffset() + Offset(document_, "T") + 1;
  ranges.AddCut(base + first / kXrefBlockEntries * kXrefBlockBytes,
                base + (last + kXrefBlockEntries - 1) / kXrefBlockEntries * kXrefBlockBytes,
                document_.FileLength());
}

LinearizedPages::Ranges LinearizedPages::PageRanges(int32_t index) const {
  if (index < 0 || index >= pageCount_) runtime::ThrowMalformed();
  if (index == firstPage_) return FirstPageRanges();
  if (!HasHints()) return WholeFileRanges();
  const uint64_t length = document_.FileLength();
  Ranges ranges(document_.Context());
  const streams::ByteRange own = PageObjectsRange(index);
  ranges.AddCut(own.start, own.end, length);

  // The cross-reference entries of the page's objects.
  const bool xrefIsStream = XrefIsStream();
  const HintTables::Page& page = hints_.pages[static_cast<uint32_t>(index)];
  if (xrefIsStream) {
    ranges.AddCut(document_.HeaderOffset() + Offset(document_, "T"), length, length);
  } else {
    AddXrefBlocks(ranges, page.firstObject, uint64_t{page.firstObject} + page.objects);
  }

  // The shared object groups the page uses.
  const uint32_t groups = hints_.groupLengths.Size();
  for (uint32_t i = 0; i < page.sharedCount; ++i) {
    const uint32_t id = hints_.sharedIds[page.sharedStart + i];
    if (id >= groups) return WholeFileRanges();
    uint64_t offset = hints_.groupOffsets[id];
    int64_t object = -1;
    if (id >= hints_.firstPageGroups) {
      offset += document_.HeaderOffset() + uint64_t{hints_.sharedLocation};
      object = int64_t{hints_.sharedFirstObject} + (id - hints_.firstPageGroups);
    } else {
      const runtime::XrefEntry first = document_.LookupEntry(firstPageObject_);
      if (first.kind != 2) return WholeFileRanges();
      offset += first.offset;
    }
    ranges.AddCut(offset, offset + hints_.groupLengths[id], length);
    if (object >= 0 && !xrefIsStream) {
      AddXrefBlocks(ranges, static_cast<uint64_t>(object), static_cast<uint64_t>(object) + 1);
    }
  }
  return ranges;
}

void LinearizedPages::GenericHintRanges(const HintTables::Generic& table, Ranges& ranges) const {
  const uint64_t length = document_.FileLength();
  // The head of the file, up to the first page's object.
  const runtime::XrefEntry first = document_.LookupEntry(firstPageObject_);
  if (first.kind != 2) runtime::ThrowMalformed();
  ranges.AddCut(0, first.offset, length);
  if (!table.present) return;
  // Locations in the hint tables count as if the hint stream were absent.
  uint64_t start = table.location;
  runtime::ObjectHandle h = runtime::Dictionary::Get(document_.LinearizedDictionary(), "H");
  const int32_t hOffset = runtime::Array::GetInteger(h, 0);
  const int32_t hLength = runtime::Array::GetInteger(h, 1);
  if (hOffset < 0 || hLength < 0) runtime::ThrowMalformed();
  if (static_cast<uint32_t>(hOffset) < table.location) start += static_cast<uint32_t>(hLength);
  start += document_.HeaderOffset();
  ranges.AddCut(start, start + table.groupLength, length);
  if (XrefIsStream()) {
    ranges.AddCut(document_.HeaderOffset() + Offset(document_, "T"), length, length);
  } else {
    AddXrefBlocks(ranges, table.firstObject, uint64_t{table.firstObject} + table.objectCount);
  }
}

LinearizedPages::Ranges LinearizedPages::OutlineRanges() const {
  if (!HasHints()) return WholeFileRanges();
  Ranges ranges(document_.Context());
  GenericHintRanges(hints_.outlines, ranges);
  return ranges;
}

LinearizedPages::Ranges LinearizedPages::NamedDestRanges() const {
  if (!HasHints()) return WholeFileRanges();
  Ranges ranges(document_.Context());
  GenericHintRanges(hints_.namedDests, ranges);
  return ranges;
}

void LinearizedPages::RequestFirstPage(Document& document) {
  LinearizedPages* pages = document.Linearization();
  if (pages == nullptr) return;
  document.Source()->RequestRanges(pages->FirstPageRanges().Ranges());
}

namespace {

// Asks the source for the whole file: what a file that is not linearised
// needs for anything.
void RequestWholeFile(Document& document) {
  const streams::ByteRange whole{0, document.FileLength()};
  document.Source()->RequestRanges({&whole, 1});
}

// The first page's ranges, then those `ranges` computes.
template <class Compute>
void RequestAfterFirstPage(Document& document, Compute&& ranges) {
  LinearizedPages* pages = document.Linearization();
  if (pages == nullptr) {
    RequestWholeFile(document);
    return;
  }
  LinearizedPages::RequestFirstPage(document);
  document.Source()->RequestRanges(ranges(*pages).Ranges());
}

}  // namespace

void LinearizedPages::RequestPage(Document& document, int32_t index) {
  LinearizedPages* pages = document.Linearization();
  if (pages != nullptr && index == pages->firstPage_) {
    RequestFirstPage(document);
    return;
  }
  RequestAfterFirstPage(document, [&](const LinearizedPages& p) { return p.PageRanges(index); });
}

void LinearizedPages::RequestOutlines(Document& document) {
  RequestAfterFirstPage(document, [](const LinearizedPages& p) { return p.OutlineRanges(); });
}

void LinearizedPages::RequestNamedDests(Document& document) {
  RequestAfterFirstPage(document, [](const LinearizedPages& p) { return p.NamedDestRanges(); });
}

}  // namespace pdf
