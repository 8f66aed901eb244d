// Every stream of every corpus file goes through the filters it names:
// nothing may crash or hang, and where qpdf decodes a stream, our decoding
// of it must be the same bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "runtime/ErrorTrap.h"
#include "tests/pdf/CorpusFiles.h"
#include "streams/ChainedStream.h"
#include "streams/DecodeFilterRegistry.h"
#include "streams/FilterParameters.h"
#include "streams/MemoryDataSource.h"
#include "streams/RangeBlockSource.h"

namespace streams {
namespace {

// Decoded output beyond this is not read: bounded work per stream.
constexpr uint64_t kMaxDecoded = 32u << 20;
// Streams per file compared with qpdf (one qpdf call per file).
constexpr size_t kComparedPerFile = 8;

struct Segment {
  int object = -1;
  std::vector<std::string> filters;
  PlainFilterParameters params;
  bool hasParams = false;
  bool simpleParams = true;
  size_t start = 0;
  size_t end = 0;
};

bool IsDelimiter(char c) {
  return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\0' || c == '/' ||
         c == '[' || c == ']' || c == '<' || c == '>' || c == '(' || c == ')';
}

std::string NameAt(const std::string& text, size_t at) {
  size_t end = at;
  while (end < text.size() && !IsDelimiter(text[end])) ++end;
  return text.substr(at, end - at);
}

// The stream dictionary's "Filter" and simple "DecodeParms", read from its
// text (the tests need no object parser for this).
void ReadDictionary(const std::string& dictionary, Segment* segment) {
  size_t filter = dictionary.find("/Filter");
  if (filter != std::string::npos) {
    size_t at = filter + 7;
    while (at < dictionary.size() && (dictionary[at] == ' ' || dictionary[at] == '\r' || dictionary[at] == '\n')) ++at;
    if (at < dictionary.size() && dictionary[at] == '/') {
      segment->filters.push_back(NameAt(dictionary, at + 1));
    } else if (at < dictionary.size() && dictionary[at] == '[') {
      size_t close = dictionary.find(']', at);
      for (size_t slash = dictionary.find('/', at); slash < close; slash = dictionary.find('/', slash + 1)) {
        segment->filters.push_back(NameAt(dictionary, slash + 1));
      }
    } else {
      segment->filters.push_back("?");  // an indirect filter list: not read here
    }
  }
  size_t parms = dictionary.find("/DecodeParms");
  if (parms == std::string::npos) return;
  segment->hasParams = true;
  size_t open = dictionary.find("<<", parms);
  size_t close = dictionary.find(">>", open == std::string::npos ? parms : open);
  if (open == std::string::npos || close == std::string::npos || dictionary.find('[', parms) < open) {
    segment->simpleParams = false;
    return;
  }
  for (const char* key : {"Predictor", "Columns", "Colors", "BitsPerComponent", "EarlyChange"}) {
    size_t found = dictionary.find(std::string("/") + key, open);
    if (found == std::string::npos || found > close) continue;
    segment->params.Set(key, std::atoi(dictionary.c_str() + found + std::strlen(key) + 1));
  }
}

std::vector<Segment> FindStreams(const std::string& file) {
  std::vector<Segment> segments;
  size_t searchFrom = 0;
  for (;;) {
    size_t keyword = file.find("stream", searchFrom);
    if (keyword == std::string::npos) break;
    searchFrom = keyword + 6;
    if (keyword >= 3 && file.compare(keyword - 3, 3, "end") == 0) continue;
    size_t data = keyword + 6;
    if (data < file.size() && file[data] == '\r') ++data;
    if (data >= file.size() || file[data] != '\n') {
      if (data < file.size() && file[data - 1] == '\r') {
      } else {
        continue;
      }
    } else {
      ++data;
    }
    size_t dictionaryEnd = file.rfind(">>", keyword);
    size_t object = file.rfind(" obj", keyword);
    if (dictionaryEnd == std::string::npos || object == std::string::npos || keyword - object > 20000) continue;
    size_t endstream = file.find("endstream", data);
    if (endstream == std::string::npos) continue;
    Segment segment;
    segment.start = data;
    segment.end = endstream;
    while (segment.end > segment.start && (file[segment.end - 1] == '\n' || file[segment.end - 1] == '\r')) {
      --segment.end;
    }
    // The object number: "N G obj" before the dictionary.
    size_t numberEnd = object;
    size_t cursor = numberEnd;
    while (cursor > 0 && std::isdigit(static_cast<unsigned char>(file[cursor - 1]))) --cursor;  // generation
    while (cursor > 0 && file[cursor - 1] == ' ') --cursor;
    size_t numberStop = cursor;
    while (cursor > 0 && std::isdigit(static_cast<unsigned char>(file[cursor - 1]))) --cursor;
    if (cursor < numberStop) segment.object = std::atoi(file.c_str() + cursor);
    ReadDictionary(file.substr(object, keyword - object), &segment);
    segments.push_back(std::move(segment));
    searchFrom = endstream;
  }
  return segments;
}

bool Decodable(const Segment& segment) {
  static const std::set<std::string> kKnown = {"FlateDecode", "LZWDecode", "ASCIIHexDecode",
                                               "ASCII85Decode", "RunLengthDecode", "DCTDecode",
                                               "Fl", "LZW", "AHx", "A85", "RL", "DCT"};
  if (segment.filters.empty()) return false;
  for (const std::string& name : segment.filters) {
    if (kKnown.count(name) == 0) return false;
  }
  return true;
}

// Decodes a segment through the filters it names; false when decoding
// raised an error. Errors must be error records, never crashes.
bool DecodeSegment(LibraryContext* context, const std::string& file, const Segment& segment,
                   std::string* out) {
  out->clear();
  runtime::ErrorTrap trap(context);
  bool finished = trap.Run([&] {
    auto source = MakeRef<MemoryDataSource>(context, reinterpret_cast<const uint8_t*>(file.data()) + segment.start,
                                            static_cast<uint32_t>(segment.end - segment.start));
    StreamRef chain = MakeRef<RangeBlockSource>(context, source);
    std::vector<FilterStep> steps;
    for (size_t i = 0; i < segment.filters.size(); ++i) {
      bool last = i + 1 == segment.filters.size();
      steps.push_back({segment.filters[i].c_str(), last && segment.hasParams ? &segment.params : nullptr});
    }
    ApplyFilters(context, chain, steps, DecodeFilterRegistry::Document(), false);
    auto stream = MakeRef<ChainedStream>(context, chain);
    while (uint32_t available = stream->EnsureContiguous(1)) {
      out->append(reinterpret_cast<const char*>(stream->Cursor()), available);
      stream->Advance(available);
      if (out->size() > kMaxDecoded) break;
    }
  });
  if (finished) return true;
  trap.SetHandled();
  trap.Close();
  return false;
}

std::string Base64Decode(const std::string& text) {
  std::string out;
  uint32_t buffer = 0;
  int bits = 0;
  for (char c : text) {
    int value;
    if (c >= 'A' && c <= 'Z') value = c - 'A';
    else if (c >= 'a' && c <= 'z') value = c - 'a' + 26;
    else if (c >= '0' && c <= '9') value = c - '0' + 52;
    else if (c == '+') value = 62;
    else if (c == '/') value = 63;
    else continue;
    buffer = buffer << 6 | uint32_t(value);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<char>(buffer >> bits));
    }
  }
  return out;
}

