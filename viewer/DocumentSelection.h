#pragma once
// The open document's selection: one range of its text, set by the pen's
// text selection and by search to show a match. Listeners (the page view)
// hear of every change twice, before and after, so that they can repaint
// the old range and then the new one.
#include <cstdint>

#include "runtime/TextPosition.h"

namespace viewer {

class SelectionListener {
 public:
  // Before the selection changes (the old range is still held).
  virtual void BeforeSelectionChange() = 0;
  // After it changed.
  virtual void AfterSelectionChange() = 0;

 protected:
  ~SelectionListener() = default;
};

class DocumentSelection {
 public:
  static constexpr uint32_t kMaxListeners = 4;

  // A range equal to the one held (both positions equal) tells nobody.
  void Set(const runtime::TextRange& range);
  // Clears the selection, telling the listeners either way.
  void Clear();
  bool Has() const { return has_; }
  const runtime::TextRange& Range() const { return range_; }

  // False when the list is full.
  bool AddListener(SelectionListener* listener);
  void RemoveListener(SelectionListener* listener);

 private:
  void NotifyBefore();
  void NotifyAfter();

  bool has_ = false;
  runtime::TextRange range_;
  SelectionListener* listeners_[kMaxListeners] = {};
  uint32_t listenerCount_ = 0;
};

}  // namespace viewer
