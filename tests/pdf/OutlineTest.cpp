// The generated outline document (tests/pdf/make_outline_fixture.py): what
// the probe prints for its outline, information and named destinations
// equals what the generator recorded; the outline job's listener calls;
// the role table; and outlines whose links lead back end.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "pdf/Outline.h"
#include "pdf/OutlineListener.h"
#include "pdf/StructTree.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tests/pdf/ProbeRunner.h"

namespace {

// Owns a table made by StructTree::GetRoleTable.
class RoleTableHolder {
 public:
  RoleTableHolder(runtime::LibraryContext* context, pdf::RoleTable* table)
      : context_(context), table_(table) {}
  ~RoleTableHolder() { runtime::DestroyAndFree(context_, table_); }
  RoleTableHolder(const RoleTableHolder&) = delete;
  RoleTableHolder& operator=(const RoleTableHolder&) = delete;
  const pdf::RoleTable& operator*() const { return *table_; }
  const pdf::RoleTable* operator->() const { return table_; }

 private:
  runtime::LibraryContext* context_;
  pdf::RoleTable* table_;
};

std::map<std::string, std::string> RoleEntries(const pdf::RoleTable& table) {
  std::map<std::string, std::string> entries;
  table.ForEach([&](std::string_view name, std::string_view standard) {
    entries.emplace(name, standard);
  });
  return entries;
}

// A document whose structure tree's role map has the given entries, in
// this order.
std::string WithRoleMap(const std::vector<std::pair<std::string, std::string>>& roles) {
  std::string map;
  for (const auto& [key, value] : roles) map += "/" + key + " /" + value + " ";
  pdftest::PdfWriter writer;
  writer.Object(1, "<< /Type /Catalog /StructTreeRoot 2 0 R >>")
      .Object(2, "<< /Type /StructTreeRoot /RoleMap << " + map + ">> >>")
      .ClassicTable("/Root 1 0 R");
  return writer.Text();
}

// The role map read as the format's readers read it, step by step and
// without shortcuts: entries in order, each walk bounded by the entries
// left.
std::map<std::string, std::string> ReferenceRoles(
    const std::vector<std::pair<std::string, std::string>>& roles) {
  std::map<std::string, std::string> table;
  for (const char* name : pdf::StructTree::kStandardTypes) table[name] = name;
  const auto lookup = [&](const std::string& name) -> const std::string* {
    for (const auto& [key, value] : roles) {
      if (key == name) return &value;
    }
    return nullptr;
  };
  size_t limit = roles.size();
  for (const auto& [key, value] : roles) {
    std::string current = value;
    for (size_t left = limit; left != 0;) {
      const auto found = table.find(current);
      if (found != table.end()) {
        table[key] = found->second;
        break;
      }
      --left;
      const std::string* next = lookup(current);
      if (next == nullptr) break;
      current = *next;
    }
    --limit;
  }
  return table;
}


const std::string kFixture = pdftest::FixturePath("outline_names.pdf");

// The expected file's lines, split at tabs.
std::vector<std::vector<std::string>> Expected(const std::string& kind) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(pdftest::ReadFile(pdftest::FixturePath("outline_names.expected")));
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1) {
      fields.push_back(line.substr(start, tab - start));
    }
    fields.push_back(line.substr(start));
    if (fields[0] == kind || (kind == "role" && fields[0] == "norole")) rows.push_back(fields);
  }
  return rows;
}

std::string Joined(const std::vector<std::string>& fields, size_t from, const char* separator) {
  std::string out;
  for (size_t i = from; i < fields.size(); ++i) out += (i > from ? separator : "") + fields[i];
  return out;
}

TEST(OutlineFixtureTest, ProbeOutlineMetaAndDestinations) {
  std::string outline;
  for (const auto& row : Expected("outline")) outline += Joined(row, 1, "\t") + "\n";
  const pdftest::ProbeResult printed = pdftest::RunProbe("outline " + kFixture, true);
  EXPECT_EQ(printed.status, 0);
  EXPECT_EQ(printed.out, outline);

  std::string meta;
  for (const auto& row : Expected("meta")) meta += row[1] + ": " + row[2] + "\n";
  EXPECT_EQ(pdftest::RunProbe("meta " + kFixture, true).out, meta);

  for (const auto& row : Expected("dest")) {
    std::string name;
    for (size_t i = 0; i + 1 < row[1].size(); i += 2) {
      name += static_cast<char>(std::stoi(row[1].substr(i, 2), nullptr, 16));
    }
    const pdftest::ProbeResult found = pdftest::RunProbe("dest " + kFixture + " '" + name + "'");
    if (row[2] == "none") {
      EXPECT_EQ(found.out, "not found\n") << row[1];
      EXPECT_EQ(found.status, 1);
    } else {
      EXPECT_EQ(found.out, "page " + row[2] + " fit " + row[3] + "\n") << row[1];
    }
  }
}

