#include "pdf/ObjectPrinter.h"

#include <cinttypes>
#include <cstdio>

#include "pdf/PdfCharClass.h"

namespace pdf {
namespace {

using runtime::ObjectTag;
using runtime::ObjectValue;

constexpr uint32_t kMaxDepth = 256;

void PrintReal(runtime::Fixed value, std::string& out) {
  int64_t magnitude = value;
  if (magnitude < 0) {
    out += '-';
    magnitude = -magnitude;
  }
  // Five decimals, rounded, trailing zeros dropped.
  const int64_t scaled = (magnitude * 100000 + 32768) >> 16;
  char text[32];
  std::snprintf(text, sizeof(text), "%" PRId64 ".%05" PRId64, scaled / 100000, scaled % 100000);
  std::string digits(text);
  while (digits.back() == '0') digits.pop_back();
  if (digits.back() == '.') digits.pop_back();
  out += digits;
}

void PrintName(const runtime::ByteString& name, std::string& out) {
  out += '/';
  for (uint32_t i = 0; i < name.length; ++i) {
    const uint8_t byte = name.Bytes()[i];
    if (byte <= ' ' || byte >= 0x7F || byte == '#' || IsTokenEnd(byte)) {
      char escaped[4];
      std::snprintf(escaped, sizeof(escaped), "#%02X", byte);
      out += escaped;
    } else {
      out += static_cast<char>(byte);
    }
  }
}

void PrintString(const runtime::ByteString& string, std::string& out) {
  uint32_t unprintable = 0;
  for (uint32_t i = 0; i < string.length; ++i) {
    const uint8_t byte = string.Bytes()[i];
    if ((byte < ' ' && byte != '\n' && byte != '\r' && byte != '\t') || byte >= 0x7F) {
      ++unprintable;
    }
  }
  if (unprintable * 4 > string.length) {
    out += '<';
    for (uint32_t i = 0; i < string.length; ++i) {
      char hex[3];
      std::snprintf(hex, sizeof(hex), "%02x", string.Bytes()[i]);
      out += hex;
    }
    out += '>';
    return;
  }
  out += '(';
  for (uint32_t i = 0; i < string.length; ++i) {
    const uint8_t byte = string.Bytes()[i];
    switch (byte) {
      case '(': out += "\\("; break;
      case ')': out += "\\)"; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (byte < ' ' || byte >= 0x7F) {
          char octal[5];
          std::snprintf(octal, sizeof(octal), "\\%03o", byte);
          out += octal;
        } else {
          out += static_cast<char>(byte);
        }
    }
  }
  out += ')';
}

void PrintValue(const ObjectValue& value, std::string& out, uint32_t depth) {
  switch (value.tag) {
    case ObjectTag::kNull:
      out += "null";
      return;
    case ObjectTag::kBoolean:
      out += value.payload.integer != 0 ? "true" : "false";
      return;
    case ObjectTag::kInteger:
      out += std::to_string(value.payload.integer);
      return;
    case ObjectTag::kOverflowedNumber:
      out += std::to_string(*value.payload.overflowed);
      return;
    case ObjectTag::kReal:
      PrintReal(value.payload.real, out);
      return;
    case ObjectTag::kName:
      PrintName(*value.payload.bytes, out);
      return;
    case ObjectTag::kString:
      PrintString(*value.payload.bytes, out);
      return;
    case ObjectTag::kReference:
      out += std::to_string(value.payload.reference->number) + " " +
             std::to_string(value.payload.reference->generation) + " R";
      return;
    case ObjectTag::kArray:
    case ObjectTag::kDictionary: {
      const bool dictionary = value.tag == ObjectTag::kDictionary;
      out += dictionary ? "<<" : "[";
      if (depth >= kMaxDepth) {
        out += " ... ";
      } else {
        const runtime::ValueList& list = *value.payload.list;
        for (uint32_t i = 0; i < list.count; ++i) {
          if (i != 0 || dictionary) out += ' ';
          PrintValue(list.items[i], out, depth + 1);
        }
        if (dictionary) out += ' ';
      }
      out += dictionary ? ">>" : "]";
      return;
    }
  }
  out += "null";
}

}  // namespace

void ObjectPrinter::Print(const ObjectValue& value, std::string& out) { PrintValue(value, out, 0); }

std::string ObjectPrinter::ToString(const ObjectValue& value) {
  std::string out;
  Print(value, out);
  return out;
}

}  // namespace pdf
