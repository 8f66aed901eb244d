#pragma once
// A piece of work a cooperative thread hands to the main thread: posted to
// the scheduler, run by its run loop on the main stack, and signalled
// through the task's event when done. Counted: the poster and the queue
// each hold a reference.
#include <cstdint>

#include "runtime/ErrorRecord.h"
#include "runtime/Event.h"

namespace runtime {

class LibraryContext;

class Task {
 public:
  explicit Task(LibraryContext* context);
  virtual ~Task();
  Task(const Task&) = delete;
  Task& operator=(const Task&) = delete;

  // The work, on the main stack. An error it raises is kept in `error`
  // (with `failed` set) for the poster; the event is set either way.
  virtual void Run(LibraryContext* context) = 0;

  void AddRef() { ++references; }
  // At zero, DeleteSelf.
  void Release();
  // Takes the task out of the scheduler's queue, if it is in it.
  void Unqueue();

  // Set once the task has run.
  Event done;
  bool failed = false;
  ErrorRecord error;
  int32_t references = 1;
  Task* nextTask = nullptr;
  Task** backLink = nullptr;
  LibraryContext* context;

 protected:
  // Destroys the task and frees its block (tasks are built with NewObject).
  virtual void DeleteSelf();
};

}  // namespace runtime
