// Well-formedness of documents, one table of minimal documents per kind of
// fault, and a table of tricky documents that must still read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "parser/parser_testing.h"

namespace lumora {
namespace {

using testing::ParseError;
using testing::ParseText;

struct TCase {
  const char* Document;
  const char* Message;  // the error's message; nullptr: any error
};

// Each document must raise with StandardXML; with bothModes also without it.
void ExpectRejected(const std::vector<TCase>& cases, bool bothModes) {
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Document);
    for (const bool standard : {true, false}) {
      if (!standard && !bothModes) continue;
      TKaOrvane parser(nullptr);
      parser.SetStandardXML(standard);
      const EKaOrvaneError error = ParseError(parser, c.Document);
      if (c.Message) {
        EXPECT_EQ(error.Message(), c.Message) << (standard ? "strict" : "relaxed");
      }
    }
  }
}

std::unique_ptr<TKaXMLDocument> ParseStrict(const std::string& text) {
  TKaOrvane parser(nullptr);
  parser.SetStandardXML(true);
  auto doc = ParseText(parser, text);
  doc->AssignParser(nullptr);
  return doc;
}

TEST(WellFormedness, MalformedReferencesAndUndeclaredEntitiesInStrictSyntax) {
  ExpectRejected(
      {
          {"<doc>&.entity;</doc>", "Malformed reference \"&.\"."},
          {"<doc>&#RE;</doc>", "Malformed reference \"&#R\"."},
          {"<doc>&#X58;</doc>", "Malformed reference \"&#X\"."},
          {"<doc>&# 65;</doc>", "Malformed reference \"&# \"."},
          {"<doc>&#A;</doc>", "Malformed reference \"&#A\"."},
          {"<doc>&#x4G;</doc>", "Malformed reference \"&#x4G\"."},
          {"<doc>&#;</doc>", "Malformed reference \"&#;\"."},
          {"<doc>a & b</doc>", "Malformed reference \"& \"."},
          {"<doc>&amp</doc>", "Malformed reference \"&amp\"."},
          {"<doc a='&#x4G;'/>", "Malformed reference \"&#x4G\"."},
          {"<doc a='x&y'/>", "Malformed reference \"&y\"."},
          // Values without references before and after one, far into a long
          // value, and after enough tokens that the lexer reuses its texts.
          {"<doc a=\"plain\" b=\"a value longer than a run of sixteen &#x4G;\"/>",
           "Malformed reference \"&#x4G\"."},
          {"<doc a='1' b='2' c='3' d='4' e='5' f='6' g='7' h='8' i='9' j='&y' k='z'/>",
           "Malformed reference \"&y\"."},
          {"<doc a='1'><e b='2'/><e c='3'/><e d='4'/><e e='5'/><e f='6'/><e g='&#;'/></doc>",
           "Malformed reference \"&#;\"."},
          // No document type, one without an external subset, or standalone.
          {"<doc>&foo;</doc>", "Entity \"foo\" is not declared."},
          {"<doc a='&foo;'/>", "Entity \"foo\" is not declared."},
          {"<doc>&AMP;</doc>", "Entity \"AMP\" is not declared."},
          {"<!DOCTYPE doc><doc>&foo;</doc>", "Entity \"foo\" is not declared."},
          {"<!DOCTYPE doc []><doc>&foo;</doc>", "Entity \"foo\" is not declared."},
          {"<?xml version='1.0' standalone='yes'?><!DOCTYPE doc SYSTEM 'd.dtd'><doc>&foo;</doc>",
           "Entity \"foo\" is not declared."},
      },
      false);
}

TEST(WellFormedness, ReferencesToWhatIsNoCharacterInBothModes) {
  ExpectRejected(
      {
          {"<doc>&#5;</doc>", "Character reference \"&#5;\" does not refer to a character."},
          {"<doc>&#0;</doc>", "Character reference \"&#0;\" does not refer to a character."},
          {"<doc>&#xd802;&#xdc02;</doc>",
           "Character reference \"&#xd802;\" does not refer to a character."},
          {"<doc>&#x110000;</doc>",
           "Character reference \"&#x110000;\" does not refer to a character."},
          {"<doc>&#99999999999999999999;</doc>", nullptr},
          {"<doc>&#xFFFE;</doc>", nullptr},
          {"<doc>ok &#65; &#xFFFF;</doc>", nullptr},
          {"<doc a='&#x1F;'/>", "Character reference \"&#x1F;\" does not refer to a character."},
      },
      true);
}

