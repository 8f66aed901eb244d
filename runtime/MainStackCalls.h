#pragma once
// Host requests made from any cooperative thread and carried out on the
// main thread's stack, where host windows may be touched. An error raised
// there is carried back and raised again on the calling thread.
#include "runtime/ErrorTrap.h"
#include "runtime/HostServices.h"

namespace runtime {

class HostWindow;
class LibraryContext;

struct SetRectRecord {
  HostWindow* window;
  HostRect rect;
};
struct SetTextRecord {
  HostWindow* window;
  const char16_t* text;
};

// Reads record->window's rectangle into record->rect. A null window does
// nothing.
void CallGetRectOnMain(LibraryContext* context, SetRectRecord* record);
// Places record->window at record->rect. A null window does nothing.
void CallSetRectOnMain(LibraryContext* context, SetRectRecord* record);
// Sets record->window's text. A null window does nothing.
void CallSetTextOnMain(LibraryContext* context, SetTextRecord* record);

// Runs `body` and swallows every error it raises but cancellation, which
// goes on to the enclosing trap: for requests whose failure must not end
// the caller's work (a message that could not be shown).
template <class Body>
void RunIgnoringErrors(LibraryContext* context, Body&& body) {
  CatchAllExceptCancel(context, std::forward<Body>(body));
}

}  // namespace runtime
