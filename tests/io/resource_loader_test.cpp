#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "lumora/framework/sysutils.h"
#include "lumora/io/resource_loader.h"
#include "resource_testing.h"

namespace lumora {
namespace {

using testing::ResourceTest;

class LocalResources : public ResourceTest {};

TEST_F(LocalResources, RelativeNamesResolveAgainstTheDeclaringResourceThenTheWorkingFolder) {
  Put("docs/Book.dtd", "book");
  Put("docs/lower.dtd", "lower");
  Put("docs/sub/inner.ent", "inner");
  Put("here.dtd", "cwd");
  Put("docs/here.dtd", "beside");
  const std::string base = Path("docs/Book.xml");
  struct Case {
    std::u16string literal;
    std::string base;
    std::string expected;
  } cases[] = {
      {u"Book.dtd", base, "book"},                    // case kept on a case-sensitive system
      {u"LOWER.dtd", base, "lower"},                  // then the name lower-cased
      {u"sub/inner.ent", base, "inner"},              // folders below the base
      {u"../docs/Book.dtd", base, "book"},            // and above it
      {u"here.dtd", base, "beside"},                  // the base wins over the working folder
      {u"here.dtd", std::string(), "cwd"},            // no base: the working folder
      {u"here.dtd", Path("elsewhere/x.xml"), "cwd"},  // not beside the base: the working folder
      {u"  here.dtd \n", std::string(), "cwd"},       // blanks around the literal
      {u"book.dtd", base, "<none>"},                  // lower case does not find upper case
      {u"missing.dtd", base, "<none>"},
      {u"", base, "<none>"},
      {u"docs", std::string(), "<none>"},  // a folder is no resource
  };
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir_);
  for (const Case& c : cases)
    EXPECT_EQ(Load(Plain(), c.literal, c.base), c.expected) << WideToSystem(c.literal);
  std::filesystem::current_path(previous);
}

TEST_F(LocalResources, LocationIsAbsoluteSoThatNamesInsideResolveFromIt) {
  Put("a/b/x.dtd", "x");
  Put("a/y.ent", "y");
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir_);
  std::string location;
  EXPECT_EQ(Load(Plain(), u"x.dtd", "a/b/doc.xml", {}, &location), "x");
  std::filesystem::current_path(previous);
  EXPECT_EQ(location, Path("a/b/x.dtd"));
  // What the resource names is found from its own location.
  EXPECT_EQ(Load(Plain(), u"../y.ent", location), "y");
}

TEST_F(LocalResources, FileUrlsAndAbsolutePaths) {
  const std::string path = Put("with space/é.dtd", "spaced");
  EXPECT_EQ(Load(Plain(), SystemToWide(path)), "spaced");
  const std::string url = "file://" + Path("with%20space/%C3%A9.dtd");
  EXPECT_EQ(Load(Plain(), SystemToWide(url)), "spaced");
  EXPECT_EQ(Load(Plain(), SystemToWide("file://localhost" + Path("with space/é.dtd"))), "spaced");
  // Another host's files are not here.
  EXPECT_EQ(Load(Plain(), SystemToWide("file://remote" + path)), "<none>");
  // A file: URL as the base of a relative name.
  EXPECT_EQ(Load(Plain(), u"é.dtd", "file://" + Path("with%20space/doc.xml")), "spaced");
  // Schemes that name no file and no download.
  EXPECT_EQ(Load(Plain(), u"gopher://127.0.0.1/x"), "<none>");
  EXPECT_EQ(Load(Plain(), u"data:text/plain,x"), "<none>");
}

TEST_F(LocalResources, DevicesFifosFoldersAndOversizedFilesAreRefusedAtOnce) {
  const std::string fifo = Path("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  Put("big.dtd", std::string(1000, 'x'));
  TResourceOptions small = Plain();
  small.MaxBytes = 999;
  const auto start = std::chrono::steady_clock::now();
  for (const std::string& name :
       {std::string("/dev/zero"), std::string("/dev/null"), fifo, dir_.string(), Path("big.dtd")})
    EXPECT_EQ(Load(small, SystemToWide(name)), "<none>") << name;
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  small.MaxBytes = 1000;
  EXPECT_EQ(Load(small, SystemToWide(Path("big.dtd"))).size(), 1000u);
}

TEST_F(LocalResources, ForbiddingLocalFilesReadsNone) {
  const std::string path = Put("x.dtd", "x");
  TResourceOptions options = Plain();
  options.AllowLocalFiles = false;
  for (const std::string& name : {path, "file://" + path, std::string("x.dtd")})
    EXPECT_EQ(Load(options, SystemToWide(name), Path("doc.xml")), "<none>") << name;
}

}  // namespace
}  // namespace lumora