// qpdf's decoding of the given objects' streams (absent when qpdf cannot).
std::map<int, std::string> QpdfDecode(const std::string& path, const std::vector<int>& objects) {
  std::string command = "qpdf --json=2 --json-key=qpdf --json-stream-data=inline --decode-level=generalized";
  for (int object : objects) command += " --json-object=" + std::to_string(object);
  command += " '" + path + "' 2>/dev/null";
  std::string json;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) json.append(buffer, got);
    ::pclose(pipe);
  }
  std::map<int, std::string> decoded;
  for (int object : objects) {
    std::string key = "\"obj:" + std::to_string(object) + " 0 R\": {";
    size_t at = json.find(key);
    if (at == std::string::npos) continue;
    size_t next = json.find("\"obj:", at + key.size());
    size_t data = json.find("\"data\": \"", at);
    if (data == std::string::npos || data > next) continue;
    data += 9;
    size_t close = json.find('"', data);
    decoded[object] = Base64Decode(json.substr(data, close - data));
  }
  return decoded;
}

class CorpusStreamsTest : public ::testing::TestWithParam<int> {};

// Decodes every stream of the group's files; in the normal build, up to
// kComparedPerFile of each file's streams are compared with qpdf (under the
// sanitizers the decoding alone runs: the comparison checks logic, not
// memory safety).
TEST_P(CorpusStreamsTest, StreamsDecodeAsQpdfDecodesThem) {
  const bool compareWithQpdf = !pdftest::kSanitizerBuild;
  LibraryContext context;
  size_t decoded = 0;
  for (const std::string& name : pdftest::CorpusGroup(GetParam())) {
    const std::filesystem::path path = std::filesystem::path(pdftest::CorpusDir()) / name;
    std::ifstream in(path, std::ios::binary);
    std::string file((std::istreambuf_iterator<char>(in)), {});
    std::vector<Segment> segments = FindStreams(file);
    bool encrypted = file.find("/Encrypt") != std::string::npos;
    // Fuzzed files hold bytes that no filter defines; tools part ways on
    // them (ours ends ASCII85 data at a stray byte, qpdf skips on), so they
    // are decoded for safety only.
    bool fuzzed = path.filename().string().find("fuzzed") != std::string::npos;
    std::map<int, int> seen;
    for (const Segment& segment : segments) ++seen[segment.object];

    std::map<int, std::string> ours;
    std::map<int, std::string> raw;
    for (const Segment& segment : segments) {
      if (!Decodable(segment)) continue;
      std::string out;
      bool ok = DecodeSegment(&context, file, segment, &out);
      ++decoded;
      bool comparable = ok && !encrypted && !fuzzed && segment.object > 0 && seen[segment.object] == 1 &&
                        segment.simpleParams && out.size() <= kMaxDecoded &&
                        segment.filters.back() != "DCTDecode" && segment.filters.back() != "DCT";
      if (comparable && ours.size() < kComparedPerFile) {
        ours[segment.object] = out;
        raw[segment.object] = file.substr(segment.start, segment.end - segment.start);
      }
    }
    if (ours.empty() || !compareWithQpdf) continue;
    std::vector<int> objects;
    for (const auto& [object, bytes] : ours) objects.push_back(object);
    for (const auto& [object, reference] : QpdfDecode(path.string(), objects)) {
      // qpdf hands out the raw bytes of a stream it cannot decode (damaged
      // data); there is nothing to compare with then.
      if (!reference.empty() && raw[object].compare(0, reference.size(), reference) == 0) {
        continue;
      }
      EXPECT_TRUE(ours[object] == reference)
          << path.filename() << " object " << object << ": ours " << ours[object].size()
          << " bytes, qpdf " << reference.size();
    }
  }
  std::printf("decoded %zu corpus streams\n", decoded);
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusStreamsTest, ::testing::ValuesIn(pdftest::CorpusGroups()),
                         pdftest::CorpusGroupName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(CorpusStreamsTest);

// The whole corpus holds more than a thousand streams in these filters and
// qpdf decodes most of them: a run that finds far fewer has lost its files
// or its reference.
TEST(CorpusStreamsPresent, UnderContinuousIntegration) {
  if (!pdftest::UnderContinuousIntegration()) GTEST_SKIP() << "not under CI";
  EXPECT_FALSE(pdftest::CorpusFiles().empty()) << "no corpus at " << pdftest::CorpusDir();
  EXPECT_EQ(std::system("qpdf --version > /dev/null 2>&1"), 0) << "qpdf is missing";
}

}  // namespace
}  // namespace streams
