#include "pdf/SecurityHandler.h"

#include <algorithm>
#include <cstring>

#include "pdf/Document.h"
#include "pdf/Md5.h"
#include "pdf/Rc4.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "streams/FilterBase.h"

namespace pdf {
namespace {

using runtime::ObjectHandle;
using runtime::ObjectTag;
using runtime::ObjectValue;

// What a short password is completed with.
constexpr uint8_t kPadding[32] = {0x28, 0xBF, 0x4E, 0x5E, 0x4E, 0x75, 0x8A, 0x41,
                                  0x64, 0x00, 0x4E, 0x56, 0xFF, 0xFA, 0x01, 0x08,
                                  0x2E, 0x2E, 0x00, 0xB6, 0xD0, 0x68, 0x3E, 0x80,
                                  0x2F, 0x0C, 0xA9, 0xFE, 0x64, 0x53, 0x69, 0x7A};

constexpr uint32_t kKeyRounds = 50;
constexpr uint32_t kCipherRounds = 20;

// The password cut to 32 bytes and completed with the padding.
void Pad(const uint8_t* password, uint32_t length, uint8_t out[32]) {
  const uint32_t take = std::min<uint32_t>(length, SecurityHandler::kPasswordBytes);
  if (take != 0) std::memcpy(out, password, take);
  std::memcpy(out + take, kPadding, SecurityHandler::kPasswordBytes - take);
}

// The bytes of a string value, or none.
const runtime::ByteString* StringOf(const ObjectHandle& value) {
  return value.Tag() == ObjectTag::kString ? &value->AsString() : nullptr;
}

bool IsName(const ObjectHandle& value, const char* name) {
  return value.Tag() == ObjectTag::kName && value->AsName().Equals(name);
}

// Whether crypt filter `filter` is used when the document is opened
// ("AuthEvent" absent or "DocOpen").
bool UsedAtOpen(const ObjectHandle& filter) {
  if (filter.Tag() != ObjectTag::kDictionary) return false;
  ObjectHandle event = runtime::Dictionary::Get(filter, "AuthEvent");
  return event.IsNull() || IsName(event, "DocOpen");
}

// Calls `visit` with every crypt filter under "CF".
template <class Visit>
void ForEachCryptFilter(const ObjectHandle& encrypt, Visit&& visit) {
  ObjectHandle filters = runtime::Dictionary::Get(encrypt, "CF");
  if (filters.Tag() != ObjectTag::kDictionary) return;
  for (runtime::DictionaryIterator it(filters); !it.AtEnd(); it.Next()) visit(it.GetEntry().value);
}

// RC4 over stream data, keyed afresh at every restart.
class Rc4Filter final : public streams::FilterBase {
 public:
  Rc4Filter(runtime::LibraryContext* context, streams::StreamRef source, const uint8_t* key,
            uint32_t length)
      : FilterBase(context, std::move(source)), length_(length) {
    std::memcpy(key_, key, length);
    cipher_.SetKey(key_, length_);
  }
  uint32_t Decode(uint8_t* buffer, uint32_t capacity) override {
    uint32_t written = 0;
    while (written < capacity) {
      if (!SourceAvailable()) {
        end_ = true;
        break;
      }
      const auto take = static_cast<uint32_t>(
          std::min<size_t>(capacity - written, static_cast<size_t>(sourceEnd_ - sourceCursor_)));
      cipher_.Process(sourceCursor_, buffer + written, take);
      sourceCursor_ += take;
      written += take;
    }
    return written;
  }
  void Restart(uint64_t position) override {
    FilterBase::Restart(position);
    cipher_.SetKey(key_, length_);
  }
  uint32_t MemorySize() const override { return FilterBase::MemorySize() + sizeof(Rc4); }