TEST(WellFormedness, SectionEndInTextAndCDataSections) {
  ExpectRejected(
      {
          {"<doc>a]]>b</doc>", "\"]]>\" is not allowed in character data."},
          {"<doc>]]></doc>", "\"]]>\" is not allowed in character data."},
          {"<doc><![CDATA[ <![CDATA[x]]> ]]></doc>", "\"]]>\" is not allowed in character data."},
      },
      true);
  ExpectRejected(
      {{"<doc><![cdata[x]]></doc>", "Keyword \"<![cdata[\" must be written \"<![CDATA[\"."}},
      false);
}

TEST(WellFormedness, XmlDeclaration) {
  ExpectRejected(
      {
          {" <?xml version='1.0'?><doc/>", "The XML declaration must begin the document."},
          {"\n<?xml version='1.0'?><doc/>", "The XML declaration must begin the document."},
          {"<?XML version='1.0'?><doc/>", "Processing instruction target \"XML\" is reserved."},
          {"<?xmL version='1.0'?><doc/>", "Processing instruction target \"xmL\" is reserved."},
          {"<?xml VERSION='1.0'?><doc/>", "XML declaration: version declaration required"},
          {"<?xml version='1.0'encoding='UTF-8'?><doc/>",
           "White space required before \"encoding\"."},
          {"<?xml version='1.0' encoding='UTF-8'standalone='no'?><doc/>",
           "White space required before \"standalone\"."},
          {"<?xml version='1.0' version='1.0'?><doc/>", "Illegal occurence of \"version\""},
          {"<?xml version='1.0' encoding='UTF-8' encoding='UTF-8'?><doc/>", nullptr},
          {"<?xml version='1.0' flavour='x'?><doc/>", "Illegal occurence of \"flavour\""},
          {"<?xml version='1.0' standalone='yes' encoding='UTF-8'?><doc/>", nullptr},
          {"<?xml version='1.0' Encoding='UTF-8'?><doc/>", nullptr},
          {"<?xml version='1.0' standalone='YES'?><doc/>",
           "Standalone declaration: incorrect attribute value"},
          {"<?xml version='1.0' standalone=' yes'?><doc/>",
           "Standalone declaration: incorrect attribute value"},
          {"<?xml version='1.0' encoding='8UTF'?><doc/>",
           "Encoding declaration: \"8UTF\" is not an encoding name."},
          {"<?xml?><doc/>", "XML declaration: version declaration required"},
      },
      false);
  // Only the very beginning holds a declaration, whatever the grammar.
  ExpectRejected(
      {
          {"<!--c--><?xml version='1.0'?><doc/>", "Illegal occurence of \"<?xml\""},
          {"<doc/><?xml version='1.0'?>", "Illegal occurence of \"<?xml\""},
          {"<doc><?xml version='1.0'?></doc>", nullptr},
      },
      true);
}

TEST(WellFormedness, TagsAndProcessingInstructions) {
  ExpectRejected(
      {
          {"<doc a=\"1\"b=\"2\"/>", "White space required before \"b\"."},
          {"<doc a='1'b='2'></doc>", "White space required before \"b\"."},
          {"< doc/>", "No white space allowed before \"doc\"."},
          {"<doc></ doc>", "No white space allowed before \"doc\"."},
          {"<doc></>", "Illegal occurence of \">\""},
          {"<doc><?pitarget+++?></doc>",
           "White space required after the processing instruction target \"pitarget\"."},
          {"<? pi x?><doc/>", "No white space allowed before \"pi\"."},
          {"<doc><?XmL x?></doc>", "Processing instruction target \"XmL\" is reserved."},
      },
      false);
}

