// The standard security handler: MD5 and RC4 against their published test
// vectors, the qpdf-made fixtures against what qpdf reports for each
// password, and the dictionary edge cases built by hand.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "pdf/Md5.h"
#include "pdf/Rc4.h"
#include "pdf/SecurityHandler.h"
#include "pdf/StreamObject.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "tests/pdf/PdfTestSupport.h"

namespace {

using runtime::ObjectHandle;

std::string Hex(const uint8_t* bytes, size_t count) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < count; ++i) {
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 15];
  }
  return out;
}

std::string Md5Hex(const std::string& text, size_t chunk) {
  pdf::Md5 digest;
  pdf::Md5Init(digest);
  for (size_t at = 0; at < text.size(); at += chunk) {
    const size_t count = std::min(chunk, text.size() - at);
    pdf::Md5Update(digest, reinterpret_cast<const uint8_t*>(text.data()) + at, count);
  }
  uint8_t out[pdf::kMd5DigestBytes];
  pdf::Md5Final(digest, out);
  return Hex(out, sizeof(out));
}

TEST(Md5Test, Rfc1321Vectors) {
  const struct {
    const char* text;
    const char* digest;
  } cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& c : cases) {
    // Fed whole, byte by byte and in pieces that straddle the 64-byte
    // blocks: the digest must not depend on how the bytes arrive.
    for (size_t chunk : {size_t{1000}, size_t{1}, size_t{7}, size_t{63}}) {
      EXPECT_EQ(Md5Hex(c.text, chunk), c.digest) << c.text << " in pieces of " << chunk;
    }
  }
}

TEST(Rc4Test, PublishedVectorsAndKeyLimit) {
  const struct {
    const char* key;
    const char* plain;
    const char* cipher;
  } cases[] = {
      {"Key", "Plaintext", "bbf316e8d940af0ad3"},
      {"Wiki", "pedia", "1021bf0420"},
      {"Secret", "Attack at dawn", "45a01f645fc35b383552544b9bf5"},
  };
  for (const auto& c : cases) {
    std::string bytes = c.plain;
    pdf::Rc4 cipher(reinterpret_cast<const uint8_t*>(c.key), static_cast<uint32_t>(strlen(c.key)));
    cipher.Process(reinterpret_cast<uint8_t*>(bytes.data()), static_cast<uint32_t>(bytes.size()));
    EXPECT_EQ(Hex(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), c.cipher);
  }
  // Only the first 16 key bytes count.
  const uint8_t longKey[20] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 99, 98, 97, 96};
  uint8_t a[32] = {};
  uint8_t b[32] = {};
  pdf::Rc4(longKey, 20).Process(a, sizeof(a));
  pdf::Rc4(longKey, 16).Process(b, sizeof(b));
  EXPECT_EQ(0, std::memcmp(a, b, sizeof(a)));
}

class SecurityTest : public ::testing::Test {
 protected:
  SecurityTest() { context_.memory.SetBudget(runtime::kNoLimit); }

  // SetupSecurity's answer, or the runtime code it raised (as -1 - code).
  int Setup(pdf::Document& document, const std::string& password) {
    int answer = 0;
    runtime::ErrorTrap trap(&context_);
    if (!trap.Run([&] {
          answer = document.SetupSecurity("Standard",
                                          reinterpret_cast<const uint8_t*>(password.data()),
                                          static_cast<uint32_t>(password.size()))
                       ? 1
                       : 0;
        })) {
      trap.SetHandled();
      answer = -1 - static_cast<int>(trap.Held().code);
      trap.Close();
    }
    return answer;
  }

  runtime::LibraryContext context_;
};

// The permission word the handler must derive from qpdf's "P".
uint32_t ExpectedPermissions(int64_t p, uint32_t revision, bool owner) {
  if (owner) return pdf::SecurityHandler::kAllPermissions;
  uint32_t word = (static_cast<uint32_t>(p) & ~3u) | 0xFFFFF0C0u;
  if (revision == 2) word |= 0xF00u;
  return word;
}

TEST_F(SecurityTest, FixturesMatchQpdf) {
  std::string dir;
  const auto& cases = pdftest::EncryptedCases(&dir);
  ASSERT_GE(cases.size(), 30u) << "the fixture script did not run";
  for (const pdftest::EncryptedCase& c : cases) {
    SCOPED_TRACE(c.file + " with password '" + c.password + "'");
    const std::string bytes = pdftest::ReadFile(dir + "/" + c.file);
    pdftest::OpenDocument document(&context_, bytes);
    const int answer = Setup(*document, c.password);
    if (c.file.rfind("aes", 0) == 0) {
      EXPECT_EQ(answer, 0);
      EXPECT_FALSE(document->EncryptionSupported());
      continue;
    }
    ASSERT_NE(c.status, "failed");
    // qpdf digests only the first n bytes in the owner key's rounds, so it
    // refuses the owner password of the file made by the published
    // algorithm; the handler accepts both.
    const bool ownerOfWholeDigest = c.file.rfind("r3_40_whole", 0) == 0 && c.password == "own";
    if (c.status == "wrong" && !ownerOfWholeDigest) {
      EXPECT_EQ(answer, 0);
      continue;
    }
    ASSERT_EQ(answer, 1);
    const pdf::SecurityHandler* security = document->Security();
    ASSERT_NE(security, nullptr);
    const bool owner = ownerOfWholeDigest || c.used == "owner";
    EXPECT_EQ(security->Authorisation(),
              owner ? pdf::PasswordUsed::kOwner : pdf::PasswordUsed::kUser);
    if (ownerOfWholeDigest) continue;  // nothing of qpdf's to compare with
    EXPECT_EQ(security->Permissions(), ExpectedPermissions(c.p, security->Revision(), owner));

    ObjectHandle info = document->GetObject(c.infoNumber, 0);
    ObjectHandle title = runtime::Dictionary::Get(info, "Title");
    ASSERT_EQ(title.Tag(), runtime::ObjectTag::kString);
    EXPECT_EQ(std::string(title->AsString().View()), c.title);
    ObjectHandle contents = document->GetObject(c.streamNumber, 0);
    streams::DataStreamRef data = pdf::StreamObject::OpenDataStream(*document, contents);
    EXPECT_EQ(pdftest::ReadAll(*data), pdftest::Base64Decode(c.streamBase64));
  }
}

