// External DTDs and entities through the command: found beside the document
// that names them, errors in them named by their own file, and the DTD and
// entity files of the write modes put beside the output and nowhere else.
#include <gtest/gtest.h>
#include <unistd.h>

#include <set>

#include "cli_testing.h"

namespace lumora::testing {
namespace {

namespace fs = std::filesystem;

class ExternalTest : public CliTest {
 protected:
  std::string PutIn(const std::string& name, const std::string& bytes) const {
    fs::create_directories((dir_ / name).parent_path());
    return Put(name, bytes);
  }
  // The names of the files in folder.
  std::set<std::string> Files(const std::string& folder) const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_ / folder))
      names.insert(entry.path().filename().string());
    return names;
  }
};

// Runs in the test's folder, and returns to where it was.
class TWorkingFolder {
 public:
  explicit TWorkingFolder(const fs::path& folder) : FBack(fs::current_path()) {
    fs::current_path(folder);
  }
  ~TWorkingFolder() { fs::current_path(FBack); }

 private:
  fs::path FBack;
};

TEST_F(ExternalTest, ADTDBesideTheDocumentIsFoundFromAnyFolder) {
  PutIn("docs/Book.dtd",
        "<?xml version='1.0' encoding='UTF-8'?>\n<!ELEMENT Book (title)>\n"
        "<!ELEMENT title (#PCDATA)>\n<!ENTITY by 'caf\xC3\xA9'>\n");
  PutIn("docs/Book.xml", "<!DOCTYPE Book SYSTEM \"Book.dtd\">\n<Book><title>t</title></Book>\n");
  PutIn("docs/Odd.xml", "<!DOCTYPE Book SYSTEM \"Book.dtd\">\n<Book><odd/></Book>\n");
  TWorkingFolder here(dir_);
  auto r = RunCli({"check", "--valid", "docs/Book.xml"});
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Err, "");
  // Validity is judged by the declarations read: odd is not declared.
  r = RunCli({"check", "--valid", "docs/Odd.xml"});
  EXPECT_EQ(r.Status, 1) << r.Err;
  r = RunCli({"write", "docs/Book.xml", "-o", "-", "--mode", "standalone"});
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_NE(r.Out.find("<!ENTITY by \"caf\xC3\xA9\">"), std::string::npos) << r.Out;
  EXPECT_EQ(r.Out.find("SYSTEM"), std::string::npos) << r.Out;
  EXPECT_EQ(r.Out.find("encoding='UTF-8'"), std::string::npos) << r.Out;
}

TEST_F(ExternalTest, AStrayWordInADTDIsAnErrorOfThatFile) {
  const std::string dtd = PutIn("dtd/x.dtd", "<!ELEMENT a ANY>\n<!ELEMENT b ANY> stray\n");
  const std::string doc = Put("doc.xml", "<!DOCTYPE a SYSTEM \"dtd/x.dtd\"><a/>");
  auto r = RunCli({"check", doc});
  EXPECT_EQ(r.Status, 2);
  EXPECT_EQ(r.Err, dtd + ":2:18: error: Illegal occurence of \"stray\"\n");
}

TEST_F(ExternalTest, ExternalDTDModeWritesTheDTDOnlyBesideTheOutput) {
  PutIn("x.dtd", "<!ELEMENT x (y*)>\n<!ELEMENT y (#PCDATA)>\n<!ENTITY v '1.0'>\n");
  const std::string in = PutIn(
      "in/deep/in.xml",
      "<!DOCTYPE x SYSTEM \"../../x.dtd\" [<!ENTITY w 'mine'><!ATTLIST y n CDATA #IMPLIED>]>"
      "<x><y n='1'>&w;</y></x>");
  fs::create_directories(dir_ / "out");
  const std::string out = Path("out/o.xml");
  const int before = RunCli({"check", "--valid", in}).Status;
  ASSERT_EQ(before, 0);
  for (const char* mode : {"external-dtd", "all-external"}) {
    SCOPED_TRACE(mode);
    fs::remove_all(dir_ / "out");
    fs::create_directories(dir_ / "out");
    const auto r = RunCli({"write", in, "-o", out, "--mode", mode});
    ASSERT_EQ(r.Status, 0) << r.Err;
    const std::set<std::string> expected =
        std::string(mode) == "external-dtd"
            ? std::set<std::string>{"o.xml", "x.dtd"}
            : std::set<std::string>{"o.xml", "x.dtd", "v.ent", "w.ent"};
    EXPECT_EQ(Files("out"), expected);
    EXPECT_EQ(Files("."), (std::set<std::string>{"x.dtd", "in", "out"}));
    const std::string dtd = ReadFile(dir_ / "out" / "x.dtd");
    EXPECT_TRUE(dtd.starts_with(std::string("\xFF\xFE<\0!\0", 6))) << dtd;
    EXPECT_NE(ReadFile(out).find("<!DOCTYPE x SYSTEM \"x.dtd\" []>"), std::string::npos)
        << ReadFile(out);
    EXPECT_EQ(RunCli({"check", "--valid", out}).Status, before);
    // What the entity stands for reads back the same.
    const auto back = RunCli({"write", out, "-o", "-", "--mode", "standalone"});
    EXPECT_NE(back.Out.find("<!ENTITY w \"mine\">"), std::string::npos) << back.Out;
  }
  EXPECT_EQ(ReadFile(dir_ / "out" / "w.ent"), std::string("\xFF\xFEm\0i\0n\0e\0", 10));
}

