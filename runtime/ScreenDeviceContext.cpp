#include "runtime/ScreenDeviceContext.h"

#include "platform/Gdi.h"

namespace runtime {

ScreenDeviceContext::ScreenDeviceContext() : dc_(platform::CreateCompatibleDC(nullptr)) {
  if (dc_ == nullptr) return;
  platform::SetTextColor(dc_, kScreenDcTextColor);
  platform::SetBkColor(dc_, kScreenDcBackColor);
}

ScreenDeviceContext::~ScreenDeviceContext() {
  if (dc_ != nullptr) platform::DeleteDC(dc_);
}

}  // namespace runtime
