// `lumora check --valid`: status 0 for a valid document, 1 for an invalid
// one, and each validity error on a line of its own at the position of the
// node it concerns.
#include "cli/cli_testing.h"

namespace lumora::testing {
namespace {

using ValidTest = CliTest;

TEST_F(ValidTest, OneLineDocumentsGiveTheirStatusAndPositions) {
  struct Case {
    const char* name;
    std::string doc;
    int status;
    std::string err;  // FILE stands for the file's path
  };
  const std::string dtd =
      "<!DOCTYPE a [<!ELEMENT a ANY><!ELEMENT b EMPTY>"
      "<!ATTLIST b id ID #IMPLIED ref IDREF #IMPLIED t (yes|no) #IMPLIED r CDATA #REQUIRED>]>";
  const size_t at = dtd.size() + 1;  // the column of the first character after the DTD
  auto col = [&](size_t offset) { return std::to_string(at + offset); };
  const std::vector<Case> cases{
      {"valid", dtd + "<a><b id=' x ' t=' yes' r=''/><b ref='x' r=''/></a>", 0, ""},
      {"undeclared element", dtd + "<a><c/></a>", 1,
       "FILE:1:" + col(3) + ": validity error: [Element \"c\"]: Element is not declared.\n"},
      {"missing #REQUIRED", dtd + "<a><b/></a>", 1,
       "FILE:1:" + col(3) +
           ": validity error: [Element: \"b\" Attribute: \"r\"]: Element does not contain "
           "#REQUIRED attribute.\n"},
      {"bad value, at the attribute", dtd + "<a><b r='' t='Yes'/></a>", 1,
       "FILE:1:" + col(11) +
           ": validity error: [Element: \"b\" Attribute: \"t\" Value: \"Yes\"]: Improper value "
           "of an enumerated attribute.\n"},
      {"dangling reference", dtd + "<a><b r='' ref='nowhere'/></a>", 1,
       "FILE:1:" + col(11) +
           ": validity error: [Element: \"b\" Attribute: \"ref\" Value: \"nowhere\"]: The value "
           "of an IDREF Attribute matches the value of a nonexisting ID attribute.\n"},
      {"root name, on the document type: no position", "<!DOCTYPE x [<!ELEMENT a EMPTY>]><a/>", 1,
       "FILE: validity error: [DTD]: Root name \"x\" in declaration does not match root name "
       "\"a\" in document. (DOCUMENT_TYPE_NODE 'x')\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = Put("doc.xml", c.doc);
    const auto r = RunCli({"check", "--valid", file});
    EXPECT_EQ(r.Status, c.status);
    std::string err = c.err;
    for (size_t p; (p = err.find("FILE")) != std::string::npos;) err.replace(p, 4, file);
    EXPECT_EQ(r.Err, err);
  }
}

TEST_F(ValidTest, LinesAndColumnsOfLaterLines) {
  const std::string file = Put("lines.xml",
                               "<!DOCTYPE a [<!ELEMENT a ANY>]>\n"
                               "<a>\n"
                               "   <b\n"
                               "      x='1'/></a>\n");
  const auto r = RunCli({"check", "--valid", file});
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Err, file + ":3:4: validity error: [Element \"b\"]: Element is not declared.\n" +
                       file +
                       ":4:7: validity error: [Element: \"b\" Attribute: \"x\"]: Attribute "
                       "is not declared.\n");
}

TEST_F(ValidTest, DtdAttrsAddsDefaultsAndWriteWritesThem) {
  const std::string in = Put("in.xml",
                             "<!DOCTYPE a [<!ELEMENT a EMPTY><!ATTLIST a v CDATA 'dflt' t NMTOKEN "
                             "#FIXED 'x'>]><a/>");
  const std::string out = Path("out.xml");
  auto r = RunCli({"write", in, "-o", out});
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_NE(ReadFile(out).find("<a/>"), std::string::npos);

  r = RunCli({"write", "--dtd-attrs", in, "-o", out});
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_NE(ReadFile(out).find("<a v = \"dflt\" t = \"x\"/>"), std::string::npos) << ReadFile(out);

  r = RunCli({"find", "--dtd-attrs", "--values", "--whole", in, "dflt"});
  EXPECT_EQ(r.Out, "ATTRIBUTE_NODE\tv\tdflt\n");
  r = RunCli({"check", "--valid", "--dtd-attrs", in});
  EXPECT_EQ(r.Status, 0) << r.Err;
}

}  // namespace
}  // namespace lumora::testing
