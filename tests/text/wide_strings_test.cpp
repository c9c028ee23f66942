#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "lumora/text/string_buffer.h"
#include "lumora/text/wide_strings.h"

namespace lumora {
namespace {

using namespace std::string_literals;

TEST(StringBuffer, GrowsIn1024StepsAndKeepsItsText) {
  TStringBuffer small(2);
  EXPECT_EQ(small.GetCapacity(), 2);
  small.Cat(u'a');
  EXPECT_EQ(small.GetCapacity(), 1026);
  EXPECT_EQ(small.DataString(), u"a");

  TStringBuffer buffer(50);
  std::u16string expected;
  for (int i = 0; i < 3000; ++i) {
    const auto c = static_cast<char16_t>(u'A' + i % 26);
    buffer.Cat(c);
    expected += c;
    ASSERT_LT(buffer.GetPosition(), buffer.GetCapacity());
  }
  EXPECT_EQ(buffer.DataString(), expected);
  EXPECT_EQ(buffer.Length(), 3000);
  EXPECT_EQ(buffer.GetCapacity(), 50 + 3 * 1024);

  const int grown = buffer.GetCapacity();
  buffer.Clear();
  EXPECT_EQ(buffer.DataString(), u"");
  EXPECT_EQ(buffer.GetCapacity(), grown);
  buffer.Cat(u'z');
  EXPECT_EQ(buffer.DataString(), u"z");
}

TEST(StringBuffer, CapacityBelowTwoIsRaised) {
  for (int capacity : {-5, 0, 1}) {
    TStringBuffer buffer(capacity);
    EXPECT_EQ(buffer.GetCapacity(), 2);
    buffer.Cat(u'x');
    buffer.Cat(u'y');
    EXPECT_EQ(buffer.DataString(), u"xy");
  }
}

TEST(StringBuffer, StrCatStopsAtTheFirstNul) {
  TStringBuffer buffer(100);
  buffer.StrCat(u"ab\0cd"s);
  buffer.StrCat(u"");
  buffer.StrCat(u"e");
  EXPECT_EQ(buffer.DataString(), u"abe");
}

TEST(WideStrings, LengthCountsUpToTheFirstNul) {
  EXPECT_EQ(WLength(u""), 0);
  EXPECT_EQ(WLength(u"abc"), 3);
  EXPECT_EQ(WLength(u"ab\0c"s), 2);
}

TEST(WideStrings, CompareOrdersByLengthFirst) {
  EXPECT_EQ(WCompareStr(u"abc", u"abd"), -1);
  EXPECT_EQ(WCompareStr(u"abd", u"abc"), 1);
  EXPECT_EQ(WCompareStr(u"b", u"aa"), -1);
  EXPECT_EQ(WCompareStr(u"aa", u"b"), 1);
  EXPECT_EQ(WCompareStr(u"", u""), 0);
  EXPECT_EQ(WCompareStr(u"abc", u"abc"), 0);
  // Units compare unsigned: U+FFFF is above 'a'.
  EXPECT_EQ(WCompareStr(u"\xFFFF", u"a"), 1);
  // Only the text before a NUL counts.
  EXPECT_EQ(WCompareStr(u"ab\0x"s, u"ab"), 0);
}

TEST(WideStrings, CompareTextFoldsAsciiLettersOnly) {
  EXPECT_EQ(WCompareText(u"abc", u"ABC"), 0);
  EXPECT_EQ(WCompareText(u"XmL", u"xml"), 0);
  EXPECT_NE(WCompareText(u"\u00E9", u"\u00C9"), 0);
  EXPECT_NE(WCompareText(u"\u0430", u"\u0410"), 0);
  EXPECT_EQ(WCompareText(u"a", u"B"), -1);
  EXPECT_EQ(WCompareText(u"b", u"aa"), -1);
  // '[' (0x5B) sorts after 'Z' but before 'a'; with folding it is above 'a' too.
  EXPECT_EQ(WCompareText(u"[", u"a"), 1);
}

TEST(WideStrings, TrimRemovesXmlBlanksAtBothEnds) {
  EXPECT_EQ(WTrim(u"\t \n"), u"");
  EXPECT_EQ(WTrim(u""), u"");
  EXPECT_EQ(WTrim(u" \r\na b\t"), u"a b");
  EXPECT_EQ(WTrim(u"a  b"), u"a  b");
  // A no-break space is not an XML blank.
  EXPECT_EQ(WTrim(u"\u00A0x\u00A0"), u"\u00A0x\u00A0");
}

TEST(WideStrings, UpCaseMapsOnlyAsciiLetters) {
  EXPECT_EQ(WUpCase(u'q'), u'Q');
  EXPECT_EQ(WUpCase(u'Q'), u'Q');
  EXPECT_EQ(WUpCase(u'{'), u'{');
  EXPECT_EQ(WUpCase(u'\u00E4'), u'\u00E4');
  EXPECT_EQ(WUpCase(u'\u0430'), u'\u0430');
}

TEST(WideStrings, StrCopyCopiesTheTerminator) {
  char16_t dest[8] = {u'x', u'x', u'x', u'x', u'x', u'x', u'x', u'x'};
  EXPECT_EQ(WStrCopy(dest, u"abc"), dest);
  EXPECT_EQ(std::u16string(dest), u"abc");
  EXPECT_EQ(dest[4], u'x');
}

TEST(InvChars, RecordsAndFormats) {
  invChars().Clear();
  EXPECT_FALSE(InvCharExists(u'\x80'));
  invChars().Cat(u'\x80');
  invChars().Cat(u'\x20AC');
  EXPECT_TRUE(InvCharExists(u'\x80'));
  EXPECT_TRUE(InvCharExists(u'\x20AC'));
  EXPECT_FALSE(InvCharExists(u'\x81'));
  EXPECT_EQ(InvCharsToString(invChars().DataString()), "(0x0080), (0x20AC)");
  invChars().Clear();
  EXPECT_FALSE(InvCharExists(u'\x80'));

  // The answer follows the buffer through clears and direct appends.
  invChars().Cat(u'b');
  invChars().Cat(u'a');
  EXPECT_TRUE(InvCharExists(u'a'));
  invChars().Clear();
  invChars().Cat(u'a');
  EXPECT_TRUE(InvCharExists(u'a'));
  EXPECT_FALSE(InvCharExists(u'b'));
  RecordInvChar(u'b');
  RecordInvChar(u'a');
  RecordInvChar(u'b');
  EXPECT_EQ(invChars().DataString(), u"ab");
  invChars().Clear();

  EXPECT_EQ(InvCharsToString(u"\x01"), "(0x0001)");
  EXPECT_EQ(InvCharsToString(u"\xFFFF\x0A\xABCD"), "(0xFFFF), (0x000A), (0xABCD)");
  EXPECT_EQ(InvCharsToString(u""), "");
}

TEST(InvChars, EachThreadHasItsOwnBuffer) {
  invChars().Clear();
  invChars().Cat(u'M');
  std::u16string seen[2];
  auto work = [&seen](int k) {
    const char16_t mine = k == 0 ? u'A' : u'B';
    for (int i = 0; i < 5000; ++i) {
      if (!InvCharExists(mine)) invChars().Cat(mine);
      invChars().Cat(static_cast<char16_t>(0x100 + k));
      if (i % 100 == 0) invChars().Clear();
    }
    seen[k] = invChars().DataString();
  };
  std::thread first(work, 0);
  std::thread second(work, 1);
  first.join();
  second.join();
  for (int k = 0; k < 2; ++k) {
    ASSERT_FALSE(seen[k].empty());
    const char16_t other = k == 0 ? u'B' : u'A';
    EXPECT_EQ(seen[k].find(other), std::u16string::npos) << k;
    EXPECT_EQ(seen[k].find(static_cast<char16_t>(0x101 - k)), std::u16string::npos) << k;
  }
  EXPECT_EQ(invChars().DataString(), u"M");
  invChars().Clear();
}

}  // namespace
}  // namespace lumora
