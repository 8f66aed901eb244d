#include "pdf/Document.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "pdf/FontCache.h"
#include "pdf/Lexer.h"
#include "pdf/LinearizedPages.h"
#include "pdf/PageModelCache.h"
#include "pdf/PageOrder.h"
#include "pdf/PageTree.h"
#include "pdf/PdfCharClass.h"
#include "pdf/SecurityHandler.h"
#include "pdf/StructTree.h"
#include "pdf/StreamObject.h"
#include "pdf/TokenParser.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "streams/MemoryDataSource.h"
#include "streams/SubRangeStream.h"

namespace pdf {
namespace {

using runtime::ObjectHandle;
using runtime::ObjectTag;
using runtime::ObjectValue;
using runtime::XrefEntry;

// Charged for a loaded object on top of its own storage.
constexpr uint32_t kObjectOverhead = 164;
// Decoded object streams larger than this are refused.
constexpr uint32_t kMaxObjectStreamBytes = 64u << 20;

// Binds a security handler's string decryption to one object.
class BoundDecryptor final : public StringDecryptor {
 public:
  BoundDecryptor(ObjectDecryptor* decryptor, uint32_t number, uint32_t generation)
      : decryptor_(decryptor), number_(number), generation_(generation) {}
  void DecryptString(uint8_t* bytes, uint32_t count) override {
    decryptor_->DecryptString(number_, generation_, bytes, count);
  }

 private:
  ObjectDecryptor* decryptor_;
  uint32_t number_;
  uint32_t generation_;
};

// The last start of `keyword` in `bytes`, or -1.
int64_t LastOccurrence(const uint8_t* bytes, size_t length, const char* keyword) {
  const size_t size = std::strlen(keyword);
  int64_t found = -1;
  for (size_t i = 0; i + size <= length; ++i) {
    if (bytes[i] == static_cast<uint8_t>(keyword[0]) && std::memcmp(bytes + i, keyword, size) == 0) {
      found = static_cast<int64_t>(i);
    }
  }
  return found;
}

bool IsCrossReferenceStream(const ObjectValue& value) {
  if (!StreamObject::IsStream(value)) return false;
  const ObjectValue* type = runtime::Dictionary::FindByName(value, "Type");
  return type->Is(ObjectTag::kName) && type->payload.bytes->Equals("XRef");
}

}  // namespace

// An object as loaded: its value, the store that keeps it, and the
// generation it was stored under.
struct Document::LoadedObject {
  uint32_t refCount = 1;
  uint32_t generation = 0;
  runtime::ValueStore* store = nullptr;
  ObjectValue value;
  // A copy of `value` inside the store: handles point here, because a handle
  // keeps the store alive but not this cache entry, which a purge may free.
  const ObjectValue* home = nullptr;
};

void Document::LoadedCount::CountUp(LoadedObject* object) { ++object->refCount; }
bool Document::LoadedCount::CountDown(LoadedObject* object) { return --object->refCount == 0; }
uint32_t Document::LoadedCount::Count(const LoadedObject* object) { return object->refCount; }
void Document::LoadedCount::Destroy(runtime::LibraryContext* context, LoadedObject* object) {
  if (object->store != nullptr && --object->store->refCount == 0) {
    runtime::ValueStore::DeleteShared(context, object->store);
  }
  context->memory.Free(object);
}

// A decoded object stream: its bytes, "First", and the (object number,
// offset) pairs at its start.
struct Document::ObjectStream {
  struct Pair {
    uint32_t number;
    uint32_t offset;
  };
  explicit ObjectStream(runtime::LibraryContext* context)
      : context(context), pairs(context, context, 0) {}
  ~ObjectStream() { context->memory.Free(bytes); }

