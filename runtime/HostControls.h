#pragma once
// The host's controls that the viewer makes through HostServices beyond
// plain windows: the bookmark tree, the page-number edit box and timers.
#include <cstdint>

#include "runtime/HostWindow.h"

namespace runtime {

// The bookmark tree.
class HostTreeView : public HostWindow {
 public:
  // Removes every item.
  virtual void Clear() {}
};

// A one-line edit box (the page number).
class HostEdit : public HostWindow {
 public:
  // The text typed into the box, valid until the next call; empty when
  // the host cannot read it.
  virtual const char16_t* TypedText() { return u""; }
};

// A running host timer; its callback fires on the UI thread until the
// timer goes back to HostServices::DestroyTimer.
class HostTimer {
 public:
  virtual ~HostTimer() = default;
};

}  // namespace runtime
