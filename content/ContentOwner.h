#pragma once
// Builds the machine that plays a content owner's stream: a form XObject,
// pattern or glyph procedure, with the resources it carries itself. Pages
// find theirs through the page tree instead (content::Page).
//
//   ContentMachine* machine = ContentOwner::NewMachine(document, form, &pageResources);
//   if (machine == nullptr) ...  // no memory
//   MachineHolder holder(context, machine);
#include "content/ContentMachine.h"
#include "runtime/CleanupNode.h"
#include "runtime/ObjectHandle.h"
#include "streams/DataStream.h"

namespace pdf {
class Document;
}

namespace content {

class ContentOwner {
 public:
  // A machine over `content` with `owner`'s own "Resources", or
  // `enclosing` (may be null) when it has none or they are no dictionary.
  // Null when memory runs out while it is built, with everything built so
  // far released; other errors are raised.
  static ContentMachine* MakeMachine(pdf::Document& document, const runtime::ObjectHandle& owner,
                                     streams::DataStreamRef content,
                                     const runtime::ObjectHandle* enclosing = nullptr);
  // MakeMachine over the owner's own stream data.
  static ContentMachine* NewMachine(pdf::Document& document, const runtime::ObjectHandle& owner,
                                    const runtime::ObjectHandle* enclosing = nullptr);

  // Runs `build` (which returns a machine built with NewObject); null when
  // it runs out of memory, any other error raised again.
  template <class Build>
  static ContentMachine* BuildOrNone(runtime::LibraryContext* context, Build&& build);
};

// Frees a machine however its playback ends.
class MachineHolder {
 public:
  MachineHolder(runtime::LibraryContext* context, ContentMachine* machine)
      : context_(context), machine_(machine) {
    node_.Register(context, &Cleanup);
  }
  ~MachineHolder() {
    Release();
    node_.Unlink();
  }
  MachineHolder(const MachineHolder&) = delete;
  MachineHolder& operator=(const MachineHolder&) = delete;

  ContentMachine* Get() const { return machine_; }
  // Hands the machine over to another owner: it is no longer freed here.
  void Forget() { machine_ = nullptr; }

 private:
  static void Cleanup(runtime::CleanupNode* node);
  void Release();

  // First: the cleanup finds the holder from it.
  runtime::CleanupNode node_;
  runtime::LibraryContext* context_;
  ContentMachine* machine_;
};

}  // namespace content

#include "runtime/ErrorTrap.h"

namespace content {

template <class Build>
ContentMachine* ContentOwner::BuildOrNone(runtime::LibraryContext* context, Build&& build) {
  ContentMachine* machine = nullptr;
  runtime::ErrorTrap trap(context);
  if (!trap.Run([&] { machine = build(); })) {
    trap.SetHandled();
    if (!trap.HoldsRecord() || !trap.Held().IsRuntime(runtime::kOutOfMemory)) trap.Rethrow();
    trap.Close();
    return nullptr;
  }
  return machine;
}

}  // namespace content