TEST(WellFormedness, DocumentTypeDeclaration) {
  ExpectRejected(
      {
          {"<!doctype doc><doc/>", "Keyword \"doctype\" must be written \"DOCTYPE\"."},
          {"<!DOCtYPE doc><doc/>", "Keyword \"DOCtYPE\" must be written \"DOCTYPE\"."},
          {"<!DOCTYPE doc system 'd.dtd'><doc/>", "Keyword \"system\" must be written \"SYSTEM\"."},
          {"<!DOCTYPE doc SYSTEM'd.dtd'><doc/>", "White space required before \"d.dtd\"."},
          {"<!DOCTYPE doc PUBLIC 'p''d.dtd'><doc/>", "White space required before \"d.dtd\"."},
          {"<!DOCTYPE doc PUBLIC '[' 'd.dtd'><doc/>",
           "Illegal character in the public identifier: \"[\"."},
          {"<!DOCTYPE doc PUBLIC 'p'><doc/>", "Illegal occurence of \">\""},
      },
      false);
}

TEST(WellFormedness, Comments) {
  ExpectRejected(
      {
          {"<doc><!-- a -- b --></doc>", "Comment contains wrong entry \"--\""},
          {"<doc><!-- a ---></doc>", "Comment contains wrong entry \"--\""},
          {"<!-- a --- --><doc/>", "Comment contains wrong entry \"--\""},
      },
      true);
}

TEST(WellFormedness, RelaxedGrammarKeepsWhatItAccepted) {
  for (const char* text : {
           "<doc><b>x</></doc>",
           "<?xml version='1.0' flavour='x'?><doc/>",
           "<doc>&foo;</doc>",
           "<doc>&#X41;</doc>",
           "<!doctype doc><doc/>",
           " <?xml version='1.0'?><doc/>",
           "<doc a='1'b='2'/>",
       }) {
    SCOPED_TRACE(text);
    EXPECT_NO_THROW(ParseText(text));
  }
  // The unresolved reference stays a reference node of its own.
  const auto doc = ParseText("<doc>&foo;</doc>");
  const TKaXMLNode* first = doc->GetDocumentElement()->GetFirstNode();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->GetType(), ENTITY_REFERENCE_NODE);
  EXPECT_EQ(first->GetName(), u"foo");
}

TEST(WellFormedness, TrickyWellFormedDocumentsReadInStrictSyntax) {
  for (const char* text : {
           "<?xml-stylesheet href=\"a\"?><doc/>",
           "<?xml version='1.0' encoding=\"UTF-8\" standalone='no'?><doc/>",
           "<?xml version = '1.0' encoding = 'UTF-8' ?>\n<doc/>",
           "<?xml version='1.0'\nencoding='UTF-8'?><doc/>",
           "<?xml version='1.0' standalone='yes'?><doc a='&amp;'>&lt;</doc>",
           "<doc>&lt;&gt;&amp;&apos;&quot;</doc>",
           "<doc>&#x10000;&#65;&#x41;&#9;&#xa;&#13;&#xFFFD;&#1114111;</doc>",
           "<doc a='x>y' b=\"'\" c='\"'/>",
           "<doc><!-- a - b --><!----><!-- - --></doc>",
           "<doc><![CDATA[]]]]><![CDATA[]] >]]></doc>",
           "<doc>a]b]]c>d ]] > ]</doc>",
           "<doc\n a='1'\n\tb='2'\n/>",
           "<doc></doc \n>",
           "<!DOCTYPE doc PUBLIC \"-//A//DTD x//EN\" 'd.dtd'><doc/>",
           "<!DOCTYPE doc SYSTEM 'd.dtd' ><doc/>",
           "<!DOCTYPE doc><doc/>",
           "<doc/>  <!--c-->\n<?pi x?>\n",
           "<doc><?pi?><?pi \n data ?></doc>",
           "<doc xml:lang='en'><_a.b-c/><a:b/></doc>",
           "<doc>\xC3\xA9 \xF0\x9F\x98\x80</doc>",
       }) {
    SCOPED_TRACE(text);
    EXPECT_NO_THROW(ParseStrict(text));
  }
  // The rest of the tree is what was written.
  auto doc = ParseStrict("<doc><![CDATA[]]]]></doc>");
  EXPECT_EQ(doc->GetDocumentElement()->GetFirstCData()->GetValue(), u"]]");
  doc = ParseStrict("<doc>&#x10000;</doc>");
  EXPECT_EQ(doc->GetDocumentElement()->GetFirstCharData()->GetValue(), u"\U00010000");
}

