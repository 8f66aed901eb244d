// The probe: the library on the command line, for tests, benchmarks and
// debugging. Errors go to stderr with their domain and code.
#include <cstdio>
#include <cstring>
#include <string>

#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/MemoryContext.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: probe selftest\n");
  return 2;
}

// Shows that the runtime stands: an error thrown through a trap with a
// registered cleanup, and the memory account after it.
int SelfTest() {
  runtime::LibraryContext context;
  context.memory.SetBudget(runtime::kNoLimit);
  runtime::ErrorTrap trap(&context);
  if (!trap.Run([&] {
        void* block = runtime::AllocOrThrow(&context, 4096);
        std::printf("allocated 4096 bytes, in use %llu\n",
                    static_cast<unsigned long long>(context.memory.bytesInUse));
        context.memory.Free(block);
        runtime::ThrowRuntime(runtime::kMalformed);
      })) {
    trap.SetHandled();
    std::printf("caught %s %u\n", trap.Held().domain, trap.Held().code);
    trap.Close();
  }
  std::printf("in use after: %llu\n", static_cast<unsigned long long>(context.memory.bytesInUse));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  std::string command = argv[1];
  if (command == "selftest") return SelfTest();
  return Usage();
}
