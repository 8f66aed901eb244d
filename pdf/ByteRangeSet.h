#pragma once
// An ordered set of half-open byte ranges of a file, kept in the memory
// context: a range added over or against others merges with them into
// their union, and a range already covered adds nothing. A document hands
// such sets to its source so that a progressive source fetches the bytes
// before they are parsed.
#include <cstdint>
#include <span>

#include "runtime/LibraryContext.h"
#include "runtime/RecordVector.h"
#include "streams/DataSource.h"

namespace pdf {

class ByteRangeSet {
 public:
  explicit ByteRangeSet(runtime::LibraryContext* context = nullptr)
      : context_(Owner(context)), ranges_(context_, context_, 0) {}
  ByteRangeSet(ByteRangeSet&& other) noexcept
      : context_(other.context_),
        ranges_(context_, context_, 0),
        listener_(other.listener_),
        listenerUser_(other.listenerUser_) {
    runtime::RecordVector<streams::ByteRange>::Swap(ranges_, other.ranges_);
  }
  ByteRangeSet& operator=(ByteRangeSet&& other) noexcept {
    runtime::RecordVector<streams::ByteRange>::Swap(ranges_, other.ranges_);
    listener_ = other.listener_;
    listenerUser_ = other.listenerUser_;
    return *this;
  }

  // Told after each change of the set (not of an add that changed
  // nothing), with the set as it now is.
  using ChangeListener = void (*)(void* user, const ByteRangeSet& ranges);
  void SetChangeListener(ChangeListener listener, void* user) {
    listener_ = listener;
    listenerUser_ = user;
  }

  // Adds [start, end); an empty range, or one already covered, adds
  // nothing.
  void Add(uint64_t start, uint64_t end);
  // Adds [start, end) cut at `limit`.
  void AddCut(uint64_t start, uint64_t end, uint64_t limit);

  size_t size() const { return ranges_.Size(); }
  bool empty() const { return ranges_.Size() == 0; }
  const streams::ByteRange& operator[](size_t i) const {
    return ranges_[static_cast<uint32_t>(i)];
  }
  const streams::ByteRange* begin() const { return ranges_.Records().data(); }
  const streams::ByteRange* end() const { return begin() + ranges_.Size(); }
  std::span<const streams::ByteRange> Ranges() const { return ranges_.Records(); }

 private:
  static runtime::LibraryContext* Owner(runtime::LibraryContext* context) {
    return context != nullptr ? context : runtime::GetDefaultContext();
  }
  void Changed() {
    if (listener_ != nullptr) listener_(listenerUser_, *this);
  }

  runtime::LibraryContext* context_;
  runtime::RecordVector<streams::ByteRange> ranges_;
  ChangeListener listener_ = nullptr;
  void* listenerUser_ = nullptr;
};

}  // namespace pdf
