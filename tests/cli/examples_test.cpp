// The shipped examples and the README: what a new user runs first must work.
#include <gtest/gtest.h>

#include "cli_testing.h"

namespace lumora::testing {
namespace {

namespace fs = std::filesystem;

using ExamplesTest = CliTest;

TEST_F(ExamplesTest, EveryExampleIsWellFormedAndInItsEncoding) {
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"catalogue.xml", "UTF-8"},
      {"config-latin1.xml", "ISO-8859-1"},
      {"feed-utf16.xml", "UTF-16"},
      {"page.xhtml", "UTF-8"},
  };
  for (const auto& [name, encoding] : expected) {
    const auto r = RunCli({"check", "--standard", "--verbose", Example(name)});
    EXPECT_EQ(r.Status, 0) << name << r.Err;
    EXPECT_EQ(r.Err, "") << name;
    EXPECT_NE(r.Out.find(": well-formed (" + encoding + ", "), std::string::npos) << r.Out;
  }
  // The UTF-16 feed really is little-endian with a byte-order mark, and the
  // Latin-1 configuration really holds single bytes above 0x7F.
  EXPECT_TRUE(ReadFile(Example("feed-utf16.xml")).starts_with("\xFF\xFE<\0"));
  EXPECT_NE(ReadFile(Example("config-latin1.xml")).find("G\xEEte du Col"), std::string::npos);
}

// The program shown in the README is the one the build compiles.
std::string ReadmeProgram() {
  const std::string readme = ReadFile(fs::path(LUMORA_SOURCE_DIR) / "README.md");
  const size_t section = readme.find("## The library in five minutes");
  if (section == std::string::npos) return "no section";
  const size_t start = readme.find("```cpp\n", section);
  if (start == std::string::npos) return "no program";
  const size_t end = readme.find("```\n", start + 7);
  return readme.substr(start + 7, end - start - 7);
}

TEST_F(ExamplesTest, TheReadmeShowsTheProgramThatIsBuilt) {
  EXPECT_EQ(ReadmeProgram(), ReadFile(Example("quickstart/quickstart.cpp")));
}

TEST_F(ExamplesTest, TheQuickstartProgramParsesWalksChangesAndWrites) {
  const std::string out = Path("out.xml");
  const std::string line = std::string("'") + LUMORA_QUICKSTART + "' '" +
                           Example("catalogue.xml").string() + "' '" + out + "' >'" +
                           Path("stdout") + "'";
  ASSERT_EQ(std::system(line.c_str()), 0);
  const std::string printed = ReadFile(Path("stdout"));
  EXPECT_NE(printed.find("THE-203  煎茶 (Sencha) — Shizuoka  stock 0"), std::string::npos)
      << printed;

  // What it wrote reads back as UTF-16 with the changes in it.
  auto r = RunCli({"find", out, "available", "--names"});
  EXPECT_EQ(r.Out, "ATTRIBUTE_NODE\tavailable\tno\n") << r.Err;
  r = RunCli({"find", out, "VAT", "--values"});
  EXPECT_EQ(r.Out, "TEXT_NODE\t\tPrices include VAT & shipping within the EU.\n");
  r = RunCli({"check", "--verbose", out});
  EXPECT_NE(r.Out.find("(UTF-16, "), std::string::npos) << r.Out;
}

}  // namespace
}  // namespace lumora::testing
