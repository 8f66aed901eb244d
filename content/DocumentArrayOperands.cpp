#include "content/DocumentArrayOperands.h"

#include "content/RecordedObject.h"
#include "pdf/StreamObject.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"

namespace content {

using runtime::Array;
using runtime::ObjectHandle;

DocumentArrayOperands::DocumentArrayOperands(const ObjectHandle& array, pdf::Document* document,
                                             runtime::ArenaAllocator& arena)
    : array_(array.AsArray()), document_(document), arena_(&arena) {}

std::string_view DocumentArrayOperands::KeptName(const ObjectHandle& name) {
  const std::string_view text = name->AsName().View();
  if (name.Store() == array_.Store()) return text;
  return {CopyCString(*arena_, text), text.size()};
}

std::string_view DocumentArrayOperands::NameAt(uint32_t i) {
  return KeptName(Array::Get(array_, i));
}

int32_t DocumentArrayOperands::IntAt(uint32_t i) { return Array::GetInteger(array_, i); }

ColorSpaceOperands* DocumentArrayOperands::SubArrayAt(uint32_t i) {
  ObjectHandle element = Array::GetArrayAt(array_, i);
  DocumentArrayOperands* source = nullptr;
  runtime::ErrorTrap trap(array_.Context());
  if (!trap.Run([&] {
        source = runtime::NewInArena<DocumentArrayOperands>(*arena_, element, document_, *arena_);
      })) {
    trap.SetHandled();
    if (!trap.Held().IsRuntime(runtime::kOutOfMemory)) trap.Rethrow();
    trap.Close();
    return nullptr;
  }
  return source;
}

std::string_view DocumentArrayOperands::NameInArrayAt(uint32_t i, uint32_t j) {
  return KeptName(Array::Get(Array::GetArrayAt(array_, i), j));
}

uint32_t DocumentArrayOperands::CountOfArrayAt(uint32_t i) {
  return Array::Count(Array::GetArrayAt(array_, i));
}

runtime::ObjectTag DocumentArrayOperands::TypeAt(uint32_t i) {
  return Array::Get(array_, i).Tag();
}

uint32_t DocumentArrayOperands::Count() { return Array::Count(array_); }

ObjectHandle DocumentArrayOperands::DictionaryAt(uint32_t i) {
  return Array::Get(array_, i).AsDictionary();
}

ObjectHandle DocumentArrayOperands::ArrayHandle() { return array_; }

std::pair<const uint8_t*, const uint8_t*> DocumentArrayOperands::StringAt(uint32_t i) {
  ObjectHandle element = Array::Get(array_, i);
  const runtime::ByteString& string = element->AsString();
  const uint8_t* bytes = string.Bytes();
  if (element.Store() != array_.Store()) bytes = CopyToArena(*arena_, bytes, string.length);
  return {bytes, bytes + string.length};
}

ObjectHandle DocumentArrayOperands::StreamAt(uint32_t i) {
  ObjectHandle element = Array::Get(array_, i);
  if (!pdf::StreamObject::IsStream(element.Value())) runtime::ThrowRuntime(runtime::kMalformed);
  return element;
}

}  // namespace content
