#include "runtime/Task.h"

#include "runtime/TransientBlocks.h"

namespace runtime {

Task::Task(LibraryContext* owner) : done(owner), context(owner) {}

Task::~Task() { Unqueue(); }

void Task::Release() {
  if (--references == 0) DeleteSelf();
}

void Task::Unqueue() {
  if (backLink == nullptr) return;
  *backLink = nextTask;
  if (nextTask != nullptr) nextTask->backLink = backLink;
  nextTask = nullptr;
  backLink = nullptr;
}

void Task::DeleteSelf() { DestroyAndFree(context, this); }

}  // namespace runtime
