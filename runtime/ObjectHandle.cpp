#include "runtime/ObjectHandle.h"

#include <utility>

#include "runtime/ErrorTrap.h"
#include "runtime/ValueStore.h"

namespace runtime {
namespace {

void CountUp(ValueStore* store) {
  if (store != nullptr) ValueStoreCount::CountUp(store);
}

void CountDown(LibraryContext* context, ValueStore* store) {
  if (store != nullptr && ValueStoreCount::CountDown(store)) {
    ValueStore::DeleteShared(context, store);
  }
}

}  // namespace

ObjectHandle::ObjectHandle() { node_.Register(nullptr, &Cleanup); }

ObjectHandle::ObjectHandle(LibraryContext* context, const ObjectValue* value, ValueStore* store,
                           ReferenceResolver* owner)
    : value_(value), store_(store), context_(context), owner_(owner) {
  CountUp(store_);
  node_.Register(context_, &Cleanup);
}

ObjectHandle::~ObjectHandle() {
  Release();
  node_.Unlink();
}

ObjectHandle::ObjectHandle(const ObjectHandle& other)
    : value_(other.value_), store_(other.store_), context_(other.context_),
      owner_(other.owner_) {
  CountUp(store_);
  node_.Register(context_, &Cleanup);
}

ObjectHandle::ObjectHandle(ObjectHandle&& other) noexcept
    : value_(std::exchange(other.value_, nullptr)),
      store_(std::exchange(other.store_, nullptr)),
      context_(other.context_),
      owner_(other.owner_) {
  node_.Register(context_, &Cleanup);
}

ObjectHandle& ObjectHandle::operator=(const ObjectHandle& other) {
  // Up before down, so that assigning a handle to itself or to another
  // handle in the same store never frees the store on the way.
  CountUp(other.store_);
  ValueStore* outgoing = std::exchange(store_, other.store_);
  LibraryContext* outgoingContext = std::exchange(context_, other.context_);
  value_ = other.value_;
  owner_ = other.owner_;
  CountDown(outgoingContext, outgoing);
  return *this;
}

ObjectHandle& ObjectHandle::operator=(ObjectHandle&& other) noexcept {
  if (this == &other) return *this;
  ValueStore* outgoing = std::exchange(store_, std::exchange(other.store_, nullptr));
  LibraryContext* outgoingContext = std::exchange(context_, other.context_);
  value_ = std::exchange(other.value_, nullptr);
  owner_ = other.owner_;
  CountDown(outgoingContext, outgoing);
  return *this;
}

void ObjectHandle::Swap(ObjectHandle& a, ObjectHandle& b) {
  // Pointer exchange: no count changes, so nothing can die on the way.
  std::swap(a.value_, b.value_);
  std::swap(a.store_, b.store_);
  std::swap(a.context_, b.context_);
  std::swap(a.owner_, b.owner_);
}

void ObjectHandle::Release() {
  value_ = nullptr;
  CountDown(context_, std::exchange(store_, nullptr));
}

void ObjectHandle::Cleanup(CleanupNode* node) {
  static_assert(std::is_standard_layout_v<ObjectHandle>, "the node must start the handle");
  auto* self = reinterpret_cast<ObjectHandle*>(node);
  self->Release();
  node->Unlink();
}

ObjectHandle ObjectHandle::Sibling(const ObjectValue* value) const {
  return ObjectHandle(context_, value, store_, owner_);
}

ObjectHandle ObjectHandle::Resolved() const {
  const ObjectValue& value = Value();
  if (value.tag != ObjectTag::kReference || owner_ == nullptr) return *this;
  return owner_->Resolve(context_, value.AsReference());
}

ObjectHandle ObjectHandle::AsDictionary() const {
  Value().AsDictionary();
  return *this;
}

ObjectHandle ObjectHandle::AsArray() const {
  Value().AsArray();
  return *this;
}

ObjectHandle ObjectHandle::AsName() const {
  Value().AsName();
  return *this;
}

ObjectHandle ObjectHandle::AsString() const {
  Value().AsString();
  return *this;
}

}  // namespace runtime
