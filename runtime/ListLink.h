#pragma once
// An intrusive singly linked list node that knows the pointer pointing at
// it, so it can unlink itself in constant time. The list is a plain head
// pointer. Subclasses react to list-wide notifications.
#include <cstdint>

namespace runtime {

class ListLink {
 public:
  ListLink() = default;
  virtual ~ListLink() { Unlink(); }
  ListLink(const ListLink&) = delete;
  ListLink& operator=(const ListLink&) = delete;

  // Links at the head of the list, or at its tail when `atTail` is set.
  // A node already on a list leaves it first.
  void Link(ListLink** head, bool atTail = false);
  // Harmless when not linked.
  void Unlink();
  bool IsLinked() const { return backLink_ != nullptr; }
  ListLink* Next() const { return next_; }

  // Notifies every node, unlinking each afterwards.
  static void DetachAll(ListLink** head);
  // Notifies every node, clears `pending`, then lets every node settle.
  static void NotifyListTwoPass(ListLink* head, uint8_t* pending);

 protected:
  // The list-wide notification (for DetachAll and the first pass).
  virtual void OnListEvent() {}
  // The second pass of NotifyListTwoPass.
  virtual void AfterListEvent() {}

 private:
  ListLink** backLink_ = nullptr;
  ListLink* next_ = nullptr;
};

}  // namespace runtime
