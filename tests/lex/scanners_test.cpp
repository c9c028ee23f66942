#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "lex/test_lexer.h"
#include "lumora/io/orvane_error.h"

namespace lumora {
namespace {

using testing::TTestLexer;
using testing::TToken;
using testing::Utf16Bytes;

using TTokens = std::vector<TToken>;

// Tokens found in the table carry the table's text; the scanner's lexeme
// keeps the case in which the markup was written.
TEST(MarkupScanners, MarkupOpenersInAnyCaseFindTheirTokens) {
  TTestLexer lexer;
  lexer.Start("<!DocType <?XmL <![cdata[ #implied");
  EXPECT_EQ(lexer.Scan(&TLexAnalyzer::SplitSTag), u"<!DocType");
  lexer.Buffer().GetChar();
  EXPECT_EQ(lexer.Scan(&TLexAnalyzer::SplitSTag), u"<?XmL");
  EXPECT_EQ(lexer.Scan(&TLexAnalyzer::SplitSTag), u"<![cdata[");
  lexer.Buffer().GetChar();
  EXPECT_EQ(lexer.Scan(&TLexAnalyzer::SplitPredefined), u"#implied");
  EXPECT_EQ(lexer.AllTokens("<!DocType x>"),
            (TTokens{{tkDocTypeStart, u"<!DOCTYPE"}, {tkName, u"x"}, {tkTagEnd, u">"}}));
  EXPECT_EQ(lexer.AllTokens("<!element<!ATTLIST<!Entity<!NOTATION</<?a <x"),
            (TTokens{{tkElementStart, u"<!ELEMENT"},
                     {tkAttlistStart, u"<!ATTLIST"},
                     {tkEntityStart, u"<!ENTITY"},
                     {tkNotationStart, u"<!NOTATION"},
                     {tkEndTagStart, u"</"},
                     {tkPIStart, u"<?"},
                     {tkName, u"a"},
                     {tkTagStart, u"<"},
                     {tkName, u"x"}}));
}

TEST(MarkupScanners, XmlDeclarationOnlyWhenNoNameCharacterFollows) {
  TTestLexer lexer;
  EXPECT_EQ(lexer.AllTokens("<?XML v"), (TTokens{{tkXMLDeclStart, u"<?xml"}, {tkName, u"v"}}));
  EXPECT_EQ(lexer.AllTokens("<?xml-stylesheet?>"),
            (TTokens{{tkPIStart, u"<?"}, {tkName, u"xml-stylesheet"}, {tkPIEnd, u"?>"}}));
  EXPECT_EQ(lexer.AllTokens("<?xm>"),
            (TTokens{{tkPIStart, u"<?"}, {tkName, u"xm"}, {tkTagEnd, u">"}}));
  // The line break consumed after "<?xml" still counts.
  lexer.AllTokens("<?xml\nversion");
  EXPECT_EQ(lexer.Line(), 2);
}

TEST(MarkupScanners, UnknownSectionKeepsSixCharactersAndReadsThemAgain) {
  TTestLexer lexer;
  EXPECT_EQ(
      lexer.AllTokens("<![INCLUDE[x"),
      (TTokens{
          {tkUnknownMarkup, u"<![INCLUD"}, {tkName, u"INCLUDE"}, {'[', u"["}, {tkName, u"x"}}));
  // Near the end the look-ahead holds zeros, which the table does not keep.
  EXPECT_EQ(lexer.AllTokens("<![ab"), (TTokens{{tkUnknownMarkup, u"<![ab"}, {tkName, u"ab"}}));
}

TEST(MarkupScanners, MarkupClosersAndSingleCharacters) {
  TTestLexer lexer;
  EXPECT_EQ(lexer.AllTokens("> /> --> ?> ]]> ? ] = ; ( | %"), (TTokens{{tkTagEnd, u">"},
                                                                       {tkEmptyTagEnd, u"/>"},
                                                                       {tkCommentEnd, u"-->"},
                                                                       {tkPIEnd, u"?>"},
                                                                       {tkCDataEnd, u"]]>"},
                                                                       {'?', u"?"},
                                                                       {']', u"]"},
                                                                       {'=', u"="},
                                                                       {';', u";"},
                                                                       {'(', u"("},
                                                                       {'|', u"|"},
                                                                       {'%', u"%"}}));
  // A literal with the same text does not change what the markup is.
  EXPECT_EQ(lexer.AllTokens("\"]\" ] '=' ="),
            (TTokens{{tkLiteral, u"]"}, {']', u"]"}, {tkLiteral, u"="}, {'=', u"="}}));
  // A host's own character codes give the codes of single characters,
  // '=' (which the lexer takes apart) included.
  const TXMLOrdFunc saved = XMLOrd;
  XMLOrd = [](char16_t c) { return static_cast<int>(c) + 1000; };
  const TTokens shifted = lexer.AllTokens("= ;");
  XMLOrd = saved;
  EXPECT_EQ(shifted, (TTokens{{'=' + 1000, u"="}, {';' + 1000, u";"}}));
}

TEST(MarkupScanners, PredefinedKeywordsIgnoreCase) {
  TTestLexer lexer;
  EXPECT_EQ(lexer.AllTokens("#implied #PCDATA #Fixed #REQUIRED"),
            (TTokens{{tkImplied, u"#IMPLIED"},
                     {tkPCData, u"#PCDATA"},
                     {tkFixed, u"#FIXED"},
                     {tkRequired, u"#REQUIRED"}}));
}

TEST(MarkupScanners, CommentTextIsKeptExactly) {
  TTestLexer lexer;
  EXPECT_EQ(
      lexer.AllTokens("<!--  a   b\n  c-d-->"),
      (TTokens{{tkCommentStart, u"<!--"}, {tkText, u"  a   b\n  c-d"}, {tkCommentEnd, u"-->"}}));
  EXPECT_EQ(lexer.Line(), 2);
  EXPECT_EQ(lexer.AllTokens("<!---->"),
            (TTokens{{tkCommentStart, u"<!--"}, {tkText, u""}, {tkCommentEnd, u"-->"}}));
}

TEST(MarkupScanners, CDataSectionKeepsItsTextAndCountsLines) {
  TTestLexer lexer;
  EXPECT_EQ(lexer.AllTokens("<![CDATA[a]]]>"),
            (TTokens{{tkCDataStart, u"<![CDATA["}, {tkText, u"a]"}, {tkCDataEnd, u"]]>"}}));
  EXPECT_EQ(lexer.AllTokens("<![cdata[<x>\n] ]>]]>"),
            (TTokens{{tkCDataStart, u"<![CDATA["}, {tkText, u"<x>\n] ]>"}, {tkCDataEnd, u"]]>"}}));
  EXPECT_EQ(lexer.Line(), 2);
}

TEST(MarkupScanners, CharacterDataInContent) {
  TTestLexer lexer;
  lexer.Start("<a>\n x &amp; y</a>  \n");
  lexer.SetInContent(true);
  lexer.LexAn();
  EXPECT_EQ(lexer.RemainingTokens(), (TTokens{{tkTagStart, u"<"},
                                              {tkName, u"a"},
                                              {tkTagEnd, u">"},
                                              {tkText, u"\n x &amp; y"},
                                              {tkEndTagStart, u"</"},
                                              {tkName, u"a"},
                                              {tkTagEnd, u">"},
                                              {tkText, u"  \n"}}));
  EXPECT_EQ(lexer.Line(), 3);
}

// A token's line is where it starts: the line breaks in literals and PI data
// count for the tokens after them.
TEST(MarkupScanners, LiteralsAndPIDataCountTheirLines) {
  TTestLexer lexer;
  EXPECT_EQ(lexer.AllTokens("'a\nb' \"it's\""),
            (TTokens{{tkLiteral, u"a\nb"}, {tkLiteral, u"it's"}}));
  EXPECT_EQ(lexer.Line(), 2);

  lexer.StartAndRead("<?pi  two\nlines ?><?pi?>");
  lexer.ParsePI();
  lexer.ParsePI();
  EXPECT_EQ(lexer.Events, (std::vector<std::string>{"6:pi= two\nlines ", "6:pi="}));
  EXPECT_EQ(lexer.Line(), 2);
}

// ---------------------------------------------------------------------------
// Every message, with the line and the file name it carries.

struct TErrorCase {
  const char* Input;
  std::function<void(TTestLexer&)> Run;
  std::string Message;
  int32_t Line;
};

void ReadAllTokens(TTestLexer& lexer) {
  lexer.RemainingTokens();
}
void InContent(TTestLexer& lexer) {
  lexer.SetInContent(true);
  lexer.RemainingTokens();
}

TEST(MarkupScanners, EveryMessageWithItsLine) {
  const std::vector<TErrorCase> cases = {
      {"\n<!-x", ReadAllTokens, "Wrong declaration (comment?): \"<!-\".", 2},
      {"<!FOOBARBAZ", ReadAllTokens, "Wrong declaration: \"<!\".", 1},
      {"<!ENTIT", ReadAllTokens, "Wrong declaration: \"<!\".", 1},
      {"a -x", ReadAllTokens, "Illegal occurence of : \"--\".", 1},
      {"a --x", ReadAllTokens, "Illegal occurence of : \"--\".", 1},
      {"/ >", ReadAllTokens, "Illegal occurence of : \"/\".", 1},
      {"]]]", ReadAllTokens, "Illegal occurence of : \"]]\".", 1},
      {"\n]]", ReadAllTokens, "Illegal occurence of : \"]]\".", 2},
      // Errors inside a token are placed where the token starts.
      {"<a>\ntext", InContent, "Unexpected end of file.", 1},
      {"<![CDATA[\nabc]]", ReadAllTokens, "CDSection does not have a matching end-tag.", 1},
      {"<!-- a -- b -->", ReadAllTokens, "Comment contains wrong entry \"--\"", 1},
      {"<!-- a\n-", ReadAllTokens, "Comment does not have a matching end-tag.", 1},
      {"<?pi data?", [](TTestLexer& l) { l.ParsePI(); }, "PI does not have a matching end-tag.", 1},
      {"\"open\n", ReadAllTokens, "Unexpected end of file.", 1},
      {"#IMPLIES", ReadAllTokens, "Unsupported keyword: \"#IMPLIES\".", 1},
      {"#IMPL", ReadAllTokens, "Unsupported keyword: \"#IMPL\".", 1},
      {"#X", ReadAllTokens, "Wrong declaration: \"#\".", 1},
      {"FOO 'x'", [](TTestLexer& l) { l.ParseExternalId(); }, "Illegal occurence of \"FOO\".", 1},
      {"version = 1.0", [](TTestLexer& l) { l.ParseAttribute(u"VERSION"); },
       "Attribute value required or incorrect", 1},
      {"<?xml version=' ' encoding='UTF-8'?>", [](TTestLexer& l) { l.ParseTextDecl(); },
       "Version declaration: version number required", 1},
      {"<?xml version='1.1' encoding='UTF-8'?>", [](TTestLexer& l) { l.ParseTextDecl(); },
       "Version declaration: version \"1.1\" is not supported.", 1},
      {"<?xml version='1.0'?>", [](TTestLexer& l) { l.ParseTextDecl(); },
       "Encoding declaration required", 1},
      {"\n%ent;", [](TTestLexer& l) { l.ParseReference(); },
       "Can't retrieve parameter entity value. Entity \"ent\" is not declared.", 2},
      {"% ent;", [](TTestLexer& l) { l.RMatch(tkName); },
       "Can't retrieve parameter entity value. Entity \"ent\" is not declared.", 1},
      {"", [](TTestLexer& l) { l.Match(tkName); }, "Unexpected end of file.", 1},
      {"=", [](TTestLexer& l) { l.Match(tkName); }, "Illegal occurence of \"=\"", 1},
      {"a", [](TTestLexer& l) { l.MatchTokens(tkLiteral, tkText); }, "Illegal occurence of \"a\"",
       1},
  };
  for (const TErrorCase& c : cases) {
    TTestLexer lexer;
    lexer.SetFileName("doc.xml");
    try {
      lexer.StartAndRead(c.Input);
      c.Run(lexer);
      ADD_FAILURE() << "no error for " << c.Input;
    } catch (const EKaOrvaneError& e) {
      EXPECT_EQ(e.Message(), c.Message) << c.Input;
      EXPECT_EQ(e.GetLine(), c.Line) << c.Input;
      EXPECT_EQ(e.GetFileName(), "doc.xml");
    }
  }
}

// ---------------------------------------------------------------------------
// Grammar fragments.

TEST(GrammarFragments, CommentPIAndExternalIds) {
  TTestLexer lexer;
  lexer.StartAndRead("<!--note--><?go now?>SYSTEM 'a.dtd' PUBLIC '-//p' 's.dtd' public \"p2\" >");
  lexer.ParseComment();
  lexer.ParsePI();
  lexer.ParseExternalId();
  lexer.ParseExternalId();
  lexer.ParseExternalId();
  EXPECT_EQ(lexer.Events, (std::vector<std::string>{"5:note", "6:go=now", "28:a.dtd", "29:-//p",
                                                    "28:s.dtd", "29:p2"}));
  EXPECT_EQ(lexer.Code(), tkTagEnd);
}

TEST(GrammarFragments, TextDeclarationSwitchesTheEncoding) {
  TTestLexer lexer;
  lexer.StartAndRead("<?XML Version='1.0' ENCODING='UTF-8' ?>\xC3\xA9t\xC3\xA9");
  lexer.ParseTextDecl();
  EXPECT_EQ(lexer.Events, (std::vector<std::string>{"2:Version=1.0", "2:ENCODING=UTF-8"}));
  EXPECT_EQ(lexer.Code(), tkName);
  EXPECT_EQ(lexer.Lexem(), u"\u00E9t\u00E9");

  // Optional, and the version is too.
  lexer.StartAndRead("<a");
  lexer.ParseTextDecl();
  EXPECT_EQ(lexer.Code(), tkTagStart);
  lexer.StartAndRead("<?xml encoding='US-ASCII'?>x");
  lexer.ParseTextDecl();
  EXPECT_EQ(lexer.Lexem(), u"x");
}

TEST(GrammarFragments, AttributeOnlyWhenTheNameMatches) {
  TTestLexer lexer;
  lexer.StartAndRead("standalone='yes'");
  EXPECT_FALSE(lexer.ParseAttribute(u"version"));
  EXPECT_EQ(lexer.Code(), tkName);
  EXPECT_TRUE(lexer.ParseAttribute(u"STANDALONE"));
  EXPECT_EQ(lexer.Events, std::vector<std::string>{"2:standalone=yes"});
  lexer.StartAndRead("'version'");
  EXPECT_FALSE(lexer.ParseAttribute(u"version"));
}

// ---------------------------------------------------------------------------
// Matching and buffer switching.

TEST(Matching, MatchStringIgnoresCase) {
  TTestLexer lexer;
  lexer.StartAndRead("VERSION x");
  lexer.MatchString(u"version");
  EXPECT_EQ(lexer.PrevLexem(), u"VERSION");
  EXPECT_THROW(lexer.MatchString(u"y"), EKaOrvaneError);
}

TEST(Matching, EndOfReplacementTextGoesBackToTheDocument) {
  TTestLexer lexer;
  lexer.StartAndRead("a b");
  lexer.EnterEntity(Utf16Bytes(u"c", boLittleEndian));
  lexer.Match(tkName);  // a; reads c from the entity
  EXPECT_EQ(lexer.Lexem(), u"c");
  lexer.Match(tkName);  // c; the entity ends, b follows
  EXPECT_FALSE(lexer.ReadingEntity());
  EXPECT_EQ(lexer.Lexem(), u"b");
  EXPECT_EQ(lexer.PrevLexem(), u"c");  // the end of the entity is no token

  // An entity that ends where the document ends.
  lexer.StartAndRead("a");
  lexer.EnterEntity(Utf16Bytes(u"c", boBigEndian));
  lexer.Match(tkName);
  EXPECT_THROW(
      {
        try {
          lexer.Match(tkName);
        } catch (const EKaOrvaneError& e) {
          EXPECT_EQ(e.Message(), "Unexpected end of file.");
          throw;
        }
      },
      EKaOrvaneError);
  // MatchString takes whatever follows, the end included.
  lexer.StartAndRead("a");
  lexer.EnterEntity(Utf16Bytes(u"c", boBigEndian));
  lexer.Match(tkName);
  lexer.MatchString(u"C");
  EXPECT_EQ(lexer.Code(), tkEndOfFile);
}

TEST(Matching, EntityEndingWhereATokenIsExpectedIsAnIllegalOccurence) {
  TTestLexer lexer;
  lexer.StartAndRead("a");
  lexer.EnterEntity("");
  lexer.SkipEmpty();
  try {
    lexer.Match(tkName);
    ADD_FAILURE();
  } catch (const EKaOrvaneError& e) {
    EXPECT_EQ(e.Message(), "Illegal occurence of \"\"");
  }
}

TEST(Matching, ComparisonsThatExpandReferences) {
  TTestLexer lexer;
  lexer.StartAndRead("x");
  EXPECT_TRUE(lexer.EqualTokens(tkName, tkName));
  EXPECT_FALSE(lexer.EqualTokens(tkName, tkLiteral));
  EXPECT_TRUE(lexer.EqualStrings(u"CDATA", u"cdata"));
  EXPECT_FALSE(lexer.EqualStrings(u"x", u"y"));
  lexer.StartAndRead("%p;");
  EXPECT_THROW(lexer.EqualTokens(tkPercent, tkName), EKaOrvaneError);
  lexer.StartAndRead("%p;");
  EXPECT_THROW(lexer.EqualStrings(u"%", u"x"), EKaOrvaneError);
}

TEST(Matching, StateHandOverSharesTheReadingPosition) {
  TTestLexer owner;
  owner.StartAndRead("a\nb\nc\nd");
  owner.Match(tkName);
  {
    TTestLexer borrower;
    borrower.SetAnalyzerState(owner.GetAnalyzerState());
    EXPECT_EQ(borrower.Lexem(), u"b");
    borrower.Match(tkName);
    borrower.Match(tkName);
    owner.SetAnalyzerState(borrower.GetAnalyzerState());
  }  // the borrower frees nothing of the owner's
  EXPECT_EQ(owner.Lexem(), u"d");
  EXPECT_EQ(owner.PrevLexem(), u"c");
  EXPECT_EQ(owner.Line(), 4);
  owner.Finalize();
}

// ---------------------------------------------------------------------------
// Input forms.

const char16_t kDocument[] =
    u"<?xml version=\"1.0\"?>\n<!DOCTYPE r [<!ELEMENT r (#PCDATA)>]>\n"
    u"<r a='\u0100\u4E00'>t\u00E9xt <![CDATA[x]]><!-- c --><?p d?></r>\n";

TTokens ContentTokens(TTestLexer& lexer, std::string bytes, bool utf8 = false) {
  lexer.Start(std::move(bytes));
  if (utf8) lexer.DocBuffer().SetEncoding(UTF_8);
  lexer.SetInContent(true);
  lexer.LexAn();
  return lexer.RemainingTokens();
}

TEST(InputForms, Utf16InBothOrdersGivesTheTokensOfUtf8) {
  TTestLexer lexer;
  const std::u16string text = kDocument;
  const TTokens expected = ContentTokens(lexer, WideToSystem(text), true);
  ASSERT_GT(expected.size(), 20u);
  EXPECT_NE(std::find(expected.begin(), expected.end(), TToken{tkLiteral, u"\u0100\u4E00"}),
            expected.end());
  for (TByteOrder order : {boLittleEndian, boBigEndian}) {
    EXPECT_EQ(ContentTokens(lexer, Utf16Bytes(text, order)), expected) << order;
    EXPECT_EQ(lexer.Line(), 4);
  }
}

// The scanners push back at most four characters here (eight bytes in UTF-16).
TEST(InputForms, SmallBlocksSplittingCharactersGiveTheSameTokens) {
  std::u16string text;
  for (int i = 0; i < 40; ++i) text += kDocument;
  TTestLexer reference;
  const TTokens expected = ContentTokens(reference, WideToSystem(text), true);
  for (int32_t block : {5, 6, 7, 13}) {
    TTestLexer lexer(block);
    EXPECT_EQ(ContentTokens(lexer, WideToSystem(text), true), expected) << block;
  }
  for (int32_t block : {9, 13, 17}) {
    TTestLexer lexer(block);
    EXPECT_EQ(ContentTokens(lexer, Utf16Bytes(text, boLittleEndian)), expected) << block;
    EXPECT_EQ(ContentTokens(lexer, Utf16Bytes(text, boBigEndian)), expected) << block;
  }
}

// Bulk runs in names, values, text, comments, sections and PI data, broken
// by block edges at every offset: the tokens and the line and column each
// starts at are those of one large block. The text puts every kind of
// character (two, three and four bytes, CR LF, the characters that end a
// run) next to long ASCII runs.
TEST(InputForms, RunsBrokenByBlockEdgesGiveTheSameTokensAndPositions) {
  const std::u16string piece =
      u"<longer.name-x_1 attribute_one='v\u00E9\u00E9 \u4E00x' b=\"q\r\nr\">"
      u"text\r\nwith \U0001F600 pair]] and &amp; \u00E9nd"
      u"<!-- a - comment - no, - only -->"
      u"<![CDATA[ ] ]] ]> x\u4E00\r\n]]>"
      u"<?target-name data ? more\u00E9 ?>\r"
      u"<n\u00E9\u4E00me/></longer.name-x_1>\n";
  std::u16string text;
  for (int i = 0; i < 6; ++i) text += piece;
  const auto tokensAndLines = [&text](int32_t block) {
    TTestLexer lexer(block);
    lexer.Start(WideToSystem(text));
    lexer.DocBuffer().SetEncoding(UTF_8);
    lexer.SetInContent(true);
    lexer.LexAn();
    std::vector<std::tuple<TToken, int32_t, int32_t>> read;
    while (lexer.Code() != tkEndOfFile) {
      read.push_back({{lexer.Code(), std::u16string(lexer.Lexem())}, lexer.Line(), lexer.Column()});
      lexer.LexAn();
    }
    return read;
  };
  const auto expected = tokensAndLines(TInputBuffer::kBlockSize);
  ASSERT_GT(expected.size(), 100u);
  EXPECT_EQ(std::get<0>(expected[1]), (TToken{tkName, u"longer.name-x_1"}));
  for (int32_t block = 2; block <= 17; ++block)
    EXPECT_EQ(tokensAndLines(block), expected) << "block " << block;
}

// The line and column at which each token starts, at every block size:
// columns count characters (a tab is one, a pair is one, a character of
// several bytes is one), a line end of CR LF is one, white space before a
// token moves its start, and a text spanning lines starts where it begins.
TEST(InputForms, TokensStartWhereTheyAreWritten) {
  using TStarts = std::vector<std::pair<int32_t, int32_t>>;
  const struct {
    std::u16string Text;
    TStarts Starts;
  } cases[] = {
      {u"<a b='x'>t</a>", {{1, 1}, {1, 2}, {1, 4}, {1, 5}, {1, 6}, {1, 9}, {1, 10}, {1, 11}, {1, 13}, {1, 14}}},
      {u"<a\tb='1'>", {{1, 1}, {1, 2}, {1, 4}, {1, 5}, {1, 6}, {1, 9}}},
      {u"<\u00E9\r\n  b='\U0001F600' c='\u4E00'\r\n>x</\u00E9>",
       {{1, 1}, {1, 2}, {2, 3}, {2, 4}, {2, 5}, {2, 9}, {2, 10}, {2, 11}, {3, 1}, {3, 2}, {3, 3}, {3, 5}, {3, 6}}},
      {u"<a>l1\r\nl\u00E92</a \r>", {{1, 1}, {1, 2}, {1, 3}, {1, 4}, {2, 4}, {2, 6}, {3, 1}}},
  };
  for (const auto& c : cases) {
    for (int32_t block : {2, 3, 4, 5, 7, TInputBuffer::kBlockSize}) {
      TTestLexer lexer(block);
      lexer.Start(WideToSystem(c.Text));
      lexer.DocBuffer().SetEncoding(UTF_8);
      lexer.SetInContent(true);
      lexer.LexAn();
      TStarts starts;
      while (lexer.Code() != tkEndOfFile) {
        starts.emplace_back(lexer.Line(), lexer.Column());
        lexer.LexAn();
      }
      EXPECT_EQ(starts, c.Starts) << WideToSystem(c.Text) << " block " << block;
    }
  }
}

}  // namespace
}  // namespace lumora
