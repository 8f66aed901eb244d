// Turns the UI string files (resources/strings/*.txt, UTF-8) into a C++
// source holding the table as UTF-16 literals.
//
//   string_table_gen OUTPUT.cpp ENTRY_COUNT ROW0.txt ROW1.txt ...
//
// A string file holds one entry per line, "<index><TAB><text>"; blank lines
// and lines starting with '#' are comments. In the text, "\t" stands for a
// tab and "\\" for a backslash. Every index from 0 to ENTRY_COUNT - 1 must
// appear exactly once; anything else stops the build with a message naming
// the file and line.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
  std::fprintf(stderr, "string_table_gen: %s: %s\n", where.c_str(), what.c_str());
  std::exit(1);
}

// Decodes UTF-8 into code points; rejects malformed, overlong and surrogate
// sequences.
std::vector<uint32_t> DecodeUtf8(const std::string& text, const std::string& where) {
  std::vector<uint32_t> points;
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    uint32_t point = 0;
    size_t extra = 0;
    if (lead < 0x80) {
      point = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      point = lead & 0x1F;
      extra = 1;
    } else if ((lead & 0xF0) == 0xE0) {
      point = lead & 0x0F;
      extra = 2;
    } else if ((lead & 0xF8) == 0xF0) {
      point = lead & 0x07;
      extra = 3;
    } else {
      Fail(where, "bad UTF-8 lead byte");
    }
    for (size_t k = 1; k <= extra; ++k) {
      if (i + k >= text.size()) Fail(where, "truncated UTF-8");
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) Fail(where, "bad UTF-8 continuation byte");
      point = (point << 6) | (next & 0x3F);
    }
    static const uint32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (point < kSmallest[extra] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
      Fail(where, "invalid code point");
    }
    points.push_back(point);
    i += extra + 1;
  }
  return points;
}

// Resolves the two escapes of the string files.
std::vector<uint32_t> Unescape(const std::vector<uint32_t>& points, const std::string& where) {
  std::vector<uint32_t> out;
  for (size_t i = 0; i < points.size(); ++i) {
    const bool control = (points[i] < 0x20 && points[i] != '\t') ||
                         (points[i] >= 0x7F && points[i] < 0xA0);
    if (control) Fail(where, "control character in text");
    if (points[i] == '\t') Fail(where, "raw tab in text; write \\t");
    if (points[i] != '\\') {
      out.push_back(points[i]);
      continue;
    }
    if (i + 1 == points.size()) Fail(where, "lone backslash at end of text");
    const uint32_t next = points[++i];
    if (next == 't') {
      out.push_back('\t');
    } else if (next == '\\') {
      out.push_back('\\');
    } else {
      Fail(where, "unknown escape");
    }
  }
  return out;
}

// A UTF-16 literal in plain ASCII: printable ASCII as it is, everything else
// (control characters were rejected before) as a universal character name.
std::string Literal(const std::vector<uint32_t>& points) {
  std::string literal = "u\"";
  char buffer[16];
  for (const uint32_t point : points) {
    if (point == '"' || point == '\\') {
      literal += '\\';
      literal += static_cast<char>(point);
    } else if (point == '\t') {
      literal += "\\t";
    } else if (point >= 0x20 && point < 0x7F) {
      literal += static_cast<char>(point);
    } else if (point <= 0xFFFF) {
      std::snprintf(buffer, sizeof buffer, "\\u%04X", point);
      literal += buffer;
    } else {
      std::snprintf(buffer, sizeof buffer, "\\U%08X", point);
      literal += buffer;
    }
  }
  return literal + "\"";
}

std::vector<std::string> ReadRow(const std::string& path, size_t entryCount) {
  std::ifstream file(path, std::ios::binary);
  if (!file) Fail(path, "cannot open");
  std::vector<std::string> row(entryCount);
  std::vector<bool> seen(entryCount, false);
  std::string line;
  size_t lineNumber = 0;
  while (std::getline(file, line)) {
    ++lineNumber;
    const std::string where = path + ":" + std::to_string(lineNumber);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (lineNumber == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
    if (line.empty() || line[0] == '#') continue;
    const size_t tab = line.find('\t');
    if (tab == std::string::npos || tab == 0 || tab > 4) Fail(where, "expected <index><TAB><text>");
    size_t index = 0;
    for (size_t k = 0; k < tab; ++k) {
      if (line[k] < '0' || line[k] > '9') Fail(where, "index is not a number");
      index = index * 10 + static_cast<size_t>(line[k] - '0');
    }
    if (index >= entryCount) Fail(where, "index out of range");
    if (seen[index]) Fail(where, "index given twice");
    seen[index] = true;
    row[index] = Literal(Unescape(DecodeUtf8(line.substr(tab + 1), where), where));
  }
  for (size_t index = 0; index < entryCount; ++index) {
    if (!seen[index]) Fail(path, "entry " + std::to_string(index) + " is missing");
  }
  return row;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: string_table_gen OUTPUT.cpp ENTRY_COUNT ROW.txt...\n");
    return 2;
  }
  const size_t entryCount = std::strtoul(argv[2], nullptr, 10);
  if (entryCount == 0 || entryCount > 1000) Fail(argv[2], "bad entry count");
  std::ostringstream out;
  out << "// Generated by string_table_gen from resources/strings; edit those files.\n"
      << "#include \"resources/UIStringTable.h\"\n\n"
      << "namespace resources {\n\n"
      << "static_assert(kUILanguageCount == " << (argc - 3) << ");\n"
      << "static_assert(kUIStringCount == " << entryCount << ");\n\n"
      << "const char16_t* const kUIStringTable[kUILanguageCount][kUIStringCount] = {\n";
  for (int arg = 3; arg < argc; ++arg) {
    const std::vector<std::string> row = ReadRow(argv[arg], entryCount);
    out << "  {  // " << argv[arg] << "\n";
    for (const std::string& literal : row) out << "    " << literal << ",\n";
    out << "  },\n";
  }
  out << "};\n\n}  // namespace resources\n";
  // Written only when it changed, so that a rebuild does not recompile it.
  const std::string text = out.str();
  std::ifstream existing(argv[1], std::ios::binary);
  std::stringstream old;
  old << existing.rdbuf();
  if (existing && old.str() == text) return 0;
  existing.close();
  std::ofstream output(argv[1], std::ios::binary | std::ios::trunc);
  output << text;
  if (!output) Fail(argv[1], "cannot write");
  return 0;
}
