#pragma once
// Builds the machine that plays a page: its content streams read as one,
// with the resources the page has or inherits through the page tree.
#include "content/ContentMachine.h"
#include "runtime/ObjectHandle.h"
#include "streams/DataStream.h"

namespace pdf {
class Document;
}

namespace content {

class Page {
 public:
  // A machine over `content` with the page's resources. Null when memory
  // runs out while it is built; other errors are raised.
  static ContentMachine* MakeMachine(pdf::Document& document, const runtime::ObjectHandle& page,
                                     streams::DataStreamRef content);
  // MakeMachine over the page's own "Contents".
  static ContentMachine* NewMachine(pdf::Document& document, const runtime::ObjectHandle& page);
};

}  // namespace content
