// Parsers on separate threads share nothing: every document gives the same
// outcome on four threads at once as on one. Under the sanitizers this is
// where a race between parses would show.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "lumora/framework/sysutils.h"
#include "parser/parser_testing.h"

namespace lumora {
namespace {

// All that a validating parse and two writes of bytes give: the verdict and
// the validity errors, the document written as read and in windows-1252
// (through iconv) with the characters lost there; or the syntax error.
std::string Outcome(const std::string& bytes) {
  TKaOrvane parser(nullptr);
  parser.SetStandardXML(true);
  parser.SetValidateDocument(true);
  std::string outcome;
  try {
    TStringStream in(bytes);
    std::unique_ptr<TKaXMLDocument> doc;
    outcome = parser.Parse(in, doc) ? "valid\n" : "invalid\n";
    for (const TKaError* e : parser.GetErrors()) outcome += e->GetMessage() + "\n";
    outcome += testing::Written(*doc);
    doc->SetEncoding("windows-1252");
    outcome += testing::Written(*doc) + WideToSystem(doc->GetInvalidChars());
  } catch (const EKaOrvaneError& e) {
    outcome += "error: " + e.Message() + " at " + std::to_string(e.GetLine()) + ":" +
               std::to_string(e.GetColumn());
  }
  return outcome;
}

std::string Catalogue(const std::string& declaration, int products, const std::string& extra) {
  std::string doc = declaration +
                    "<!DOCTYPE c [<!ELEMENT c (p)*><!ELEMENT p (#PCDATA)>"
                    "<!ATTLIST p id ID #REQUIRED ref IDREF #IMPLIED>"
                    "<!ENTITY e 'entity &#233; text'>]>\n<c>";
  for (int i = 0; i < products; ++i) {
    const std::string n = std::to_string(i);
    doc += "<p id='p" + n + "' ref='p" + std::to_string(i / 2) + "'>&e; " + n +
           " <!-- \xE6\x97\xA5 --><![CDATA[<raw> & ]]>\xC3\xA9</p>\n";
  }
  return doc + extra + "</c>";
}

TEST(Threads, ParsesOnFourThreadsGiveWhatOneGives) {
  std::string laughs = "<!DOCTYPE a [<!ENTITY l0 'lol'>";
  for (int i = 1; i < 10; ++i) {
    laughs += "<!ENTITY l" + std::to_string(i) + " '";
    for (int k = 0; k < 10; ++k) laughs += "&l" + std::to_string(i - 1) + ";";
    laughs += "'>";
  }
  laughs += "]><a>&l9;</a>";
  std::string latin = "<?xml version='1.0' encoding='windows-1252'?><list>";
  for (int i = 0; i < 500; ++i) latin += "<i n='" + std::to_string(i) + "'>\x80 \xE9</i>";
  const std::vector<std::string> documents = {
      Catalogue("", 400, ""),
      Catalogue("<?xml version='1.0' encoding='UTF-8'?>", 300, "<p id='p1'/><p id='x' ref='q'/>"),
      Catalogue("", 300, "<p id='y'></c>"),
      laughs,
      latin + "</list>",
      "<a>\xFF</a>",
  };
  std::vector<std::string> expected;
  for (const std::string& document : documents) expected.push_back(Outcome(document));

  constexpr int kThreads = 4, kRounds = 5;
  std::vector<std::vector<std::string>> seen(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&documents, &seen, t] {
      // Each thread starts elsewhere, so that different kinds of parse overlap.
      for (size_t i = 0; i < kRounds * documents.size(); ++i)
        seen[t].push_back(Outcome(documents[(i + t) % documents.size()]));
    });
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) {
    ASSERT_EQ(seen[t].size(), kRounds * documents.size());
    for (size_t i = 0; i < seen[t].size(); ++i)
      EXPECT_EQ(seen[t][i], expected[(i + t) % documents.size()]) << "thread " << t << ", parse " << i;
  }
}

}  // namespace
}  // namespace lumora
