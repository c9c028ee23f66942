// General entities through the command: what `write` makes of documents
// that refer to them, and how `check` ends hostile ones.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_testing.h"

namespace lumora::testing {
namespace {

using EntitiesTest = CliTest;

TEST_F(EntitiesTest, WrittenContentHoldsTheExpandedText) {
  struct TCase {
    const char* Document;
    std::vector<const char*> Pieces;  // in this order in what is written
  };
  const TCase cases[] = {
      {"<!DOCTYPE a [<!ENTITY e \"v\">]><a t=\"&e;\">x&e;y</a>", {"t = \"v\"", ">xvy</a>"}},
      {"<!DOCTYPE p [<!ENTITY e \"<b>1 &lt; 2</b>\">]><p>before &e; after</p>",
       {"<p>before <b>1 &lt; 2</b> after</p>"}},
      {"<!DOCTYPE p [<!ENTITY e \"a &lt; b &gt; c\">]><p>&e;</p>", {"<p>a &lt; b > c</p>"}},
      {"<!DOCTYPE a [<!ENTITY Agrave \"&#192;\"><!ENTITY agrave \"&#224;\">]><a>&agrave;&Agrave;</a>",
       {"<a>\xC3\xA0\xC3\x80</a>"}},
      {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><!DOCTYPE a [<!ENTITY e "
       "\"<b>&#8364;</b>\">]><a>&e;</a>",
       {"<b>\xE2\x82\xAC</b>"}},
      {"<!DOCTYPE pre [<!ENTITY e \"a  b&#10;c\">]><pre>&e;</pre>", {"<pre>a  b\nc</pre>"}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Document);
    const std::string in = Put("in.xml", c.Document);
    const auto r = RunCli({"write", in, "-o", "-", "--encoding", "UTF-8"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    size_t at = r.Out.find("]>");
    for (const char* piece : c.Pieces) {
      at = r.Out.find(piece, at);
      EXPECT_NE(at, std::string::npos) << piece << " in\n" << r.Out;
    }
    // The written document reads back, and writes the same.
    const std::string once = Put("once.xml", r.Out);
    const auto again = RunCli({"write", once, "-o", "-"});
    ASSERT_EQ(again.Status, 0) << again.Err;
    EXPECT_EQ(again.Out, r.Out);
  }
}

TEST_F(EntitiesTest, ValuesKeepCharactersTheOutputEncodingLacks) {
  // Written in the document's own encoding, the euro sign of the entity's
  // text goes out as a character reference in the declaration as in content.
  const std::string in = Put("in.xml",
                             "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><!DOCTYPE a "
                             "[<!ENTITY e \"x&#8364;<b>&#8364;</b>\">]><a>&e;</a>");
  const auto r = RunCli({"write", in, "-o", "-"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_NE(r.Out.find("<!ENTITY e \"x&#x20AC;<b>&#x20AC;</b>\">"), std::string::npos) << r.Out;
  const auto again = RunCli({"write", Put("once.xml", r.Out), "-o", "-", "--encoding", "UTF-8"});
  ASSERT_EQ(again.Status, 0) << again.Err;
  EXPECT_NE(again.Out.find("<!ENTITY e \"x\xE2\x82\xAC<b>\xE2\x82\xAC</b>\">"), std::string::npos)
      << again.Out;
}

TEST_F(EntitiesTest, MisplacedReferencesAreNotWellFormed) {
  const std::pair<std::string, std::string> cases[] = {
      {"<!DOCTYPE a [<!NOTATION n SYSTEM \"n\"><!ENTITY logo SYSTEM \"l.png\" NDATA n>]>"
       "<a>&logo;</a>",
       "Reference to an unparsed entity is not allowed in the character data."},
      {"<!DOCTYPE a [<!NOTATION n SYSTEM \"n\"><!ENTITY logo SYSTEM \"l.png\" NDATA n>]>"
       "<a t=\"&logo;\"/>",
       "Reference to an unparsed entity is not allowed in the attribute value."},
      {"<!DOCTYPE a [<!ENTITY x SYSTEM \"x.ent\">]><a t=\"&x;\"/>",
       "Reference to an external entity is not allowed in the attribute value."},
      {"<!DOCTYPE a [<!ENTITY e \"a&b\">]><a/>",
       "Illegal character in the the entity value '&&' or '%'."},
  };
  for (const auto& [document, message] : cases) {
    SCOPED_TRACE(document);
    const std::string file = Put("doc.xml", document);
    const auto r = RunCli({"check", "--no-net", file});
    EXPECT_EQ(r.Status, 2) << r.Err;
    EXPECT_NE(r.Err.find("error: " + message + "\n"), std::string::npos) << r.Err;
  }
}

TEST_F(EntitiesTest, HostileDocumentsEndQuicklyAndCleanly) {
  std::string laughs = "<!DOCTYPE a [<!ENTITY l0 \"lol\">";
  for (int i = 1; i < 10; ++i) {
    laughs += "<!ENTITY l" + std::to_string(i) + " \"";
    for (int k = 0; k < 10; ++k) laughs += "&l" + std::to_string(i - 1) + ";";
    laughs += "\">";
  }
  laughs += "]>";
  std::string refs;
  for (int i = 0; i < 50000; ++i) refs += "&q;";
  const std::string quadratic = "<!DOCTYPE a [<!ENTITY q \"" + std::string(50000, 'x') + "\">]>";
  const std::string budget = "Entity expansion exceeds the limit of";
  const std::string cycle = "Entity \"a\" refers to itself.";
  ExpectEachEndsWithError({
      {laughs + "<a>&l9;</a>", budget},
      {laughs + "<a t=\"&l9;\"/>", budget},
      {quadratic + "<a>" + refs + "</a>", budget},
      {"<!DOCTYPE a [<!ENTITY a \"&b;\"><!ENTITY b \"&a;\">]><a>&a;</a>", cycle},
      {"<!DOCTYPE a [<!ENTITY a \"&b;\"><!ENTITY b \"&a;\">]><a t=\"&a;\"/>", cycle},
      {"<!DOCTYPE a [<!ENTITY a \"<x>&a;</x>\">]><a>&a;</a>", cycle},
  });
}

}  // namespace
}  // namespace lumora::testing
