#pragma once
// Walks every object of a document for colour spaces and functions:
// "ColorSpace" resource entries, images' and shadings' colour spaces,
// shading functions and any dictionary with a FunctionType. Each is built
// inside a trap, then exercised: spaces convert a few pixels into the
// target, functions evaluate at a few inputs. For the corpus sweep and the
// fuzz entry: nothing may crash, hang or fail with another code than the
// ones a malformed, unsupported or too large object gives.
#include <algorithm>
#include <cstdint>
#include <string>

#include "color/ColorContext.h"
#include "color/ColorSpace.h"
#include "color/FunctionEvaluator.h"
#include "color/ImageColorSpace.h"
#include "color/PdfFunction.h"
#include "pdf/Document.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"

namespace colorwalk {

struct WalkResult {
  uint32_t spaces = 0;
  uint32_t functions = 0;
  uint32_t failures = 0;
  // Failures of another kind than runtime codes 0, 1, 2 and 5, as text.
  std::string unexpected;
};

// Runs `body` in a trap; a failure is counted (cancellation passes on).
template <class Body>
bool TryColorWork(runtime::LibraryContext* context, WalkResult& result, const char* what, uint32_t object,
                  Body&& body) {
  runtime::ErrorTrap trap(context);
  if (trap.Run(body)) return true;
  trap.SetHandled();
  const runtime::ErrorRecord& held = trap.Held();
  if (held.IsRuntime(runtime::kCancelled)) trap.Rethrow();
  ++result.failures;
  const bool expected = held.IsRuntime(runtime::kOutOfMemory) || held.IsRuntime(runtime::kOverflow) ||
                        held.IsRuntime(runtime::kMalformed) || held.IsRuntime(runtime::kUnsupported);
  if (!expected) {
    result.unexpected += std::string(what) + " of object " + std::to_string(object) + ": " + held.domain + " " +
                         std::to_string(held.code) + "\n";
  }
  trap.Close();
  return false;
}

inline void ExerciseSpace(color::ColorSpace& space, color::ColorSpace& target) {
  const int32_t count = space.ComponentCount();
  if (count <= 0 || count > 32) return;
  color::ColorConverterPtr bytes = space.MakeConverter8(target, 1, 0, false);
  color::ColorConverterPtr fixed = space.MakeConverterFixed(target, 1, 0, false);
  for (uint32_t level : {0u, 128u, 255u}) {
    uint8_t in[32];
    uint8_t out[32];
    runtime::Fixed inFixed[32];
    runtime::Fixed outFixed[32];
    for (int32_t c = 0; c < count; ++c) {
      in[c] = static_cast<uint8_t>(level);
      inFixed[c] = color::ByteToFixed(level);
    }
    if (bytes) bytes->ConvertPixel(out, 1, in, 1);
    if (fixed) fixed->ConvertPixel(outFixed, 1, inFixed, 1);
  }
}

inline void ExerciseFunction(const color::PdfFunctionRef& function) {
  color::FunctionEvaluator evaluator(function);
  for (uint32_t level : {0u, 128u, 255u}) {
    uint8_t in[32];
    uint8_t out[32];
    runtime::Fixed inFixed[32];
    runtime::Fixed outFixed[32];
    for (uint32_t i = 0; i < 32; ++i) {
      in[i] = static_cast<uint8_t>(level);
      inFixed[i] = color::ByteToFixed(level);
    }
    evaluator.EvalBytes(out, 1, in, 1);
    evaluator.EvalFixed(outFixed, sizeof(runtime::Fixed), inFixed, sizeof(runtime::Fixed));
  }
}

inline void WalkFunction(runtime::LibraryContext* context, pdf::Document& document, WalkResult& result,
                         uint32_t object, const runtime::ObjectHandle& value) {
  ++result.functions;
  TryColorWork(context, result, "function", object, [&] {
    ExerciseFunction(color::Function::Create(context, value, &document));
  });
}

inline void WalkColorObjects(runtime::LibraryContext* context, pdf::Document& document, color::ColorSpace& target,
                             uint32_t maxObjects, WalkResult& result) {
  using runtime::Dictionary;
  using runtime::ObjectHandle;
  using runtime::ObjectTag;
  color::ColorContext colors(context, &document);
  uint32_t end = 0;
  if (!TryColorWork(context, result, "object count", 0, [&] { end = std::min(document.ObjectCount(), maxObjects); })) {
    return;
  }
  for (uint32_t number = 1; number < end; ++number) {
    ObjectHandle object;
    if (!TryColorWork(context, result, "object", number, [&] {
          uint32_t generation = 0;
          object = document.GetObjectAnyGeneration(number, &generation);
        })) continue;
    if (!object->Is(ObjectTag::kDictionary)) continue;
    auto space = [&](const char* what, const ObjectHandle& value, const ObjectHandle& resources, int32_t bits) {
      ++result.spaces;
      TryColorWork(context, result, what, number, [&] {
        streams::Ref<color::ColorSpace> built =
            bits > 0 ? color::ImageColorSpace::Parse(colors, value, resources, false, bits, nullptr).record.space
                     : color::ColorSpace::FromObject(colors, value, resources);
        if (built) ExerciseSpace(*built, target);
      });
    };
    TryColorWork(context, result, "dictionary", number, [&] {
      const ObjectHandle resources = Dictionary::Get(object, "ColorSpace");
      if (resources->Is(ObjectTag::kDictionary) && Dictionary::Get(object, "Subtype").IsNull()) {
        for (runtime::DictionaryIterator it(resources); !it.AtEnd(); it.Next()) {
          const Dictionary::Entry entry = it.GetEntry();
          space("resource colour space", entry.value, object, 0);
        }
      }
      const ObjectHandle subtype = Dictionary::Get(object, "Subtype");
      const ObjectHandle imageSpace = Dictionary::Get(object, "ColorSpace");
      if (subtype->Is(ObjectTag::kName) && subtype->AsName().Equals("Image") && !imageSpace.IsNull()) {
        const ObjectHandle bits = Dictionary::Get(object, "BitsPerComponent");
        space("image colour space", imageSpace, ObjectHandle(), bits->Is(ObjectTag::kInteger) ? bits->AsInteger() : 8);
      }
      if (!Dictionary::Get(object, "ShadingType").IsNull()) {
        space("shading colour space", imageSpace, ObjectHandle(), 0);
        const ObjectHandle functions = Dictionary::Get(object, "Function");
        if (functions->Is(ObjectTag::kArray)) {
          for (uint32_t i = 0; i < runtime::Array::Count(functions) && i < 32; ++i) {
            WalkFunction(context, document, result, number, runtime::Array::Get(functions, i));
          }
        } else if (!functions.IsNull()) {
          WalkFunction(context, document, result, number, functions);
        }
      }
      if (!Dictionary::Get(object, "FunctionType").IsNull()) WalkFunction(context, document, result, number, object);
    });
  }
}

}  // namespace colorwalk
