#include "viewer/PendingDestination.h"

#include <cstring>

#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "runtime/ObjectValue.h"

namespace viewer {

PendingDestination::PendingDestination(runtime::LibraryContext* context)
    : context_(context), name_(context, context, 0) {}

void PendingDestination::Clear() {
  kind_ = kNothing;
  name_.Resize(0);
  explicit_ = runtime::ObjectHandle();
}

void PendingDestination::Fill(const runtime::ObjectHandle& value) {
  const runtime::ObjectHandle v = value.Resolved();
  std::string_view bytes;
  Kind kind = kExplicit;
  switch (v.Tag()) {
    case runtime::ObjectTag::kName:
      bytes = v->AsName().View();
      kind = kName;
      break;
    case runtime::ObjectTag::kString:
      bytes = v->AsString().View();
      kind = kString;
      break;
    case runtime::ObjectTag::kArray: break;
    default: runtime::ThrowMalformed();
  }
  Clear();
  if (kind == kExplicit) {
    explicit_ = v;
  } else {
    name_.Resize(static_cast<uint32_t>(bytes.size()) + 1);
    if (!bytes.empty()) std::memcpy(name_.Data(), bytes.data(), bytes.size());
    name_[static_cast<uint32_t>(bytes.size())] = 0;
  }
  kind_ = kind;
}

void PendingDestination::FillFromOpenAction(pdf::Document& document) {
  Clear();
  runtime::CatchAllExceptCancel(context_, [&] {
    runtime::ObjectHandle open = runtime::Dictionary::Get(document.GetRoot(), "OpenAction");
    if (open.Tag() == runtime::ObjectTag::kDictionary) {
      const runtime::ObjectHandle type = runtime::Dictionary::Get(open, "S");
      if (type.Tag() != runtime::ObjectTag::kName || type->AsName().View() != "GoTo") return;
      open = runtime::Dictionary::Get(open, "D");
    }
    if (!open.IsNull()) Fill(open);
  });
}

std::string_view PendingDestination::Name() const {
  if (name_.Count() == 0) return {};
  return {reinterpret_cast<const char*>(name_.Data()), name_.Count() - 1};
}

}  // namespace viewer
