// The CMap model and parser: code splitting, the space test, ranges, the
// limits on hostile text, and the built-in tables against the poppler-data
// files they were packed from.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "fonts/BuiltinCMapTextStream.h"
#include "fonts/CMap.h"
#include "fonts/CMapCache.h"
#include "fonts/CMapParser.h"
#include "fonts/PredefinedCMaps.h"
#include "runtime/LibraryContext.h"
#include "streams/MemoryDataSource.h"
#include "streams/SubRangeStream.h"
#include "tests/support/CaughtError.h"

namespace {

using fonts::CMap;
using fonts::CMapDestination;
using fonts::CMapRef;

class CMapTest : public ::testing::Test {
 protected:
  CMapRef ParseText(const std::string& text, CMapDestination kind = CMapDestination::kCid) {
    auto source = streams::MakeRef<streams::MemoryDataSource>(
        &context_, reinterpret_cast<const uint8_t*>(text.data()),
        static_cast<uint32_t>(text.size()));
    auto stream = streams::MakeRef<streams::SubRangeStream>(&context_, source, 0);
    return fonts::CMapParser::Parse(&context_, *stream, kind);
  }

  // The codes of `bytes` as "value/consumed[s]" items (s: the space flag).
  static std::string Decode(const CMap& map, const std::string& bytes) {
    std::string out;
    const auto* cursor = reinterpret_cast<const uint8_t*>(bytes.data());
    const uint8_t* end = cursor + bytes.size();
    while (cursor < end) {
      const uint8_t* start = cursor;
      bool space = false;
      fonts::CodeMapping mapping = map.Lookup(&cursor, end, &space);
      if (!out.empty()) out += ' ';
      out += std::to_string(mapping.value) + "/" + std::to_string(cursor - start);
      if (space) out += 's';
    }
    return out;
  }

