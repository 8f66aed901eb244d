#pragma once
// Writes small CFF programs for tests: charstrings, local and global
// subroutines and extra Top and Private DICT bytes, with the standard
// charset (glyph i is SID i) and encoding.
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace fonttest {

using Bytes = std::vector<uint8_t>;

// Charstring and DICT number encodings.
inline void PushNumber(Bytes& out, int v) {
  if (v >= -107 && v <= 107) {
    out.push_back(static_cast<uint8_t>(v + 139));
  } else {
    out.push_back(28);
    out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
    out.push_back(static_cast<uint8_t>(v & 0xFF));
  }
}

// A charstring from numbers and operators: operators are given as
// Op(code) (escapes as Op(12, code)).
struct CsItem {
  bool isOp;
  int value;
  int escape;
};
inline CsItem N(int v) { return {false, v, 0}; }
inline CsItem Op(int code, int escape = -1) { return {true, code, escape}; }
inline Bytes Charstring(std::initializer_list<CsItem> items) {
  Bytes out;
  for (const CsItem& item : items) {
    if (!item.isOp) {
      PushNumber(out, item.value);
    } else {
      out.push_back(static_cast<uint8_t>(item.value));
      if (item.escape >= 0) out.push_back(static_cast<uint8_t>(item.escape));
    }
  }
  return out;
}

inline void PushInt32(Bytes& out, uint32_t v) {
  out.push_back(29);
  for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(v >> s));
}

inline Bytes CffIndexBytes(const std::vector<Bytes>& entries) {
  Bytes out{static_cast<uint8_t>(entries.size() >> 8), static_cast<uint8_t>(entries.size())};
  if (entries.empty()) return out;
  out.push_back(4);
  uint32_t offset = 1;
  auto put = [&](uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(v >> s));
  };
  put(offset);
  for (const Bytes& e : entries) {
    offset += static_cast<uint32_t>(e.size());
    put(offset);
  }
  for (const Bytes& e : entries) out.insert(out.end(), e.begin(), e.end());
  return out;
}

struct CffBuilder {
  std::vector<Bytes> charstrings;
  std::vector<Bytes> localSubrs;
  std::vector<Bytes> globalSubrs;
  Bytes topExtra;
  Bytes privateExtra;

  Bytes Build() const {
    const Bytes header{1, 0, 4, 4};
    const Bytes names = CffIndexBytes({Bytes{'T', 'e', 's', 't'}});
    const uint32_t topSize = static_cast<uint32_t>(topExtra.size()) + 6 + 11;
    const uint32_t topIndexSize = 2 + 1 + 8 + topSize;
    const Bytes strings = CffIndexBytes({});
    const Bytes globals = CffIndexBytes(globalSubrs);
    const Bytes chars = CffIndexBytes(charstrings);
    const uint32_t charStringsAt =
        static_cast<uint32_t>(header.size() + names.size() + topIndexSize + strings.size() + globals.size());
    const uint32_t privateAt = charStringsAt + static_cast<uint32_t>(chars.size());
    Bytes privateDict = privateExtra;
    const uint32_t privateSize =
        static_cast<uint32_t>(privateDict.size()) + (localSubrs.empty() ? 0 : 6);
    if (!localSubrs.empty()) {
      PushInt32(privateDict, privateSize);
      privateDict.push_back(19);
    }
    Bytes top = topExtra;
    PushInt32(top, charStringsAt);
    top.push_back(17);
    PushInt32(top, privateSize);
    PushInt32(top, privateAt);
    top.push_back(18);
    Bytes out = header;
    out.insert(out.end(), names.begin(), names.end());
    const Bytes topIndex = CffIndexBytes({top});
    out.insert(out.end(), topIndex.begin(), topIndex.end());
    out.insert(out.end(), strings.begin(), strings.end());
    out.insert(out.end(), globals.begin(), globals.end());
    out.insert(out.end(), chars.begin(), chars.end());
    out.insert(out.end(), privateDict.begin(), privateDict.end());
    if (!localSubrs.empty()) {
      const Bytes locals = CffIndexBytes(localSubrs);
      out.insert(out.end(), locals.begin(), locals.end());
    }
    return out;
  }
};

// Charstring operators used by the tests.
enum CsOp : int {
  kHstem = 1, kRlineto = 5, kCallsubr = 10, kReturn = 11, kEndchar = 14, kRmoveto = 21,
  kHlineto = 6, kVlineto = 7, kCallgsubr = 29,
};

}  // namespace fonttest
