#pragma once
// Runs a body in a trap and returns the error it raised, if any, so that a
// test can compare domain and code in one expression.
#include <optional>
#include <utility>

#include "runtime/ErrorTrap.h"

namespace testsupport {

template <class Body>
std::optional<runtime::ErrorRecord> CaughtError(runtime::LibraryContext* context, Body&& body) {
  runtime::ErrorTrap trap(context);
  if (trap.Run(std::forward<Body>(body))) return std::nullopt;
  trap.SetHandled();
  runtime::ErrorRecord held = trap.Held();
  trap.Close();
  return held;
}

// The runtime-domain code a body raised, or -1 when it finished.
template <class Body>
long RuntimeCodeOf(runtime::LibraryContext* context, Body&& body) {
  std::optional<runtime::ErrorRecord> error = CaughtError(context, std::forward<Body>(body));
  if (!error) return -1;
  return error->IsRuntime(error->code) ? static_cast<long>(error->code) : -2;
}

}  // namespace testsupport
