#include "content/AnnotationAppearances.h"

#include "content/ContentOwner.h"
#include "pdf/Annotation.h"
#include "pdf/ArrayReaders.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "runtime/Scheduler.h"

namespace content {

using runtime::ObjectHandle;
using runtime::ObjectTag;

namespace {
// Work charged per annotation looked at.
constexpr int32_t kAnnotationWork = 500;
}  // namespace

void AnnotationAppearances::Place(ContentHandler& handler, const ObjectHandle& form, const ObjectHandle& annotation,
                                  const runtime::Matrix& base) {
  bool empty = false;
  const runtime::Matrix matrix = pdf::AppearanceForm::Matrix(form, annotation, handler.State().ctm, base, empty);
  if (empty) return;
  pdf::Document* document = handler.Page().document;
  if (document == nullptr) runtime::ThrowRuntime(runtime::kMalformed);
  ContentMachine* machine = ContentOwner::NewMachine(*document, form, nullptr);
  if (machine == nullptr) runtime::ThrowRuntime(runtime::kOutOfMemory);
  MachineHolder holder(handler.Owner(), machine);
  FormFrame frame;
  frame.group = runtime::Dictionary::Get(form, "Group");
  frame.box = pdf::ReadRectArray(runtime::Dictionary::GetArray(form, "BBox"));
  handler.PlayNestedSaved(*machine, &machine->Resources(), &matrix, &frame);
}

uint32_t AnnotationAppearances::PaintAll(ContentHandler& handler, const ObjectHandle& page,
                                         const runtime::Matrix& base, AnnotationDecoration* decoration) {
  const ObjectHandle annots = runtime::Dictionary::Get(page, "Annots");
  if (annots.Tag() != ObjectTag::kArray) return 0;
  uint32_t played = 0;
  {
    // One run around all of them: an error ends its own annotation and is
    // kept until the others have played.
    ContentHandler::RunLevel level(handler);
    const uint32_t count = runtime::Array::Count(annots);
    for (uint32_t i = 0; i < count; ++i) {
      runtime::ChargeWork(handler.Owner(), kAnnotationWork);
      handler.PlayConfined([&] {
        const ObjectHandle annotation = runtime::Array::Get(annots, i);
        if (annotation.Tag() != ObjectTag::kDictionary) return;
        if (decoration != nullptr && decoration->Paint(handler, annotation, base)) return;
        if (!pdf::Annot::IsViewable(annotation)) return;
        const ObjectHandle form = pdf::Annot::NormalAppearance(annotation);
        if (form.IsNull()) return;
        ++played;
        Place(handler, form, annotation, base);
      });
    }
  }
  handler.RaiseConfinedError();
  return played;
}

}  // namespace content