TEST(WellFormedness, EntitiesAnExternalSubsetMayDeclareAreNoSyntaxError) {
  // The declarations are not read: the reference stays as written.
  auto doc = ParseStrict("<!DOCTYPE doc SYSTEM 'd.dtd'><doc a='&x;'>&nbsp;</doc>");
  TKaXMLElement* root = doc->GetDocumentElement();
  EXPECT_EQ(root->GetAttribute(u"a"), u"&x;");
  const TKaXMLNode* reference = root->GetNodeList().GetRoot(ENTITY_REFERENCE_NODE);
  ASSERT_NE(reference, nullptr);
  EXPECT_EQ(reference->GetName(), u"nbsp");
  EXPECT_NO_THROW(ParseStrict(
      "<?xml version='1.0' standalone='no'?><!DOCTYPE doc PUBLIC 'p' 'd.dtd'><doc>&x;</doc>"));
}

TEST(WellFormedness, CommentsAndProcessingInstructionsKeepTheirText) {
  auto doc = ParseText("<doc><!--under one\nor  more--><?pi a\n  b?></doc>");
  TKaXMLElement* root = doc->GetDocumentElement();
  EXPECT_EQ(root->GetFirstComment()->GetValue(), u"under one\nor  more");
  EXPECT_EQ(root->GetFirstPI()->GetName(), u"pi");
}

// Errors are placed where the offending token starts (1-based line and
// column, in characters) and name the file of this parse.
TEST(WellFormedness, ErrorsCarryTheStartOfTheOffendingToken) {
  struct TPlace {
    const char* Document;
    int32_t Line;
    int32_t Column;
  };
  for (const TPlace& p : std::vector<TPlace>{
           {"<r a='\n\n'>\n</x>", 4, 3},
           {"<a\n x='1<2'/>", 2, 4},
           {"<a x='1'\n  x='2'/>", 2, 3},
           {"<?xml version='1.0' encoding='UTF-8'?><a>\n  <b>\xC3\xA9\xC3\xA9</c></a>", 2, 10},
           {"<?pi a\nb?>\n<a>x]]>y</a>", 3, 4},
           {"<a>\n\t<![CDATA[x]]></a>&#0;", 2, 19},
           {"<a><!-- x\n -- --></a>", 1, 8},
           {"<?xml version='1.0' encoding='UTF-8'?>\n<a>\xF0\x9F\x98\x80</b>", 2, 7},
           {"<a>x &#5;</a>", 1, 4},
           {"<a>text", 1, 4},
           {"<!DOCTYPE a PUBLIC\n  'a[b' 's'><a/>", 2, 3},
           {"<?xml version='1.0'\n standalone='maybe'?><a/>", 2, 13},
           {"<?xml version='1.0'\n encoding='EBCDIC'?><a/>", 2, 11},
       }) {
    SCOPED_TRACE(p.Document);
    TKaOrvane parser(nullptr);
    parser.SetStandardXML(true);
    const EKaOrvaneError error = ParseError(parser, p.Document);
    EXPECT_EQ(error.GetLine(), p.Line) << error.Message();
    EXPECT_EQ(error.GetColumn(), p.Column) << error.Message();
  }
}

TEST(WellFormedness, ErrorsNameTheFileOfThisParseOnly) {
  TKaOrvane parser(nullptr);
  TStringStream bad("<a>\n</b>");
  std::unique_ptr<TKaXMLDocument> doc;
  try {
    parser.Parse(bad, doc, "first.xml");
    ADD_FAILURE() << "no error";
  } catch (const EKaOrvaneError& e) {
    EXPECT_EQ(e.GetFileName(), "first.xml");
    EXPECT_EQ(e.GetLine(), 2);
  }
  TStringStream again("<a>\n</b>");
  try {
    parser.Parse(again, doc);
    ADD_FAILURE() << "no error";
  } catch (const EKaOrvaneError& e) {
    EXPECT_EQ(e.GetFileName(), "");
  }
}

}  // namespace
}  // namespace lumora
