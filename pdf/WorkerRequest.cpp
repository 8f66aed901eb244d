#include "pdf/WorkerRequest.h"

#include "pdf/Document.h"
#include "runtime/TransientBlocks.h"

namespace pdf {

bool WorkerRequest::Post(Document& document, runtime::WorkerThread& worker,
                         runtime::MessageQueue& queue, const Description& description) {
  // No memory is an answer here: the caller tries again later or does the
  // work itself.
  runtime::QueuedItem* request =
      runtime::TryNewObject<WorkerRequest>(document.Context(), &worker, description);
  if (request == nullptr) return false;
  queue.Post(request);
  return true;
}

}  // namespace pdf