TEST_F(SecurityTest, KeyLengthsAndRevisions) {
  std::string dir;
  pdftest::EncryptedCases(&dir);
  const struct {
    const char* file;
    uint32_t revision;
    uint32_t keyBytes;
  } cases[] = {
      {"r2_40_empty.pdf", 2, 5},
      {"r3_40_empty.pdf", 3, 5},
      {"r3_128_empty.pdf", 3, 16},
      {"r4_rc4_empty.pdf", 4, 16},
  };
  for (const auto& c : cases) {
    const std::string bytes = pdftest::ReadFile(dir + "/" + c.file);
    pdftest::OpenDocument document(&context_, bytes);
    ASSERT_EQ(Setup(*document, ""), 1) << c.file;
    EXPECT_EQ(document->Security()->Revision(), c.revision) << c.file;
    EXPECT_EQ(document->Security()->KeyLength(), c.keyBytes) << c.file;
    // The per-object key is n + 5 bytes, at most 16.
    uint8_t key[pdf::SecurityHandler::kMaxKeyBytes];
    EXPECT_EQ(document->Security()->ObjectKey(7, 0, key), std::min(c.keyBytes + 5, 16u));
  }
}

// A document whose "Encrypt" dictionary is `encrypt` (its strings written
// as they stand).
std::string WithEncrypt(const std::string& encrypt) {
  pdftest::PdfWriter writer;
  writer.Object(1, "<< /Type /Catalog >>").Object(2, encrypt);
  writer.ClassicTable("/Root 1 0 R /Encrypt 2 0 R /ID [<00112233445566778899aabbccddeeff> <00>]");
  return writer.Text();
}

constexpr int kUnsupportedAnswer = -1 - static_cast<int>(runtime::kUnsupported);
constexpr int kMalformedAnswer = -1 - static_cast<int>(runtime::kMalformed);

TEST_F(SecurityTest, DictionaryEdgeCases) {
  const std::string o32 = "<" + std::string(64, 'a') + ">";
  const std::string u32 = "<" + std::string(64, 'b') + ">";
  const std::string ou = " /O " + o32 + " /U " + u32 + " /P -4";
  const struct {
    std::string encrypt;
    int answer;  // 1 authorised, 0 not, -1 - code for an error
    bool supported;
    uint32_t keyBytes;  // 0: no handler to look at
  } cases[] = {
      // A wrong password (the made-up "O" and "U" match nothing).
      {"<< /Filter /Standard /V 2 /R 3 /Length 40" + ou + " >>", 0, true, 5},
      {"<< /Filter /Standard /V 2 /R 3 /Length 128" + ou + " >>", 0, true, 16},
      // Revision 2 always has a 5-byte key.
      {"<< /Filter /Standard /V 1 /R 2 /Length 128" + ou + " >>", 0, true, 5},
      // Unsupported revisions and key lengths: no password opens them, so
      // the failed set-up leaves the encryption unsupported.
      {"<< /Filter /Standard /V 5 /R 5" + ou + " >>", kUnsupportedAnswer, false, 0},
      {"<< /Filter /Standard /V 2 /R 3 /Length 136" + ou + " >>", kUnsupportedAnswer,
       false, 0},
      {"<< /Filter /Standard /V 2 /R 3 /Length 44" + ou + " >>", kUnsupportedAnswer, false,
       0},
      // "O" of another length.
      {"<< /Filter /Standard /V 2 /R 3 /Length 40 /O <0011> /U " + u32 + " /P -4 >>",
       kMalformedAnswer, false, 0},
      // Another handler, and a crypt filter of another method.
      {"<< /Filter /Other /V 2 /R 3" + ou + " >>", 0, false, 0},
      {"<< /Filter /Standard /V 4 /R 4 /Length 128 /CF << /StdCF << /CFM /AESV2 >> >> /StmF "
       "/StdCF /StrF /StdCF" + ou + " >>",
       0, false, 0},
      // A crypt filter that only authenticates when an attachment is
      // opened does not count, and identity filters open without a
      // password.
      {"<< /Filter /Standard /V 4 /R 4 /Length 128 /CF << /StdCF << /CFM /AESV2 /AuthEvent "
       "/EFOpen >> >>" + ou + " >>",
       1, true, 16},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.encrypt);
    const std::string bytes = WithEncrypt(c.encrypt);
    pdftest::OpenDocument document(&context_, bytes);
    EXPECT_EQ(Setup(*document, "secret"), c.answer);
    EXPECT_EQ(document->EncryptionSupported(), c.supported);
    if (c.keyBytes != 0) {
      ASSERT_NE(document->Security(), nullptr);
      EXPECT_EQ(document->Security()->KeyLength(), c.keyBytes);
    }
  }
}

}  // namespace
