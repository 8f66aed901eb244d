#pragma once
// The busy state held by a job for as long as it runs: BeginBusy at
// construction, EndBusy when the holder goes, also when an error or a kill
// unwinds the job, so that a cancelled job never leaves the wait cursor up.
#include <cstdint>

#include "runtime/CleanupNode.h"

namespace viewer {

class Viewer;

class BusyHold {
 public:
  BusyHold(Viewer* viewer, uint8_t reason);
  ~BusyHold() { Release(&node_); }
  BusyHold(const BusyHold&) = delete;
  BusyHold& operator=(const BusyHold&) = delete;

 private:
  static void Release(runtime::CleanupNode* node);

  runtime::CleanupNode node_;  // first: the cleanup finds the holder from it
  Viewer* viewer_;
  uint8_t reason_;
};

}  // namespace viewer
