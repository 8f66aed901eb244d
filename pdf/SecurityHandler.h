#pragma once
// The standard security handler: revisions 2, 3 and 4 with RC4. It checks
// a password against the "Encrypt" dictionary, derives the file key and
// the per-object keys, and decrypts strings and stream data. Nothing is
// ever encrypted.
//
//   SecurityHandler* handler = NewObject<SecurityHandler>(context, document, encrypt,
//                                                         password, length);
//   if (handler->IsAuthorised()) document.SetDecryptor(handler);
#include <cstdint>

#include "pdf/ObjectDecryptor.h"
#include "runtime/ObjectHandle.h"
#include "runtime/ObjectValue.h"

namespace pdf {

class Document;
struct Md5;

// Which password opened the document.
enum class PasswordUsed : uint8_t { kNone = 0, kUser = 1, kOwner = 2 };

class SecurityHandler final : public ObjectDecryptor {
 public:
  // Passwords are padded or cut to this many bytes.
  static constexpr uint32_t kPasswordBytes = 32;
  static constexpr uint32_t kMaxKeyBytes = 16;
  // The permission word after the owner password: everything allowed.
  static constexpr uint32_t kAllPermissions = 0xFFFFFFFC;

  // How a crypt filter decrypts.
  enum class Method : uint8_t { kIdentity, kRc4 };

  // Reads the revision and key length (runtime, 5 for ones not supported)
  // and checks `password`.
  SecurityHandler(Document& document, const runtime::ObjectHandle& encrypt,
                  const uint8_t* password, uint32_t length);

  bool IsAuthorised() const { return authorised_; }
  PasswordUsed Authorisation() const { return used_; }
  uint32_t Revision() const { return revision_; }
  uint32_t KeyLength() const { return keyLength_; }
  uint32_t Permissions() const { return permissions_; }
  const uint8_t* FileKey() const { return fileKey_; }

  bool CheckUserPassword(const uint8_t* password, uint32_t length);
  bool CheckOwnerPassword(const uint8_t* password, uint32_t length);
  void ComputeFileKey(const uint8_t* password, uint32_t length, uint8_t* key) const;
  // `wholeDigest`: each of the 50 rounds of revisions 3 and 4 digests the
  // whole previous digest (the published algorithm) rather than its first
  // n bytes (what several writers do).
  void ComputeOwnerKey(const uint8_t* password, uint32_t length, uint8_t* key,
                       bool wholeDigest = true) const;
  // The key of object (number, generation) in `key`; answers its length.
  uint32_t ObjectKey(uint32_t number, uint32_t generation, uint8_t key[kMaxKeyBytes]) const;
  // The crypt filter `name` names: identity for "Identity" (and for a
  // filter whose method is "None"), RC4 for one whose "CFM" is "V2";
  // (runtime, 5) for anything else.
  Method LookupCryptFilter(const runtime::ObjectHandle& name) const;

  void DecryptString(uint32_t number, uint32_t generation, uint8_t* bytes,
                     uint32_t count) override;
  streams::StreamRef DecryptStream(runtime::LibraryContext* context, streams::StreamRef raw,
                                   uint32_t number, uint32_t generation) override;
  streams::StreamRef ApplyCryptFilter(runtime::LibraryContext* context, streams::StreamRef chain,
                                      const runtime::ObjectHandle& parameters, uint32_t number,
                                      uint32_t generation) override;

  // Whether the "Encrypt" dictionary can be opened by this handler: its
  // "Filter" is "Standard" and, with "V" 4, every crypt filter used at
  // document open has the method "None" or "V2".
  static bool IsSupported(const runtime::ObjectHandle& encrypt);

 private:
  bool CheckOwnerKey(const uint8_t* password, uint32_t length, const runtime::ByteString* owner,
                     bool wholeDigest);
  // Adds the first string of the trailer's "ID" (when there is one).
  void DigestFirstId(Md5& digest) const;
  // The default method of strings ("StrF") or streams ("StmF").
  Method DefaultMethod(const char* key) const;
  streams::StreamRef Rc4Stream(runtime::LibraryContext* context, streams::StreamRef raw,
                               uint32_t number, uint32_t generation) const;

  Document& document_;
  runtime::ObjectValue encryptValue_;
  runtime::ObjectHandle encrypt_;
  uint32_t revision_ = 0;
  uint32_t keyLength_ = 5;
  bool authorised_ = false;
  PasswordUsed used_ = PasswordUsed::kNone;
  uint32_t permissions_ = 0;
  Method strings_ = Method::kRc4;
  Method streams_ = Method::kRc4;
  uint8_t fileKey_[kMaxKeyBytes] = {};
};

}  // namespace pdf