  runtime::LibraryContext context_;
};

constexpr const char* kJapaneseLike =
    "/CIDInit /ProcSet findresource begin 12 dict begin begincmap\n"
    "/CIDSystemInfo 3 dict dup begin /Registry (Adobe) def /Ordering (Japan1) def"
    " /Supplement 2 def end def\n"
    "/CMapName /Test-H def /WMode 0 def\n"
    "3 begincodespacerange <00> <80> <8140> <9FFC> <E040> <FCFC> endcodespacerange\n"
    "1 beginnotdefrange <00> <1f> 231 endnotdefrange\n"
    "3 begincidrange <20> <7d> 231 <8140> <817e> 633 <e040> <e141> 7000 endcidrange\n"
    "endcmap CMapName currentdict /CMap defineresource pop end end\n";

TEST_F(CMapTest, CodesSplitAndMap) {
  CMapRef map = ParseText(kJapaneseLike);
  struct Case {
    const char* name;
    std::string bytes;
    const char* expected;
  } cases[] = {
      {"single space raises the flag", " ", "231/1s"},
      {"single byte", "A", "264/1"},
      {"notdef range", std::string("\x05", 1), "231/1"},
      {"two-byte code", "\x81\x40", "633/2"},
      {"0x20 inside a two-byte code is no space", "\x81\x60", "665/2"},
      {"unmapped code in range: CID 0 over its length", "\x90\x40", "0/2"},
      {"byte outside every range: one byte", "\xA0" "A", "0/1 264/1"},
      {"string ends inside a two-byte code", "\x81", "0/1"},
      {"block numbered row by row", "\xE0\x40\xE0\x41\xE1\x40\xE1\x41", "7000/2 7001/2 7002/2 7003/2"},
      {"block skips the bytes outside its columns", "\xE0\x42", "0/2"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Decode(*map, c.bytes), c.expected) << c.name;
  }
  EXPECT_EQ(map->GetWMode(), 0);
}

TEST_F(CMapTest, WritingModeAndUnicodeDestinations) {
  struct Case {
    const char* text;
    uint8_t mode;
  } modes[] = {{"/WMode 1 def", 1}, {"/WMode 2 def", 0}, {"/WMode 0 def", 0}, {"", 0}};
  for (const Case& c : modes) {
    EXPECT_EQ(ParseText(c.text)->GetWMode(), c.mode) << c.text;
  }

  CMapRef unicode = ParseText(
      "1 begincodespacerange <00> <FF> endcodespacerange\n"
      "3 beginbfchar <01> <0041> <02> <D835DC00> <03> <00660066> endbfchar\n"
      "2 beginbfrange <10> <12> <0061> <20> <21> [<0030> <00410042> <0032>] endbfrange\n",
      CMapDestination::kUnicode);
  auto units = [&](uint8_t code) {
    const uint8_t* cursor = &code;
    fonts::CodeMapping mapping = unicode->Lookup(&cursor, cursor + 1);
    std::vector<int> out;
    if (!mapping.HasUnits()) out.push_back(mapping.value);
    for (const char16_t* u = mapping.unitsBegin; u != mapping.unitsEnd; ++u) out.push_back(*u);
    return out;
  };
  EXPECT_EQ(units(0x01), std::vector<int>{0x41});
  EXPECT_EQ(units(0x02), (std::vector<int>{0xD835, 0xDC00}));
  EXPECT_EQ(units(0x03), (std::vector<int>{0x66, 0x66}));
  EXPECT_EQ(units(0x12), std::vector<int>{0x63});
  EXPECT_EQ(units(0x20), std::vector<int>{0x30});
  EXPECT_EQ(units(0x21), (std::vector<int>{0x41, 0x42}));
  EXPECT_EQ(units(0x22), std::vector<int>{0});

  // In a CID map a bf destination stays a run, which CID decoders refuse.
  CMapRef cid = ParseText("1 begincodespacerange <00> <FF> endcodespacerange "
                          "1 beginbfchar <01> <0041> endbfchar");
  const uint8_t code = 1;
  const uint8_t* cursor = &code;
  EXPECT_TRUE(cid->Lookup(&cursor, cursor + 1).HasUnits());
}

TEST_F(CMapTest, MalformedTextRaisesCodeTwo) {
  const struct Case {
    const char* name;
    const char* text;
    long code;
  } cases[] = {
      {"empty code string", "1 begincidchar <> 5 endcidchar", 2},
      {"five-byte code", "1 begincidchar <0102030405> 5 endcidchar", 2},
      {"empty bf destination", "1 beginbfchar <01> <> endbfchar", 2},
      {"odd operand count", "begincodespacerange <00> endcodespacerange", 2},
      {"low above high", "1 begincodespacerange <20> <10> endcodespacerange", 2},
      {"negative CID", "1 begincidrange <00> <10> -5 endcidrange", 2},
      {"range over many leading bytes",
       "1 begincodespacerange <000000> <FFFFFF> endcodespacerange "
       "1 begincidrange <000000> <FFFFFF> 0 endcidrange", 2},
      {"usecmap of no name", "(H) usecmap", 2},
      {"pop on an empty stack", "dict", 2},
      {"unknown words and stray delimiters are harmless",
       "foo } ] > ID R obj-x endobjx 1 begincodespacerange <00> <FF> endcodespacerange", -1},
      {"unknown usecmap merges nothing", "/NoSuchMap usecmap", -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(testsupport::RuntimeCodeOf(&context_, [&] { ParseText(c.text); }), c.code)
        << c.name;
  }
}

TEST_F(CMapTest, PredefinedTablesAndCache) {
  EXPECT_TRUE(fonts::LookupPredefinedCMap(0, "90ms-RKSJ-H"));
  EXPECT_EQ(fonts::LookupPredefinedCMap(0, "H").data, fonts::LookupPredefinedCMap(1, "H").data);
  EXPECT_FALSE(fonts::LookupPredefinedCMap(2, "H"));
  EXPECT_FALSE(fonts::LookupPredefinedCMap(5, "H"));
  EXPECT_FALSE(fonts::LookupPredefinedCMap(-1, "H"));
  EXPECT_FALSE(fonts::LookupPredefinedCMap(0, "Identity-H"));
  EXPECT_EQ(fonts::LookupPredefinedCMap(4, "Adobe-Korea1-UCS2").data,
            fonts::LookupPredefinedCMap(4, "Vantrel-Korea1-UCS2").data);
  EXPECT_TRUE(fonts::LookupPredefinedCMap(3, "Adobe-CNS1-UCS2"));
  const struct {
    const char* encoding;
    const char* second;
    int selector;
    bool available;
  } pairs[] = {{"Identity-H", "Adobe-Japan1-UCS2", 1, true},
               {"90ms-RKSJ-H", "Adobe-Japan1-UCS2", 1, true},
               {"90ms-RKSJ-H", "Adobe-GB1-UCS2", 2, false},
               {"Identity-V", "Adobe-Identity-UCS2", 1, false},
               {"NoSuch-H", "Adobe-Japan1-UCS2", 1, false}};
  for (const auto& c : pairs) {
    EXPECT_EQ(fonts::CMapPairAvailable(c.encoding, c.second, c.selector), c.available)
        << c.encoding << " " << c.second;
  }

  fonts::CMapCache cache(&context_);
  CMapRef rksj = cache.Get(0, "90ms-RKSJ-H", CMapDestination::kCid);
  ASSERT_TRUE(rksj);
  EXPECT_EQ(Decode(*rksj, "\x81\x40"), "633/2");
  EXPECT_EQ(Decode(*rksj, " "), "231/1s");
  CMapRef again = cache.Get(1, "90ms-RKSJ-H", CMapDestination::kCid);
  EXPECT_EQ(again.Get(), rksj.Get());
  EXPECT_EQ(cache.Count(), 1u);
  EXPECT_FALSE(cache.Get(2, "90ms-RKSJ-H", CMapDestination::kCid));

  // A vertical map takes its horizontal base through usecmap.
  CMapRef vertical = cache.Get(1, "90ms-RKSJ-V", CMapDestination::kCid);
  EXPECT_EQ(vertical->GetWMode(), 1);
  EXPECT_EQ(Decode(*vertical, "\x81\x40"), "633/2");

  CMapRef identity = cache.Get(0, "Identity-V", CMapDestination::kCid);
  EXPECT_EQ(identity->GetWMode(), 1);
  EXPECT_EQ(Decode(*identity, std::string("\x12\x34\x00", 3)), "4660/2 0/1");
  CMapRef useIdentity = ParseText("/Identity-H usecmap 1 begincidchar <0001> 77 endcidchar");
  EXPECT_EQ(Decode(*useIdentity, std::string("\x00\x01\x00\x02", 4)), "77/2 2/2");
}

TEST_F(CMapTest, ExpanderRecordsAndWidths) {
  // A table (hex destinations) of two records: the first sets code bytes
  // to 1, a destination string of 5 bytes and widths; the second holds
  // the code width of 20 and grows it by 16 (held at 32).
  std::vector<int> bits;
  auto put = [&](uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) bits.push_back((value >> i) & 1);
  };
  put(3, 2);  // table
  put(1, 1);  // hex
  put(0, 1);  // no range end
  put(2, 8);  // two records
  put(1, 1);
  put(1, 2), put(1, 3), put(0, 2);              // code bytes 1
  put(2, 2), put(1, 3), put(3, 2), put(5, 5);   // destination bytes 5
  put(1, 2), put(7, 3), put(1, 2), put(5, 3);   // code width 16 + 4 = 20
  put(0, 2);
  put(0x41, 20);                                // code 0x41
  for (int byte : {0x00, 0x66, 0x00, 0x66, 0x69}) put(byte, 8);
  put(1, 1);
  put(1, 2), put(7, 3), put(0, 2);              // code width 36, held at 32
  put(1, 32);                                   // code 0x41 + 1 + 1
  for (int byte : {1, 2, 3, 4, 5}) put(byte, 8);
  put(0, 2);
  std::vector<uint8_t> packed((bits.size() + 7) / 8);
  for (size_t i = 0; i < bits.size(); ++i) packed[i / 8] |= bits[i] << (7 - i % 8);

  streams::DataStreamRef stream = fonts::BuiltinCMapTextStream::Open(
      &context_, packed.data(), static_cast<uint32_t>(packed.size()));
  std::string text(4096, '\0');
  text.resize(stream->Read(reinterpret_cast<uint8_t*>(text.data()), text.size()));
  EXPECT_EQ(text, "<41><0066006669>\n<43><0102030405>\n");
}

// ---- the built-in tables against their poppler-data sources

const char* kPopplerCMapDir = "/usr/share/poppler/cMap";

struct ExpectedValue {
  int value = 0;
  std::vector<int> units;
};
using ExpectedMap = std::map<std::string, ExpectedValue>;  // code bytes

std::string HexBytes(const std::string& token) {
  std::string digits;
  for (char c : token) {
    if (std::isxdigit(static_cast<unsigned char>(c))) digits += c;
  }
  if (digits.size() % 2) digits += '0';
  std::string bytes;
  for (size_t i = 0; i < digits.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(digits.substr(i, 2), nullptr, 16));
  }
  return bytes;
}

