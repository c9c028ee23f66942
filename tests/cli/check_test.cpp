// lumora check: messages in the compiler convention and the exit status of
// a whole run.
#include <gtest/gtest.h>

#include "cli_testing.h"

namespace lumora::testing {
namespace {

using CheckTest = CliTest;

TEST_F(CheckTest, GoodDocumentsPrintNothingUnlessVerbose) {
  const std::string a =
      Put("a.xml", "<?xml version=\"1.0\"?>\n<list><item n=\"1\"/><item/></list>");
  const std::string b = Put("b.xml", "<x/>");
  auto r = RunCli({"check", a, b});
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Out, "");
  EXPECT_EQ(r.Err, "");

  r = RunCli({"check", "--verbose", a, b});
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Out, a + ": well-formed (UTF-8, 3 elements, 1 attribute)\n" + b +
                       ": well-formed (UTF-8, 1 element, 0 attributes)\n");
}

TEST_F(CheckTest, SyntaxErrorNamesFileAndLine) {
  const std::string bad = Put("bad.xml", "<a>\n  <b>text\n  </c>\n</a>\n");
  const auto r = RunCli({"check", bad});
  EXPECT_EQ(r.Status, 2);
  EXPECT_EQ(r.Out, "");
  EXPECT_TRUE(r.Err.starts_with(bad + ":3:5: error: ")) << r.Err;
  EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 1) << r.Err;
}

TEST_F(CheckTest, ErrorsOfSeveralKindsAreAllReportedAndTheWorstWins) {
  const std::string good = Put("good.xml", "<a/>");
  const std::string bad = Put("bad.xml", "<a><b></a>");
  const std::string missing = Path("missing.xml");
  const std::string empty = Put("empty.xml", "");

  auto r = RunCli({"check", good, bad, good});
  EXPECT_EQ(r.Status, 2);

  r = RunCli({"check", missing, bad, "--verbose", good});
  EXPECT_EQ(r.Status, 3);
  EXPECT_NE(r.Err.find(missing + ": error: cannot read file: No such file or directory"),
            std::string::npos)
      << r.Err;
  EXPECT_NE(r.Err.find(bad + ":1:9: error: "), std::string::npos) << r.Err;
  // Files after a failing one are still checked.
  EXPECT_EQ(r.Out, good + ": well-formed (UTF-8, 1 element, 0 attributes)\n");

  r = RunCli({"check", empty});
  EXPECT_EQ(r.Status, 2) << "an empty file is no document";
  EXPECT_TRUE(r.Err.starts_with(empty + ":")) << r.Err;

  r = RunCli({"check", dir_.string()});
  EXPECT_EQ(r.Status, 3);
  EXPECT_NE(r.Err.find("cannot read file: Is a directory"), std::string::npos) << r.Err;
}

TEST_F(CheckTest, ValidityErrorsGiveStatusOneOnlyWithValid) {
  const std::string plain = Put("plain.xml", "<a/>");
  auto r = RunCli({"check", plain});
  EXPECT_EQ(r.Status, 0);

  r = RunCli({"check", "--valid", plain});
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Err, plain + ": validity error: [XML]: Document type declaration not found.\n");

  // Not well-formed is worse than invalid.
  const std::string bad = Put("bad.xml", "<a>");
  r = RunCli({"check", "--valid", plain, bad});
  EXPECT_EQ(r.Status, 2);
  // And a verbose run says nothing good about the invalid file.
  r = RunCli({"check", "--valid", "--verbose", plain});
  EXPECT_EQ(r.Out, "");
}

TEST_F(CheckTest, BytesTheEncodingCannotReadAreAnError) {
  // ISO-8859-1 text with no declaration: not UTF-8, so not well-formed.
  const std::string latin = Put("latin.xml", "<menu>\n<item>caf\xE9 au lait</item>\n</menu>");
  auto r = RunCli({"check", latin});
  EXPECT_EQ(r.Status, 2);
  EXPECT_NE(r.Err.find(latin + ":2:"), std::string::npos) << r.Err;
  EXPECT_NE(r.Err.find("error: Byte 0xE9 is not UTF-8; is the document in another encoding?\n"),
            std::string::npos)
      << r.Err;

  // The first byte that starts no UTF-8 sequence is named.
  const std::string broken = Put("broken.xml", "<name>Zo\xEB</name><!-- \xFF -->");
  r = RunCli({"check", broken});
  EXPECT_EQ(r.Status, 2);
  EXPECT_NE(r.Err.find("error: Byte 0xEB is not UTF-8; is the document in another encoding?\n"),
            std::string::npos)
      << r.Err;

  // Named as what it is, the document reads without a word.
  r = RunCli({"check", "--encoding", "ISO-8859-1", latin});
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Err, "");

  // UTF-8 text read as US-ASCII, when asked to, fails at its first byte
  // above 0x7F.
  const std::string utf8 = Put("utf8.xml", "<name>Zo\xC3\xAB</name>");
  EXPECT_EQ(RunCli({"check", utf8}).Err, "");
  r = RunCli({"check", "--encoding", "US-ASCII", utf8});
  EXPECT_EQ(r.Status, 2);
  EXPECT_NE(r.Err.find("error: Byte 0xC3 is not US-ASCII; is the document in another encoding?\n"),
            std::string::npos)
      << r.Err;
}

