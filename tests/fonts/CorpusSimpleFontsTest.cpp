// The corpus's fonts against the reference tools, through the probe's
// "fonts" and "glyphs" commands: simple fonts' Subtype and embedding
// against pdffonts, and on pages with embedded programs (simple fonts,
// name-keyed and TrueType, and composite fonts) the shown glyphs against
// `mutool trace`, with the advances of name-keyed simple fonts. Every file
// also passes through the font loader in the sanitizer build's combined
// crash sweep (tests/pdf/CorpusSweepTest.cpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "tests/pdf/CorpusFiles.h"
#include "tests/pdf/ProbeRunner.h"

namespace {

// Pages compared per file: enough for every kind of text the corpus holds
// while keeping each group well under its time budget.
constexpr int kPagesPerFile = 3;

std::string Quote(const std::string& path) { return "'" + path + "'"; }

bool ToolAvailable(const char* command) {
  return std::system((std::string(command) + " > /dev/null 2>&1").c_str()) == 0;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

std::string WithoutSubsetPrefix(const std::string& name) {
  if (name.size() > 7 && name[6] == '+') {
    bool upper = true;
    for (int i = 0; i < 6; ++i) upper = upper && name[i] >= 'A' && name[i] <= 'Z';
    if (upper) return name.substr(7);
  }
  return name;
}

// One line of `probe fonts`.
struct OurFont {
  std::string id;  // "obj gen"
  std::string name;
  std::string subtype;
  bool embedded = false;
  std::string drawn;
};

// The probe's answers for one file, asked per group (see ProbedGroup).
struct FileProbes {
  std::string fonts;
  int fontsStatus = -1;
  std::string pageCount;
  std::vector<std::string> glyphPages;  // "glyphs FILE n" for n = 1..kPagesPerFile
};

// Every file of a group asked the same questions, one probe process per
// question rather than one per file and page.
std::vector<FileProbes> ProbedGroup(const std::vector<std::string>& paths) {
  std::vector<FileProbes> probes(paths.size());
  const pdftest::EachOutput fonts = pdftest::RunProbeEach("fonts", paths, 100);
  const pdftest::EachOutput counts = pdftest::RunProbeEach("pages --count", paths, 100);
  for (size_t i = 0; i < paths.size(); ++i) {
    probes[i].fonts = fonts.outputs[i];
    probes[i].fontsStatus = fonts.statuses[i];
    probes[i].pageCount = counts.outputs[i];
  }
  for (int page = 1; page <= kPagesPerFile; ++page) {
    const pdftest::EachOutput glyphs = pdftest::RunProbeEach("glyphs " + std::to_string(page), paths, 100);
    for (size_t i = 0; i < paths.size(); ++i) probes[i].glyphPages.push_back(glyphs.outputs[i]);
  }
  return probes;
}

std::vector<OurFont> ParseFonts(const std::string& text) {
  std::vector<OurFont> fonts;
  for (const std::string& line : Lines(text)) {
    const std::vector<std::string> w = Words(line);
    if (w.size() < 6 || w[0] == "direct") continue;
    OurFont font{w[0] + " " + w[1], w[2], w[3], w[4] != "file=-", ""};
    for (const std::string& word : w) {
      if (word.rfind("drawn=", 0) == 0) font.drawn = word.substr(6);
    }
    fonts.push_back(font);
  }
  return fonts;
}

bool IsSimple(const std::string& subtype) {
  return subtype == "Type1" || subtype == "MMType1" || subtype == "TrueType";
}

// pdffonts' type and embedding of each object.
std::map<std::string, std::pair<std::string, bool>> Pdffonts(const std::string& path) {
  std::map<std::string, std::pair<std::string, bool>> out;
  const pdftest::ProbeResult result = pdftest::RunCommand("pdffonts " + Quote(path) + " 2>/dev/null");
  for (const std::string& line : Lines(result.out)) {
    if (line.size() < 60 || line.rfind("name", 0) == 0 || line[0] == '-') continue;
    const std::vector<std::string> w = Words(line);
    if (w.size() < 6) continue;
    if (w.size() < 8) continue;
    // name type... encoding emb sub uni obj gen; only the type has spaces.
    const std::string id = w[w.size() - 2] + " " + w[w.size() - 1];
    const bool embedded = w[w.size() - 5] == "yes";
    std::string type;
    for (size_t i = 1; i + 6 < w.size(); ++i) type += (type.empty() ? "" : " ") + w[i];
    out[id] = {type, embedded};
  }
  return out;
}

bool SameFamily(const std::string& subtype, const std::string& pdffontsType) {
  // pdffonts types a font by its program's data: a "TrueType" font whose
  // program is OpenType CFF is "Type 1C (OT)" there, as our loader reads
  // it by its data too.
  if (subtype == "TrueType") {
    return pdffontsType.rfind("TrueType", 0) == 0 || pdffontsType == "Type 1C (OT)";
  }
  return pdffontsType.rfind("Type 1", 0) == 0;
}

using GlyphKey = std::tuple<std::string, std::string, long>;  // font, glyph, advance

// mutool's trace of pages 1 to `last`, one text per page (one process:
// starting mutool costs more than tracing most pages).
std::vector<std::string> MutoolTracePages(const std::string& path, int last) {
  std::vector<std::string> pages(static_cast<size_t>(last));
  const pdftest::ProbeResult result = pdftest::RunCommand("mutool trace " + Quote(path) + " 1-" +
                                                          std::to_string(last) + " 2>/dev/null");
  int page = 0;
  for (const std::string& line : Lines(result.out)) {
    const size_t at = line.find("<page number=\"");
    if (at != std::string::npos) page = std::atoi(line.c_str() + at + 14);
    if (page >= 1 && page <= last) pages[static_cast<size_t>(page - 1)] += line + "\n";
  }
  return pages;
}

// mutool's shown glyphs of the fonts named in `names`, from one page's
// trace.
std::map<GlyphKey, int> MutoolGlyphs(const std::string& trace, const std::set<std::string>& names, int* total) {
  std::map<GlyphKey, int> out;
  std::string font;
  auto attribute = [](const std::string& line, const std::string& key) {
    const size_t at = line.find(" " + key + "=\"");
    if (at == std::string::npos) return std::string();
    const size_t start = at + key.size() + 3;
    return line.substr(start, line.find('"', start) - start);
  };
  bool clipping = false;
  for (const std::string& line : Lines(trace)) {
    // Text shown in a mode that also clips comes again as clip_text: the
    // glyphs were shown once.
    if (line.find("<clip_text") != std::string::npos) clipping = true;
    if (line.find("</clip_text>") != std::string::npos) clipping = false;
    if (line.find("<span ") != std::string::npos) font = WithoutSubsetPrefix(attribute(line, "font"));
    if (clipping || line.find("<g ") == std::string::npos || names.count(font) == 0) continue;
    // A ligature's further characters come as entries without a glyph.
    if (line.find(" glyph=\"") == std::string::npos) continue;
    const std::string glyph = attribute(line, "glyph");
    const long advance = std::lround(std::atof(attribute(line, "adv").c_str()) * 1000);
    ++out[{font, glyph, advance}];
    ++*total;
  }
  return out;
}

// The probe's shown glyphs of a page (its "glyphs" lines): font id,
// font name, code, glyph, advance.
struct ShownGlyph {
  std::string id, font, glyph;
  long advance = 0;
};

std::vector<ShownGlyph> ParseGlyphs(const std::string& text) {
  std::vector<ShownGlyph> out;
  for (const std::string& line : Lines(text)) {
    const std::vector<std::string> w = Words(line);
    // code, glyph, advance, then (from the Unicode side) the character.
    if (w.size() < 6) continue;
    // The probe marks a glyph id as "#id"; mutool writes the bare number.
    const std::string glyph = w[4].size() > 1 && w[4][0] == '#' ? w[4].substr(1) : w[4];
    out.push_back({w[0] + " " + w[1], WithoutSubsetPrefix(w[2]), glyph, std::atol(w[5].c_str())});
  }
  return out;
}

std::map<GlyphKey, int> OurGlyphs(const std::vector<ShownGlyph>& shown, const std::set<std::string>& names) {
  std::map<GlyphKey, int> out;
  for (const ShownGlyph& g : shown) {
    if (names.count(g.font) != 0) ++out[{g.font, g.glyph, g.advance}];
  }
  return out;
}

std::map<GlyphKey, int> WithoutAdvances(const std::map<GlyphKey, int>& glyphs, const std::set<std::string>& fonts) {
  std::map<GlyphKey, int> out;
  for (const auto& [key, count] : glyphs) {
    const bool drop = fonts.count(std::get<0>(key)) != 0;
    out[{std::get<0>(key), std::get<1>(key), drop ? 0 : std::get<2>(key)}] += count;
  }
  return out;
}

// Files whose glyphs differ from mutool's for a known reason; they are
// compared and reported but not counted.
const std::map<std::string, const char*> kKnownGlyphDifferences = {
    {"pdf/annotation-text-widget.pdf",
     "603 glyphs are in widget annotations' appearances, which mutool draws with the page; the "
     "probe plays the page's content only"},
    {"pdf/issue11477_reduced.pdf",
     "\"Widths\" gives code 32 (.notdef in the program) the width 0; mutool reports the "
     "program's own advance of .notdef, 250"},
    {"pdf/issue7439.pdf",
     "code 2 names \"uni0020\", which the program lacks: we show .notdef with the missing "
     "width 0 (the code is below FirstChar); mutool finds \"space\" by the name's Unicode value"},
    {"pdf/mmtype1.pdf",
     "an MMType1 instance: we take the advances its \"Widths\" give (M 746), mutool the "
     "program's own (M 768)"},
    {"pdf/bug1727053.pdf",
     "TrueType: Differences name code 221 \"Idot\", which the program's \"post\" lacks and no "
     "table of ours names: we keep the code table's guilsinglright, mutool finds Idotaccent through "
     "the name's Unicode value"},
    {"pdf/bug920426.pdf",
     "a composite font whose embedded encoding CMap maps codes with bfchar (Unicode-style "
     "destinations): CID decoding refuses destination strings (runtime code 2), mutool takes "
     "them as CIDs"},
    {"pdf/issue12823.pdf",
     "the composite font NotoColorEmoji has \"DescendantFonts [null]\", which is malformed "
     "(runtime code 2); mutool draws its text with a fallback font"},
    {"pdf/issue19182.pdf",
     "three fonts are named MingLiU once their subset prefixes go (a composite, a TrueType and one "
     "mutool lists from elsewhere in the page); their glyphs are counted under one name"},
    {"pdf/issue9949.pdf",
     "mutool lists a sixth string of the composite font F0 (11 glyphs) that the probe's page "
     "playing does not show; the glyphs of the other five agree (not investigated further)"},
};

struct Tally {
  int fonts = 0, fontsAgreeing = 0;
  int glyphs = 0, glyphsAgreeing = 0;
  std::vector<std::string> notes;
};

void CompareFile(const std::string& file, const FileProbes& probes, Tally& tally) {
  const std::string path = pdftest::CorpusDir() + "/" + file;
  const int status = probes.fontsStatus;
  const std::vector<OurFont> ours = ParseFonts(probes.fonts);
  // The sweep: a loader that crashes or hangs never reaches a clean exit.
  ASSERT_TRUE(status == 0 || status == 1 || status == 3) << file << " probe fonts status " << status;
  if (pdftest::kSanitizerBuild) return;

  const auto reference = Pdffonts(path);
  for (const OurFont& font : ours) {
    if (!IsSimple(font.subtype)) continue;
    const auto found = reference.find(font.id);
    if (found == reference.end()) continue;
    ++tally.fonts;
    const bool agrees = SameFamily(font.subtype, found->second.first) && font.embedded == found->second.second;
    if (agrees) {
      ++tally.fontsAgreeing;
    } else {
      tally.notes.push_back(file + ": font " + font.id + " " + font.name + " " + font.subtype +
                            (font.embedded ? " embedded" : " not embedded") + " vs pdffonts \"" +
                            found->second.first + "\" " + (found->second.second ? "yes" : "no"));
    }
  }

  const std::string& pages = probes.pageCount;
  const int pageCount = std::atoi(pages.c_str() + (pages.find(": ") != std::string::npos ? pages.find(": ") + 2 : 0));
  // Which fonts are compared: embedded programs (their glyph names, or
  // for TrueType programs without "post" names glyph ids, are the
  // program's own, as mutool reports them).
  std::map<std::string, const OurFont*> byId;
  std::set<std::string> others, glyphOnly;
  for (const OurFont& font : ours) {
    byId[font.id] = &font;
    const bool compared = (IsSimple(font.subtype) || font.subtype == "Type0") && font.drawn == "embedded";
    if (!compared) others.insert(WithoutSubsetPrefix(font.name));
    if (font.subtype == "TrueType" || font.subtype == "Type0") glyphOnly.insert(WithoutSubsetPrefix(font.name));
  }
  const int lastPage = std::min(pageCount, kPagesPerFile);
  std::vector<std::string> traces;  // read once, when a page needs them
  for (int page = 1; page <= lastPage; ++page) {
    const std::vector<ShownGlyph> shown = ParseGlyphs(probes.glyphPages[static_cast<size_t>(page - 1)]);
    std::set<std::string> names;
    for (const ShownGlyph& g : shown) {
      const auto font = byId.find(g.id);
      if (font == byId.end()) continue;
      const OurFont& f = *font->second;
      if ((IsSimple(f.subtype) || f.subtype == "Type0") && f.drawn == "embedded") names.insert(g.font);
    }
    // mutool names a span's font by its BaseFont alone: a name that a
    // composite or substituted font of the page shares is not compared.
    for (const std::string& name : others) names.erase(name);
    if (names.empty()) continue;
    int theirTotal = 0;
    if (traces.empty()) traces = MutoolTracePages(path, lastPage);
    auto theirs = MutoolGlyphs(traces[static_cast<size_t>(page - 1)], names, &theirTotal);
    auto mine = OurGlyphs(shown, names);
    // mutool reports TrueType and composite glyphs' advances from the program ("hmtx"),
    // where we (as it draws) take "Widths" or "W": their glyphs alone compare.
    theirs = WithoutAdvances(theirs, glyphOnly);
    mine = WithoutAdvances(mine, glyphOnly);
    // Advances agree within 1/1000 em: "Widths" entries may carry
    // fractions, which mutool keeps and we read as whole thousandths.
    int matched = 0;
    for (const auto& [key, count] : theirs) {
      int left = count;
      for (long delta : {0L, -1L, 1L}) {
        const auto at = mine.find({std::get<0>(key), std::get<1>(key), std::get<2>(key) + delta});
        if (at == mine.end() || left == 0) continue;
        const int taken = std::min(left, at->second);
        at->second -= taken;
        left -= taken;
        matched += taken;
      }
    }
    const bool known = kKnownGlyphDifferences.count(file) != 0;
    if (!known) {
      tally.glyphs += theirTotal;
      tally.glyphsAgreeing += matched;
    }
    if (matched < theirTotal) {
      std::string example;
      for (const auto& [key, count] : theirs) {
        const auto at = mine.find(key);
        if (at == mine.end() || at->second < 0) {
          example = std::get<0>(key) + " " + std::get<1>(key) + " " + std::to_string(std::get<2>(key));
          break;
        }
      }
      tally.notes.push_back(file + " page " + std::to_string(page) + ": " + std::to_string(matched) +
                            " of " + std::to_string(theirTotal) + " glyphs agree, e.g. mutool's " + example +
                            (known ? std::string(" (known: ") + kKnownGlyphDifferences.at(file) + ")" : ""));
    }
  }
}

class CorpusSimpleFonts : public ::testing::TestWithParam<int> {};

TEST_P(CorpusSimpleFonts, AgreeWithPdffontsAndMutoolTrace) {
  const std::vector<std::string> files = pdftest::CorpusGroup(GetParam());
  if (!ToolAvailable("mutool -v") || !ToolAvailable("pdffonts -v")) {
    if (pdftest::UnderContinuousIntegration()) FAIL() << "mutool or pdffonts is missing";
    GTEST_SKIP() << "mutool or pdffonts is missing";
  }
  Tally tally;
  std::vector<std::string> compared, paths;
  for (const std::string& file : files) {
    if (file.rfind("pdf/", 0) != 0) continue;
    compared.push_back(file);
    paths.push_back(pdftest::CorpusDir() + "/" + file);
  }
  const std::vector<FileProbes> probes = ProbedGroup(paths);
  for (size_t i = 0; i < compared.size(); ++i) CompareFile(compared[i], probes[i], tally);
  for (const std::string& note : tally.notes) std::printf("note: %s\n", note.c_str());
  std::printf("fonts %d of %d agree; glyphs %d of %d agree\n", tally.fontsAgreeing, tally.fonts,
              tally.glyphsAgreeing, tally.glyphs);
  RecordProperty("fonts", tally.fonts);
  RecordProperty("fontsAgreeing", tally.fontsAgreeing);
  RecordProperty("glyphs", tally.glyphs);
  RecordProperty("glyphsAgreeing", tally.glyphsAgreeing);
  EXPECT_EQ(tally.fontsAgreeing, tally.fonts);
  EXPECT_GE(tally.glyphsAgreeing * 100.0, tally.glyphs * 98.0);
}

// The sanitizer build loads the fonts in the combined sweep.
INSTANTIATE_TEST_SUITE_P(Corpus, CorpusSimpleFonts, ::testing::ValuesIn(pdftest::NormalBuildCorpusGroups()),
                         pdftest::CorpusGroupName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(CorpusSimpleFonts);

}  // namespace
