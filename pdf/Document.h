#pragma once
// An open PDF file: its source, where its header and newest cross-reference
// section are, the cross-reference table and the cache of loaded objects.
// Every indirect reference of the document is resolved here.
//
//   Document* document = Document::Open(context, source);  // (runtime, 2) when not a PDF
//   ObjectHandle root = Dictionary::Get(document->GetTrailer(), "Root");
//   ObjectHandle page = document->GetObject(12, 0);
//   StreamRef data = StreamObject::OpenData(*document, page_contents);
//   DestroyAndFree(context, document);
#include <cstdint>

#include "pdf/ObjectDecryptor.h"
#include "pdf/XrefTable.h"
#include "runtime/ObjectCache.h"
#include "runtime/ObjectHandle.h"
#include "runtime/ValueStore.h"
#include "streams/DataSource.h"
#include "streams/DataStream.h"
#include "streams/FilterChainBuilder.h"

namespace pdf {

class FontCache;
class LinearizedPages;
class PageModelCache;
class PageOrder;
class RoleTable;
class SecurityHandler;

class Document final : public runtime::ReferenceResolver, public streams::StreamOpener {
 public:
  // "%PDF" must begin within this many bytes of the file's start.
  static constexpr uint32_t kHeaderWindow = 1024;
  // The backward search for "%%EOF" and "startxref" reads windows of this.
  static constexpr uint32_t kTrailerWindow = 1024;
  // Loads that start further loads (a "Length" held in another object, an
  // object stream, a cross-reference stream) nest at most this deep; a
  // crafted file cannot make them recurse without end.
  static constexpr uint32_t kMaxLoadDepth = 24;

  // Finds the header and the newest cross-reference section and builds the
  // document over `source`. (runtime, 2) when the file is no PDF or its
  // tail is unreadable. Release with DestroyAndFree.
  static Document* Open(runtime::LibraryContext* context, streams::DataStoreRef source);

  Document(runtime::LibraryContext* context, streams::DataStoreRef source);
  ~Document() override;
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;

  // Header and trailer search (see Open).
  void ScanHeaderAndTrailer();

  // The newest section's trailer dictionary.
  runtime::ObjectHandle GetTrailer();
  // The pages of the page tree (see PageTree::CountPages).
  int32_t GetPageCount();
  // The document's walk of its page tree, kept so that each page is found
  // once (see PageOrder).
  PageOrder& PageList();
  // The linearisation data of a linearised file (its hint tables read on
  // first need, once); null for a file that is not linearised.
  LinearizedPages* Linearization();
  // The fonts built for this document's pages, kept across pages.
  FontCache& Fonts();
  // The content models built for this document's pages, kept across pages.
  PageModelCache& PageModels();
  // The reference of page `index` (from 0): from the hint tables of a
  // linearised file when they answer (generation 0), else by the walk of the
  // page tree from the catalog's "Pages". (runtime, 2) when there is no
  // such page.
  runtime::ObjectReference GetPageRef(int32_t index);
  // The dictionary of page `index` (from 0); (runtime, 2) when there is no
  // such page or it is no dictionary.
  runtime::ObjectHandle GetPageDict(int32_t index);
  // The object (number, generation); the null value when it is free,
  // missing, or stored under another generation.
  runtime::ObjectHandle GetObject(uint32_t number, uint32_t generation);
  // As GetObject, for any generation: the object's own generation is put in
  // `generation` when it is not null.
  runtime::ObjectHandle GetObjectAnyGeneration(uint32_t number, uint32_t* generation);
  runtime::XrefEntry LookupEntry(uint32_t number) { return xref_.LookupEntry(number); }
  // The trailer's "Size": one past the largest object number, as the file
  // claims it.
  uint32_t ObjectCountHint();
  // "Size" cut at the objects the cross-reference data really lists (which
  // reads all of it): the bound of a walk over every object.
  uint32_t ObjectCount();

  runtime::ObjectHandle Resolve(runtime::LibraryContext* context,
                                const runtime::ObjectReference& reference) override;
  streams::StreamRef OpenStream(const runtime::ObjectHandle& stream) override;

  // Installs the security handler's decryption (null: none). The document
  // does not own it.
  void SetDecryptor(ObjectDecryptor* decryptor);

