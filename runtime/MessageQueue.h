#pragma once
// A queue of items handed from one cooperative thread to another. Posting
// takes the item from the sender and sets the queue's event, which wakes a
// receiver blocked in WaitForItem.
#include "runtime/Event.h"

namespace runtime {

class LibraryContext;

// Base of anything posted to a MessageQueue; built with NewObject on the
// queue's context, so that the queue can destroy what nobody took.
class QueuedItem {
 public:
  virtual ~QueuedItem() = default;
  QueuedItem* nextItem = nullptr;
};

class MessageQueue {
 public:
  explicit MessageQueue(LibraryContext* context);
  // Destroys and frees the items nobody took.
  ~MessageQueue();
  MessageQueue(const MessageQueue&) = delete;
  MessageQueue& operator=(const MessageQueue&) = delete;

  // Takes the sender's pending item (clearing the sender's pointer),
  // appends it to the queue and sets the event. A null item only sets it.
  void Post(QueuedItem*& pending);
  // The oldest item, now owned by the caller; null when the queue is empty.
  QueuedItem* Take();
  // Blocks until an item is queued, then takes it.
  QueuedItem* WaitForItem();
  bool IsEmpty() const { return first == nullptr; }

  Event event;
  QueuedItem* first = nullptr;
  QueuedItem** lastLink = &first;
  LibraryContext* context;
};

}  // namespace runtime
