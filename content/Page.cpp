#include "content/Page.h"

#include "content/ContentOwner.h"
#include "pdf/Document.h"
#include "pdf/Page.h"
#include "runtime/TransientBlocks.h"

namespace content {

ContentMachine* Page::MakeMachine(pdf::Document& document, const runtime::ObjectHandle& page,
                                  streams::DataStreamRef content) {
  runtime::LibraryContext* context = document.Context();
  return ContentOwner::BuildOrNone(context, [&] {
    ContentMachine* machine = runtime::NewObject<ContentMachine>(
        context, context, &document, std::move(content), pdf::Page::GetResources(page).resources);
    machine->SetStructParents(ContentMachine::StructParentsOf(page));
    return machine;
  });
}

ContentMachine* Page::NewMachine(pdf::Document& document, const runtime::ObjectHandle& page) {
  return MakeMachine(document, page, pdf::Page::GetContents(document, page));
}

}  // namespace content
