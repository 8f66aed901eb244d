#include "runtime/MessageQueue.h"

#include "runtime/TransientBlocks.h"

namespace runtime {

MessageQueue::MessageQueue(LibraryContext* owner) : event(owner), context(owner) {}

MessageQueue::~MessageQueue() {
  while (QueuedItem* item = Take()) DestroyAndFree(context, item);
}

void MessageQueue::Post(QueuedItem*& pending) {
  QueuedItem* item = pending;
  pending = nullptr;
  if (item != nullptr) {
    item->nextItem = nullptr;
    *lastLink = item;
    lastLink = &item->nextItem;
  }
  event.Set();
}

QueuedItem* MessageQueue::Take() {
  QueuedItem* item = first;
  if (item == nullptr) return nullptr;
  first = item->nextItem;
  if (first == nullptr) lastLink = &first;
  item->nextItem = nullptr;
  return item;
}

QueuedItem* MessageQueue::WaitForItem() {
  // A set left over from items already taken is consumed and waited past.
  while (first == nullptr) event.Wait();
  return Take();
}

}  // namespace runtime