  uint32_t refCount = 1;
  runtime::LibraryContext* context;
  uint8_t* bytes = nullptr;
  uint32_t length = 0;
  uint32_t first = 0;
  runtime::RecordVector<Pair> pairs;
};

void Document::ObjectStreamCount::CountUp(ObjectStream* stream) { ++stream->refCount; }
bool Document::ObjectStreamCount::CountDown(ObjectStream* stream) {
  return --stream->refCount == 0;
}
uint32_t Document::ObjectStreamCount::Count(const ObjectStream* stream) {
  return stream->refCount;
}
void Document::ObjectStreamCount::Destroy(runtime::LibraryContext* context,
                                          ObjectStream* stream) {
  runtime::DestroyAndFree(context, stream);
}

Document::LoadScope::LoadScope(Document& document) : document_(document) {
  if (document_.loadDepth_ >= kMaxLoadDepth) runtime::ThrowMalformed();
  ++document_.loadDepth_;
}

Document::LoadScope::~LoadScope() { --document_.loadDepth_; }

Document* Document::Open(runtime::LibraryContext* context, streams::DataStoreRef source) {
  return runtime::NewObject<Document>(context, context, std::move(source));
}

Document::Document(runtime::LibraryContext* context, streams::DataStoreRef source)
    : context_(context != nullptr ? context : runtime::GetDefaultContext()),
      source_(std::move(source)),
      xref_(*this),
      objects_(context_),
      objectStreams_(context_) {
  ScanHeaderAndTrailer();
}

Document::~Document() {
  runtime::DestroyAndFree(context_, std::exchange(pageModels_, nullptr));
  runtime::DestroyAndFree(context_, std::exchange(fonts_, nullptr));
  runtime::DestroyAndFree(context_, std::exchange(pageOrder_, nullptr));
  runtime::DestroyAndFree(context_, std::exchange(linearization_, nullptr));
  if (security_ != nullptr) runtime::DestroyAndFree(context_, std::exchange(security_, nullptr));
  runtime::DestroyAndFree(context_, std::exchange(roleTable_, nullptr));
}

const RoleTable& Document::GetRoleTable() {
  if (roleTable_ == nullptr) {
    roleTable_ = StructTree::GetRoleTable(*this);
  }
  return *roleTable_;
}

uint64_t Document::FindKeywordBackwards(streams::DataStream& stream, const char* keyword,
                                        uint64_t from) {
  const uint32_t size = static_cast<uint32_t>(std::strlen(keyword));
  uint8_t window[kTrailerWindow];
  uint64_t start = from > kTrailerWindow ? from - kTrailerWindow : 0;
  for (;;) {
    stream.Seek(start);
    const size_t length = stream.Read(window, kTrailerWindow);
    const int64_t found = LastOccurrence(window, length, keyword);
    if (found >= 0) return start + static_cast<uint64_t>(found) + size;
    if (start == 0) runtime::ThrowMalformed();
    // Consecutive windows overlap by the keyword's length.
    const uint64_t step = kTrailerWindow - size;
    start = start > step ? start - step : 0;
  }
}

void Document::ScanHeaderAndTrailer() {
  fileLength_ = source_->Length();
  streams::DataStreamRef stream = streams::MakeRef<streams::SubRangeStream>(context_, source_, 0);
  uint8_t head[kHeaderWindow + 3];
  const size_t length = stream->Read(head, sizeof(head));
  int64_t header = -1;
  for (size_t i = 0; i + 4 <= length && i < kHeaderWindow; ++i) {
    if (std::memcmp(head + i, "%PDF", 4) == 0) {
      header = static_cast<int64_t>(i);
      break;
    }
  }
  if (header < 0) runtime::ThrowMalformed();
  headerOffset_ = static_cast<uint32_t>(header);
  // "%PDF-" and the version's digits and periods.
  for (size_t i = static_cast<size_t>(header) + 5, n = 0;
       i < length && n + 1 < sizeof(version_) && (IsDecimal(head[i]) || head[i] == '.'); ++i) {
    version_[n++] = static_cast<char>(head[i]);
  }

  stream->Seek(headerOffset_);
  int64_t firstPageSection = 0;
  uint32_t linearized = 0;
  if (ProbeLinearized(*stream, &firstPageSection, &linearized)) {
    newestSection_ = firstPageSection;
    linearizedObject_ = linearized;
  } else {
    const uint64_t end = FindKeywordBackwards(*stream, "%%EOF", fileLength_);
    const uint64_t afterStartxref = FindKeywordBackwards(*stream, "startxref", end);
    stream->Seek(afterStartxref);
    Lexer::SkipWhiteSpace(*stream);
    const int64_t offset = int64_t{Lexer::ReadUnsigned(*stream)} + headerOffset_;
    if (static_cast<uint64_t>(offset) >= fileLength_) runtime::ThrowMalformed();
    newestSection_ = offset;
  }
  xref_.SetNewest(newestSection_);

  // The trailer must be readable; it also says which object holds the
  // "Encrypt" dictionary, whose strings are never decrypted.
  ObjectHandle trailer = xref_.GetTrailer();
  const ObjectValue* encrypt = runtime::Dictionary::FindByName(trailer.Value(), "Encrypt");
  if (encrypt->Is(ObjectTag::kReference)) encryptObject_ = encrypt->payload.reference->number;
  if (linearizedObject_ != 0) {
    uint32_t generation = 0;
    linearized_ = GetObjectAnyGeneration(linearizedObject_, &generation);
  }
}

bool Document::ProbeLinearized(streams::DataStream& stream, int64_t* position, uint32_t* number) {
  // The dictionary is parsed into a store of its own, dropped at the end:
  // the document keeps the copy its object cache loads.
  struct StoreHolder {
    runtime::LibraryContext* context;
    runtime::ValueStore* store;
    ~StoreHolder() { runtime::ValueStore::DeleteShared(context, store); }
  };
  bool linearized = false;
  runtime::ErrorTrap trap(context_);
  if (!trap.Run([&] {
        StoreHolder holder{context_, runtime::ValueStore::New(context_)};
        // The header line and the binary-marker line are comments.
        Lexer::SkipWhiteSpaceAndComments(stream);
        const int32_t object = Lexer::ReadUnsigned(stream);
        Lexer::SkipWhiteSpace(stream);
        Lexer::ReadUnsigned(stream);
        Lexer::SkipWhiteSpace(stream);
        if (!Lexer::TakeKeyword(stream, "obj")) return;
        ParseSettings settings;
        settings.allowStreams = false;
        const ObjectValue value = TokenParser::Parse(context_, stream, *holder.store, settings);
        if (!value.Is(ObjectTag::kDictionary)) return;
        const ObjectValue* version = runtime::Dictionary::FindByName(value, "Linearized");
        if (!version->IsNumber()) return;
        const runtime::Fixed v = version->AsNumber();
        if (v < 0x10000 || v >= 0x20000) return;
        const ObjectValue* length = runtime::Dictionary::FindByName(value, "L");
        if (!length->Is(ObjectTag::kInteger) || length->payload.integer < 0 ||
            uint64_t(uint32_t(length->payload.integer)) + headerOffset_ != fileLength_) {
          return;
        }
        Lexer::SkipWhiteSpace(stream);
        if (!Lexer::TakeKeyword(stream, "endobj")) return;
        Lexer::SkipWhiteSpace(stream);
        *position = static_cast<int64_t>(stream.Position());
        *number = static_cast<uint32_t>(object);
        linearized = *number != 0;
      })) {
    trap.SetHandled();
    if (!trap.Held().IsRuntime(runtime::kMalformed)) trap.Rethrow();
    trap.Close();
    return false;
  }
  return linearized;
}

bool Document::IsEncrypted() {
  return !runtime::Dictionary::FindByName(GetTrailer().Value(), "Encrypt")->IsNull();
}

bool Document::SetupSecurity(const char* handlerName, const uint8_t* password, uint32_t length) {
  if (security_ != nullptr && security_->IsAuthorised()) return true;
  ObjectHandle trailer = GetTrailer();
  if (!IsEncrypted()) {
    encryptionSupported_ = true;
    return true;
  }
  // The handler reads the whole encryption set-up; a progressive source
  // should have it at hand before.
  streams::ByteRange range{0, fileLength_};
  if (linearizedObject_ != 0) {
    ObjectHandle hints = runtime::Dictionary::Get(linearized_, "H");
    if (hints.Tag() == ObjectTag::kArray && runtime::Array::Count(hints) != 0) {
      const int32_t offset = runtime::Array::GetInteger(hints, 0);
      if (offset >= 0) range.end = std::min<uint64_t>(fileLength_, uint64_t(uint32_t(offset)) + headerOffset_);
    }
  }
  source_->RequestRanges({&range, 1});

  const bool standard = handlerName != nullptr && std::strcmp(handlerName, "Standard") == 0;
  // The old handler goes first: objects loaded through it are dropped.
  // Handles on cached objects die with their entries, so the dictionary
  // is fetched after that.
  SetDecryptor(nullptr);
  if (security_ != nullptr) runtime::DestroyAndFree(context_, std::exchange(security_, nullptr));
  ObjectHandle encrypt = runtime::Dictionary::Get(trailer, "Encrypt");
  encryptionSupported_ = standard && SecurityHandler::IsSupported(encrypt);
  if (!encryptionSupported_) return false;
  // A set-up that fails (a revision or key length out of reach, a damaged
  // dictionary) leaves the encryption unsupported.
  encryptionSupported_ = false;
  security_ = runtime::NewObject<SecurityHandler>(context_, *this, encrypt, password, length);
  encryptionSupported_ = true;
  if (!security_->IsAuthorised()) return false;
  SetDecryptor(security_);
  return true;
}

ObjectHandle Document::GetTrailer() { return xref_.GetTrailer(); }

ObjectHandle Document::GetRoot() {
  return runtime::Dictionary::GetRequired(GetTrailer(), "Root").AsDictionary();
}

int32_t Document::GetPageCount() { return PageTree::CountPages(*this); }

PageOrder& Document::PageList() {
  if (pageOrder_ == nullptr) {
    pageOrder_ = runtime::NewObject<PageOrder>(context_, *this, PageTree::GetRoot(*this),
                                               PageTree::RootNumber(*this));
  }
  return *pageOrder_;
}

FontCache& Document::Fonts() {
  if (fonts_ == nullptr) fonts_ = runtime::NewObject<FontCache>(context_, context_);
  return *fonts_;
}

PageModelCache& Document::PageModels() {
  if (pageModels_ == nullptr) pageModels_ = runtime::NewObject<PageModelCache>(context_, context_);
  return *pageModels_;
}

LinearizedPages* Document::Linearization() {
  if (linearizedObject_ == 0 || linearizationBroken_) return nullptr;
  if (linearization_ == nullptr) {
    // A dictionary without a usable "N" or "O" leaves the file to be read
    // like any other.
    runtime::ErrorTrap trap(context_);
    if (!trap.Run([&] { linearization_ = runtime::NewObject<LinearizedPages>(context_, *this); })) {
      trap.SetHandled();
      if (!trap.Held().IsRuntime(runtime::kMalformed)) trap.Rethrow();
      trap.Close();
      linearizationBroken_ = true;
    }
  }
  return linearization_;
}

runtime::ObjectReference Document::GetPageRef(int32_t index) {
  return PageTree::FindPageRef(*this, index);
}

ObjectHandle Document::GetPageDict(int32_t index) {
  const runtime::ObjectReference page = GetPageRef(index);
  return GetObject(page.number, page.generation).AsDictionary();
}

uint32_t Document::ObjectCountHint() {
  const ObjectValue* size = runtime::Dictionary::FindByName(GetTrailer().Value(), "Size");
  if (!size->Is(ObjectTag::kInteger) || size->payload.integer < 0) return 0;
  return static_cast<uint32_t>(size->payload.integer);
}

uint32_t Document::ObjectCount() {
  return std::min(ObjectCountHint(), xref_.ListedEnd());
}

void Document::SetDecryptor(ObjectDecryptor* decryptor) {
  decryptor_ = decryptor;
  // The walk, the fonts and the page models hold values parsed under the
  // old decryption.
  runtime::DestroyAndFree(context_, std::exchange(pageOrder_, nullptr));
  runtime::DestroyAndFree(context_, std::exchange(fonts_, nullptr));
  runtime::DestroyAndFree(context_, std::exchange(pageModels_, nullptr));
  // Objects loaded before were parsed without (or with another) decryption.
  while (runtime::CacheEntry* entry = objects_.Cache().First()) objects_.Cache().Evict(entry);
  while (runtime::CacheEntry* entry = objectStreams_.Cache().First()) {
    objectStreams_.Cache().Evict(entry);
  }
}

ObjectHandle Document::Resolve(runtime::LibraryContext*, const runtime::ObjectReference& reference) {
  return GetObject(reference.number, reference.generation);
}

streams::StreamRef Document::OpenStream(const ObjectHandle& stream) {
  return StreamObject::OpenData(*this, stream.Resolved());
}

ObjectHandle Document::GetObject(uint32_t number, uint32_t generation) {
  ObjectCacheType::Ref loaded = GetLoaded(number);
  if (!loaded || loaded->generation != generation) return ObjectHandle();
  return ObjectHandle(context_, loaded->home, loaded->store, this);
}

ObjectHandle Document::GetObjectAnyGeneration(uint32_t number, uint32_t* generation) {
  ObjectCacheType::Ref loaded = GetLoaded(number);
  if (!loaded) return ObjectHandle();
  *generation = loaded->generation;
  return ObjectHandle(context_, loaded->home, loaded->store, this);
}

Document::ObjectCacheType::Ref Document::GetLoaded(uint32_t number) {
  return objects_.Get(number, [&] { return LoadObject(number); });
}

Document::ObjectCacheType::Built Document::LoadObject(uint32_t number) {
  LoadScope scope(*this);
  const XrefEntry entry = xref_.LookupEntry(number);
  if (entry.kind != 2 && entry.kind != 3) return {};
  auto* loaded = new (runtime::AllocOrThrow(context_, sizeof(LoadedObject))) LoadedObject{};
  ObjectCacheType::Ref held = ObjectCacheType::Ref::Adopt(context_, loaded);
  loaded->store = runtime::ValueStore::New(context_);
  if (entry.kind == 2) {
    ParseFileObject(number, entry, loaded);
  } else {
    ParseCompressedObject(number, entry, loaded);
    if (loaded->value.IsNull()) return {};
  }
  loaded->home = new (loaded->store->Allocate(sizeof(ObjectValue))) ObjectValue(loaded->value);
  const uint32_t size = static_cast<uint32_t>(loaded->store->BytesHeld()) + kObjectOverhead;
  return {std::move(held), size};
}

void Document::ParseFileObject(uint32_t number, const XrefEntry& entry, LoadedObject* loaded) {
  if (entry.offset >= fileLength_) runtime::ThrowMalformed();
  streams::DataStreamRef stream =
      streams::MakeRef<streams::SubRangeStream>(context_, source_, entry.offset);
  Lexer::SkipWhiteSpace(*stream);
  const int32_t found = Lexer::ReadUnsigned(*stream);
  if (static_cast<uint32_t>(found) != number) runtime::ThrowMalformed();
  Lexer::SkipWhiteSpace(*stream);
  const int32_t generation = Lexer::ReadUnsigned(*stream);
  Lexer::SkipWhiteSpace(*stream);
  if (!Lexer::TakeKeyword(*stream, "obj")) runtime::ThrowMalformed();

  ParseSettings settings;
  settings.objectNumber = number;
  settings.generation = static_cast<uint32_t>(generation);
  // The "Encrypt" dictionary's strings (its "O" and "U") are never
  // encrypted.
  BoundDecryptor bound(decryptor_, number, settings.generation);
  if (decryptor_ != nullptr && number != encryptObject_) settings.decryptor = &bound;
  const uint64_t start = stream->Position();
  loaded->value = TokenParser::Parse(context_, *stream, *loaded->store, settings);
  loaded->generation = settings.generation;
  if (settings.decryptor != nullptr && IsCrossReferenceStream(loaded->value)) {
    // A cross-reference stream's dictionary is never encrypted, but that
    // shows only once it is parsed: parse it again, plainly.
    runtime::ValueStore* plain = runtime::ValueStore::New(context_);
    runtime::ValueStore::DeleteShared(context_, std::exchange(loaded->store, plain));
    stream->Seek(start);
    settings.decryptor = nullptr;
    loaded->value = TokenParser::Parse(context_, *stream, *loaded->store, settings);
  }
}

void Document::ParseCompressedObject(uint32_t number, const XrefEntry& entry,
                                     LoadedObject* loaded) {
  const auto streamNumber = static_cast<uint32_t>(entry.offset & 0xFFFFFFFF);
  ObjectStreamCache::Ref objects = GetObjectStream(streamNumber);
  if (!objects) return;
  for (const ObjectStream::Pair& pair : objects->pairs.Records()) {
    if (pair.number != number) continue;
    const uint64_t position = uint64_t{objects->first} + pair.offset;
    if (position >= objects->length) runtime::ThrowMalformed();
    auto source = streams::MakeRef<streams::MemoryDataSource>(context_, objects->bytes,
                                                              objects->length);
    streams::DataStreamRef stream =
        streams::MakeRef<streams::SubRangeStream>(context_, std::move(source), position);
    // The object stream was decrypted as a whole; its objects hold no
    // stream data of their own.
    ParseSettings settings;
    settings.objectNumber = number;
    settings.allowStreams = false;
    loaded->value = TokenParser::Parse(context_, *stream, *loaded->store, settings);
    loaded->generation = 0;
    return;
  }
}

Document::ObjectStreamCache::Ref Document::GetObjectStream(uint32_t number) {
  return objectStreams_.Get(number, [&]() -> ObjectStreamCache::Built {
    // The object stream itself must be stored plainly in the file: one held
    // in an object stream (itself or another) could only recurse.
    const XrefEntry own = xref_.LookupEntry(number);
    if (own.kind != 2) return {};
    LoadScope scope(*this);
    ObjectHandle stream = GetObject(number, own.generation);
    if (!StreamObject::IsStream(stream.Value())) return {};
    const int32_t count = runtime::Dictionary::GetIntegerOr(stream, "N", 0);
    const int32_t first = runtime::Dictionary::GetIntegerOr(stream, "First", -1);
    if (count < 1) return {};
    if (first < 0) runtime::ThrowMalformed();

    ObjectStream* objects = runtime::NewObject<ObjectStream>(context_, context_);
    ObjectStreamCache::Ref held = ObjectStreamCache::Ref::Adopt(context_, objects);
    objects->first = static_cast<uint32_t>(first);
    streams::DataStreamRef data = StreamObject::OpenDataStream(*this, stream);
    uint32_t capacity = 0;
    for (;;) {
      if (objects->length == capacity) {
        if (capacity >= kMaxObjectStreamBytes) runtime::ThrowMalformed();
        const uint32_t grown = capacity == 0 ? 4096 : capacity * 2;
        auto* bytes = static_cast<uint8_t*>(runtime::AllocOrThrow(context_, grown));
        if (objects->length != 0) std::memcpy(bytes, objects->bytes, objects->length);
        context_->memory.Free(objects->bytes);
        objects->bytes = bytes;
        capacity = grown;
      }
      const size_t read = data->Read(objects->bytes + objects->length, capacity - objects->length);
      if (read == 0) break;
      objects->length += static_cast<uint32_t>(read);
    }

    auto source =
        streams::MakeRef<streams::MemoryDataSource>(context_, objects->bytes, objects->length);
    streams::DataStreamRef pairs = streams::MakeRef<streams::SubRangeStream>(context_, source, 0);
    for (int32_t i = 0; i < count; ++i) {
      if (!Lexer::SkipWhiteSpaceAndComments(*pairs) || pairs->Position() >= objects->first) break;
      const int32_t object = Lexer::ReadUnsigned(*pairs);
      Lexer::SkipWhiteSpace(*pairs);
      const int32_t offset = Lexer::ReadUnsigned(*pairs);
      objects->pairs.Append({static_cast<uint32_t>(object), static_cast<uint32_t>(offset)});
    }
    const uint32_t size = objects->length + 8 * objects->pairs.Size() + 64;
    return {std::move(held), size};
  });
}

}  // namespace pdf
