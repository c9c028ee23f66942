// lumora write: the written document reads back the same in every encoding,
// and a failed write never damages what was there before.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "cli_testing.h"

namespace lumora::testing {
namespace {

namespace fs = std::filesystem;

using WriteTest = CliTest;

TEST_F(WriteTest, EveryExampleSurvivesEveryUnicodeEncoding) {
  for (const char* example :
       {"catalogue.xml", "config-latin1.xml", "feed-utf16.xml", "page.xhtml"}) {
    // The reference: the example written as UTF-8.
    const std::string reference = Path("reference.xml");
    ASSERT_EQ(RunCli({"write", Example(example), "-o", reference, "--encoding", "UTF-8"}).Status, 0)
        << example;
    for (const std::vector<std::string>& to :
         std::vector<std::vector<std::string>>{{"--encoding", "UTF-16"},
                                               {"--encoding", "UTF-16", "--little-endian"},
                                               {"--encoding", "utf-8"}}) {
      std::vector<std::string> args = {"write", Example(example), "-o", Path("there.xml")};
      args.insert(args.end(), to.begin(), to.end());
      auto r = RunCli(args);
      ASSERT_EQ(r.Status, 0) << example << r.Err;
      EXPECT_EQ(r.Err, "") << example;
      r = RunCli({"write", Path("there.xml"), "-o", Path("back.xml"), "--encoding", "UTF-8"});
      ASSERT_EQ(r.Status, 0) << example << r.Err;
      EXPECT_EQ(ReadFile(Path("back.xml")), ReadFile(reference)) << example << " via " << to[1];
    }
  }
}

TEST_F(WriteTest, Utf16StartsWithItsByteOrderMarkAndNamesItself) {
  const std::string in = Put("in.xml", "<?xml version=\"1.0\"?><a>\xC3\xA9</a>");
  ASSERT_EQ(RunCli({"write", in, "-o", Path("be.xml"), "--encoding", "UTF-16"}).Status, 0);
  ASSERT_EQ(
      RunCli({"write", in, "-o", Path("le.xml"), "--encoding", "UTF-16", "--little-endian"}).Status,
      0);
  const std::string be = ReadFile(Path("be.xml")), le = ReadFile(Path("le.xml"));
  EXPECT_TRUE(be.starts_with(std::string("\xFE\xFF\0<", 4)));
  EXPECT_TRUE(le.starts_with(std::string("\xFF\xFE<\0", 4)));
  // é as one unit in each byte order, and the declaration's encoding.
  EXPECT_NE(be.find(std::string("\0\xE9", 2)), std::string::npos);
  EXPECT_NE(le.find(std::string("\xE9\0", 2)), std::string::npos);
  const std::string name = "encoding = \"UTF-16\"";
  std::string nameLE;
  for (char c : name) nameLE += std::string{c, '\0'};
  EXPECT_NE(le.find(nameLE), std::string::npos);

  const auto r = RunCli({"check", "--verbose", Path("le.xml"), Path("be.xml")});
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(std::count(r.Out.begin(), r.Out.end(), '\n'), 2);
}

TEST_F(WriteTest, CharactersTheOutputCannotHoldAreReported) {
  const std::string out = Path("latin.xml");
  const auto r = RunCli({"write", Example("catalogue.xml"), "-o", out, "--encoding", "ISO-8859-1"});
  EXPECT_EQ(r.Status, 0);
  // The em dash, the CJK characters and the German quotation marks stand in
  // text, where character references hold them: nothing is lost.
  EXPECT_EQ(r.Err, "");
  const std::string bytes = ReadFile(out);
  EXPECT_NE(bytes.find("Caf\xE9 de Colombie &#x2014; Huila"), std::string::npos);
  EXPECT_NE(bytes.find("encoding = \"ISO-8859-1\""), std::string::npos);
}

TEST_F(WriteTest, RewritingAFileInPlaceKeepsItsContent) {
  const std::string file = Put("doc.xml", ReadFile(Example("catalogue.xml")));
  ASSERT_EQ(RunCli({"write", file, "-o", Path("ref.xml")}).Status, 0);
  auto r = RunCli({"write", file, "-o", file, "--encoding", "UTF-16"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  ASSERT_EQ(RunCli({"write", file, "-o", file, "--encoding", "UTF-8"}).Status, 0);
  EXPECT_EQ(ReadFile(file), ReadFile(Path("ref.xml")));
}

TEST_F(WriteTest, FailuresLeaveTheOutputAsItWas) {
  const std::string out = Put("out.xml", "precious");
  // Not well-formed: nothing is written.
  const std::string bad = Put("bad.xml", "<a><b></a>");
  auto r = RunCli({"write", bad, "-o", out});
  EXPECT_EQ(r.Status, 2);
  EXPECT_EQ(ReadFile(out), "precious");
  // Unreadable input.
  r = RunCli({"write", Path("none.xml"), "-o", out});
  EXPECT_EQ(r.Status, 3);
  EXPECT_EQ(ReadFile(out), "precious");

  // Output that cannot be created or completed.
  const std::string good = Put("good.xml", "<a>text</a>");
  r = RunCli({"write", good, "-o", Path("no/such/folder/x.xml")});
  EXPECT_EQ(r.Status, 3);
  EXPECT_TRUE(r.Err.starts_with(Path("no/such/folder/x.xml") + ": error: cannot write file"))
      << r.Err;
  fs::create_directory(Path("folder"));
  EXPECT_EQ(RunCli({"write", good, "-o", Path("folder")}).Status, 3);
  r = RunCli({"write", good, "-o", "/dev/full"});
  EXPECT_EQ(r.Status, 3) << "a full disk must not pass for success";
  EXPECT_NE(r.Err.find("cannot write file"), std::string::npos) << r.Err;

  // No temporary file is left behind.
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir_))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"bad.xml", "folder", "good.xml", "out.xml"}));
}

