#pragma once
// A piece of document work handed to a worker: made from its description,
// linked to the worker that is to do it and posted on that worker's queue.
//
//   WorkerRequest::Description what{kLoadPage, 12, nullptr};
//   if (!WorkerRequest::Post(document, worker, queue, what)) ...  // no memory
#include <cstdint>

#include "runtime/MessageQueue.h"

namespace runtime {
class WorkerThread;
}

namespace pdf {

class Document;

class WorkerRequest final : public runtime::QueuedItem {
 public:
  struct Description {
    uint32_t kind = 0;
    int32_t page = -1;
    void* argument = nullptr;
  };

  WorkerRequest(runtime::WorkerThread* worker, const Description& description)
      : worker(worker), description(description) {}

  // Allocates a request from the document's memory, links it to `worker`
  // and posts it on `queue`. False, with nothing posted, when there is no
  // memory for it.
  static bool Post(Document& document, runtime::WorkerThread& worker,
                   runtime::MessageQueue& queue, const Description& description);

  runtime::WorkerThread* worker;
  Description description;
};

}  // namespace pdf
