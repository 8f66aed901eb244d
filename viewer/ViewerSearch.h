#pragma once
// The viewer's side of text search: the string and options the Find
// dialog took, the current search job, and Find Next, which resumes the
// job waiting at a match or starts a new one from the pages on screen (or
// just past the match shown).
#include <cstdint>

#include "runtime/OwnedArray.h"
#include "runtime/TextPosition.h"
#include "viewer/SearchJob.h"

namespace content {
class FontSource;
class TextFontSource;
}  // namespace content

namespace viewer {

class SearchThread;
class Viewer;

// What the open document offers to search.
class SearchSource {
 public:
  virtual pdf::Document& SearchDocument() = 0;
  virtual content::FontSource* SearchFonts() = 0;
  virtual content::TextFontSource* SearchTextFonts() = 0;
  // The first and last pages on screen; -1 when none.
  virtual int32_t FirstVisiblePage() = 0;
  virtual int32_t LastVisiblePage() = 0;
  // The match shown now (the document's selection), or null.
  virtual const runtime::TextRange* HighlightedMatch() = 0;
  // Makes the match the document's selection and brings it into view.
  virtual void ShowMatch(const runtime::TextRange& match) = 0;

 protected:
  ~SearchSource() = default;
};

class ViewerSearch final : public SearchListener {
 public:
  explicit ViewerSearch(Viewer& viewer);
  ~ViewerSearch();
  ViewerSearch(const ViewerSearch&) = delete;
  ViewerSearch& operator=(const ViewerSearch&) = delete;

  // The Find dialog's string and options; a change makes the next Find
  // Next start a new search. The viewer's search string points at the
  // copy kept here.
  void SetSearch(const char16_t* text, const SearchOptions& options);
  // Resumes the job waiting at a match, or starts a new one. With a
  // scheduler the job runs on a thread of its own, the viewer's long
  // operation, and this returns at once; without one it runs here to its
  // next match. Every error ends here; one inside the search shows the
  // search error first.
  void FindNext();
  // The document is closed or replaced: its job goes, and its thread is
  // killed first.
  void DropJob();

  // The search thread's side: runs the job to its end, waiting on
  // `thread` at every match (null: to the next match only).
  void RunJob(SearchThread* thread);
  // The thread object is being destroyed.
  void ThreadGone(const SearchThread* thread);
  // The thread running the current job, while it lives.
  SearchThread* Thread() const { return thread_; }
  // No search is under way: there is no search thread, or it ended, or it
  // waits at a match for Find Next.
  bool Settled() const;

  SearchSource* source = nullptr;
  const SearchOptions& Options() const { return options_; }
  SearchJob* Job() { return job_; }

  bool AskResumeFromStart() override;
  bool AskResumeFromEnd() override;
  void ShowMatch(const runtime::TextRange& match) override;

 private:
  // Where a new search starts, by the pages on screen and the match shown.
  runtime::TextPosition StartPosition();
  // Starts the current job on a thread of its own (the viewer's long
  // operation), or runs it to its next match without a scheduler.
  void Start();

  Viewer& viewer_;
  runtime::OwnedArray<char16_t> text_;
  SearchOptions options_;
  SearchJob* job_ = nullptr;
  SearchThread* thread_ = nullptr;
};

}  // namespace viewer
