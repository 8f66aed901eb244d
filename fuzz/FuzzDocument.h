#pragma once
// Shared set-up of the fuzz entries that take a whole file: one context for
// the run with a memory ceiling, the document opened from the input, and
// every error short of cancellation ending the input quietly.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "pdf/Document.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "streams/MemoryDataSource.h"

namespace fuzzing {

// Opens `data` as a document and hands it to `body`; inputs over 16 MiB are
// skipped so that one run stays short.
template <class Body>
void WithDocument(const uint8_t* data, size_t size, Body&& body) {
  static runtime::LibraryContext context;
  context.memory.hardLimit = 256u << 20;
  if (size > (1u << 24)) return;
  struct Holder {
    runtime::LibraryContext* context;
    pdf::Document* document = nullptr;
    ~Holder() { runtime::DestroyAndFree(context, document); }
  };
  runtime::CatchAllExceptCancel(&context, [&] {
    Holder holder{&context};
    auto source = streams::MakeRef<streams::MemoryDataSource>(&context, data,
                                                              static_cast<uint32_t>(size));
    holder.document = pdf::Document::Open(&context, std::move(source));
    body(&context, *holder.document);
  });
}

// The input up to its first zero byte (object text) and the bytes after it
// (stream data), for entries that build a small file from both.
struct SplitInput {
  std::string text;
  std::string rest;
  SplitInput(const uint8_t* data, size_t size) {
    const auto* split = static_cast<const uint8_t*>(std::memchr(data, 0, size));
    const size_t textLength = split != nullptr ? static_cast<size_t>(split - data) : size;
    text.assign(reinterpret_cast<const char*>(data), textLength);
    if (split != nullptr) rest.assign(reinterpret_cast<const char*>(split + 1), size - textLength - 1);
  }
};

}  // namespace fuzzing