  // Sets up the document's security with `password`: true when the
  // document may be read (it is not encrypted, or the handler accepted the
  // password). An installed, authorised handler is kept; otherwise a new
  // handler replaces the old one. (runtime, 5) for a revision or key
  // length the standard handler does not support. Without a handler the
  // encryption may also be one that cannot be opened at all: see
  // EncryptionSupported.
  bool SetupSecurity(const char* handlerName, const uint8_t* password, uint32_t length);
  // Whether the trailer has an "Encrypt" entry.
  bool IsEncrypted();
  // False when the encryption is one no password can open (another
  // "Filter", another handler asked for, an unsupported crypt filter).
  bool EncryptionSupported() const { return encryptionSupported_; }
  // The structure role table (the standard types and the document's role
  // map), read on first use and kept; a role map that cannot be read is
  // raised each time it is asked for.
  const RoleTable& GetRoleTable();
  // The installed handler (null before SetupSecurity, or when the document
  // is not encrypted or its encryption is not supported).
  SecurityHandler* Security() const { return security_; }
  // The catalog (the trailer's "Root"); (runtime, 2) when it is missing or
  // no dictionary.
  runtime::ObjectHandle GetRoot();
  // The object number of the linearisation dictionary (0 when the file is
  // not linearised) and the dictionary.
  uint32_t LinearizedObject() const { return linearizedObject_; }
  const runtime::ObjectHandle& LinearizedDictionary() const { return linearized_; }
  // True when the file's first object is a linearisation dictionary whose
  // "L" is the file's length; `position` is then where the first-page
  // cross-reference section starts. A damaged dictionary answers false.
  bool ProbeLinearized(streams::DataStream& stream, int64_t* position, uint32_t* number);
  ObjectDecryptor* Decryptor() const { return decryptor_; }
  // The object number of the trailer's "Encrypt" dictionary (0 when it is
  // direct or absent): its strings are never decrypted.
  uint32_t EncryptObjectNumber() const { return encryptObject_; }

  runtime::LibraryContext* Context() const { return context_; }
  const streams::DataStoreRef& Source() const { return source_; }
  uint64_t FileLength() const { return fileLength_; }
  // Where "%PDF" begins; every offset stored in the file counts from here.
  uint32_t HeaderOffset() const { return headerOffset_; }
  int64_t NewestSectionOffset() const { return newestSection_; }
  // The version the header names ("1.7"); empty when it names none.
  const char* Version() const { return version_; }
  XrefTable& Xref() { return xref_; }

  // Counts a nested load for the duration of a scope; (runtime, 2) beyond
  // kMaxLoadDepth.
  class LoadScope {
   public:
    explicit LoadScope(Document& document);
    ~LoadScope();
    LoadScope(const LoadScope&) = delete;
    LoadScope& operator=(const LoadScope&) = delete;

   private:
    Document& document_;
  };

 private:
  struct LoadedObject;
  struct LoadedCount {
    static void CountUp(LoadedObject* object);
    static bool CountDown(LoadedObject* object);
    static uint32_t Count(const LoadedObject* object);
    static void Destroy(runtime::LibraryContext* context, LoadedObject* object);
  };
  using ObjectCacheType = runtime::ObjectCache<LoadedObject, uint32_t, LoadedCount>;
  struct ObjectStream;
  struct ObjectStreamCount {
    static void CountUp(ObjectStream* stream);
    static bool CountDown(ObjectStream* stream);
    static uint32_t Count(const ObjectStream* stream);
    static void Destroy(runtime::LibraryContext* context, ObjectStream* stream);
  };
  using ObjectStreamCache = runtime::ObjectCache<ObjectStream, uint32_t, ObjectStreamCount>;

  ObjectCacheType::Ref GetLoaded(uint32_t number);
  ObjectCacheType::Built LoadObject(uint32_t number);
  void ParseFileObject(uint32_t number, const runtime::XrefEntry& entry, LoadedObject* loaded);
  void ParseCompressedObject(uint32_t number, const runtime::XrefEntry& entry,
                             LoadedObject* loaded);
  ObjectStreamCache::Ref GetObjectStream(uint32_t number);
  uint64_t FindKeywordBackwards(streams::DataStream& stream, const char* keyword,
                                uint64_t from);

  runtime::LibraryContext* context_;
  streams::DataStoreRef source_;
  uint64_t fileLength_ = 0;
  uint32_t headerOffset_ = 0;
  int64_t newestSection_ = 0;
  XrefTable xref_;
  ObjectCacheType objects_;
  ObjectStreamCache objectStreams_;
  ObjectDecryptor* decryptor_ = nullptr;
  uint32_t encryptObject_ = 0;
  uint32_t loadDepth_ = 0;
  uint32_t linearizedObject_ = 0;
  runtime::ObjectHandle linearized_;
  bool encryptionSupported_ = true;
  RoleTable* roleTable_ = nullptr;
  PageOrder* pageOrder_ = nullptr;
  LinearizedPages* linearization_ = nullptr;
  FontCache* fonts_ = nullptr;
  PageModelCache* pageModels_ = nullptr;
  bool linearizationBroken_ = false;
  SecurityHandler* security_ = nullptr;
  char version_[8] = {};
};

}  // namespace pdf
