#include "shell/WString.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/Heap.h"

namespace shell {
namespace {

std::u16string Text(const WString& s) { return std::u16string(s.Chars(), s.Length()); }

// The characters must always end in a zero right after the length.
void ExpectTerminated(const WString& s) { EXPECT_EQ(s.Chars()[s.Length()], 0); }

TEST(WStringTest, AssignmentsCopyAndTerminate) {
  WString s;
  EXPECT_EQ(Text(s), u"");
  ExpectTerminated(s);

  ASSERT_TRUE(s.Assign(u"abcdef", 3));
  EXPECT_EQ(Text(s), u"abc");
  ExpectTerminated(s);

  ASSERT_TRUE(s.AssignCString(u"path"));
  EXPECT_EQ(Text(s), u"path");
  ASSERT_TRUE(s.AssignCString(nullptr));
  EXPECT_TRUE(s.IsEmpty());
  ExpectTerminated(s);

  // Assigning a piece of the string itself must read it before it is freed.
  ASSERT_TRUE(s.AssignCString(u"abcdef"));
  ASSERT_TRUE(s.Assign(s.Chars() + 2, 3));
  EXPECT_EQ(Text(s), u"cde");

  WString other;
  ASSERT_TRUE(other.Copy(s));
  EXPECT_EQ(Text(other), u"cde");
  ASSERT_TRUE(other.Copy(other));
  EXPECT_EQ(Text(other), u"cde");
}

TEST(WStringTest, ResizeHandsOutAZeroedBufferAndTrimCutsAtTheFirstZero) {
  WString s;
  char16_t* buffer = s.Resize(8);
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(s.Length(), 8u);
  ExpectTerminated(s);
  buffer[0] = u'a';
  buffer[1] = u'b';
  s.TrimToTerminator();
  EXPECT_EQ(Text(s), u"ab");

  // A platform call that fills nothing leaves the empty string.
  s.Resize(4);
  s.TrimToTerminator();
  EXPECT_TRUE(s.IsEmpty());
}

TEST(WStringTest, AppendGrowsAndMayAppendItself) {
  WString s;
  ASSERT_TRUE(s.Append(u"ab", 2));
  ASSERT_TRUE(s.Append(u"cd", 2));
  ASSERT_TRUE(s.Append(u"", 0));
  EXPECT_EQ(Text(s), u"abcd");
  ASSERT_TRUE(s.Append(s));
  EXPECT_EQ(Text(s), u"abcdabcd");
  ExpectTerminated(s);
}

TEST(WStringTest, EqualityComparesLengthAndCodeUnits) {
  WString a, b;
  a.AssignCString(u"File.pdf");
  b.AssignCString(u"file.pdf");
  EXPECT_FALSE(a.Equals(b));
  b.AssignCString(u"File.pdf");
  EXPECT_TRUE(a.Equals(b));
  b.AssignCString(u"File.pd");
  EXPECT_FALSE(a.Equals(b));
  EXPECT_TRUE(WString().Equals(WString()));

  EXPECT_TRUE(a.EqualsCString(u"File.pdf"));
  EXPECT_FALSE(a.EqualsCString(u"File.pdfx"));
  EXPECT_FALSE(a.EqualsCString(nullptr));
  EXPECT_TRUE(WString().EqualsCString(nullptr));
  EXPECT_TRUE(WString().EqualsCString(u""));
}

TEST(WStringTest, SearchAndEdit) {
  WString s;
  s.AssignCString(u"\"My Documents\\a b.pdf\"");
  EXPECT_EQ(s.IndexOf(u'\\'), 13);
  EXPECT_EQ(s.LastIndexOf(u'"'), 21);
  EXPECT_EQ(s.IndexOf(u'z'), -1);
  EXPECT_EQ(WString().LastIndexOf(u'a'), -1);

  s.RemoveChar(u'"');
  EXPECT_EQ(Text(s), u"My Documents\\a b.pdf");
  ExpectTerminated(s);

  s.UpperAscii();
  EXPECT_EQ(Text(s), u"MY DOCUMENTS\\A B.PDF");
  WString accented;
  accented.AssignCString(u"\u00e9t\u00e9z");
  accented.UpperAscii();
  EXPECT_EQ(Text(accented), u"\u00e9T\u00e9Z");
}

TEST(WStringTest, SubstringClampsStartAndCount) {
  WString s;
  s.AssignCString(u"abcdef");
  struct Case {
    int32_t start, count;
    const char16_t* expected;
  };
  const Case cases[] = {
      {0, 3, u"abc"},  {2, 2, u"cd"},  {-5, 2, u"ab"},  {4, 100, u"ef"},
      {6, 1, u""},     {9, 1, u""},    {1, 0, u""},     {1, -1, u""},
      {0, 0x7FFFFFFF, u"abcdef"},
  };
  for (const Case& c : cases) {
    WString out;
    ASSERT_TRUE(s.Substring(c.start, c.count, out));
    EXPECT_EQ(Text(out), c.expected) << c.start << "," << c.count;
    ExpectTerminated(out);
  }
  // Into itself.
  ASSERT_TRUE(s.Substring(1, 3, s));
  EXPECT_EQ(Text(s), u"bcd");
}

TEST(WStringTest, FailedAllocationLeavesTheEmptyString) {
  WString s;
  s.AssignCString(u"kept?");
  platform::GetHeapTestHooks().failNext = 1;
  EXPECT_FALSE(s.Append(u"x", 1));
  EXPECT_TRUE(s.IsEmpty());
  ExpectTerminated(s);
  platform::GetHeapTestHooks().failNext = 1;
  EXPECT_EQ(s.Resize(10), nullptr);
  EXPECT_EQ(s.Length(), 0u);
  platform::GetHeapTestHooks().failNext = 0;
}

}  // namespace
}  // namespace shell
