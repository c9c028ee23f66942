#include <gtest/gtest.h>

#include <string>

#include "lumora/framework/utf8.h"
#include "lumora/text/code_pages.h"
#include "lumora/text/conversions.h"
#include "lumora/text/wide_strings.h"

namespace lumora {
namespace {

using namespace std::string_literals;

constexpr TEncoding kEightBit[] = {i8859_1, i8859_2, i8859_3, i8859_4,  i8859_5, i8859_6,
                                   i8859_7, i8859_8, i8859_9, i8859_10, US_ASCII};

char Byte(int b) {
  return static_cast<char>(b);
}

class Conversions : public ::testing::Test {
 protected:
  void SetUp() override { invChars().Clear(); }
  void TearDown() override { invChars().Clear(); }
};

TEST(CodePages, NamesAndLookup) {
  EXPECT_EQ(EncodingToString(UTF_16), "UTF-16");
  EXPECT_EQ(EncodingToString(n_sup), "not supported");
  EXPECT_EQ(EncodingToString(static_cast<TEncoding>(99)), "not supported");
  for (int e = i8859_1; e <= UTF_16; ++e) {
    const auto encoding = static_cast<TEncoding>(e);
    EXPECT_EQ(StringToEncoding(EncodingToString(encoding)), encoding);
  }
  EXPECT_EQ(StringToEncoding("iso-8859-10"), i8859_10);
  EXPECT_EQ(StringToEncoding("iso-8859-1"), i8859_1);
  EXPECT_EQ(StringToEncoding("utf-8"), UTF_8);
  EXPECT_EQ(StringToEncoding("iso-8859-12"), n_sup);
  EXPECT_EQ(StringToEncoding("UTF8"), n_sup);
  EXPECT_EQ(StringToEncoding(""), n_sup);
  EXPECT_EQ(StringToEncoding("not supported"), n_sup);
  EXPECT_EQ(StringToEncoding("UTF-8 "), n_sup);
  // Only ASCII letters fold: a dotless i does not make "US-ASCII".
  EXPECT_EQ(StringToEncoding("us-asc\xC4\xB1i"), n_sup);
}

TEST(CodePages, TableRules) {
  for (int r = 0; r < kIsoRowCount - 1; ++r) {
    for (int b = 0; b < 0xA0; ++b) {
      const bool accepted = b == 0x09 || b == 0x0A || b == 0x0D || (b >= 0x20 && b <= 0x7E);
      ASSERT_EQ(iso[r][b], accepted ? b : 0) << r << ' ' << b;
    }
    // A byte maps to at most one unit and no two bytes share one, so that
    // writing gives back the byte that was read.
    for (int b = 0xA0; b <= 0xFF; ++b) {
      for (int other = 0; other < b; ++other) {
        if (iso[r][b] != 0) {
          ASSERT_NE(iso[r][b], iso[r][other]) << r << ' ' << b;
        }
      }
    }
    EXPECT_EQ(iso[r][0xA0], 0x00A0);
  }
  const auto& ascii = iso[US_ASCII - i8859_1];
  for (int b = 0; b < 256; ++b) ASSERT_EQ(ascii[b], b >= 1 && b <= 0x7F ? b : 0) << b;
  for (int b = 0xA0; b <= 0xFF; ++b) EXPECT_EQ(iso[0][b], b);

  // Known entries, and the first editions kept for ISO-8859-7 and ISO-8859-8.
  EXPECT_EQ(iso[i8859_2 - 1][0xAB], 0x0164);
  EXPECT_EQ(iso[i8859_5 - 1][0xE9], 0x0449);
  EXPECT_EQ(iso[i8859_6 - 1][0xC7], 0x0627);
  EXPECT_EQ(iso[i8859_9 - 1][0xD0], 0x011E);
  EXPECT_EQ(iso[i8859_10 - 1][0xBD], 0x2015);
  EXPECT_EQ(iso[i8859_7 - 1][0xA1], 0x02BD);
  EXPECT_EQ(iso[i8859_7 - 1][0xA2], 0x02BC);
  EXPECT_EQ(iso[i8859_7 - 1][0xA4], 0);
  EXPECT_EQ(iso[i8859_7 - 1][0xA5], 0);
  EXPECT_EQ(iso[i8859_7 - 1][0xAA], 0);
  EXPECT_EQ(iso[i8859_7 - 1][0xC1], 0x0391);
  EXPECT_EQ(iso[i8859_8 - 1][0xAF], 0x203E);
  EXPECT_EQ(iso[i8859_8 - 1][0xFD], 0);
  EXPECT_EQ(iso[i8859_8 - 1][0xFE], 0);
  EXPECT_EQ(iso[i8859_8 - 1][0xE0], 0x05D0);
  for (int b : {0xA5, 0xAE, 0xBE, 0xC3, 0xD0, 0xE3, 0xF0}) EXPECT_EQ(iso[i8859_3 - 1][b], 0) << b;
  EXPECT_EQ(iso[i8859_3 - 1][0xA1], 0x0126);
}

TEST_F(Conversions, UChrDecodesAndRecordsOnce) {
  EXPECT_EQ(UChr(Byte(0xE9), i8859_1), u'\u00E9');
  EXPECT_EQ(UChr(Byte(0xE9), i8859_5), u'\u0449');
  EXPECT_EQ(UChr(Byte(0xAB), i8859_2), u'\u0164');
  EXPECT_EQ(UChr(Byte(0x1B), US_ASCII), u'\x1B');
  EXPECT_EQ(invChars().Length(), 0);

  EXPECT_EQ(UChr(Byte(0x1B), i8859_1), u'_');
  EXPECT_EQ(UChr(Byte(0x80), i8859_4), u'_');
  EXPECT_EQ(UChr(Byte(0x80), i8859_7), u'_');
  EXPECT_EQ(UChr(Byte(0x00), i8859_1), u'_');
  EXPECT_EQ(invChars().DataString(), u"\x1B\x80\0"s);
}

TEST_F(Conversions, IChrEncodesAndRecordsOnce) {
  EXPECT_EQ(IChr(u'\u0164', i8859_2), Byte(0xAB));
  EXPECT_EQ(IChr(u'A', US_ASCII), 'A');
  EXPECT_EQ(IChr(u'\x0001', i8859_1), '\x01');
  EXPECT_EQ(IChr(u'\u00A0', i8859_5), Byte(0xA0));
  EXPECT_EQ(invChars().Length(), 0);

  EXPECT_EQ(IChr(u'\u20AC', i8859_1), '_');
  EXPECT_EQ(IChr(u'\u20AC', i8859_2), '_');
  EXPECT_EQ(IChr(u'\x7F', i8859_1), '_');
  EXPECT_EQ(IChr(u'\x7F', US_ASCII), '_');
  EXPECT_EQ(IChr(u'\u00E9', US_ASCII), '_');
  EXPECT_EQ(invChars().DataString(), u"\u20AC\x7F\u00E9");
}

TEST_F(Conversions, EveryMappedByteRoundTrips) {
  for (TEncoding e : kEightBit) {
    for (int b = 0; b < 256; ++b) {
      const char16_t unit = iso[e - i8859_1][b];
      if (unit == 0 || unit == 0x7F) continue;
      ASSERT_EQ(UChr(Byte(b), e), unit) << e << ' ' << b;
      ASSERT_EQ(IChr(unit, e), Byte(b)) << e << ' ' << b;
    }
  }
  EXPECT_EQ(invChars().Length(), 0);
}

TEST_F(Conversions, EveryUnitEncodesToAByteThatReadsBack) {
  for (int e = 0; e < kEncodingCount + 2; ++e) {
    const auto encoding = static_cast<TEncoding>(e);
    for (uint32_t u = 0; u < 0x10000; ++u) {
      const auto c = static_cast<char16_t>(u);
      const char b = IChr(c, encoding);
      if (u < 0x7F) {
        ASSERT_EQ(b, static_cast<char>(u));
      } else if (b != '_') {
        ASSERT_EQ(UChr(b, encoding), c) << e << ' ' << u;
      } else {
        ASSERT_TRUE(InvCharExists(c)) << e << ' ' << u;
      }
    }
    invChars().Clear();
  }
}

TEST_F(Conversions, EncodingsWithoutARow) {
  // n_sup and UTF_8 read like US-ASCII, UTF_16 like ISO-8859-1; nothing reads
  // outside the tables, also for values outside the enumeration.
  for (TEncoding e : {n_sup, UTF_8, static_cast<TEncoding>(14), static_cast<TEncoding>(255)}) {
    EXPECT_EQ(UChr('<', e), u'<');
    EXPECT_EQ(UChr('\x1B', e), u'\x1B');
    EXPECT_EQ(UChr(Byte(0xE9), e), u'_');
    EXPECT_EQ(IChr(u'\u00E9', e), '_');
  }
  EXPECT_EQ(UChr(Byte(0xE9), UTF_16), u'\u00E9');
  EXPECT_EQ(IChr(u'\u00E9', UTF_16), Byte(0xE9));
  EXPECT_EQ(IChr(u'\u0100', UTF_16), '_');
  EXPECT_EQ(invChars().DataString(), u"\u00E9\u0100");
}

TEST(Bytes, CombineAndSplit) {
  EXPECT_EQ(CharsToWideChar(Byte(0x20), Byte(0xAC)), u'\u20AC');
  EXPECT_EQ(CharsToWideChar(Byte(0xFF), Byte(0xFF)), u'\xFFFF');
  EXPECT_EQ(LoChar(u'\u20AC'), Byte(0xAC));
  EXPECT_EQ(HiChar(u'\u20AC'), Byte(0x20));
  EXPECT_EQ(HiChar(u'A'), '\0');
}

TEST(Utf8, SingleUnits) {
  EXPECT_EQ(WideCharToMB(u'A'), "A");
  EXPECT_EQ(WideCharToMB(u'\0'), "\0"s);
  EXPECT_EQ(WideCharToMB(u'\u00E9'), "\xC3\xA9");
  EXPECT_EQ(WideCharToMB(u'\u07FF'), "\xDF\xBF");
  EXPECT_EQ(WideCharToMB(u'\u20AC'), "\xE2\x82\xAC");
  EXPECT_EQ(WideCharToMB(u'\xD800'), "\xED\xA0\x80");
  EXPECT_EQ(WideCharToMB(u'\xFFFF'), "\xEF\xBF\xBF");

  EXPECT_EQ(MBToWideChar("\xC3\xA9"), u'\u00E9');
  EXPECT_EQ(MBToWideChar("\xC0\x80"s), u'\0');
  EXPECT_EQ(MBToWideChar("\x85"), u'\x85');
  EXPECT_EQ(MBToWideChar("\xF0\x9F\x98\x80"), u'\u00F0');
  EXPECT_EQ(MBToWideChar("\xFF"), u'\xFF');
  EXPECT_EQ(MBToWideChar("\xED\xA0\x80"), u'\xD800');
  // Cut short by the end of the input: the lead alone, nothing read beyond.
  EXPECT_EQ(MBToWideChar("\xE2\x82"), u'\xE2');
  EXPECT_EQ(MBToWideChar("\xC3"), u'\xC3');
  EXPECT_EQ(MBToWideChar(""), u'\0');

  // Every unit survives the three-byte form and back.
  for (uint32_t u = 0; u < 0x10000; ++u) {
    const auto c = static_cast<char16_t>(u);
    const std::string bytes = WideCharToMB(c);
    ASSERT_EQ(static_cast<int>(bytes.size()), MBSequenceLength(bytes[0])) << u;
    ASSERT_EQ(MBToWideChar(bytes), c) << u;
  }
}

TEST(Utf8, FourByteSequencesDecodeToSurrogatePairs) {
  TMBChar d = DecodeMBChar("\xF0\x9F\x98\x80tail");
  EXPECT_EQ(d.Bytes, 4);
  ASSERT_EQ(d.Units, 2);
  EXPECT_EQ(d.Unit[0], u'\xD83D');
  EXPECT_EQ(d.Unit[1], u'\xDE00');

  d = DecodeMBChar("\xF4\x8F\xBF\xBF");
  EXPECT_EQ(d.Bytes, 4);
  EXPECT_EQ(std::u16string(d.Unit, 2), u"\U0010FFFF");

  // Malformed four-byte sequences: the lead alone, then the rest as it reads.
  for (const char* bad :
       {"\xF0\x41\x42\x43", "\xF0\x80\x80\x80", "\xF4\x90\x80\x80", "\xF0\x9F\x98"}) {
    d = DecodeMBChar(bad);
    EXPECT_EQ(d.Bytes, 1) << bad;
    EXPECT_EQ(d.Units, 1);
    EXPECT_EQ(d.Unit[0], static_cast<char16_t>(static_cast<unsigned char>(bad[0])));
  }
  d = DecodeMBChar("\xF5\x80\x80\x80");
  EXPECT_EQ(d.Bytes, 1);
  EXPECT_EQ(d.Unit[0], u'\xF5');

  // One to three bytes decode as MBToWideChar does.
  d = DecodeMBChar("\xE2\x82\xAC!");
  EXPECT_EQ(d.Bytes, 3);
  EXPECT_EQ(d.Units, 1);
  EXPECT_EQ(d.Unit[0], u'\u20AC');
  d = DecodeMBChar("\xC0\x80"s);
  EXPECT_EQ(d.Bytes, 2);
  EXPECT_EQ(d.Unit[0], u'\0');
  d = DecodeMBChar("\xE2\x82");
  EXPECT_EQ(d.Bytes, 1);
  EXPECT_EQ(d.Unit[0], u'\xE2');
  d = DecodeMBChar("");
  EXPECT_EQ(d.Bytes, 0);
  EXPECT_EQ(d.Units, 0);

  EXPECT_EQ(MBSequenceLength('\x41'), 1);
  EXPECT_EQ(MBSequenceLength(Byte(0xC3)), 2);
  EXPECT_EQ(MBSequenceLength(Byte(0xEF)), 3);
  EXPECT_EQ(MBSequenceLength(Byte(0xF4)), 4);
  EXPECT_EQ(MBSequenceLength(Byte(0xF5)), 1);
  EXPECT_EQ(MBSequenceLength(Byte(0x85)), 1);
}

TEST(Utf8, SupplementaryCharactersRoundTrip) {
  for (uint32_t cp : {0x10000u, 0x1F600u, 0x2A6D6u, 0xFFFFFu, 0x10FFFFu}) {
    std::u16string pair;
    AppendUtf16(pair, cp);
    const std::string bytes = WideCharToMB(std::u16string_view(pair));
    ASSERT_EQ(bytes.size(), 4u) << cp;
    const TMBChar d = DecodeMBChar(bytes);
    EXPECT_EQ(d.Bytes, 4);
    EXPECT_EQ(std::u16string(d.Unit, static_cast<size_t>(d.Units)), pair) << cp;
  }
}

TEST(Utf8, StringsPairSurrogatesOnlyInOrder) {
  EXPECT_EQ(WideCharToMB(u"a\U0001F600b"),
            "a\xF0\x9F\x98\x80"
            "b");
  // Lone and reversed surrogates keep their three-byte form.
  EXPECT_EQ(WideCharToMB(u"\xD83Dx"), "\xED\xA0\xBDx");
  EXPECT_EQ(WideCharToMB(u"\xDE00\xD83D"), "\xED\xB8\x80\xED\xA0\xBD");
  EXPECT_EQ(WideCharToMB(u"\xD83D"), "\xED\xA0\xBD");
}

TEST_F(Conversions, StringConversions) {
  EXPECT_EQ(UnicodeToShort(u"A", UTF_16, boBigEndian), "\0A"s);
  EXPECT_EQ(UnicodeToShort(u"A", UTF_16, boLittleEndian), "A\0"s);
  EXPECT_EQ(UnicodeToShort(u"\u20AC", UTF_16, boBigEndian), "\x20\xAC");
  EXPECT_EQ(UnicodeToShort(u"\u20AC", UTF_16, boLittleEndian), "\xAC\x20");
  EXPECT_EQ(UnicodeToShort(u"\u00E9\U0001F600", UTF_8, boBigEndian), "\xC3\xA9\xF0\x9F\x98\x80");
  EXPECT_EQ(UnicodeToShort(u"\u0164x", i8859_2, boBigEndian), "\xABx");
  EXPECT_EQ(UnicodeToShort(u"ab\0cd"s, UTF_8, boBigEndian), "ab");
  EXPECT_EQ(UnicodeToShort(u"ab\0cd"s, UTF_16, boLittleEndian), "a\0b\0"s);
  EXPECT_EQ(UnicodeToShort(u"ab\0cd"s, i8859_1, boLittleEndian), "ab");
  EXPECT_EQ(invChars().Length(), 0);
  EXPECT_EQ(UnicodeToShort(u"\U0001F600", i8859_1, boBigEndian), "__");
  EXPECT_EQ(invChars().DataString(), u"\xD83D\xDE00");

  EXPECT_EQ(AnsiToUnicode(u"a\u00E9\u01E9", i8859_1), u"a\u00E9\u00E9");
  EXPECT_EQ(AnsiToUnicode(u"\u00E9", i8859_5), u"\u0449");
  EXPECT_EQ(AnsiToUnicode(u"\u00E9\U0001F600", UTF_8), u"\u00E9\U0001F600");
  EXPECT_EQ(AnsiToUnicode(u"\u00E9\U0001F600", UTF_16), u"\u00E9\U0001F600");

  EXPECT_EQ(UnicodeToAnsi(u"\u20AC", UTF_16), u"\u20AC");
  EXPECT_EQ(UnicodeToAnsi(u"\u00E9", UTF_8), u"\x00C3\x00A9");
  EXPECT_EQ(UnicodeToAnsi(u"\U0001F600", UTF_8), u"\xF0\x9F\x98\x80");
  EXPECT_EQ(UnicodeToAnsi(u"\u0449a", i8859_5),
            u"\x00E9"
            u"a");
}

}  // namespace
}  // namespace lumora
