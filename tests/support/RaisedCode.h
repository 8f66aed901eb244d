#pragma once
// Runs a body inside an error trap and reports the runtime code it raised.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

#include "runtime/ErrorTrap.h"

namespace testsupport {

// The code of the runtime-domain error `body` raised, or nothing when it
// finished. An error of another domain fails the test.
template <class Body>
std::optional<uint32_t> RaisedCode(Body&& body) {
  runtime::ErrorTrap trap;
  if (trap.Run(body)) return std::nullopt;
  trap.SetHandled();
  const uint32_t code = trap.Held().code;
  EXPECT_STREQ(trap.Held().domain, runtime::kRuntimeDomain);
  trap.Close();
  return code;
}

}  // namespace testsupport
