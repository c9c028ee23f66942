#include <gtest/gtest.h>

#include "lumora/io/orvane_error.h"
#include "lumora/package/package.h"
#include "lumora/package/platform.h"
#include "lumora/parser/orvane.h"
#include "lumora/text/wide_strings.h"

namespace lumora {
namespace {

TEST(Package, PlatformCheckKnowsOnlyWindows95) {
  EXPECT_FALSE(IsWin95());  // this platform answers as the NT family
  auto answer = [](uint32_t platform, uint32_t major, uint32_t minor) {
    SetVersionAnswer([=](OSVERSIONINFOA& info) {
      info.dwPlatformId = platform;
      info.dwMajorVersion = major;
      info.dwMinorVersion = minor;
      return true;
    });
    const bool result = IsWin95();
    SetVersionAnswer(nullptr);
    return result;
  };
  EXPECT_TRUE(answer(VER_PLATFORM_WIN32_WINDOWS, 4, 0));
  EXPECT_FALSE(answer(VER_PLATFORM_WIN32_WINDOWS, 4, 10));
  EXPECT_FALSE(answer(VER_PLATFORM_WIN32_NT, 4, 0));
}

TEST(Package, TheComponentRefusesWindows95) {
  SetVersionAnswer([](OSVERSIONINFOA& info) {
    info.dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
    info.dwMajorVersion = 4;
    info.dwMinorVersion = 0;
    return true;
  });
  EXPECT_THROW(TKaOrvane parser(nullptr), EKaOrvaneError);
  SetVersionAnswer(nullptr);
  EXPECT_NO_THROW(TKaOrvane parser(nullptr));
}

TEST(Package, RegisterPutsTheComponentOnItsPage) {
  Register();
  const auto& palette = RegisteredComponents();
  ASSERT_FALSE(palette.empty());
  EXPECT_EQ(palette.back().Page, "KaOrvane");
  EXPECT_EQ(palette.back().ClassName, "TKaOrvane");
}

TEST(Package, UnitsStartOnceAndStopInReverse) {
  // Loading the library started the units already; a second start and its
  // stop do no work, and the slots stay usable.
  const auto& table = GetPackageInfoTable();
  ASSERT_EQ(table.size(), 3u);
  EXPECT_STREQ(table.front().Name, "KaCodePages");
  EXPECT_STREQ(table.back().Name, "KaXMLStrings");
  XMLLength = [](std::u16string_view) { return 42; };
  Initialize();
  EXPECT_EQ(XMLLength(u"ab"), 42);  // not the first start: no work
  Finalize();
  Finalize();    // the last stop
  Initialize();  // starts again and fills the slots anew
  EXPECT_EQ(XMLLength(u"ab"), 2);
}

}  // namespace
}  // namespace lumora
