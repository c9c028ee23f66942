// lumora find: one line per node found, in document order, ending at the
// end of the document.
#include <gtest/gtest.h>

#include "cli_testing.h"

namespace lumora::testing {
namespace {

using FindTest = CliTest;

TEST_F(FindTest, PrintsTypeNameAndValueOfEachMatch) {
  const std::string file = Put("f.xml",
                               "<shop name=\"Tea &amp; Co\">"
                               "<tea kind=\"green\">Sencha</tea>"
                               "<tea kind=\"Green\">Gyokuro</tea>"
                               "<coffee kind=\"dark\">Greenwich roast</coffee>"
                               "</shop>");
  // Names and values, case-insensitive, anywhere in the candidate.
  auto r = RunCli({"find", file, "green"});
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Out,
            "ATTRIBUTE_NODE\tkind\tgreen\n"
            "ATTRIBUTE_NODE\tkind\tGreen\n"
            "TEXT_NODE\t\tGreenwich roast\n");

  EXPECT_EQ(RunCli({"find", file, "green", "--case", "--whole"}).Out,
            "ATTRIBUTE_NODE\tkind\tgreen\n");
  // Elements are compared only when asked.
  EXPECT_EQ(RunCli({"find", file, "tea", "--names", "--whole"}).Out, "");
  EXPECT_EQ(RunCli({"find", file, "tea", "--names", "--whole", "--elements"}).Out,
            "ELEMENT_NODE\ttea\t\nELEMENT_NODE\ttea\t\n");
  // Nothing found is not an error.
  r = RunCli({"find", file, "oolong"});
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Out, "");
}

TEST_F(FindTest, AMatchAtTheVeryEndDoesNotStartOver) {
  // The last node of the document matches: the walk must end there rather
  // than begin again at the document.
  const std::string file = Put("f.xml", "<a><b/>tail</a>");
  const auto r = RunCli({"find", file, "tail", "--values"});
  EXPECT_EQ(r.Out, "TEXT_NODE\t\ttail\n");
  // Every node matches the empty text: each is printed once.
  const auto all = RunCli({"find", file, "", "--names", "--elements"});
  EXPECT_LT(all.Out.size(), 400u);
  EXPECT_NE(all.Out.find("ELEMENT_NODE\tb\t\n"), std::string::npos) << all.Out;
}

TEST_F(FindTest, ValuesStayOnOneLineAndKeepTheirCharacters) {
  const std::string file =
      Put("f.xml", "<p>line one\nline\ttwo \\ end \xE2\x80\x94 Zo\xC3\xAB</p>");
  EXPECT_EQ(RunCli({"find", file, "Zoë"}).Out,
            "TEXT_NODE\t\tline one\\nline\\ttwo \\\\ end \xE2\x80\x94 Zo\xC3\xAB\n");
  // The text matches in documents of any encoding.
  EXPECT_EQ(RunCli({"find", Example("feed-utf16.xml"), "Булгаков"}).Out,
            "TEXT_NODE\t\tМихаил Булгаков\n");
  EXPECT_EQ(RunCli({"find", Example("config-latin1.xml"), "unité", "--names"}).Out.substr(0, 22),
            "ATTRIBUTE_NODE\tunité\t");
}

TEST_F(FindTest, ProblemsWithTheFileAreReportedAsByCheck) {
  const std::string bad = Put("bad.xml", "<a>\n</b>");
  auto r = RunCli({"find", bad, "a"});
  EXPECT_EQ(r.Status, 2);
  EXPECT_TRUE(r.Err.starts_with(bad + ":2:3: error: ")) << r.Err;
  EXPECT_EQ(r.Out, "");
  EXPECT_EQ(RunCli({"find", Path("none.xml"), "a"}).Status, 3);
}

}  // namespace
}  // namespace lumora::testing
