#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/ListLink.h"
#include "runtime/WideString.h"

namespace runtime {
namespace {

struct Listener : ListLink {
  std::vector<std::string>* log;
  std::string name;
  Listener(std::vector<std::string>* events, std::string label)
      : log(events), name(std::move(label)) {}
  void OnListEvent() override { log->push_back(name + ":event"); }
  void AfterListEvent() override { log->push_back(name + ":after"); }
};

std::vector<std::string> Names(ListLink* head) {
  std::vector<std::string> names;
  for (ListLink* node = head; node != nullptr; node = node->Next()) {
    names.push_back(static_cast<Listener*>(node)->name);
  }
  return names;
}

TEST(ListLinkTest, LinkAtEitherEndUnlinkAndNotify) {
  std::vector<std::string> log;
  ListLink* head = nullptr;
  Listener a(&log, "a"), b(&log, "b"), c(&log, "c");
  a.Link(&head);
  b.Link(&head);
  c.Link(&head, true);
  EXPECT_EQ(Names(head), (std::vector<std::string>{"b", "a", "c"}));
  a.Unlink();
  a.Unlink();
  EXPECT_EQ(Names(head), (std::vector<std::string>{"b", "c"}));
  {
    Listener temporary(&log, "t");
    temporary.Link(&head, true);
  }  // leaves the list as it goes
  EXPECT_EQ(Names(head), (std::vector<std::string>{"b", "c"}));

  uint8_t pending = 1;
  ListLink::NotifyListTwoPass(head, &pending);
  EXPECT_EQ(pending, 0);
  EXPECT_EQ(log, (std::vector<std::string>{"b:event", "c:event", "b:after", "c:after"}));

  log.clear();
  ListLink::DetachAll(&head);
  EXPECT_EQ(head, nullptr);
  EXPECT_FALSE(b.IsLinked());
  EXPECT_EQ(log, (std::vector<std::string>{"b:event", "c:event"}));
}

TEST(WideStringTest, LengthAndDecimalText) {
  EXPECT_EQ(WideStrLen(nullptr), 0u);
  EXPECT_EQ(WideStrLen(u""), 0u);
  EXPECT_EQ(WideStrLen(u"Seite"), 5u);
  struct Case {
    int32_t value;
    size_t capacity;
    std::u16string text;
  } cases[] = {
      {0, 8, u"0"},
      {42, 8, u"42"},
      {-7, 8, u"-7"},
      {INT32_MIN, 12, u"-2147483648"},
      {INT32_MAX, 12, u"2147483647"},
      {12345, 4, u"123"},
      {5, 1, u""},
  };
  for (const Case& c : cases) {
    char16_t buffer[16];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    char16_t* end = IntToWideString(c.value, buffer, c.capacity);
    EXPECT_EQ(std::u16string(buffer, end), c.text) << c.value;
    EXPECT_EQ(*end, u'\0') << c.value;
    EXPECT_EQ(buffer[c.capacity], u'#') << "wrote past the capacity for " << c.value;
  }
  char16_t untouched = u'#';
  EXPECT_EQ(IntToWideString(1, &untouched, 0), &untouched);
  EXPECT_EQ(untouched, u'#');
}

}  // namespace
}  // namespace runtime
