// The encodings that iconv converts: their names, and what they can write.
#include <gtest/gtest.h>

#include <iconv.h>

#include <set>
#include <string>

#include "lumora/text/code_pages.h"
#include "lumora/text/conversions.h"
#include "lumora/text/iconv_encodings.h"
#include "lumora/text/wide_strings.h"

namespace lumora {
namespace {

TEST(IconvEncodings, EveryNameOpensAndLooksUpToItself) {
  ASSERT_GT(kIconvCharsetCount, 40);
  ASSERT_LE(kFirstIconvEncoding + kIconvCharsetCount, 256);  // codes fit TEncoding
  std::set<std::string> names;
  for (TEncoding e : AllEncodings()) {
    const std::string name = EncodingToString(e);
    SCOPED_TRACE(name);
    EXPECT_TRUE(names.insert(name).second);
    EXPECT_EQ(StringToEncoding(name), e);
    for (const std::string& alias : EncodingAliases(e)) EXPECT_EQ(StringToEncoding(alias), e);
    if (const TIconvCharset* charset = IconvCharset(e)) {
      for (auto [to, from] : {std::pair{"UTF-16LE", charset->IconvName},
                              std::pair{charset->IconvName, "UTF-16LE"}}) {
        const iconv_t cd = iconv_open(to, from);
        EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1)) << to << " <- " << from;
        if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
      }
    }
  }
  // Values past the registry name nothing and convert nothing.
  const auto past = static_cast<TEncoding>(kFirstIconvEncoding + kIconvCharsetCount);
  EXPECT_EQ(EncodingToString(past), "not supported");
  EXPECT_EQ(EncodingToString(static_cast<TEncoding>(255)), "not supported");
  EXPECT_FALSE(IsIconvEncoding(past));
  EXPECT_FALSE(CanEncode(past, 0x20AC));
}

TEST(IconvEncodings, NamesMatchByCaseAndAlias) {
  struct Case {
    const char* Name;
    const char* Canonical;
  } cases[] = {
      {"windows-1252", "windows-1252"}, {"WINDOWS-1252", "windows-1252"},
      {"cp1252", "windows-1252"},       {"CSWINDOWS1252", "windows-1252"},
      {"shift_jis", "Shift_JIS"},       {"MS_KANJI", "Shift_JIS"},
      {"x-sjis", "Shift_JIS"},          {"euc-jp", "EUC-JP"},
      {"CsEUCKR", "EUC-KR"},            {"gb2312", "GB2312"},
      {"BIG5", "Big5"},                 {"tis-620", "TIS-620"},
      {"koi8-r", "KOI8-R"},             {"866", "IBM866"},
      {"cp855", "IBM855"},              {"x-mac-cyrillic", "MacCyrillic"},
      {"LATIN1", "ISO-8859-1"},         {"iso_8859-5:1988", "ISO-8859-5"},
      {"ANSI_X3.4-1968", "US-ASCII"},   {"csUTF8", "UTF-8"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(EncodingToString(StringToEncoding(c.Name)), c.Canonical);
  }
  // The aliases of the thirteen keep their tables.
  EXPECT_EQ(StringToEncoding("latin2"), i8859_2);
  EXPECT_EQ(StringToEncoding("cyrillic"), i8859_5);
  // No forgiveness beyond the registered spellings.
  for (const char* name : {"", "UTF8", "windows1252", "shift-jis", "Big 5", "klingon",
                           "not supported", "UTF-16LE", "IBM037"})
    EXPECT_EQ(StringToEncoding(name), n_sup) << name;
}

class IconvWriting : public ::testing::Test {
 protected:
  void SetUp() override { invChars().Clear(); }
  void TearDown() override { invChars().Clear(); }
};

TEST_F(IconvWriting, CanEncodeAnswersForEveryPlane) {
  struct Case {
    const char* Encoding;
    uint32_t CodePoint;
    bool Can;
  } cases[] = {
      {"windows-1252", 'a', true},     {"windows-1252", 0x20AC, true},
      {"windows-1252", 0x0416, false}, {"windows-1252", 0x81, false},  // no byte reads as it
      {"windows-1251", 0x0416, true},  {"KOI8-R", 0x00E9, false},
      {"Shift_JIS", 0x65E5, true},     {"Shift_JIS", 0xD55C, false},
      {"EUC-KR", 0xD55C, true},        {"Big5", 0x7E41, true},
      {"GB18030", 0x1F600, true},      {"Shift_JIS", 0x1F600, false},
      {"GB18030", 0xD800, false},      {"GB18030", 0x110000, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.Encoding) + " " + std::to_string(c.CodePoint));
    EXPECT_EQ(CanEncode(StringToEncoding(c.Encoding), c.CodePoint), c.Can);
  }
}

TEST_F(IconvWriting, WhatCannotBeWrittenBecomesUnderscoreAndIsReported) {
  const TEncoding koi8 = StringToEncoding("KOI8-R");
  EXPECT_EQ(UnicodeToShort(u"\u0416a\u00E9\U0001F600\xD800z", koi8, boBigEndian),
            "\xF6" "a___z");
  EXPECT_EQ(invChars().View(), u"\u00E9\U0001F600\xD800");
  // A NUL in the text ends it, as for every encoding.
  EXPECT_EQ(UnicodeToShort(std::u16string(u"ab\0c", 4), koi8, boBigEndian), "ab");
}

TEST_F(IconvWriting, StatefulEncodingsEndInTheirInitialState) {
  const std::string bytes =
      UnicodeToShort(u"a\u65E5b\u65E5", StringToEncoding("ISO-2022-JP"), boBigEndian);
  EXPECT_EQ(bytes, "a\x1B$BF|\x1B(Bb\x1B$BF|\x1B(B");
  EXPECT_EQ(invChars().Length(), 0);
}

}  // namespace
}  // namespace lumora
