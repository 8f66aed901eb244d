#pragma once
// Test support for content playback: a program over content bytes in
// memory, played into a logging handler.
#include <optional>
#include <string>

#include "content/ContentMachine.h"
#include "content/ContentStream.h"
#include "content/LoggingHandler.h"
#include "pdf/TokenParser.h"
#include "runtime/Dictionary.h"
#include "runtime/FontBase.h"
#include "runtime/LibraryContext.h"
#include "runtime/MemoryContext.h"
#include "runtime/TransientBlocks.h"
#include "runtime/ValueStore.h"
#include "streams/MemoryDataSource.h"
#include "streams/SubRangeStream.h"
#include "tests/support/RaisedCode.h"

namespace contenttest {

// The stream reads `bytes` in place: they must outlive it.
inline streams::DataStreamRef StreamOver(runtime::LibraryContext* context,
                                         const std::string& bytes) {
  auto source = streams::MakeRef<streams::MemoryDataSource>(
      context, reinterpret_cast<const uint8_t*>(bytes.data()),
      static_cast<uint32_t>(bytes.size()));
  return streams::MakeRef<streams::SubRangeStream>(context, source, 0);
}

// A machine over `content` (kept alive by the caller) with resources given
// as dictionary text.
class Program {
 public:
  Program(runtime::LibraryContext* context, const std::string& content,
          const std::string& resources = "<<>>")
      : context_(context), content_(content), resourceText_(resources) {
    auto stream = StreamOver(context, resourceText_);
    const runtime::ObjectValue* value = new (store_->Allocate(sizeof(runtime::ObjectValue)))
        runtime::ObjectValue(pdf::TokenParser::Parse(context, *stream, *store_, {}));
    resources_ = runtime::ObjectHandle(context, value, store_.Get());
    machine_ = runtime::NewObject<content::ContentMachine>(
        context, context, nullptr, StreamOver(context, content_), resources_);
  }
  ~Program() { runtime::DestroyAndFree(context_, machine_); }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  content::ContentMachine& Machine() { return *machine_; }
  const runtime::ObjectHandle& Resources() const { return resources_; }

 private:
  runtime::LibraryContext* context_;
  std::string content_;
  std::string resourceText_;
  runtime::StoreRef store_ =
      runtime::StoreRef::Adopt(context_, runtime::ValueStore::New(context_));
  runtime::ObjectHandle resources_;
  content::ContentMachine* machine_ = nullptr;
};

// A font that reads one byte per character (the stub's own count keeps
// it from ever being freed).
class StubFont : public runtime::FontBase {
 public:
  bool DrawsAsGraphics() const override { return false; }
  uint32_t MemorySize() const override { return 0; }
};

// Gives the stub for every dictionary whose /Type is /Font.
class StubFonts : public content::FontSource {
 public:
  runtime::CountedRef<runtime::FontBase> FindFont(const runtime::ObjectHandle& dictionary) override {
    runtime::ObjectHandle type = runtime::Dictionary::Get(dictionary, "Type");
    if (type.Tag() == runtime::ObjectTag::kName && type->AsName().Equals("Font")) {
      return runtime::CountedRef<runtime::FontBase>::Share(nullptr, &font);
    }
    return {};
  }
  StubFont font;
};

struct Played {
  std::string log;
  std::optional<uint32_t> error;
};

// Plays `program` into a fresh logging handler.
inline Played Play(runtime::LibraryContext* context, Program& program,
                   content::FontSource* fonts = nullptr) {
  content::PageInfo page;
  page.fonts = fonts;
  content::LoggingHandler handler(context, page, &program.Resources());
  Played played;
  played.error = testsupport::RaisedCode(
      [&] { content::ContentStream::Run(program.Machine(), handler); });
  played.log = handler.Log();
  return played;
}

inline Played PlayText(runtime::LibraryContext* context, const std::string& content,
                       const std::string& resources = "<<>>") {
  Program program(context, content, resources);
  return Play(context, program);
}

}  // namespace contenttest
