#include "runtime/ListLink.h"

namespace runtime {

void ListLink::Link(ListLink** head, bool atTail) {
  Unlink();
  ListLink** slot = head;
  if (atTail) {
    while (*slot != nullptr) slot = &(*slot)->next_;
  }
  next_ = *slot;
  if (next_ != nullptr) next_->backLink_ = &next_;
  backLink_ = slot;
  *slot = this;
}

void ListLink::Unlink() {
  if (backLink_ == nullptr) return;
  *backLink_ = next_;
  if (next_ != nullptr) next_->backLink_ = backLink_;
  backLink_ = nullptr;
  next_ = nullptr;
}

void ListLink::DetachAll(ListLink** head) {
  while (*head != nullptr) {
    ListLink* node = *head;
    node->OnListEvent();
    // The notification may have unlinked the node itself.
    if (*head == node) node->Unlink();
  }
}

void ListLink::NotifyListTwoPass(ListLink* head, uint8_t* pending) {
  // Each next pointer is read before the call, which may unlink the node.
  for (ListLink* node = head; node != nullptr;) {
    ListLink* next = node->next_;
    node->OnListEvent();
    node = next;
  }
  if (pending != nullptr) *pending = 0;
  for (ListLink* node = head; node != nullptr;) {
    ListLink* next = node->next_;
    node->AfterListEvent();
    node = next;
  }
}

}  // namespace runtime