TEST(OutlineFixtureTest, RoleTable) {
  runtime::LibraryContext context;
  const std::string bytes = pdftest::ReadFile(kFixture);
  pdftest::OpenDocument document(&context, bytes);
  RoleTableHolder held(&context, pdf::StructTree::GetRoleTable(*document));
  const pdf::RoleTable& table = *held;
  for (const auto& row : Expected("role")) {
    if (row[0] == "role") {
      EXPECT_EQ(table.Find(row[1]), row[2]) << row[1];
    } else {
      EXPECT_EQ(table.Find(row[1]), "") << row[1];
    }
  }
  // The 49 standard names and the two own names that resolve.
  EXPECT_EQ(table.Size(), pdf::StructTree::kStandardCount + 3);
  // The document keeps one table: read once, the same on every request.
  const pdf::RoleTable& kept = document->GetRoleTable();
  EXPECT_EQ(&kept, &document->GetRoleTable());
  EXPECT_EQ(RoleEntries(kept), RoleEntries(table));
}

// Small role maps of chains, loops, dead ends and remapped standard names,
// in every kind of order, against the step-by-step reading.
TEST(RoleTableTest, ShortcutsGiveWhatTheStepByStepReadingGives) {
  runtime::LibraryContext context;
  static const char* const kNames[] = {"A", "B", "C", "D", "E", "P", "H1", "Span", "Nothing"};
  uint32_t seed = 12345;
  const auto random = [&](uint32_t n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % n;
  };
  for (int round = 0; round < 400; ++round) {
    std::vector<std::pair<std::string, std::string>> roles;
    const uint32_t count = 1 + random(9);
    for (uint32_t i = 0; i < count; ++i) {
      roles.emplace_back(kNames[random(8)], kNames[random(9)]);
    }
    std::string text;
    for (const auto& [key, value] : roles) text += key + ">" + value + " ";
    SCOPED_TRACE(text);
    const std::string bytes = WithRoleMap(roles);
    pdftest::OpenDocument document(&context, bytes);
    RoleTableHolder table(&context, pdf::StructTree::GetRoleTable(*document));
    ASSERT_EQ(RoleEntries(*table), ReferenceRoles(roles));
  }
}

// Role maps of tens of thousands of entries in long loops and long chains
// to nowhere end in time linear in their size, in the document's memory.
TEST(RoleTableTest, LongLoopsAndDeadChainsEnd) {
  runtime::LibraryContext context;
  constexpr int kKeys = 20000;
  std::vector<std::pair<std::string, std::string>> roles;
  for (int i = 0; i < kKeys; ++i) {
    roles.emplace_back("L" + std::to_string(i), "L" + std::to_string((i + 1) % kKeys));
  }
  for (int i = 0; i < kKeys; ++i) {
    roles.emplace_back("D" + std::to_string(i), "D" + std::to_string(i + 1));
  }
  // A chain to a standard name written from its end: each key resolves in
  // one step through the one after it.
  for (int i = 999; i >= 0; --i) {
    roles.emplace_back("R" + std::to_string(i), i == 999 ? "P" : "R" + std::to_string(i + 1));
  }
  const std::string bytes = WithRoleMap(roles);
  pdftest::OpenDocument document(&context, bytes);
  // The first reading loads the objects into the document's cache.
  RoleTableHolder(&context, pdf::StructTree::GetRoleTable(*document));
  const uint64_t before = context.memory.bytesInUse;
  {
    RoleTableHolder table(&context, pdf::StructTree::GetRoleTable(*document));
    EXPECT_GT(context.memory.bytesInUse, before);
    EXPECT_EQ(table->Size(), pdf::StructTree::kStandardCount + 1000);
    EXPECT_EQ(table->Find("L0"), "");
    EXPECT_EQ(table->Find("D0"), "");
    EXPECT_EQ(table->Find("R0"), "P");
    EXPECT_EQ(table->Find("R999"), "P");
  }
  EXPECT_EQ(context.memory.bytesInUse, before);
}

