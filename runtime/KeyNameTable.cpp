#include "runtime/KeyNameTable.h"

#include "runtime/ErrorTrap.h"

namespace runtime {
namespace {

// Note that "I" abbreviates both Interpolate and Indexed: which one is
// meant depends on where it stands (a key or a colour space value).
constexpr KeyNamePair kTable[kKeyRowCount] = {
    {"BitsPerComponent", "BPC"}, {"ColorSpace", "CS"},      {"Decode", "D"},
    {"DecodeParms", "DP"},       {"Filter", "F"},           {"Height", "H"},
    {"ImageMask", "IM"},         {"Interpolate", "I"},      {"Width", "W"},
    {"DeviceGray", "G"},         {"DeviceRGB", "RGB"},      {"DeviceCMYK", "CMYK"},
    {"Indexed", "I"},            {"ASCIIHexDecode", "AHx"}, {"ASCII85Decode", "A85"},
    {"LZWDecode", "LZW"},        {"FlateDecode", "Fl"},     {"RunLengthDecode", "RL"},
    {"CCITTFaxDecode", "CCF"},   {"DCTDecode", "DCT"},
};

}  // namespace

const KeyNamePair& KeyNames(KeyRow row) {
  const auto index = static_cast<uint32_t>(row);
  if (index >= kKeyRowCount) ThrowRuntime(kMalformed);
  return kTable[index];
}

}  // namespace runtime
