#pragma once
// One search of the open document: from a start position to the end of
// the document (or, backwards, to its beginning), then, when the user
// agrees, around from the other end back to the start position. Each page
// is played through the search consumer; every match is shown and the job
// stops there until it is resumed.
//
// The job runs on the caller's stack, one match per Resume; the viewer
// calls it from the search's own thread, which waits between matches.
#include <cstdint>

#include "runtime/ArenaAllocator.h"
#include "runtime/ArenaVector.h"
#include "runtime/LibraryContext.h"
#include "runtime/OwnedArray.h"
#include "runtime/TextPosition.h"

namespace content {
class FontSource;
class TextFontSource;
}  // namespace content

namespace pdf {
class Document;
}

namespace viewer {

// What a search needs of the viewer while it runs.
class SearchListener {
 public:
  // The questions at the end (forwards) or the beginning (backwards) of
  // the document; true to go on from the other end.
  virtual bool AskResumeFromStart() = 0;
  virtual bool AskResumeFromEnd() = 0;
  // A match: the document's selection becomes it and the view shows it.
  virtual void ShowMatch(const runtime::TextRange& match) = 0;

 protected:
  ~SearchListener() = default;
};

struct SearchOptions {
  bool matchCase = false;
  bool wholeWord = false;
  bool backwards = false;
};

class SearchJob {
 public:
  // The search string is copied. (runtime, 2) for an empty string.
  SearchJob(runtime::LibraryContext* context, pdf::Document& document, content::FontSource* fonts,
            content::TextFontSource* textFonts, const runtime::TextPosition& start, const char16_t* text,
            uint32_t length, const SearchOptions& options);
  SearchJob(const SearchJob&) = delete;
  SearchJob& operator=(const SearchJob&) = delete;

  // Runs to the next match, which is counted and shown (true), or to the
  // end of the search (false; the job is done). A page's error passes on
  // and ends the job.
  bool Resume(SearchListener& listener);
  bool Done() const { return phase_ == Phase::kDone; }
  // Searches only the first `count` pages (a tool's sample of a long
  // document); ranges beyond them end at their last page.
  void LimitPages(int32_t count);
  uint32_t MatchCount() const { return matches_; }

  // The end of the document as a position: just behind everything on its
  // last page.
  static runtime::TextPosition DocumentEnd(int32_t pageCount);

 private:
  enum class Phase : uint8_t { kFirst, kSecond, kDone };
  // Starts walking [low, high) in the job's direction.
  void BeginRange(const runtime::TextPosition& low, const runtime::TextPosition& high);
  // The next match of the current range; false when the range is done.
  bool NextInRange(runtime::TextRange& match);
  // The first match at or after `from` on `page`, before `high_`.
  bool FindOnPage(int32_t page, const runtime::TextPosition& from, runtime::TextRange& match);
  // Backwards: every match of `page` inside the range, in page order.
  void CollectPage(int32_t page);

  runtime::LibraryContext* context_;
  pdf::Document& document_;
  content::FontSource* fonts_;
  content::TextFontSource* textFonts_;
  runtime::OwnedArray<char16_t> text_;
  SearchOptions options_;
  runtime::TextPosition start_;
  int32_t pageCount_;
  int32_t pageLimit_;
  Phase phase_ = Phase::kFirst;
  uint32_t matches_ = 0;
  // The current range and where its walk stands.
  runtime::TextPosition low_, high_;
  int32_t page_ = 0;
  int32_t lastPage_ = 0;
  runtime::TextPosition cursor_;
  // Backwards: the current page's matches, reported from the last.
  runtime::ArenaAllocator arena_;
  runtime::ArenaVector<runtime::TextRange> pageMatches_;
  uint32_t pageMatchesLeft_ = 0;
};

}  // namespace viewer
