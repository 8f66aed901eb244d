#pragma once
// A holder of at most one value in inline storage: empty, or pointing at
// its own slot. Assigning over a held value assigns in place; emptying it
// runs the value's destructor.
#include <memory>
#include <new>
#include <utility>

namespace runtime {

template <class T>
class Optional {
 public:
  Optional() = default;
  Optional(const Optional& source) { CopyFrom(source); }
  Optional& operator=(const Optional& source) {
    if (this != &source) CopyFrom(source);
    return *this;
  }
  ~Optional() { Reset(); }

  // Copies a value into the holder.
  T& Assign(const T& value) { return Emplace(value); }
  // Builds the held value from the arguments: over a value already held it
  // assigns a temporary, otherwise it constructs in the inline slot.
  template <class... Args>
  T& Emplace(Args&&... args) {
    if (value_ != nullptr) {
      *value_ = T(std::forward<Args>(args)...);
    } else {
      value_ = ::new (static_cast<void*>(&slot_)) T(std::forward<Args>(args)...);
    }
    return *value_;
  }
  // A null source leaves the holder empty, else its value is copied in.
  void CopyFrom(const Optional& source) {
    if (source.value_ == nullptr) {
      Reset();
    } else {
      Emplace(*source.value_);
    }
  }
  void Reset() {
    if (value_ == nullptr) return;
    std::destroy_at(value_);
    value_ = nullptr;
  }

  // Exchanges the values (or absences) of two holders through a copy.
  static void Swap(Optional& a, Optional& b) {
    if (&a == &b) return;
    Optional held(a);
    a.CopyFrom(b);
    b.CopyFrom(held);
  }
  // Takes one holder's value out of a pair and empties both: the pair's
  // other value is dropped. The result is a copy, made before anything is
  // emptied.
  static Optional TakeFirst(Optional& a, Optional& b) { return TakeOne(a, a, b); }
  static Optional TakeSecond(Optional& a, Optional& b) { return TakeOne(b, a, b); }

  bool HasValue() const { return value_ != nullptr; }
  T* Get() { return value_; }
  const T* Get() const { return value_; }
  T& operator*() { return *value_; }
  const T& operator*() const { return *value_; }
  T* operator->() { return value_; }
  const T* operator->() const { return value_; }

 private:
  static Optional TakeOne(const Optional& chosen, Optional& a, Optional& b) {
    Optional result(chosen);
    a.Reset();
    b.Reset();
    return result;
  }

  T* value_ = nullptr;
  alignas(T) unsigned char slot_[sizeof(T)];
};

}  // namespace runtime
