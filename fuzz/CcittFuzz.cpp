// libFuzzer entry: CCITTFax decoding of arbitrary data with parameters
// taken from the first bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "streams/ccitt/CcittDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 6) return 0;
  static runtime::LibraryContext context;
  streams::CcittParams params;
  params.k = static_cast<int8_t>(data[0]) % 4;
  params.columns = ((data[1] << 8) | data[2]) % 3000 - 2;  // includes invalid widths
  params.rows = data[3] % 64;
  params.damagedRowsBeforeError = data[4] % 4;
  params.encodedByteAlign = data[5] & 1;
  params.endOfBlock = data[5] & 2;
  params.endOfLine = data[5] & 4;
  params.blackIs1 = data[5] & 8;
  runtime::ErrorTrap trap(&context);
  if (!trap.Run([&] {
        streams::FaxBitReader bits(data + 6, data + size);
        streams::CcittDecoder decoder(&context, params, bits);
        std::vector<uint8_t> row(static_cast<size_t>(decoder.RowBytes()));
        for (int i = 0; i < 4096 && decoder.ReadRow(row.data()); ++i) {
        }
      })) {
    trap.SetHandled();
    trap.Close();
  }
  return 0;
}
