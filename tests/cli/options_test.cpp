// The command line: what each subcommand accepts, and what it refuses
// before any file is touched.
#include <gtest/gtest.h>

#include "cli_testing.h"
#include "lumora/dom/document.h"
#include "options.h"

namespace lumora::cli {
namespace {

TOptions Parse(const std::vector<std::string>& args) {
  return ParseCommandLine(args);
}

TEST(CommandLineTest, CheckTakesFilesAndReadingOptionsInAnyOrder) {
  const TOptions o =
      Parse({"check", "a.xml", "--valid", "--encoding", "iso-8859-2", "b.xml", "--no-net"});
  EXPECT_EQ(o.Command, TCommand::kCheck);
  EXPECT_EQ(o.Files, (std::vector<std::string>{"a.xml", "b.xml"}));
  EXPECT_TRUE(o.Valid);
  EXPECT_TRUE(o.NoNet);
  EXPECT_FALSE(o.Lenient);
  EXPECT_EQ(o.InputEncoding, i8859_2);

  // Documents without declaration are read as UTF-8 unless told otherwise.
  EXPECT_EQ(Parse({"check", "a.xml"}).InputEncoding, UTF_8);
  EXPECT_EQ(Parse({"check", "--encoding=US-ASCII", "a.xml"}).InputEncoding, US_ASCII);
  // "--" ends the options; "-" is standard input.
  EXPECT_EQ(Parse({"check", "--", "--valid", "-"}).Files,
            (std::vector<std::string>{"--valid", "-"}));
}

TEST(CommandLineTest, WhereExternalResourcesMayComeFrom) {
  const TOptions o = Parse({"write", "in.xml", "-o", "o", "--no-local", "--catalog", "a.xml",
                            "--catalog=b.xml", "--no-net"});
  EXPECT_TRUE(o.NoLocal);
  EXPECT_TRUE(o.NoNet);
  EXPECT_EQ(o.Catalogs, (std::vector<std::string>{"a.xml", "b.xml"}));
  EXPECT_FALSE(o.NoCatalogs);
  const TOptions plain = Parse({"find", "f.xml", "x", "--no-catalogs"});
  EXPECT_TRUE(plain.NoCatalogs);
  EXPECT_FALSE(plain.NoLocal);
  EXPECT_TRUE(plain.Catalogs.empty());
  EXPECT_THROW(Parse({"check", "--catalog", "", "a.xml"}), EUsageError);
  EXPECT_THROW(Parse({"check", "a.xml", "--catalog"}), EUsageError);
  EXPECT_THROW(Parse({"check", "--no-local=yes", "a.xml"}), EUsageError);
}

TEST(CommandLineTest, StrictUnlessLenientAndADepthLimitOnRequest) {
  const TOptions strict = Parse({"check", "--standard", "a.xml"});
  EXPECT_FALSE(strict.Lenient) << "--standard is the default, accepted for old scripts";
  EXPECT_EQ(strict.MaxDepth, 0);
  const TOptions o =
      Parse({"write", "in.xml", "--lenient", "-o", "o", "--max-depth=12", "--lossy"});
  EXPECT_TRUE(o.Lenient);
  EXPECT_EQ(o.MaxDepth, 12);
  EXPECT_TRUE(o.Lossy);
  EXPECT_EQ(Parse({"find", "f.xml", "x", "--max-depth", "1"}).MaxDepth, 1);
  EXPECT_FALSE(Parse({"write", "in.xml", "-o", "o"}).Lossy);
}

TEST(CommandLineTest, WriteTakesOneInputAnOutputAndOutputSettings) {
  const TOptions o =
      Parse({"write", "in.xml", "-o", "out.xml", "--mode", "all-external", "--encoding", "UTF-16",
             "--little-endian", "--no-format", "--input-encoding", "ISO-8859-1"});
  EXPECT_EQ(o.Command, TCommand::kWrite);
  EXPECT_EQ(o.Files, std::vector<std::string>{"in.xml"});
  EXPECT_EQ(o.Output, "out.xml");
  EXPECT_EQ(o.Mode, wmAllExternal);
  EXPECT_EQ(o.OutEncoding, "UTF-16");
  EXPECT_TRUE(o.LittleEndian);
  EXPECT_TRUE(o.NoFormat);
  EXPECT_EQ(o.InputEncoding, i8859_1);
  EXPECT_FALSE(Parse({"write", "in.xml", "--output=-"}).OutEncoding.has_value());

  for (const char* mode : {"standard", "standalone", "linked-dtd", "external-dtd", "all-external"})
    EXPECT_STREQ(WriteModeName(*WriteModeFromName(mode)), mode);
}

TEST(CommandLineTest, FindComparesNamesAndValuesUnlessToldWhich) {
  const TOptions both = Parse({"find", "f.xml", "Éthiopie"});
  EXPECT_EQ(both.Files, std::vector<std::string>{"f.xml"});
  EXPECT_EQ(both.Text, "Éthiopie");
  EXPECT_EQ(both.FindFlags, fnNames | fnValues);

  EXPECT_EQ(Parse({"find", "f.xml", "x", "--names", "--elements", "--whole"}).FindFlags,
            fnNames | fnElements | fnWholeString);
  EXPECT_EQ(Parse({"find", "--values", "--case", "--doctype", "f.xml", "x"}).FindFlags,
            fnValues | fnCaseSensitive | fnDocumentType);
  // A text that looks like an option is passed after "--".
  EXPECT_EQ(Parse({"find", "f.xml", "--", "--x"}).Text, "--x");
}

TEST(CommandLineTest, HelpAndVersionWinAnywhere) {
  EXPECT_EQ(Parse({"--help"}).Command, TCommand::kHelp);
  EXPECT_EQ(Parse({"-h"}).Command, TCommand::kHelp);
  EXPECT_EQ(Parse({"write", "--help"}).Command, TCommand::kHelp);
  EXPECT_EQ(Parse({"--version"}).Command, TCommand::kVersion);
  EXPECT_EQ(Parse({"encodings"}).Command, TCommand::kEncodings);
}

TEST(CommandLineTest, RefusesWhatItCannotRun) {
  const std::vector<std::vector<std::string>> wrong = {
      {},
      {"parse", "a.xml"},
      {"--frobnicate"},
      {"check"},
      {"check", "a.xml", "--bogus"},
      {"check", "a.xml", "--encoding"},               // value missing
      {"check", "a.xml", "--encoding", "EBCDIC"},     // unknown encoding
      {"check", "a.xml", "--valid=yes"},              // a flag with a value
      {"check", "a.xml", "-o", "out.xml"},            // an option of another command
      {"write", "in.xml"},                            // no output
      {"write", "in.xml", "-o", ""},                  // empty output name
      {"write", "a.xml", "b.xml", "-o", "out.xml"},   // two inputs
      {"write", "in.xml", "-o", "o", "--mode", "x"},  // unknown mode
      {"write", "in.xml", "-o", "o", "--encoding", "UTF-32"},
      {"write", "in.xml", "-o", "o", "--names"},
      {"find", "f.xml"},
      {"find", "f.xml", "a", "b"},
      {"encodings", "extra"},
      {"check", "a.xml", "--max-depth", "0"},
      {"check", "a.xml", "--max-depth", "-3"},
      {"check", "a.xml", "--max-depth=12a"},
      {"check", "a.xml", "--max-depth", "99999999999"},
      {"check", "a.xml", "--lenient=yes"},
      {"check", "a.xml", "--lossy"},  // only write has output to lose
  };
  for (const auto& args : wrong) {
    std::string line;
    for (const auto& a : args) line += a + ' ';
    EXPECT_THROW(Parse(args), EUsageError) << line;
    // Through Run: exit status 3, a message, and a hint, nothing on stdout.
    const auto r = testing::RunCli(args);
    EXPECT_EQ(r.Status, kExitFailure) << line;
    EXPECT_TRUE(r.Out.empty()) << line;
    EXPECT_TRUE(r.Err.starts_with("lumora: error: ")) << line << r.Err;
    EXPECT_NE(r.Err.find("Try 'lumora --help'."), std::string::npos) << line;
  }
}

TEST(CommandLineTest, UnknownEncodingNamesTheOffendingOption) {
  const auto r = testing::RunCli({"write", "in.xml", "-o", "o", "--encoding", "latin9"});
  EXPECT_NE(r.Err.find("unknown encoding 'latin9' for --encoding"), std::string::npos) << r.Err;
  EXPECT_NE(r.Err.find("lumora encodings"), std::string::npos);
}

}  // namespace
}  // namespace lumora::cli
