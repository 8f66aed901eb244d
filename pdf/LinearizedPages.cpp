#include "pdf/LinearizedPages.h"

#include "pdf/Document.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"

namespace pdf {
namespace {

[[noreturn]] void Malformed() { runtime::ThrowRuntime(runtime::kMalformed); }

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

}  // namespace pdf
