// Where the DTD and entity files of a write may go: only into the output's
// folder, under a plain name, never over the output, a file that was read
// or another side file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "lumora/io/side_files.h"

namespace lumora {
namespace {

namespace fs = std::filesystem;

TEST(SideFiles, ALiteralGivesItsLastPlainSegmentOrNothing) {
  struct TCase {
    std::u16string Literal;
    const char* Name;
  };
  const TCase cases[] = {
      {u"book.dtd", "book.dtd"},
      {u"Book.DTD", "Book.DTD"},
      {u"../../x.dtd", "x.dtd"},
      {u"/etc/passwd", "passwd"},
      {u"dtds\\win.dtd", "win.dtd"},
      {u"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd", "xhtml1-strict.dtd"},
      {u"http://h/get?name=../../x.dtd#top", "get"},
      {u"file:///usr/share/xml/d.ent", "d.ent"},
      {u"caf\u00E9.ent", "caf\xC3\xA9.ent"},
      {u"", ""},
      {u"..", ""},
      {u"dir/", ""},
      {u"http://host/", ""},
      {u".bashrc", ""},
      {u"c:x.dtd", ""},
      {u"a\nb.dtd", ""},
      {std::u16string(300, u'x'), ""},
  };
  for (const TCase& c : cases) EXPECT_EQ(TSideFiles::PlainName(c.Literal), c.Name);
}

class SideFilesIn : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("lumora-side-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "out");
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(SideFilesIn, NamesNeverClashWithTheOutputWhatWasReadOrEachOther) {
  const std::string output = (dir_ / "out" / "o.xml").string();
  TSideFiles files(output, {(dir_ / "out" / "x.dtd").string(), "http://h/y.dtd",
                            "file://" + (dir_ / "out" / "f.ent").string(), ""});
  EXPECT_EQ(files.Claim(u"http://h/y.dtd", "a.dtd"), "y.dtd");
  EXPECT_EQ(files.Claim(u"../x.dtd", "a.dtd"), "a.dtd");  // x.dtd was read
  EXPECT_EQ(files.Claim(u"o.xml", "e.ent"), "e.ent");     // the output itself
  EXPECT_EQ(files.Claim(u"f.ent", "g.ent"), "g.ent");     // read through a file: URL
  EXPECT_EQ(files.Claim(u"/tmp/e.ent", "e.ent"), "e-2.ent");
  EXPECT_EQ(files.Claim(u"", "e.ent"), "e-3.ent");
  EXPECT_EQ(files.Claim(u"", "svg:svg.dtd"), "svg_svg.dtd");
}

TEST_F(SideFilesIn, AFileHoldsTheMarkAndTheTextInTheOutputsFolder) {
  TSideFiles files((dir_ / "out" / "o.xml").string(), {});
  const std::string name = files.Claim(u"../../escape.dtd", "a.dtd");
  TMemoryStream text;
  text.Write("<\0!\0", 4);
  files.Write(name, text);
  std::ifstream in(dir_ / "out" / "escape.dtd", std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  EXPECT_EQ(bytes, std::string("\xFF\xFE<\0!\0", 6));
  EXPECT_FALSE(fs::exists(dir_ / "escape.dtd"));
}

}  // namespace
}  // namespace lumora