TEST(RoleTableTest, WithoutStructureTreeOnlyTheStandardNames) {
  runtime::LibraryContext context;
  pdftest::PdfWriter writer;
  writer.Object(1, "<< /Type /Catalog >>").ClassicTable("/Root 1 0 R");
  pdftest::OpenDocument document(&context, writer.Text());
  RoleTableHolder table(&context, pdf::StructTree::GetRoleTable(*document));
  EXPECT_EQ(table->Size(), pdf::StructTree::kStandardCount);
  for (const char* name : pdf::StructTree::kStandardTypes) EXPECT_EQ(table->Find(name), name);
}

// Records every listener call as "added|changed <title> under <parent
// title> after <previous title> open|closed"; an unread title shows as "?",
// a unit outside ASCII as "*".
class RecordingListener final : public pdf::OutlineListener {
 public:
  uint32_t ActiveId() override { return 7; }
  void OnItemAdded(uint32_t id, pdf::OutlineItem* item, pdf::OutlineItem* parent,
                   pdf::OutlineItem* previous, bool open) override {
    Record("added", id, item, parent, previous, open);
    EXPECT_TRUE(added.insert(item).second) << "an item is added once";
  }
  void OnItemChanged(uint32_t id, pdf::OutlineItem* item, pdf::OutlineItem* parent,
                     pdf::OutlineItem* previous, bool open) override {
    Record("changed", id, item, parent, previous, open);
    EXPECT_TRUE(added.count(item) == 1) << "only an item added before changes";
    EXPECT_TRUE(changed.insert(item).second) << "an item changes once";
  }

  std::vector<std::string> calls;
  std::set<pdf::OutlineItem*> added;
  std::set<pdf::OutlineItem*> changed;

 private:
  static std::string Title(const pdf::OutlineItem* item) {
    if (item == nullptr) return "-";
    if (!item->titleRead) return "?";
    std::string title;
    for (char16_t unit : item->title) title += unit < 0x80 ? static_cast<char>(unit) : '*';
    return title;
  }
  void Record(const char* what, uint32_t id, pdf::OutlineItem* item, pdf::OutlineItem* parent,
              pdf::OutlineItem* previous, bool open) {
    EXPECT_EQ(id, 7u);
    EXPECT_EQ(item->parent, parent);
    calls.push_back(std::string(what) + " " + Title(item) + " under " + Title(parent) +
                    " after " + Title(previous) + (open ? " open" : " closed"));
  }
};

TEST(OutlineFixtureTest, FirstPassShowsOpenBranchesSecondCompletesTheRest) {
  runtime::LibraryContext context;
  const std::string bytes = pdftest::ReadFile(kFixture);
  pdftest::OpenDocument document(&context, bytes);
  RecordingListener listener;
  pdf::Outline outline(*document, &listener);
  const runtime::ObjectHandle first =
      runtime::Dictionary::Get(outline.GetOutlineRoot(nullptr), "First");
  outline.Walk(nullptr, first, true, 0);

  // Chapter 1 is closed: one placeholder child, and no placeholder after
  // it as a branch's expander comes first. Chapter 2 is open: its children
  // are read at once, each completing the placeholder made before it.
  const std::vector<std::string> firstPass = {
      "added Chapter 1 under - after - closed",
      "added ? under Chapter 1 after - closed",
      "added Chapter 2 ** under - after Chapter 1 open",
      "added ? under Chapter 2 ** after - closed",
      "changed English under Chapter 2 ** after - closed",
      "added ? under Chapter 2 ** after English closed",
      "changed Gr*n under Chapter 2 ** after English closed",
      "added " + std::string(256, 'L') + " under - after Chapter 2 ** closed",
  };
  EXPECT_EQ(listener.calls, firstPass);
  pdf::OutlineItem* chapter1 = outline.Root();
  ASSERT_NE(chapter1, nullptr);
  EXPECT_FALSE(chapter1->childrenComplete);
  ASSERT_NE(chapter1->firstChild, nullptr);
  EXPECT_FALSE(chapter1->firstChild->titleRead);
  EXPECT_EQ(chapter1->firstChild->next, nullptr);
  pdf::OutlineItem* chapter2 = chapter1->next;
  ASSERT_NE(chapter2, nullptr);
  EXPECT_TRUE(chapter2->childrenComplete);
  ASSERT_NE(chapter2->firstChild, nullptr);
  EXPECT_EQ(std::u16string(chapter2->firstChild->title), u"English");
  const size_t firstPassCalls = listener.calls.size();

  outline.Run();
  EXPECT_GT(listener.calls.size(), firstPassCalls);
  EXPECT_TRUE(chapter1->childrenComplete);
  uint32_t sections = 0;
  for (pdf::OutlineItem* item = chapter1->firstChild; item != nullptr; item = item->next) {
    EXPECT_TRUE(item->titleRead);
    EXPECT_EQ(item->index, sections);
    EXPECT_EQ(item->title, u"Section 1." + [&] {
      const std::string n = std::to_string(sections + 1);
      return std::u16string(n.begin(), n.end());
    }());
    // Each item leads back to its own dictionary.
    const runtime::ObjectHandle node = outline.GetOutlineRoot(item);
    const std::string title(runtime::Dictionary::GetString(node, "Title")->AsString().View());
    EXPECT_EQ(title, "Section 1." + std::to_string(sections + 1));
    ++sections;
  }
  EXPECT_EQ(sections, 100u);
  EXPECT_EQ(std::u16string(chapter1->firstChild->firstChild->next->title), u"Para b");
  // Every placeholder reported was completed, and no item was reported
  // twice (checked as the calls came).
  for (pdf::OutlineItem* item : listener.added) EXPECT_TRUE(item->titleRead);
}