TEST_F(WriteTest, ReplacingAFileKeepsItsPermissionsAndLinks) {
  const std::string in = Put("in.xml", "<a/>");
  const std::string out = Put("out.xml", "old");
  fs::permissions(out, fs::perms::owner_read | fs::perms::owner_write);
  ASSERT_EQ(RunCli({"write", in, "-o", out}).Status, 0);
  EXPECT_EQ(fs::status(out).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_NE(ReadFile(out).find("<a/>"), std::string::npos);

  // Written through a link: the link stays and its target changes.
  const std::string target = Put("target.xml", "old");
  fs::create_symlink(target, Path("link.xml"));
  ASSERT_EQ(RunCli({"write", in, "-o", Path("link.xml")}).Status, 0);
  EXPECT_TRUE(fs::is_symlink(Path("link.xml")));
  EXPECT_NE(ReadFile(target).find("<a/>"), std::string::npos);
}

TEST_F(WriteTest, StandardOutputAndFormatting) {
  const std::string in = Put("in.xml", "<list><item>one</item><item>two</item></list>");
  auto r = RunCli({"write", in, "-o", "-"});
  EXPECT_EQ(r.Status, 0);
  EXPECT_TRUE(r.Out.starts_with("<?xml version = \"1.0\"")) << r.Out;
  EXPECT_NE(r.Out.find("\r\n   <item>one</item>"), std::string::npos) << r.Out;

  r = RunCli({"write", in, "-o", "-", "--no-format"});
  EXPECT_EQ(r.Status, 0);
  EXPECT_NE(r.Out.find("<list>\r\n<item>one</item>\r\n<item>two"), std::string::npos) << r.Out;

  r = RunCli({"write", in, "-o", "-", "--encoding", "UTF-16", "--little-endian", "--verbose"});
  EXPECT_TRUE(r.Out.starts_with("\xFF\xFE<")) << "the byte-order mark goes to stdout as well";
  // The summary goes to stderr so that it cannot mix with the document.
  EXPECT_EQ(r.Err, "<stdout>: written (UTF-16 little-endian, mode standard)\n");
}

}  // namespace
}  // namespace lumora::testing
