#include "content/ContentOwner.h"

#include "pdf/Document.h"
#include "pdf/ResourceScope.h"
#include "pdf/StreamObject.h"
#include "runtime/Dictionary.h"
#include "runtime/TransientBlocks.h"

namespace content {

using runtime::ObjectHandle;

ContentMachine* ContentOwner::MakeMachine(pdf::Document& document, const ObjectHandle& owner,
                                          streams::DataStreamRef content,
                                          const ObjectHandle* enclosing) {
  runtime::LibraryContext* context = document.Context();
  return BuildOrNone(context, [&] {
    ObjectHandle own;
    if (owner.Tag() == runtime::ObjectTag::kDictionary) {
      own = runtime::Dictionary::Get(owner, "Resources").Resolved();
    }
    // Resources of the wrong kind are read as none: the content may still
    // draw what needs no resources.
    const ObjectHandle resources =
        own.IsNull() || own.Tag() == runtime::ObjectTag::kDictionary
            ? pdf::ResourceScope(enclosing, owner).Resources()
            : (enclosing != nullptr ? *enclosing : ObjectHandle());
    ContentMachine* machine = runtime::NewObject<ContentMachine>(
        context, context, &document, std::move(content), resources);
    machine->SetStructParents(ContentMachine::StructParentsOf(owner));
    return machine;
  });
}

ContentMachine* ContentOwner::NewMachine(pdf::Document& document, const ObjectHandle& owner,
                                         const ObjectHandle* enclosing) {
  return MakeMachine(document, owner, pdf::StreamObject::OpenDataStream(document, owner),
                     enclosing);
}

void MachineHolder::Cleanup(runtime::CleanupNode* node) {
  auto* holder = reinterpret_cast<MachineHolder*>(node);
  holder->Release();
  node->Unlink();
}

void MachineHolder::Release() {
  runtime::DestroyAndFree(context_, machine_);
  machine_ = nullptr;
}

}  // namespace content
