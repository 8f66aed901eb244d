#include "content/FormCache.h"

#include <algorithm>

#include "content/ContentOwner.h"
#include "content/ContentStream.h"
#include "runtime/Dictionary.h"
#include "runtime/TransientBlocks.h"

namespace content {

CachedForm::~CachedForm() { runtime::DestroyAndFree(context, machine); }

FormCache::Ref FormCache::Get(pdf::Document& document, const runtime::ObjectHandle& form,
                              const runtime::ObjectHandle* enclosing) {
  runtime::LibraryContext* context = forms_.Cache().Context();
  auto build = [&]() -> runtime::ObjectCache<CachedForm, Key>::Built {
    ContentMachine* machine = ContentOwner::NewMachine(document, form, enclosing);
    if (machine == nullptr) runtime::ThrowRuntime(runtime::kOutOfMemory);
    ++builds_;
    CachedForm* held = nullptr;
    {
      MachineHolder holder(context, machine);
      held = runtime::NewObject<CachedForm>(context, context, machine);
      // The holder must not free the machine now that the form owns it.
      holder.Forget();
    }
    const uint64_t bytes = machine->Arena().totalBytes + sizeof(CachedForm);
    return {Ref::Adopt(context, held), static_cast<uint32_t>(std::min<uint64_t>(bytes, UINT32_MAX))};
  };
  const runtime::ContainerRecord* record = form->AsDictionary().Record();
  if (record == nullptr || record->objectNumber == 0) return build().item;
  Key key;
  key.objectNumber = record->objectNumber;
  key.generation = record->generation;
  if (runtime::Dictionary::Get(form, "Resources").IsNull() && enclosing != nullptr &&
      enclosing->Tag() == runtime::ObjectTag::kDictionary) {
    // Borrowed resources are told apart by their object, else by their
    // storage (direct dictionaries live as long as their document).
    const runtime::ContainerRecord* borrowed = enclosing->Value().AsDictionary().Record();
    key.borrowed = borrowed != nullptr && borrowed->objectNumber != 0
                       ? (uint64_t{1} << 63) | borrowed->objectNumber
                       : reinterpret_cast<uintptr_t>(enclosing->Value().payload.list);
  }
  return forms_.Get(key, build);
}

ContentMachine& ContentStream::ForForm(FormCache::Ref& out, FormCache& cache, pdf::Document& document,
                                       const runtime::ObjectHandle& form, const runtime::ObjectHandle* enclosing) {
  out = cache.Get(document, form, enclosing);
  if (!out) runtime::ThrowRuntime(runtime::kOutOfMemory);
  return *out->machine;
}

}  // namespace content