TEST(OutlineTest, LinksLeadingBackEndTheWalk) {
  const struct {
    const char* name;
    std::vector<std::string> nodes;  // objects 3, 4, 5
    size_t topLevel;
  } kCases[] = {
      {"next cycle", {"<< /Title (a) /Next 4 0 R >>", "<< /Title (b) /Next 3 0 R >>", "null"}, 2},
      {"next to self", {"<< /Title (a) /Next 3 0 R >>", "null", "null"}, 1},
      {"first to ancestor",
       {"<< /Title (a) /First 4 0 R /Count 1 /Next 5 0 R >>",
        "<< /Title (b) /First 3 0 R /Count 1 >>", "<< /Title (c) >>"},
       2},
      {"first to self in a closed branch",
       {"<< /Title (a) /First 3 0 R /Count -1 >>", "null", "null"}, 1},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    runtime::LibraryContext context;
    pdftest::PdfWriter writer;
    writer.Object(1, "<< /Type /Catalog /Outlines 2 0 R >>")
        .Object(2, "<< /First 3 0 R >>")
        .Object(3, c.nodes[0])
        .Object(4, c.nodes[1])
        .Object(5, c.nodes[2])
        .ClassicTable("/Root 1 0 R");
    pdftest::OpenDocument document(&context, writer.Text());
    RecordingListener listener;
    pdf::Outline outline(*document, &listener);
    outline.Run();
    size_t count = 0;
    for (pdf::OutlineItem* item = outline.Root(); item != nullptr && item->titleRead;
         item = item->next) {
      ++count;
    }
    EXPECT_EQ(count, c.topLevel);
  }
}

TEST(OutlineTest, DeepOutlineStopsAtTheDepthBound) {
  runtime::LibraryContext context;
  pdftest::PdfWriter writer;
  const uint32_t levels = pdf::Outline::kMaxDepth + 20;
  writer.Object(1, "<< /Type /Catalog /Outlines 2 0 R >>").Object(2, "<< /First 3 0 R >>");
  for (uint32_t i = 0; i < levels; ++i) {
    const uint32_t number = 3 + i;
    std::string body = "<< /Title (t) /Count 1";
    if (i + 1 < levels) body += " /First " + std::to_string(number + 1) + " 0 R";
    writer.Object(number, body + " >>");
  }
  writer.ClassicTable("/Root 1 0 R");
  pdftest::OpenDocument document(&context, writer.Text());
  pdf::Outline outline(*document, nullptr);
  outline.Run();
  uint32_t depth = 0;
  for (pdf::OutlineItem* item = outline.Root(); item != nullptr && item->titleRead;
       item = item->firstChild) {
    ++depth;
  }
  EXPECT_EQ(depth, pdf::Outline::kMaxDepth);
}

}  // namespace