std::vector<int> UnitsOf(const std::string& bytes) {
  std::vector<int> units;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    units.push_back((static_cast<uint8_t>(bytes[i]) << 8) | static_cast<uint8_t>(bytes[i + 1]));
  }
  if (bytes.size() % 2) units.push_back(static_cast<uint8_t>(bytes.back()));
  return units;
}

std::string SourcePath(const std::string& name) {
  std::string file = name;
  if (file.rfind("Vantrel-", 0) == 0) file = "Adobe-" + file.substr(8);
  for (const char* ordering : {"Japan1", "GB1", "CNS1", "Korea1"}) {
    std::string path = std::string(kPopplerCMapDir) + "/Adobe-" + ordering + "/" + file;
    if (std::filesystem::exists(path)) return path;
  }
  return {};
}

// The tokens of CMap source text: hex strings, brackets, names and
// words, without comments.
std::vector<std::string> SourceTokens(const std::string& text) {
  std::vector<std::string> tokens;
  size_t i = 0;
  auto isSpace = [](char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; };
  while (i < text.size()) {
    const char c = text[i];
    if (isSpace(c)) {
      ++i;
    } else if (c == '%') {
      while (i < text.size() && text[i] != '\n') ++i;
    } else if (c == '<') {
      const size_t close = text.find('>', i);
      tokens.push_back(text.substr(i, close + 1 - i));
      i = close + 1;
    } else if (c == '[' || c == ']') {
      tokens.emplace_back(1, c);
      ++i;
    } else {
      size_t j = i + 1;
      while (j < text.size() && !isSpace(text[j]) && text[j] != '<' && text[j] != '[' &&
             text[j] != ']' && text[j] != '/' && text[j] != '%') {
        ++j;
      }
      tokens.push_back(text.substr(i, j - i));
      i = j;
    }
  }
  return tokens;
}

