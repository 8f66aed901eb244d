#pragma once
// What a test's factory does on each build of a cache's item: counts it,
// gives another thread's turn once when one is set (as a factory that
// yields would), and fails when asked to.
#include <functional>
#include <utility>

#include "runtime/ErrorTrap.h"

namespace pdftest {

struct BuildScript {
  int built = 0;
  bool fail = false;
  std::function<void()> during;

  // Called at the start of a build.
  void Step() {
    ++built;
    if (during) {
      std::function<void()> run = std::move(during);
      during = nullptr;
      run();
    }
    if (fail) runtime::ThrowRuntime(runtime::kMalformed);
  }
};

}  // namespace pdftest
