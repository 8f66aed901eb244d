#pragma once
// A cooperative thread that runs a job object: the text jobs and other
// library work that needs a stack of its own.
#include <cstdint>

#include "runtime/CoThread.h"

namespace runtime {

class LibraryContext;

// The work of a job thread, run on the thread's own stack.
class Job {
 public:
  virtual void Run(LibraryContext* context) = 0;

 protected:
  ~Job() = default;
};

class JobThread : public CoThread {
 public:
  // A thread with an arena of 4096-byte blocks (1024-byte threshold) and a
  // stack of `stackSize` bytes; `job` stays the caller's.
  JobThread(LibraryContext* context, Job* job, uint32_t stackSize)
      : CoThread(context, kJobArenaBlockBytes, kJobArenaThreshold, stackSize), job_(job) {}

  void Run(LibraryContext* context) override {
    if (job_ != nullptr) job_->Run(context);
  }

 private:
  Job* job_;
};

}  // namespace runtime
