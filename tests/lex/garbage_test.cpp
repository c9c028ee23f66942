// Random bytes, truncated and mutated markup: every run must end in
// EKaOrvaneError or at the end of the data, within a bounded number of
// tokens. Under the sanitizers this also shows that nothing reads outside
// the buffers.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "lex/test_lexer.h"
#include "lumora/io/orvane_error.h"

namespace lumora {
namespace {

using testing::TTestLexer;

const char kSample[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE doc SYSTEM \"doc.dtd\" [\n"
    "  <!ELEMENT doc (#PCDATA|item)*>\n"
    "  <!ATTLIST item key ID #REQUIRED kind CDATA #IMPLIED>\n"
    "  <!ENTITY p \"x\"> <!NOTATION n PUBLIC \"-//n\">\n"
    "]>\n"
    "<doc><item ref=\"a\" kind='b'>t\xC3\xA9xt &amp; more</item>\n"
    "<!-- a comment --><?pi some data?><![CDATA[<raw>]]]]><empty/></doc>\n";

// Reads tokens the way a grammar would, taking every shared fragment where
// its first token stands, until the end of the data or an error.
void Drive(TTestLexer& lexer, std::string bytes, TEncoding encoding) {
  const size_t limit = 4 * bytes.size() + 1000;
  lexer.Start(std::move(bytes));
  lexer.DocBuffer().SetEncoding(encoding);
  lexer.SetInContent(true);
  lexer.LexAn();
  size_t steps = 0;
  while (lexer.Code() != tkEndOfFile) {
    ASSERT_LT(++steps, limit) << "no end in sight";
    switch (lexer.Code()) {
      case tkCommentStart:
        lexer.ParseComment();
        break;
      case tkPIStart:
        lexer.ParsePI();
        break;
      case tkXMLDeclStart:
        lexer.ParseTextDecl();
        break;
      case tkPercent:
        lexer.ParseReference();
        break;
      case tkName:
        if (lexer.Lexem() == u"SYSTEM" || lexer.Lexem() == u"PUBLIC")
          lexer.ParseExternalId();
        else if (!lexer.ParseAttribute(u"ref"))
          lexer.Match(tkName);
        break;
      default:
        lexer.Match(lexer.Code());
        break;
    }
  }
}

// True when the run ended in the parser's error, false at the end of the data.
bool EndsInError(TTestLexer& lexer, const std::string& bytes, TEncoding encoding) {
  try {
    Drive(lexer, bytes, encoding);
    return false;
  } catch (const EKaOrvaneError& e) {
    EXPECT_FALSE(e.Message().empty());
    EXPECT_GE(e.GetLine(), 1);
    return true;
  }
}

TEST(Garbage, SampleReadsToItsEnd) {
  TTestLexer lexer;
  EXPECT_NO_THROW(Drive(lexer, kSample, UTF_8));
}

TEST(Garbage, RandomBytesInEveryEncoding) {
  std::mt19937 random(4711);
  const TEncoding encodings[] = {US_ASCII, UTF_8, i8859_7, n_sup};
  for (int round = 0; round < 400; ++round) {
    std::string bytes(1 + random() % 300, '\0');
    // Mostly markup characters, so that the scanners get deep.
    const char alphabet[] =
        "<>!-?/[]#%;'\"=xX \n\r\tCDATAxmlENTITY\xC3\xA9\xF0\x9F\x98\x80\xFF\xFE";
    for (char& b : bytes)
      b = random() % 4 == 0 ? static_cast<char>(random())
                            : alphabet[random() % (sizeof alphabet - 1)];
    if (round % 5 == 0) bytes.insert(0, round % 10 == 0 ? "\xFF\xFE" : "\xFE\xFF");
    TTestLexer lexer(static_cast<int32_t>(16 + random() % 64));
    EndsInError(lexer, bytes, encodings[round % 4]);
  }
}

TEST(Garbage, EveryTruncationOfTheSample) {
  const std::string sample = kSample;
  int errors = 0;
  for (size_t length = 0; length < sample.size(); ++length) {
    TTestLexer lexer(32);
    errors += EndsInError(lexer, sample.substr(0, length), UTF_8) ? 1 : 0;
  }
  EXPECT_GT(errors, 100);  // most cuts leave something open
}

TEST(Garbage, MutatedSampleInUtf16) {
  std::mt19937 random(1234);
  const std::u16string text = SystemToWide(kSample);
  for (int round = 0; round < 300; ++round) {
    std::string bytes = testing::Utf16Bytes(text, round % 2 ? boBigEndian : boLittleEndian);
    for (int n = 0; n < 1 + round % 6; ++n) {
      const size_t at = 2 + random() % (bytes.size() - 2);
      switch (random() % 3) {
        case 0:
          bytes[at] = static_cast<char>(random());
          break;
        case 1:
          bytes.erase(at, 1 + random() % 8);
          break;
        default:
          bytes.insert(at, 1 + random() % 3, "<>-]?\"'"[random() % 7]);
          break;
      }
      if (bytes.size() < 4) break;
    }
    TTestLexer lexer(static_cast<int32_t>(24 + random() % 64));
    EndsInError(lexer, bytes, UTF_16);
  }
}

}  // namespace
}  // namespace lumora