TEST_F(ExternalTest, ADTDFromAURLOrAPublicIdentifierIsWrittenUnderItsLastSegment) {
  PutIn("dtds/strict.dtd", "<!ELEMENT html EMPTY>");
  const std::string in = Put(
      "in.xml", "<!DOCTYPE html PUBLIC \"-//X//DTD Strict//EN\" \"dtds/strict.dtd\"><html/>");
  fs::create_directories(dir_ / "out");
  const auto r = RunCli({"write", in, "-o", Path("out/o.xml"), "--mode", "external-dtd"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(Files("out"), (std::set<std::string>{"o.xml", "strict.dtd"}));
  EXPECT_NE(ReadFile(Path("out/o.xml"))
                .find("<!DOCTYPE html PUBLIC \"-//X//DTD Strict//EN\" \"strict.dtd\" []>"),
            std::string::npos);
  // Writing over the input beside its DTD leaves the DTD that was read alone.
  const std::string beside = PutIn("dtds/doc.xml", "<!DOCTYPE html SYSTEM \"strict.dtd\"><html/>");
  ASSERT_EQ(RunCli({"write", beside, "-o", beside, "--mode", "external-dtd"}).Status, 0);
  EXPECT_EQ(ReadFile(Path("dtds/strict.dtd")), "<!ELEMENT html EMPTY>");
  EXPECT_NE(ReadFile(beside).find("SYSTEM \"html.dtd\""), std::string::npos) << ReadFile(beside);
  EXPECT_EQ(RunCli({"check", "--valid", beside}).Status, 0);
}

TEST_F(ExternalTest, WhatWasNeverReadKeepsItsIdentifierAndIsNeverWritten) {
  const std::string in =
      Put("in.xml",
          "<!DOCTYPE a SYSTEM \"missing.dtd\" [<!NOTATION png SYSTEM \"image/png\">"
          "<!ENTITY pic SYSTEM \"pic.png\" NDATA png><!ENTITY gone SYSTEM \"gone.ent\">"
          "<!ELEMENT a EMPTY>]><a/>");
  struct TCase {
    const char* Mode;
    const char* Doctype;
  };
  const TCase cases[] = {
      {"standard", "<!DOCTYPE a SYSTEM \"missing.dtd\" [\r\n"},
      {"standalone", "<!DOCTYPE a SYSTEM \"missing.dtd\" [\r\n"},
      {"external-dtd", "<!DOCTYPE a SYSTEM \"missing.dtd\" [\r\n"},
      {"all-external", "<!DOCTYPE a SYSTEM \"missing.dtd\" [\r\n"},
      {"linked-dtd", "<!DOCTYPE a SYSTEM \"missing.dtd\" []>"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Mode);
    fs::create_directories(dir_ / "out");
    const auto r = RunCli({"write", in, "-o", Path("out/o.xml"), "--mode", c.Mode});
    ASSERT_EQ(r.Status, 0) << r.Err;
    const std::string written = ReadFile(Path("out/o.xml"));
    EXPECT_NE(written.find(c.Doctype), std::string::npos) << written;
    EXPECT_EQ(Files("out"), std::set<std::string>{"o.xml"});
    if (std::string(c.Mode) == "linked-dtd") continue;
    EXPECT_NE(written.find("<!ENTITY pic  SYSTEM \"pic.png\"\r\n             NDATA png>"),
              std::string::npos)
        << written;
    EXPECT_NE(written.find("<!ENTITY gone  SYSTEM \"gone.ent\">"), std::string::npos) << written;
    EXPECT_NE(written.find("<!ELEMENT a  EMPTY>"), std::string::npos) << written;
    fs::remove_all(dir_ / "out");
  }
}

TEST_F(ExternalTest, TheStandardModeWritesOnlyWhatTheDocumentDeclared) {
  const std::string dtd =
      "<!ELEMENT a EMPTY>\n<!ENTITY v 'external'>\n<!ATTLIST a theirs CDATA #IMPLIED>\n";
  Put("x.dtd", dtd);
  const std::string in = Put("in.xml",
                             "<!DOCTYPE a SYSTEM \"x.dtd\" [<!ENTITY v 'internal'>"
                             "<!ATTLIST a mine CDATA #IMPLIED>]><a/>");
  const auto r = RunCli({"write", in, "-o", Path("o.xml")});
  ASSERT_EQ(r.Status, 0) << r.Err;
  const std::string written = ReadFile(Path("o.xml"));
  EXPECT_NE(written.find("<!DOCTYPE a SYSTEM \"x.dtd\" [\r\n   <!ENTITY v \"internal\">\r\n"),
            std::string::npos)
      << written;
  EXPECT_NE(written.find("mine"), std::string::npos) << written;
  EXPECT_EQ(written.find("ELEMENT"), std::string::npos) << written;
  EXPECT_EQ(written.find("theirs"), std::string::npos) << written;
  EXPECT_EQ(ReadFile(Path("x.dtd")), dtd);
  // The other modes write the whole: here inside the document.
  const auto whole = RunCli({"write", in, "-o", "-", "--mode", "standalone"});
  EXPECT_NE(whole.Out.find("theirs"), std::string::npos) << whole.Out;
  EXPECT_NE(whole.Out.find("<!ELEMENT a"), std::string::npos) << whole.Out;
}

}  // namespace
}  // namespace lumora::testing
