#pragma once
// Playback of a recorded program into a content handler. The program is
// pulled from the parser as playback reaches its end; q/Q and BT/ET play
// as nested spans; every operation is charged to the thread's work budget.
#include <cstdint>
#include <string_view>

#include "content/ContentHandler.h"
#include "content/ContentMachine.h"
#include "content/FormCache.h"
#include "runtime/OperatorTrace.h"

namespace content {

class ContentStream {
 public:
  // Plays the whole program into `handler`, then raises the error the
  // parser stored, if any.
  static void Run(ContentMachine& machine, ContentHandler& handler);
  // Run for text extraction: the extraction's stop signal (the
  // "TextExtract" error of code 0) ends the run normally, and what the
  // handler gathered up to it stays with the handler; every other error
  // passes on unchanged.
  static void RunCatchingTextExtractStop(ContentMachine& machine, ContentHandler& handler);
  // The parsed program of a form XObject, from the document's form cache
  // (parsed on a miss); `out` holds it while it plays.
  static ContentMachine& ForForm(FormCache::Ref& out, FormCache& cache, pdf::Document& document,
                                 const runtime::ObjectHandle& form, const runtime::ObjectHandle* enclosing);

  // Plays from the cursor to the end of `span` (its `Q`, its `ET`, or the
  // end of the program).
  void PlaySpan(Span& span);
  // Plays a text span that has been played once again from its start, with
  // the repeat cache as it was then; the cursor and the cache are back
  // where they were afterwards.
  void ReplaySpan(const Span& span);

  ContentMachine& Machine() { return machine_; }
  ContentHandler& Handler() { return handler_; }
  ProgramCursor& Cursor() { return cursor_; }
  runtime::OperatorTrace& Cache() { return trace_; }

 private:
  ContentStream(ContentMachine& machine, ContentHandler& handler);

  // True when the span has ended.
  bool Play(Span& span, int32_t cost);
  bool PlayCode(uint8_t code, Span& span);
  void PlayOperation(uint8_t code);
  void PlayObject();
  void PlayPath();

  uint8_t ReadByte();
  uint32_t ReadWord();
  runtime::Fixed ReadFixed() { return static_cast<runtime::Fixed>(ReadWord()); }
  std::string_view ReadName();
  runtime::Matrix ReadMatrix();

  ContentMachine& machine_;
  ContentHandler& handler_;
  runtime::OperatorTrace trace_;
  ProgramCursor cursor_;
  // Where the current shared box of paths kept by reference is.
  uint32_t sharedBoxWord_ = UINT32_MAX;
};

}  // namespace content
