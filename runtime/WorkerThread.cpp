#include "runtime/WorkerThread.h"

#include "runtime/TransientBlocks.h"

namespace runtime {

WorkerThread* WorkerThread::Start(LibraryContext* context, ThreadState** ring) {
  // No memory is an answer here, not an error: the caller goes on without
  // a worker.
  WorkerThread* worker = TryNewObject<WorkerThread>(context, context);
  if (worker != nullptr) worker->MoveToRing(ring);
  return worker;
}

}  // namespace runtime
