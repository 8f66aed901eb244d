#pragma once
// The commands a reflowed page leaves for its view, run when the view lays
// the page out: each can move its run's placed glyphs down the column, turn
// the placement offsets back into the run's own direction, and complete
// what the run could not know while the page was played. Besides the run
// views of text (RunView.h) there are two small ones: the shift of a
// picture's run and the repeat of a string drawn twice at one place.
#include <cstdint>

#include "runtime/Fixed.h"
#include "runtime/Matrix.h"

namespace content {

struct RunRecord;

class ReflowCommand {
 public:
  // Moves placement entries [first, last) of the run down the column by
  // -`delta` (y grows upwards); a `last` of 0 goes to the run's end.
  virtual void Shift(runtime::Fixed delta, uint32_t first, uint32_t last) = 0;
  // Turns the placement offsets of a run whose baseline was rotated to the
  // horizontal back into the run's own text space.
  virtual void Remap() = 0;
  // Completes the run from others once every run of the page is placed.
  virtual void Complete() = 0;

 protected:
  // Commands live in the model's arena and are never deleted through this
  // type.
  ~ReflowCommand() = default;
};

// A picture's run moves as a whole: a shift moves its placement matrix.
class RunShiftCommand final : public ReflowCommand {
 public:
  RunShiftCommand(RunRecord& run, const runtime::Matrix& view, bool recordsLines)
      : run_(run), view_(view), recordsLines_(recordsLines) {}

  void Shift(runtime::Fixed delta, uint32_t first, uint32_t last) override;
  void Remap() override {}
  void Complete() override {}

  RunRecord& Run() const { return run_; }
  const runtime::Matrix& View() const { return view_; }
  bool RecordsLines() const { return recordsLines_; }

 private:
  RunRecord& run_;
  runtime::Matrix view_;
  bool recordsLines_;
};

// A string drawn again over an earlier one (a fake bold) is not reflowed
// itself: once the earlier run is placed, the repeat takes its span,
// placement matrix and placement entries.
class RepeatCommand final : public ReflowCommand {
 public:
  // `repeated` may be null (a repeat before any run): nothing is taken.
  RepeatCommand(RunRecord& repeat, RunRecord* repeated);

  void Shift(runtime::Fixed, uint32_t, uint32_t) override {}
  void Remap() override {}
  void Complete() override;

  bool Done() const { return done_; }
  // The operation that draws the repeat (the run takes the repeated one's
  // span once completed) and the run it repeats (null for none).
  uint32_t RepeatOperation() const { return operation_; }
  const RunRecord* Repeated() const { return repeated_; }

 private:
  RunRecord& repeat_;
  RunRecord* repeated_;
  uint32_t operation_;
  bool done_ = false;
};

}  // namespace content