// Every mapping line of a source file (after those of the map it uses),
// later lines replacing earlier ones, as the reader of the format does.
void ReadSource(const std::string& name, ExpectedMap& expected) {
  std::ifstream in(SourcePath(name));
  std::stringstream text;
  text << in.rdbuf();
  const std::vector<std::string> tokens = SourceTokens(text.str());
  for (size_t i = 0; i < tokens.size(); ++i) {
    const std::string& token = tokens[i];
    if (token == "usecmap") ReadSource(tokens[i - 1].substr(1), expected);
    const bool range = token == "begincidrange" || token == "beginbfrange" ||
                       token == "beginnotdefrange";
    const bool single = token == "begincidchar" || token == "beginbfchar";
    if (!range && !single) continue;
    const std::string end = "end" + token.substr(5);
    size_t j = i + 1;
    while (tokens[j] != end) {
      const std::string low = HexBytes(tokens[j]);
      const std::string high = range ? HexBytes(tokens[j + 1]) : low;
      size_t k = j + (range ? 2 : 1);
      std::vector<std::string> list;
      if (tokens[k] == "[") {
        while (tokens[++k] != "]") list.push_back(HexBytes(tokens[k]));
      }
      const std::string destination = tokens[k];
      j = k + 1;
      // Walk the block row by row.
      std::vector<std::string> codes{""};
      for (size_t b = 0; b < low.size(); ++b) {
        std::vector<std::string> next;
        for (const std::string& prefix : codes) {
          for (int v = static_cast<uint8_t>(low[b]); v <= static_cast<uint8_t>(high[b]); ++v) {
            next.push_back(prefix + static_cast<char>(v));
          }
        }
        codes.swap(next);
      }
      for (size_t n = 0; n < codes.size(); ++n) {
        ExpectedValue value;
        if (token == "beginnotdefrange") {
          value.value = std::stoi(destination);
        } else if (destination[0] != '<' && list.empty()) {
          value.value = std::stoi(destination) + static_cast<int>(n);
        } else if (!list.empty()) {
          if (n >= list.size()) break;
          value.units = UnitsOf(list[n]);
        } else {
          value.units = UnitsOf(HexBytes(destination));
          value.units.back() = (value.units.back() + static_cast<int>(n)) & 0xFFFF;
        }
        expected[codes[n]] = value;
      }
    }
    i = j;
  }
}

