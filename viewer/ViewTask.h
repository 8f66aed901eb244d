#pragma once
// One request for the page view, waiting in its task thread's list or
// running there. A task is made through the library context and freed by
// the thread once it has run (or by the list's owner when it never runs).
#include "runtime/ErrorRecord.h"

namespace viewer {

// What the one who posted a task learns of it: whether it ran, and the
// error it raised, if any. The task tells it when it ends either way.
struct ViewTaskOutcome {
  bool finished = false;
  bool ran = false;
  bool failed = false;
  runtime::ErrorRecord error;
};

class ViewTask {
 public:
  explicit ViewTask(ViewTaskOutcome* outcome = nullptr) : outcome_(outcome) {}
  // A task that never ran still tells its waiter it is over.
  virtual ~ViewTask() {
    if (outcome_ != nullptr) outcome_->finished = true;
  }
  ViewTask(const ViewTask&) = delete;
  ViewTask& operator=(const ViewTask&) = delete;

  virtual void Run() = 0;

  void MarkRan() {
    if (outcome_ != nullptr) outcome_->ran = true;
  }
  void MarkFailed(const runtime::ErrorRecord& error) {
    if (outcome_ == nullptr) return;
    outcome_->failed = true;
    outcome_->error = error;
  }

  ViewTask* next = nullptr;

 private:
  ViewTaskOutcome* outcome_;
};

// A task that calls a closure it holds by value.
template <class Body>
class ClosureViewTask final : public ViewTask {
 public:
  ClosureViewTask(Body body, ViewTaskOutcome* outcome) : ViewTask(outcome), body_(static_cast<Body&&>(body)) {}
  void Run() override { body_(); }

 private:
  Body body_;
};

}  // namespace viewer
