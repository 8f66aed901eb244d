#include "viewer/SearchJob.h"

#include <algorithm>
#include <cstring>

#include "content/TextSearch.h"
#include "pdf/Document.h"
#include "runtime/ErrorTrap.h"

namespace viewer {

using runtime::TextPosition;
using runtime::TextRange;

namespace {

constexpr uint32_t kSearchJobArenaBlock = 4096;
constexpr uint32_t kSearchJobArenaLarge = 1024;

bool IsPageStart(const TextPosition& p) {
  return p.operation == 0 && p.string == 0 && p.glyph == 0 && p.character == 0 && p.after == 0;
}

TextPosition PageStart(int32_t page) {
  TextPosition p;
  p.page = page;
  return p;
}

}  // namespace

TextPosition SearchJob::DocumentEnd(int32_t pageCount) {
  TextPosition p;
  p.page = pageCount > 0 ? pageCount - 1 : 0;
  p.operation = p.string = p.glyph = 0xFFFFFFFFu;
  p.character = 0xFF;
  p.after = 1;
  return p;
}

SearchJob::SearchJob(runtime::LibraryContext* context, pdf::Document& document, content::FontSource* fonts,
                     content::TextFontSource* textFonts, const TextPosition& start, const char16_t* text,
                     uint32_t length, const SearchOptions& options)
    : context_(context),
      document_(document),
      fonts_(fonts),
      textFonts_(textFonts),
      text_(context, context, length),
      options_(options),
      start_(start),
      pageCount_(document.GetPageCount()),
      pageLimit_(pageCount_),
      arena_(context, kSearchJobArenaBlock, kSearchJobArenaLarge),
      pageMatches_(arena_, 8) {
  if (length == 0) runtime::ThrowMalformed();
  std::memcpy(text_.Data(), text, sizeof(char16_t) * length);
  const TextPosition end = DocumentEnd(pageCount_);
  if (pageCount_ <= 0) {
    phase_ = Phase::kDone;
  } else if (options_.backwards) {
    BeginRange({}, start_);
  } else {
    BeginRange(start_, end);
  }
}

void SearchJob::BeginRange(const TextPosition& low, const TextPosition& high) {
  low_ = low;
  high_ = high;
  pageMatchesLeft_ = 0;
  // A range that ends exactly where a page begins leaves that page out.
  lastPage_ = high.page > low.page && IsPageStart(high) ? high.page - 1 : high.page;
  if (lastPage_ >= pageLimit_) lastPage_ = pageLimit_ - 1;
  if (options_.backwards) {
    page_ = lastPage_;
  } else {
    page_ = low.page;
    cursor_ = low;
  }
}

void SearchJob::LimitPages(int32_t count) {
  pageLimit_ = count < pageCount_ ? std::max(count, 0) : pageCount_;
  if (lastPage_ >= pageLimit_) lastPage_ = pageLimit_ - 1;
  if (options_.backwards && page_ > lastPage_) page_ = lastPage_;
}

bool SearchJob::FindOnPage(int32_t page, const TextPosition& from, TextRange& match) {
  content::TextSearch search(context_, nullptr, from, text_.Data(), text_.Data() + text_.Count(),
                             options_.matchCase, options_.wholeWord ? 1 : 0, 0, 0, 0);
  if (!search.SearchPage(document_, page, fonts_, textFonts_, match)) return false;
  return TextPosition::Less(match.start, high_);
}

void SearchJob::CollectPage(int32_t page) {
  pageMatches_.Clear();
  TextPosition from = page == low_.page ? low_ : PageStart(page);
  TextRange match;
  while (FindOnPage(page, from, match)) {
    pageMatches_.PushBack(match);
    // The next candidate starts one character on: matches may overlap.
    from = match.start;
    from.after = 1;
  }
  pageMatchesLeft_ = pageMatches_.Size();
}

bool SearchJob::NextInRange(TextRange& match) {
  if (options_.backwards) {
    while (pageMatchesLeft_ == 0) {
      if (page_ < low_.page || page_ < 0) return false;
      CollectPage(page_--);
    }
    match = pageMatches_[--pageMatchesLeft_];
    return true;
  }
  while (page_ <= lastPage_) {
    if (FindOnPage(page_, cursor_, match)) {
      cursor_ = match.start;
      cursor_.after = 1;
      return true;
    }
    cursor_ = PageStart(++page_);
  }
  return false;
}

bool SearchJob::Resume(SearchListener& listener) {
  while (phase_ != Phase::kDone) {
    TextRange match;
    bool found = false;
    {
      // A failing page ends the job.
      runtime::ErrorTrap trap(context_);
      if (!trap.Run([&] { found = NextInRange(match); })) {
        phase_ = Phase::kDone;
        trap.Rethrow();
      }
    }
    if (found) {
      ++matches_;
      listener.ShowMatch(match);
      return true;
    }
    if (phase_ == Phase::kSecond) {
      phase_ = Phase::kDone;
      break;
    }
    const TextPosition end = DocumentEnd(pageCount_);
    if (!options_.backwards) {
      if (TextPosition::Equals(start_, TextPosition{}) || !listener.AskResumeFromStart()) {
        phase_ = Phase::kDone;
        break;
      }
      phase_ = Phase::kSecond;
      BeginRange({}, start_);
    } else {
      if (TextPosition::Equals(start_, end) || !listener.AskResumeFromEnd()) {
        phase_ = Phase::kDone;
        break;
      }
      phase_ = Phase::kSecond;
      BeginRange(start_, end);
    }
  }
  return false;
}

}  // namespace viewer
