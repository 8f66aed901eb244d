#pragma once
// The document's text job: one page played on a cooperative thread of its
// own into a TextForwardingHandler, which hands the characters of the
// client's range to the client and pauses the page once the range's end
// has been shown. Asking for a range that goes on from the pause resumes
// the same thread; any other range starts the page again.
#include <cstdint>
#include <string_view>

#include "runtime/ErrorRecord.h"
#include "runtime/Event.h"
#include "runtime/TextPosition.h"
#include "runtime/ThreadHandle.h"

namespace pdf {
class Document;
}

namespace content {

class FontSource;
class TextFontSource;
class TextRun;

// What the job hands text to. Every call carries the position of the
// character, glyph or string it is about.
class TextJobClient {
 public:
  virtual ~TextJobClient() = default;
  // The text wanted; null when none.
  virtual const runtime::TextRange* Range() const = 0;
  // The job starts the page again: results of an earlier run are void.
  virtual void ClearResults() {}
  // The range's end has been shown and the job pauses.
  virtual void RangeReached(const runtime::TextRange&) {}
  virtual int BeginString(const runtime::TextPosition&, bool /*isRepeat*/, bool /*hasUnicode*/, bool /*visible*/) {
    return 1;
  }
  virtual void EndString(const runtime::TextPosition&) {}
  virtual int BeginGlyphs(const runtime::TextPosition&, const TextRun&, bool /*isLastString*/, bool /*newBlock*/) {
    return 1;
  }
  virtual void EndGlyphs(const runtime::TextPosition&, bool /*stopped*/) {}
  virtual int BeginGlyph(const runtime::TextPosition&, bool /*isLast*/, bool /*isFirst*/) { return 1; }
  virtual void EndGlyph(const runtime::TextPosition&) {}
  virtual void OnChar(const runtime::TextPosition& position, uint32_t code, bool isLast, bool isFirst) = 0;
  virtual uint32_t ClassifyWideGap();
  virtual int AllowsRubyTest() { return 1; }
  virtual void PaintPath(const runtime::TextPosition&) {}
  virtual void DoXObject(const runtime::TextPosition&, std::string_view) {}
  virtual void PaintImage(const runtime::TextPosition&) {}
};

class TextJob {
 public:
  TextJob(runtime::LibraryContext* owner, pdf::Document& document, int32_t pageIndex, FontSource* fonts,
          TextFontSource* textFonts, TextJobClient& client, uint32_t option = 0);
  TextJob(const TextJob&) = delete;
  TextJob& operator=(const TextJob&) = delete;

  // Runs the page until the client's range end has been shown or the page
  // ends, resuming the paused thread when the range goes on from the
  // pause. Must be called on a cooperative thread (it waits). An error of
  // the page is raised here, and its thread is dropped.
  void Continue();
  // A job thread exists and has not ended.
  bool IsRunning() const;
  // On the job thread: stores the position, tells the client, and waits
  // until the asker resumes the job.
  void PauseAtRangeEnd(const runtime::TextPosition& position);

  TextJobClient& Client() { return client_; }
  const runtime::TextPosition& StoredPosition() const { return stored_; }
  uint32_t Option() const { return option_; }

 private:
  friend class TextJobThread;
  // The job thread's work: plays the page; signals `paused_` at its end.
  void RunPage();

  runtime::LibraryContext* owner_;
  pdf::Document& document_;
  int32_t pageIndex_;
  FontSource* fonts_;
  TextFontSource* textFonts_;
  TextJobClient& client_;
  uint32_t option_;
  runtime::TextPosition stored_;
  runtime::Event paused_;
  runtime::Event resume_;
  runtime::ThreadHandle thread_;
  bool ended_ = true;
  bool hasError_ = false;
  runtime::ErrorRecord error_{};
};

}  // namespace content
