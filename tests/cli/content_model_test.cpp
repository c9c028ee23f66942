// `check --valid` on one-line documents whose content follows its model or
// not: status 0 for valid, 1 for invalid, and the message naming the element.
#include <gtest/gtest.h>

#include <string>

#include "cli_testing.h"

namespace lumora::testing {
namespace {

using ContentModelTest = CliTest;

TEST_F(ContentModelTest, StatusFollowsTheModel) {
  struct TCase {
    const char* Model;
    const char* Children;
    int Status;
  };
  const TCase cases[] = {
      {"(a|b)", "<a/><b/>", 1},
      {"(a,b)+", "<a/><b/><a/>", 1},
      {"(a,b)?", "<a/>", 1},
      {"((a,b)|c)", "<a/><c/>", 1},
      {"(a,(b|c)?)", "<a/><b/><c/>", 1},
      {"((a,b)*,c)", "<a/><b/><a/><c/>", 1},
      {"(a*,a)", "<a/><a/>", 0},
      {"((a|b),b)", "<a/><b/>", 0},
      {"(a,b)", "<a/><b/>", 0},
      {"(a?,b)", "<b/>", 0},
      {"(a|b)*", "<b/><a/><b/>", 0},
      {"(a|b)*", "<b/>text", 1},
      {"(#PCDATA|a)*", "t<a/>t<?pi x?><a/>", 0},
      {"(#PCDATA|a)*", "t<b/>", 1},
      {"EMPTY", "<!--c-->", 0},
      {"EMPTY", "x", 1},
      {"ANY", "x<a/><b/>", 0},
  };
  for (const TCase& c : cases) {
    const std::string doc = std::string("<!DOCTYPE r [<!ELEMENT r ") + c.Model +
                            "><!ELEMENT a EMPTY><!ELEMENT b EMPTY><!ELEMENT c EMPTY>]><r>" +
                            c.Children + "</r>";
    SCOPED_TRACE(doc);
    const std::string path = Put("doc.xml", doc);
    const auto r = RunCli({"check", "--valid", path});
    EXPECT_EQ(r.Status, c.Status) << r.Err;
    EXPECT_EQ(RunCli({"check", path}).Status, 0);
  }
  const std::string path =
      Put("bad.xml", "<!DOCTYPE r [<!ELEMENT r (a,b)><!ELEMENT a EMPTY><!ELEMENT b EMPTY>]>"
                     "<r><b/><a/></r>");
  const auto r = RunCli({"check", "--valid", path});
  EXPECT_NE(r.Err.find("validity error: [Element \"r\"]: Content of the element does not match "
                       "its declaration."),
            std::string::npos)
      << r.Err;
  EXPECT_EQ(Exec("check --valid '" + path + "'").Status, 1);
}

}  // namespace
}  // namespace lumora::testing
