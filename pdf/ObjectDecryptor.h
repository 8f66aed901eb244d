#pragma once
// What the document asks of a security handler: the strings and the stream
// data of an encrypted object, and an explicit "Crypt" filter. The handler
// itself comes with document opening; until one is installed nothing is
// decrypted.
#include <cstdint>

#include "runtime/ObjectHandle.h"
#include "streams/BlockSource.h"

namespace pdf {

class ObjectDecryptor {
 public:
  virtual ~ObjectDecryptor() = default;
  // Decrypts one string of object (number, generation) in place.
  virtual void DecryptString(uint32_t number, uint32_t generation, uint8_t* bytes,
                             uint32_t count) = 0;
  // The stream data of object (number, generation), decrypted.
  virtual streams::StreamRef DecryptStream(runtime::LibraryContext* context,
                                           streams::StreamRef raw, uint32_t number,
                                           uint32_t generation) = 0;
  // An explicit "Crypt" filter with its decode parameters (null when
  // absent).
  virtual streams::StreamRef ApplyCryptFilter(runtime::LibraryContext* context,
                                              streams::StreamRef chain,
                                              const runtime::ObjectHandle& parameters,
                                              uint32_t number, uint32_t generation) = 0;
};

}  // namespace pdf
