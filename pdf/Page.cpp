#include "pdf/Page.h"

#include "pdf/Document.h"
#include "pdf/InheritedAttribute.h"
#include "pdf/StreamObject.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "streams/ChainedStream.h"
#include "streams/ConcatStream.h"

namespace pdf {
namespace {

using runtime::ObjectHandle;
using runtime::ObjectTag;

// A source with no bytes.
class EmptySource final : public streams::BlockSource {
 public:
  using BlockSource::BlockSource;
  streams::BlockRef FetchBlock() override { return streams::MakeEmptyBlock(Context()); }
  void Restart(uint64_t) override {}
  bool AtEnd() const override { return true; }
  uint32_t MemorySize() const override { return 32; }
};

// The elements of a "Contents" array, opened one at a time.
class ContentMembers final : public streams::ConcatMembers {
 public:
  ContentMembers(runtime::LibraryContext* context, Document& document, ObjectHandle array)
      : ConcatMembers(context), document_(document), array_(std::move(array)) {}
  size_t Count() const override { return runtime::Array::Count(array_); }
  streams::StreamRef Open(size_t index) override {
    ObjectHandle member = runtime::Array::Get(array_, static_cast<uint32_t>(index));
    if (member.IsNull()) return streams::MakeRef<EmptySource>(Context());
    return StreamObject::OpenData(document_, member);
  }

 private:
  Document& document_;
  ObjectHandle array_;
};

}  // namespace

Page::Resources Page::GetResources(const ObjectHandle& owner) {
  // A page without its own takes its ancestors'; a form has no "Parent".
  return Resources{owner, GetOptionalInheritedDict(owner, "Resources")};
}

streams::DataStreamRef Page::GetContents(Document& document, const ObjectHandle& page) {
  runtime::LibraryContext* context = document.Context();
  ObjectHandle contents = runtime::Dictionary::Get(page, "Contents");
  streams::StreamRef source;
  if (contents.IsNull()) {
    source = streams::MakeRef<EmptySource>(context);
  } else if (contents.Tag() == ObjectTag::kDictionary) {
    source = StreamObject::OpenData(document, contents);
  } else if (contents.Tag() == ObjectTag::kArray) {
    if (runtime::Array::Count(contents) == 1) {
      ObjectHandle only = runtime::Array::Get(contents, 0);
      source = only.IsNull() ? streams::StreamRef(streams::MakeRef<EmptySource>(context))
                             : StreamObject::OpenData(document, only);
    } else {
      auto members = streams::MakeRef<ContentMembers>(context, document, contents);
      source = streams::MakeRef<streams::ConcatStream>(context, std::move(members), true);
    }
  } else {
    runtime::ThrowRuntime(runtime::kMalformed);
  }
  return streams::MakeRef<streams::ChainedStream>(context, std::move(source));
}

}  // namespace pdf
