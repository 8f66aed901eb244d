#include "viewer/ViewerSearch.h"

#include <cstring>

#include "runtime/ErrorTrap.h"
#include "runtime/Scheduler.h"
#include "runtime/ThreadHandle.h"
#include "runtime/TransientBlocks.h"
#include "runtime/WideString.h"
#include "viewer/SearchThread.h"
#include "viewer/Viewer.h"

namespace viewer {

using runtime::TextPosition;
using runtime::TextRange;

ViewerSearch::ViewerSearch(Viewer& viewer) : viewer_(viewer), text_(viewer.context, viewer.context, 0) {}

ViewerSearch::~ViewerSearch() { DropJob(); }

void ViewerSearch::DropJob() {
  // The thread walks the job: it goes first.
  if (SearchThread* thread = thread_) {
    if (viewer_.longOperation == thread) viewer_.longOperation = nullptr;
    runtime::ThreadHandle(viewer_.context, thread).Destroy();
  }
  thread_ = nullptr;
  SearchJob* job = job_;
  job_ = nullptr;
  runtime::DestroyAndFree(viewer_.context, job);
}

void ViewerSearch::SetSearch(const char16_t* text, const SearchOptions& options) {
  const uint32_t length = text != nullptr ? static_cast<uint32_t>(runtime::WideStrLen(text)) : 0;
  const uint32_t held = text_.Count() > 0 ? text_.Count() - 1 : 0;
  const bool sameText = length == held && (length == 0 || std::memcmp(text, text_.Data(), length * 2) == 0);
  if (!sameText) {
    // The viewer's pointer moves to the new copy before the old one goes.
    runtime::OwnedArray<char16_t> copy(viewer_.context, viewer_.context, length + 1);
    if (length != 0) std::memcpy(copy.Data(), text, length * sizeof(char16_t));
    copy[length] = u'\0';
    runtime::OwnedArray<char16_t>::Swap(copy, text_);
    viewer_.searchString = text_.Data();
    viewer_.searchFailed = true;
  }
  if (options.matchCase != options_.matchCase || options.wholeWord != options_.wholeWord ||
      options.backwards != options_.backwards) {
    viewer_.searchFailed = true;
  }
  options_ = options;
}

TextPosition ViewerSearch::StartPosition() {
  const int32_t first = source->FirstVisiblePage();
  const int32_t last = source->LastVisiblePage();
  TextPosition start;
  if (options_.backwards) {
    start = SearchJob::DocumentEnd(last + 1);
  } else {
    start.page = first > 0 ? first : 0;
  }
  const TextRange* shown = source->HighlightedMatch();
  if (shown != nullptr && first >= 0 && shown->start.page >= first && shown->start.page <= last) {
    // Just past the match shown, so that it is not found again.
    start = shown->start;
    start.after = options_.backwards ? 0 : 1;
  }
  return start;
}

bool ViewerSearch::Settled() const { return thread_ == nullptr || thread_->IsIdle() || thread_->AtMatch(); }

void ViewerSearch::ThreadGone(const SearchThread* thread) {
  if (thread_ == thread) thread_ = nullptr;
}

void ViewerSearch::RunJob(SearchThread* thread) {
  SearchJob* const job = job_;
  if (job == nullptr) return;
  bool found = false;
  runtime::ErrorTrap trap(viewer_.context);
  if (trap.Run([&] {
        found = job->Resume(*this);
        if (thread == nullptr) return;
        // The match stays shown until Find Next resumes the thread.
        while (found) {
          thread->WaitForResume();
          found = job->Resume(*this);
        }
      })) {
    viewer_.RestoreMainSoftKeys();
    if (!found) viewer_.ShowMatchCount(static_cast<int32_t>(job->MatchCount()));
    return;
  }
  trap.SetHandled();
  if (trap.Held().IsRuntime(runtime::kCancelled)) {
    // Cancelled: no message, but the busy keys and their busy level go.
    viewer_.RestoreMainSoftKeys();
    trap.Rethrow();
  }
  trap.Close();
  viewer_.ShowSearchError();
}

void ViewerSearch::Start() {
  runtime::LibraryContext* context = viewer_.context;
  if (context->scheduler == nullptr) {
    RunJob(nullptr);
    return;
  }
  auto* thread = runtime::NewObject<SearchThread>(context, context, *this);
  if (runtime::CoThread* old = viewer_.longOperation) {
    viewer_.longOperation = nullptr;
    runtime::ThreadHandle(context, old).Destroy();
  }
  viewer_.longOperation = thread;
  thread_ = thread;
  context->scheduler->StartThread(thread);
}

void ViewerSearch::FindNext() {
  runtime::CatchAllExceptCancel(viewer_.context, [&] {
    if (!viewer_.searchFailed && job_ != nullptr && !job_->Done()) {
      // The job waiting at a match goes on; one whose thread was
      // cancelled is started afresh from the pages on screen.
      if (thread_ != nullptr && !thread_->IsIdle()) {
        viewer_.ShowCancelSoftKeys();
        thread_->Resume();
        return;
      }
      if (viewer_.context->scheduler == nullptr) {
        viewer_.ShowCancelSoftKeys();
        RunJob(nullptr);
        return;
      }
    }
    if (source == nullptr) return;
    const uint32_t length = text_.Count() > 0 ? text_.Count() - 1 : 0;
    const TextPosition start = StartPosition();
    SearchJob* job = runtime::NewObject<SearchJob>(viewer_.context, viewer_.context, source->SearchDocument(),
                                                   source->SearchFonts(), source->SearchTextFonts(), start,
                                                   text_.Data(), length, options_);
    DropJob();
    job_ = job;
    viewer_.searchFailed = false;
    viewer_.ShowCancelSoftKeys();
    // A search that could not start leaves no busy keys behind.
    if (!runtime::CatchAllExceptCancel(viewer_.context, [&] { Start(); })) viewer_.RestoreMainSoftKeys();
  });
}

bool ViewerSearch::AskResumeFromStart() { return viewer_.AskResumeFromStart(); }
bool ViewerSearch::AskResumeFromEnd() { return viewer_.AskResumeFromEnd(); }

void ViewerSearch::ShowMatch(const TextRange& match) {
  // The soft keys come back while the match is shown.
  viewer_.RestoreMainSoftKeys();
  if (source == nullptr) return;
  // As a page-view request, so that the view moved onto the match is laid
  // out, drawn and reported now rather than at the next command.
  if (viewer_.pageView == nullptr) {
    source->ShowMatch(match);
    return;
  }
  viewer_.RunPageViewRequest([&] { source->ShowMatch(match); });
}

}  // namespace viewer
