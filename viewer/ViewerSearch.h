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
  // Resumes the job waiting at a match, or starts a new one. Every error
  // ends here; one inside the search shows the search error first.
  void FindNext();
  // The document is closed or replaced: its job goes.
  void DropJob();

  SearchSource* source = nullptr;
  const SearchOptions& Options() const { return options_; }
  SearchJob* Job() { return job_; }

  bool AskResumeFromStart() override;
  bool AskResumeFromEnd() override;
  void ShowMatch(const runtime::TextRange& match) override;

 private:
  // Where a new search starts, by the pages on screen and the match shown.
  runtime::TextPosition StartPosition();
  // Runs the job to its next match or end.
  void Run();

  Viewer& viewer_;
  runtime::OwnedArray<char16_t> text_;
  SearchOptions options_;
  SearchJob* job_ = nullptr;
};

}  // namespace viewer
