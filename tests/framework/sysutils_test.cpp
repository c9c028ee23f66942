#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>

#include "lumora/framework/exception.h"
#include "lumora/framework/sysutils.h"

namespace lumora {
namespace {

TEST(Format, Conversions) {
  EXPECT_EQ(Format("[%s] %d%%", "a", 42), "[a] 42%");
  EXPECT_EQ(Format("(0x%0.4x)", 0x80), "(0x0080)");
  EXPECT_EQ(Format("(0x%0.4x)", 0x20AC), "(0x20AC)");
  EXPECT_EQ(Format("%x", 0x1ABCDE), "1ABCDE");
  EXPECT_EQ(Format("%d", -2147483648LL), "-2147483648");
  EXPECT_EQ(Format("%5s|%-3d|", "ab", 7), "   ab|7  |");
  EXPECT_EQ(Format("no arguments"), "no arguments");
  EXPECT_EQ(Format("%s", std::string("\xc3\xa9")), "\xc3\xa9");
}

TEST(Format, MismatchRaises) {
  EXPECT_THROW(Format("%d", "text"), EConvertError);
  EXPECT_THROW(Format("%s"), EConvertError);
  EXPECT_THROW(Format("%q", 1), EConvertError);
  EXPECT_THROW(Format("trailing %", 1), EConvertError);
}

TEST(StringServices, CompareTrimCase) {
  EXPECT_EQ(CompareText("Utf-8", "UTF-8"), 0);
  EXPECT_LT(CompareText("abc", "ABD"), 0);
  EXPECT_GT(CompareText("abcd", "ABC"), 0);
  EXPECT_NE(CompareStr("a", "A"), 0);
  EXPECT_EQ(CompareStr("same", "same"), 0);
  EXPECT_EQ(Trim("\t  x y \r\n"), "x y");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(LowerCase("MiXeD-1"), "mixed-1");
  EXPECT_EQ(AnsiUpperCase("stra\xc3\x9f"
                          "e \xc3\xa9t\xc3\xa9"),
            "STRA\xc3\x9f"
            "E \xc3\x89T\xc3\x89");
}

TEST(StringServices, StrToInt) {
  EXPECT_EQ(StrToInt("945"), 945);
  EXPECT_EQ(StrToInt("-12"), -12);
  EXPECT_EQ(StrToInt("$FF"), 255);
  EXPECT_EQ(StrToInt("2147483647"), 2147483647);
  for (const char* bad : {"", "ZZ", "12a", "99999999999", "-", "1 2"}) {
    try {
      StrToInt(bad);
      ADD_FAILURE() << bad;
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), "'" + std::string(bad) + "' is not a valid integer value");
    }
  }
}

TEST(SystemConversion, Utf8BothWays) {
  const std::u16string wide = u"a\u00e9\u20ac\U0001F600";
  const std::string bytes = "a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80";
  EXPECT_EQ(WideToSystem(wide), bytes);
  EXPECT_EQ(SystemToWide(bytes), wide);
  // A lone surrogate keeps its three-byte form; malformed bytes become U+FFFD.
  EXPECT_EQ(WideToSystem(std::u16string(1, char16_t(0xD800))), "\xed\xa0\x80");
  EXPECT_EQ(SystemToWide("x\xff\xc3"), u"x\ufffd\ufffd");
  EXPECT_EQ(SystemToWide("\xc0\x80"), u"\ufffd\ufffd");
}

TEST(FileServices, HandleRoutinesAndExistence) {
  char path[] = "/tmp/lumora-sysutils-XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  EXPECT_TRUE(FileExists(path));
  EXPECT_FALSE(FileExists("/tmp"));
  EXPECT_FALSE(FileExists(""));
  EXPECT_EQ(FileWrite(fd, "hello", 5), 5);
  EXPECT_EQ(FileSeek(fd, 1, 0), 1);
  char buffer[8] = {};
  EXPECT_EQ(FileRead(fd, buffer, 8), 4);
  EXPECT_STREQ(buffer, "ello");
  EXPECT_EQ(FileSeek(fd, 0, 7), -1);
  close(fd);
  EXPECT_EQ(FileRead(fd, buffer, 1), -1);
  unlink(path);
  EXPECT_FALSE(FileExists(path));
  errno = ENOENT;
  EXPECT_THROW(Win32Check(false), EOSError);
  EXPECT_NO_THROW(Win32Check(true));
}

TEST(MathServices, Power) {
  EXPECT_DOUBLE_EQ(Power(16, 3), 4096.0);
  EXPECT_DOUBLE_EQ(Power(16, 0), 1.0);
}

}  // namespace
}  // namespace lumora
