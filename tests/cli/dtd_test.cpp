// Documents with an internal subset through the command: what reads, what
// is refused with which message, and that a DTD written inline reads back
// to the same bytes.
#include <gtest/gtest.h>

#include <utility>

#include "cli_testing.h"

namespace lumora::testing {
namespace {

using DtdTest = CliTest;

TEST_F(DtdTest, EveryKindOfDeclarationIsWrittenAndReadsBackTheSame) {
  const std::string in = Put(
      "in.xml",
      "<!DOCTYPE a [<!ELEMENT a (b,(c|d)+,e?)><!ELEMENT b EMPTY><!ATTLIST a t (x|y) \"x\" "
      "id ID #IMPLIED><!ENTITY e \"v\"><!NOTATION png SYSTEM \"image/png\">]><a><b/><c/></a>");
  EXPECT_EQ(RunCli({"check", in}).Status, 0);
  auto r = RunCli({"write", in, "-o", "-", "--mode", "standalone"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  for (const char* piece : {"<!ELEMENT a", "<!ELEMENT b", "<!ATTLIST a", "<!ENTITY e",
                            "<!NOTATION png", "(b,(c|d)+,e?)", "EMPTY", "image/png"})
    EXPECT_NE(r.Out.find(piece), std::string::npos) << piece << " in\n" << r.Out;
  const std::string once = Put("once.xml", r.Out);
  r = RunCli({"write", once, "-o", "-", "--mode", "standalone"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Out, ReadFile(once));
}

TEST_F(DtdTest, StatusAndMessageOfEachDocument) {
  struct TCase {
    const char* Document;
    int Status;
    const char* Message;  // the error's text after "LINE:COLUMN: error: "
  };
  const TCase cases[] = {
      {"<!DOCTYPE a [<!ENTITY % t \"(#PCDATA)\"><!ELEMENT a %t;>]><a/>", 0, nullptr},
      {"<!DOCTYPE a [<!ENTITY Agrave \"&#192;\"><!ENTITY agrave \"&#224;\">]><a>&agrave;</a>", 0,
       nullptr},
      {"<!DOCTYPE a [<!ATTLIST a x STRING #IMPLIED>]><a/>", 2,
       "Unknown attribute type: \"STRING\"."},
      {"<!DOCTYPE a [<!ATTLIST a x CDATA>]><a/>", 2, "Attribute defaults required or incorrect."},
      {"<!DOCTYPE a [<!ELEMENT a (b,c|d)>]><a/>", 2, "Illegal occurence of \"|\""},
      {"<!DOCTYPE a [<!ELEMENT a %p;>]><a/>", 2,
       "Can't retrieve parameter entity value. Entity \"p\" is not declared."},
      {"<!DOCTYPE a [<!ELEMENT a (#PCDATA|b|b)*>]><a/>", 2,
       "Duplicate typesdeclaration is not allowed in mixed content."},
      {"<!DOCTYPE a [<!ENTITY % a \"x%a;\">]><a/>", 2, "Entity \"a\" refers to itself."},
      {"<!DOCTYPE a [<!ENTITY % p SYSTEM \"p\" NDATA n>]><a/>", 2,
       "Illegal occurence of \"NDATA\""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Document);
    const std::string file = Put("doc.xml", c.Document);
    const auto r = RunCli({"check", file});
    EXPECT_EQ(r.Status, c.Status) << r.Err;
    if (c.Message) {
      EXPECT_TRUE(r.Err.starts_with(file + ":1:")) << r.Err;
      EXPECT_NE(r.Err.find(std::string("error: ") + c.Message + "\n"), std::string::npos) << r.Err;
    }
  }
}

TEST_F(DtdTest, HostileDTDsEndQuicklyAndCleanly) {
  std::string laughs = "<!DOCTYPE a [<!ENTITY % p0 \"lol\">";
  for (int i = 1; i < 10; ++i) {
    laughs += "<!ENTITY % p" + std::to_string(i) + " \"";
    for (int k = 0; k < 10; ++k) laughs += "%p" + std::to_string(i - 1) + ";";
    laughs += "\">";
  }
  laughs += "]><a/>";
  const std::string deep = "<!DOCTYPE a [<!ELEMENT a " + std::string(100000, '(') + "]><a/>";
  ExpectEachEndsWithError({
      {laughs, "Entity expansion exceeds the limit of 8388608 characters."},
      {deep, "Content model groups nest deeper than"},
  });
}

}  // namespace
}  // namespace lumora::testing