std::vector<std::string> BuiltinNames() {
  std::vector<std::string> names;
  for (const char* name :
       {"83pv-RKSJ-H", "90ms-RKSJ-H", "90ms-RKSJ-V", "90msp-RKSJ-H", "90msp-RKSJ-V",
        "90pv-RKSJ-H", "Add-RKSJ-H", "Add-RKSJ-V", "Vantrel-Japan1-UCS2", "EUC-H", "EUC-V",
        "Ext-RKSJ-H", "Ext-RKSJ-V", "H", "UniJIS-UCS2-H", "UniJIS-UCS2-HW-H", "UniJIS-UCS2-HW-V",
        "UniJIS-UCS2-V", "UniJIS-UTF16-H", "UniJIS-UTF16-V", "V", "Vantrel-Korea1-UCS2",
        "KSC-EUC-H", "KSC-EUC-V", "KSCms-UHC-HW-H", "KSCms-UHC-HW-V", "KSCms-UHC-V",
        "KSCms-UHC-H", "KSCpc-EUC-H", "UniKS-UCS2-H", "UniKS-UCS2-V", "UniKS-UTF16-H",
        "UniKS-UTF16-V", "Vantrel-CNS1-UCS2", "B5pc-H", "B5pc-V", "CNS-EUC-H", "CNS-EUC-V",
        "ETHK-B5-H", "ETHK-B5-V", "ETen-B5-H", "ETen-B5-V", "ETenms-B5-H", "ETenms-B5-V",
        "HKdla-B5-H", "HKdla-B5-V", "HKdlb-B5-H", "HKdlb-B5-V", "HKgccs-B5-H", "HKgccs-B5-V",
        "HKm314-B5-H", "HKm314-B5-V", "HKm471-B5-H", "HKm471-B5-V", "HKscs-B5-H", "HKscs-B5-V",
        "UniCNS-UCS2-H", "UniCNS-UCS2-V", "UniCNS-UTF16-H", "UniCNS-UTF16-V",
        "Vantrel-GB1-UCS2", "GB-EUC-H", "GB-EUC-V", "GBK-EUC-H", "GBK-EUC-V", "GBK2K-H",
        "GBK2K-V", "GBKp-EUC-H", "GBKp-EUC-V", "GBT-EUC-H", "GBT-EUC-V", "GBpc-EUC-H",
        "GBpc-EUC-V", "UniGB-UCS2-H", "UniGB-UCS2-V", "UniGB-UTF16-H", "UniGB-UTF16-V"}) {
    names.push_back(name);
  }
  return names;
}

TEST_F(CMapTest, EveryBuiltinMapMatchesItsSource) {
  if (!std::filesystem::is_directory(kPopplerCMapDir)) {
    if (std::getenv("CI") != nullptr && std::string(std::getenv("CI")) == "true") {
      FAIL() << "poppler-data is missing";
    }
    GTEST_SKIP() << "poppler-data is not installed";
  }
  const std::vector<std::string> names = BuiltinNames();
  ASSERT_EQ(names.size(), 77u);
  fonts::CMapCache cache(&context_);
  size_t checked = 0;
  uint32_t largestNodes = 0;
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(fonts::LookupPredefinedCMap(0, name));
    ExpectedMap expected;
    ReadSource(name, expected);
    ASSERT_FALSE(expected.empty());
    const bool unicode = name.find("-UCS2") != std::string::npos &&
                         name.rfind("Uni", 0) != 0;
    CMapRef map;
    ASSERT_EQ(testsupport::RuntimeCodeOf(&context_, [&] {
                map = cache.Get(0, name, unicode ? CMapDestination::kUnicode
                                                 : CMapDestination::kCid);
              }),
              -1);
    ASSERT_TRUE(map);
    largestNodes = std::max(largestNodes, map->NodeCount());
    size_t wrong = 0;
    for (const auto& [code, value] : expected) {
      const auto* cursor = reinterpret_cast<const uint8_t*>(code.data());
      const uint8_t* end = cursor + code.size();
      fonts::CodeMapping mapping = map->Lookup(&cursor, end);
      std::vector<int> units(mapping.unitsBegin, mapping.unitsEnd);
      const bool same = cursor == end &&
                        (value.units.empty() ? !mapping.HasUnits() && mapping.value == value.value
                         : unicode && value.units.size() == 1
                             ? !mapping.HasUnits() && mapping.value == value.units[0]
                             : units == value.units);
      if (!same && ++wrong <= 3) ADD_FAILURE() << "code of " << code.size() << " bytes differs";
    }
    EXPECT_EQ(wrong, 0u);
    checked += expected.size();
  }
  RecordProperty("codes", static_cast<int>(checked));
  RecordProperty("largest_node_count", static_cast<int>(largestNodes));
  std::printf("checked %zu codes of 77 maps; largest map has %u nodes\n", checked, largestNodes);
}

}  // namespace
