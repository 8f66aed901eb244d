#pragma once
// What the document-open job asks of the viewer while it opens a protected
// document: a password typed by the user, what to do after a wrong one, and
// a localised message when the document cannot be opened. The viewer
// implements it; the job calls it from its cooperative thread, and the
// viewer carries each request out on the main stack.
#include <cstdint>

#include "runtime/OwnedBuffer.h"

namespace runtime {

class DocumentPrompts {
 public:
  // Stores the typed password (its bytes and a NUL) in `output`. True when
  // the user cancelled instead.
  virtual bool RequestPassword(OwnedBuffer* output) = 0;
  // After the `attempts`-th wrong password: true to ask again; false when
  // the viewer gave up (it has told the user).
  virtual bool OnPasswordRejected(uint32_t attempts) = 0;
  // Shows text `index` of the UI string table.
  virtual void ShowLocalizedMessage(uint32_t index) = 0;

 protected:
  ~DocumentPrompts() = default;
};

}  // namespace runtime