 private:
  uint8_t key_[SecurityHandler::kMaxKeyBytes];
  uint32_t length_;
  Rc4 cipher_;
};

}  // namespace

bool SecurityHandler::IsSupported(const ObjectHandle& encrypt) {
  if (encrypt.Tag() != ObjectTag::kDictionary) return false;
  if (!IsName(runtime::Dictionary::Get(encrypt, "Filter"), "Standard")) return false;
  if (runtime::Dictionary::GetIntegerOr(encrypt, "V", 0) != 4) return true;
  bool supported = true;
  ForEachCryptFilter(encrypt, [&](const ObjectHandle& filter) {
    if (!UsedAtOpen(filter)) return;
    ObjectHandle method = runtime::Dictionary::Get(filter, "CFM");
    if (!method.IsNull() && !IsName(method, "None") && !IsName(method, "V2")) supported = false;
  });
  return supported;
}

SecurityHandler::SecurityHandler(Document& document, const ObjectHandle& encrypt,
                                 const uint8_t* password, uint32_t length)
    : document_(document),
      encryptValue_(encrypt.Value()),
      // A handle on the document's cached object would die with the cache
      // entry (installing the handler empties the cache); this copy of the
      // top-level value keeps only the store of its contents alive.
      encrypt_(encrypt.Context(), &encryptValue_, encrypt.Store(), encrypt.Owner()) {
  const int32_t revision = runtime::Dictionary::GetIntegerOr(encrypt_, "R", 0);
  if (revision < 2 || revision > 4) runtime::ThrowRuntime(runtime::kUnsupported);
  revision_ = static_cast<uint32_t>(revision);
  if (revision_ >= 3) {
    const int32_t bits = runtime::Dictionary::GetIntegerOr(encrypt_, "Length", 40);
    if (bits < 40 || bits > 128 || bits % 8 != 0) runtime::ThrowRuntime(runtime::kUnsupported);
    keyLength_ = static_cast<uint32_t>(bits) / 8;
  }
  if (revision_ == 4) {
    strings_ = DefaultMethod("StrF");
    streams_ = DefaultMethod("StmF");
  }
  // Longer passwords count by their first 32 bytes, as every writer that
  // truncated them when encrypting expects.
  if (length > kPasswordBytes) length = kPasswordBytes;
  if (length == 0) {
    authorised_ = CheckUserPassword(password, 0) || CheckOwnerPassword(password, 0);
  } else {
    authorised_ = CheckOwnerPassword(password, length) || CheckUserPassword(password, length);
  }
}

SecurityHandler::Method SecurityHandler::DefaultMethod(const char* key) const {
  ObjectHandle name = runtime::Dictionary::Get(encrypt_, key);
  if (name.IsNull()) return Method::kIdentity;
  return LookupCryptFilter(name);
}

SecurityHandler::Method SecurityHandler::LookupCryptFilter(const ObjectHandle& name) const {
  if (name.Tag() != ObjectTag::kName) runtime::ThrowRuntime(runtime::kMalformed);
  if (name->AsName().Equals("Identity")) return Method::kIdentity;
  ObjectHandle filters = runtime::Dictionary::Get(encrypt_, "CF");
  if (revision_ == 4 && filters.Tag() == ObjectTag::kDictionary) {
    ObjectHandle filter = runtime::Dictionary::Get(filters, name->AsName().View());
    if (filter.Tag() == ObjectTag::kDictionary) {
      ObjectHandle method = runtime::Dictionary::Get(filter, "CFM");
      // "None" (also the default) leaves the data as it stands.
      if (method.IsNull() || IsName(method, "None")) return Method::kIdentity;
      if (IsName(method, "V2")) return Method::kRc4;
    }
  }
  runtime::ThrowRuntime(runtime::kUnsupported);
}

void SecurityHandler::DigestFirstId(Md5& digest) const {
  ObjectHandle ids = runtime::Dictionary::Get(document_.GetTrailer(), "ID");
  if (ids.Tag() == ObjectTag::kArray && runtime::Array::Count(ids) != 0) {
    if (const runtime::ByteString* id = StringOf(runtime::Array::Get(ids, 0))) {
      Md5Update(digest, id->Bytes(), id->length);
    }
  }
}

void SecurityHandler::ComputeFileKey(const uint8_t* password, uint32_t length,
                                     uint8_t* key) const {
  uint8_t padded[kPasswordBytes];
  Pad(password, length, padded);
  Md5 digest;
  Md5Init(digest);
  Md5Update(digest, padded, sizeof(padded));
  if (const runtime::ByteString* owner = StringOf(runtime::Dictionary::Get(encrypt_, "O"))) {
    Md5Update(digest, owner->Bytes(), owner->length);
  }
  const auto permissions =
      static_cast<uint32_t>(runtime::Dictionary::GetIntegerOr(encrypt_, "P", 0));
  const uint8_t word[4] = {static_cast<uint8_t>(permissions), static_cast<uint8_t>(permissions >> 8),
                           static_cast<uint8_t>(permissions >> 16),
                           static_cast<uint8_t>(permissions >> 24)};
  Md5Update(digest, word, sizeof(word));
  DigestFirstId(digest);
  if (revision_ == 4 && !runtime::Dictionary::GetBooleanOr(encrypt_, "EncryptMetadata", true)) {
    static constexpr uint8_t kNoMetadata[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    Md5Update(digest, kNoMetadata, sizeof(kNoMetadata));
  }
  uint8_t hash[kMd5DigestBytes];
  Md5Final(digest, hash);
  if (revision_ >= 3) {
    for (uint32_t round = 0; round < kKeyRounds; ++round) {
      Md5Init(digest);
      Md5Update(digest, hash, keyLength_);
      Md5Final(digest, hash);
    }
  }
  std::memcpy(key, hash, keyLength_);
}

void SecurityHandler::ComputeOwnerKey(const uint8_t* password, uint32_t length, uint8_t* key,
                                      bool wholeDigest) const {
  uint8_t padded[kPasswordBytes];
  Pad(password, length, padded);
  Md5 digest;
  Md5Init(digest);
  Md5Update(digest, padded, sizeof(padded));
  uint8_t hash[kMd5DigestBytes];
  Md5Final(digest, hash);
  if (revision_ >= 3) {
    // The published algorithm digests the whole previous digest in each
    // round (unlike the file key, which digests its first n bytes) and
    // cuts the key at the end; some writers digest n bytes here too.
    const uint32_t digested = wholeDigest ? kMd5DigestBytes : keyLength_;
    for (uint32_t round = 0; round < kKeyRounds; ++round) {
      Md5Init(digest);
      Md5Update(digest, hash, digested);
      Md5Final(digest, hash);
    }
  }
  std::memcpy(key, hash, keyLength_);
}

bool SecurityHandler::CheckUserPassword(const uint8_t* password, uint32_t length) {
  if (revision_ == 4) {
    bool authenticates = false;
    ForEachCryptFilter(encrypt_, [&](const ObjectHandle& filter) {
      authenticates = authenticates || UsedAtOpen(filter);
    });
    if (!authenticates && strings_ == Method::kIdentity && streams_ == Method::kIdentity) {
      used_ = PasswordUsed::kUser;
      return true;
    }
  }
  uint8_t key[kMaxKeyBytes];
  ComputeFileKey(password, length, key);
  const runtime::ByteString* user = StringOf(runtime::Dictionary::Get(encrypt_, "U"));

  uint8_t result[kPasswordBytes];
  uint32_t compared = 0;
  if (revision_ == 2) {
    Rc4(key, keyLength_).Process(kPadding, result, kPasswordBytes);
    compared = kPasswordBytes;
  } else {
    Md5 digest;
    Md5Init(digest);
    Md5Update(digest, kPadding, sizeof(kPadding));
    DigestFirstId(digest);
    Md5Final(digest, result);
    for (uint32_t pass = 0; pass < kCipherRounds; ++pass) {
      uint8_t passKey[kMaxKeyBytes];
      for (uint32_t i = 0; i < keyLength_; ++i) passKey[i] = static_cast<uint8_t>(key[i] ^ pass);
      Rc4(passKey, keyLength_).Process(result, kMd5DigestBytes);
    }
    compared = kMd5DigestBytes;
  }
  if (user == nullptr || user->length < compared ||
      std::memcmp(result, user->Bytes(), compared) != 0) {
    return false;
  }
  std::memcpy(fileKey_, key, keyLength_);
  uint32_t permissions =
      static_cast<uint32_t>(runtime::Dictionary::GetIntegerOr(encrypt_, "P", 0));
  permissions = (permissions & ~3u) | 0xFFFFF0C0u;
  if (revision_ == 2) permissions |= 0x00000F00u;
  permissions_ = permissions;
  used_ = PasswordUsed::kUser;
  return true;
}

bool SecurityHandler::CheckOwnerPassword(const uint8_t* password, uint32_t length) {
  const runtime::ByteString* owner = StringOf(runtime::Dictionary::Get(encrypt_, "O"));
  if (owner == nullptr || owner->length != kPasswordBytes) {
    runtime::ThrowRuntime(runtime::kMalformed);
  }
  // Both owner-key variants are in use for keys under 128 bits; they agree
  // for 128-bit keys.
  if (CheckOwnerKey(password, length, owner, true)) return true;
  return revision_ >= 3 && keyLength_ < kMaxKeyBytes &&
         CheckOwnerKey(password, length, owner, false);
}

bool SecurityHandler::CheckOwnerKey(const uint8_t* password, uint32_t length,
                                    const runtime::ByteString* owner, bool wholeDigest) {
  uint8_t key[kMaxKeyBytes];
  ComputeOwnerKey(password, length, key, wholeDigest);
  uint8_t user[kPasswordBytes];
  std::memcpy(user, owner->Bytes(), kPasswordBytes);
  if (revision_ == 2) {
    Rc4(key, keyLength_).Process(user, kPasswordBytes);
  } else {
    for (uint32_t pass = kCipherRounds; pass-- > 0;) {
      uint8_t passKey[kMaxKeyBytes];
      for (uint32_t i = 0; i < keyLength_; ++i) passKey[i] = static_cast<uint8_t>(key[i] ^ pass);
      Rc4(passKey, keyLength_).Process(user, kPasswordBytes);
    }
  }
  if (!CheckUserPassword(user, kPasswordBytes)) return false;
  permissions_ = kAllPermissions;
  used_ = PasswordUsed::kOwner;
  return true;
}

uint32_t SecurityHandler::ObjectKey(uint32_t number, uint32_t generation,
                                    uint8_t key[kMaxKeyBytes]) const {
  const uint8_t suffix[5] = {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
                             static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(generation),
                             static_cast<uint8_t>(generation >> 8)};
  Md5 digest;
  Md5Init(digest);
  Md5Update(digest, fileKey_, keyLength_);
  Md5Update(digest, suffix, sizeof(suffix));
  uint8_t hash[kMd5DigestBytes];
  Md5Final(digest, hash);
  const uint32_t length = std::min(keyLength_ + 5, kMaxKeyBytes);
  std::memcpy(key, hash, length);
  return length;
}

void SecurityHandler::DecryptString(uint32_t number, uint32_t generation, uint8_t* bytes,
                                    uint32_t count) {
  if (strings_ == Method::kIdentity) return;
  uint8_t key[kMaxKeyBytes];
  const uint32_t length = ObjectKey(number, generation, key);
  Rc4(key, length).Process(bytes, count);
}

streams::StreamRef SecurityHandler::Rc4Stream(runtime::LibraryContext* context,
                                              streams::StreamRef raw, uint32_t number,
                                              uint32_t generation) const {
  uint8_t key[kMaxKeyBytes];
  const uint32_t length = ObjectKey(number, generation, key);
  return streams::MakeRef<Rc4Filter>(context, std::move(raw), key, length);
}

streams::StreamRef SecurityHandler::DecryptStream(runtime::LibraryContext* context,
                                                  streams::StreamRef raw, uint32_t number,
                                                  uint32_t generation) {
  if (streams_ == Method::kIdentity) return raw;
  return Rc4Stream(context, std::move(raw), number, generation);
}

streams::StreamRef SecurityHandler::ApplyCryptFilter(runtime::LibraryContext* context,
                                                     streams::StreamRef chain,
                                                     const ObjectHandle& parameters,
                                                     uint32_t number, uint32_t generation) {
  ObjectHandle name;
  if (parameters.Tag() == ObjectTag::kDictionary) name = runtime::Dictionary::Get(parameters, "Name");
  if (name.IsNull() || LookupCryptFilter(name) == Method::kIdentity) return chain;
  return Rc4Stream(context, std::move(chain), number, generation);
}

}  // namespace pdf