// The verdict is XML 1.0's unless the relaxed grammar is asked for.
TEST_F(CheckTest, StrictByDefaultLenientOnRequest) {
  const std::string nameless = Put("nameless.xml", "<a>text</>");  // end tag without a name
  const std::string extra = Put("extra.xml", "<?xml version=\"1.0\" colour=\"red\"?><a/>");
  for (const std::string& file : {nameless, extra}) {
    SCOPED_TRACE(file);
    auto r = RunCli({"check", file});
    EXPECT_EQ(r.Status, 2);
    EXPECT_TRUE(r.Err.starts_with(file + ":1:")) << r.Err;
    EXPECT_EQ(RunCli({"check", "--standard", file}).Status, 2) << "--standard changes nothing";
    EXPECT_EQ(RunCli({"find", file, "a"}).Status, 2);
    EXPECT_EQ(RunCli({"write", file, "-o", "-"}).Status, 2);
    r = RunCli({"check", "--lenient", file});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(RunCli({"write", "--lenient", file, "-o", "-"}).Status, 0);
  }
}

TEST_F(CheckTest, MaxDepthLimitsElementNesting) {
  const std::string deep = Put("deep.xml", "<a><b><c/></b></a>");
  EXPECT_EQ(RunCli({"check", deep}).Status, 0);
  EXPECT_EQ(RunCli({"check", "--max-depth", "3", deep}).Status, 0);
  const auto r = RunCli({"check", "--max-depth=2", deep});
  EXPECT_EQ(r.Status, 2);
  EXPECT_TRUE(r.Err.starts_with(deep + ":1")) << r.Err;
  // Deeper than the default limit: refused without it, read with a higher one.
  std::string bytes;
  for (int i = 0; i < 2500; ++i) bytes += "<d>";
  for (int i = 0; i < 2500; ++i) bytes += "</d>";
  const std::string deeper = Put("deeper.xml", bytes);
  EXPECT_EQ(RunCli({"check", deeper}).Status, 2);
  EXPECT_EQ(RunCli({"check", "--max-depth", "3000", deeper}).Status, 0);
  // Nesting is bounded by the limit only, not by the stack; written, such a
  // document stops indenting and reads back.
  bytes.clear();
  for (int i = 0; i < 20000; ++i) bytes += "<d>";
  for (int i = 0; i < 20000; ++i) bytes += "</d>";
  const std::string deepest = Put("deepest.xml", bytes);
  EXPECT_EQ(RunCli({"check", "--max-depth", "20000", deepest}).Status, 0);
  const auto written = RunCli({"write", "--max-depth", "20000", deepest, "-o", "-"});
  ASSERT_EQ(written.Status, 0) << written.Err;
  EXPECT_LT(written.Out.size(), size_t{20000} * 2 * 270);
  EXPECT_EQ(RunCli({"check", "--max-depth", "20000", Put("again.xml", written.Out)}).Status, 0);
}

TEST_F(CheckTest, TheExecutableExitsWithTheSameStatus) {
  const std::string good = Put("good.xml", "<a/>");
  const std::string bad = Put("bad.xml", "<a>\n<b>\n</a>");
  EXPECT_EQ(Exec("check '" + good + "'").Status, 0);
  EXPECT_EQ(Exec("check --valid '" + good + "'").Status, 1);
  const auto r = Exec("check '" + bad + "' '" + good + "'");
  EXPECT_EQ(r.Status, 2);
  EXPECT_TRUE(r.Err.starts_with(bad + ":3:3: error: ")) << r.Err;
  EXPECT_EQ(Exec("check '" + Path("none.xml") + "'").Status, 3);
  EXPECT_EQ(Exec("").Status, 3);
  EXPECT_EQ(Exec("check --frob x").Status, 3);

  // Standard input.
  auto in = Exec("check --verbose - <'" + good + "'");
  EXPECT_EQ(in.Status, 0);
  EXPECT_EQ(in.Out, "<stdin>: well-formed (UTF-8, 1 element, 0 attributes)\n");
  in = Exec("check - <'" + bad + "'");
  EXPECT_EQ(in.Status, 2);
  EXPECT_TRUE(in.Err.starts_with("<stdin>:3:3: error: ")) << in.Err;

  // Output that cannot be written is a failure too.
  const int full = std::system(
      (std::string("'") + LUMORA_COMMAND + "' encodings >/dev/full 2>/dev/null").c_str());
  EXPECT_TRUE(WIFEXITED(full) && WEXITSTATUS(full) == 3) << full;
}

TEST_F(CheckTest, VersionHelpAndEncodings) {
  auto r = RunCli({"--version"});
  EXPECT_EQ(r.Status, 0);
  EXPECT_TRUE(r.Out.starts_with("lumora ")) << r.Out;
  r = RunCli({"--help"});
  EXPECT_EQ(r.Status, 0);
  EXPECT_NE(r.Out.find("Usage: lumora"), std::string::npos);
  r = RunCli({"encodings"});
  EXPECT_EQ(r.Status, 0);
  EXPECT_TRUE(r.Out.starts_with("ISO-8859-1\nISO-8859-2\n")) << r.Out;
  // The thirteen with tables first; then the others, with their aliases.
  EXPECT_NE(r.Out.find("US-ASCII\nUTF-8\nUTF-16\nwindows-1250 (cswindows1250, cp1250"),
            std::string::npos)
      << r.Out;
  EXPECT_NE(r.Out.find("\nShift_JIS (MS_Kanji, csShiftJIS"), std::string::npos) << r.Out;
  EXPECT_GT(std::count(r.Out.begin(), r.Out.end(), '\n'), 40);

  // Documents without a declaration read in any of them.
  const std::string plain = Put("plain.xml", "<doc>\xCF\xF0\xE8</doc>");
  r = RunCli({"find", plain, "\xD0\x9F\xD1\x80\xD0\xB8", "--encoding", "CP1251"});
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_NE(r.Out.find("\xD0\x9F\xD1\x80\xD0\xB8"), std::string::npos) << r.Out;
}

}  // namespace
}  // namespace lumora::testing
