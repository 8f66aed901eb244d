#pragma once
// Keeps the text being read in place for a page view through the changes
// it makes itself (a new window size, a new layout mode): the view asks
// for the position before the change and for its return after it.
namespace viewer {

class ReadingPositionKeeper {
 public:
  // Records the first character in the window and where it shows.
  virtual void RecordReadingPosition() = 0;
  // Puts the recorded character back at its place in the window (at the
  // next layout); nothing when none was recorded.
  virtual void RestoreReadingPosition() = 0;

 protected:
  ~ReadingPositionKeeper() = default;
};

}  // namespace viewer
