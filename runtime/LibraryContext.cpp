#include "runtime/LibraryContext.h"

namespace runtime {
namespace {

LibraryContext* g_defaultContext = nullptr;

}  // namespace

LibraryContext::LibraryContext() {
  memory.owner = this;
  SetDefaultContext(this);
}

LibraryContext::~LibraryContext() {
  if (g_defaultContext == this) SetDefaultContext(nullptr);
}

LibraryContext* GetDefaultContext() { return g_defaultContext; }

void SetDefaultContext(LibraryContext* context) { g_defaultContext = context; }

}  // namespace runtime
