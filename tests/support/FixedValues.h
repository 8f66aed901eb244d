#pragma once
// Writing 16.16 test values as decimals: F(1.5) is 0x18000. Values are
// truncated toward zero like the library's own float conversion.
#include "runtime/Fixed.h"

namespace testsupport {

constexpr runtime::Fixed F(double v) { return static_cast<runtime::Fixed>(v * 65536.0); }

}  // namespace testsupport
