// The white space a parse reads between tags: dropped where it is the layout
// of element content, kept as text nodes at its places everywhere else, and
// kept when the parse stops at an error.
#include <gtest/gtest.h>

#include <string>

#include "lumora/dom/character_data.h"
#include "lumora/dom/element.h"
#include "lumora/framework/sysutils.h"
#include "parser/parser_testing.h"

namespace lumora {
namespace {

using testing::ParseText;

// The tree below element as text: elements as name{...}, attributes as
// @name, text as 'value' with line breaks as |, other nodes by a letter.
std::string Shape(const TKaXMLElement& element) {
  std::string out = WideToSystem(element.GetName());
  out += '{';
  for (TKaXMLNode* node = element.GetFirstNode(); node; node = node->Next()) {
    switch (node->GetType()) {
      case ELEMENT_NODE:
        out += Shape(*static_cast<TKaXMLElement*>(node));
        break;
      case ATTRIBUTE_NODE:
        out += '@';
        out += WideToSystem(node->GetName());
        break;
      case TEXT_NODE: {
        std::string text = WideToSystem(node->GetValue());
        for (char& c : text)
          if (c == '\n') c = '|';
        out += '\'';
        out += text;
        out += '\'';
        break;
      }
      case CDATA_SECTION_NODE:
        out += "D";
        break;
      case COMMENT_NODE:
        out += "C";
        break;
      case ENTITY_REFERENCE_NODE:
        out += "R";
        break;
      default:
        out += "?";
    }
  }
  out += '}';
  return out;
}

TEST(LayoutBlanks, DroppedOnlyAmongElementsAndKeptInPlaceElsewhere) {
  const struct {
    const char* xml;
    const char* shape;
  } kCases[] = {
      // Layout of element content, at every depth, with attributes before it.
      {"<a x='1'>\n <b>\n  <c/>\n </b>\n</a>", "a{@xb{c{}}}"},
      // No child elements: the white space is the content.
      {"<a>\n</a>", "a{'|'}"},
      {"<a>\n <!--c-->\n</a>", "a{'| 'C'|'}"},
      // Other text, CDATA or a reference makes the content mixed: every run
      // stays where it was read, the first one before any other content.
      {"<a>\n <b/>x\n</a>", "a{'| 'b{}'x|'}"},
      {"<a y='2'>\n<b/>\n<![CDATA[d]]>\n</a>", "a{@y'|'b{}'|'D'|'}"},
      {"<a>\n<b>\n<c/>\n</b>t</a>", "a{'|'b{c{}}'t'}"},
      {"<a>\n<b/>\n<c>\n<d/>\n</c>\n<e/>z</a>", "a{'|'b{}'|'c{d{}}'|'e{}'z'}"},
      // Blanks within a line are spacing of the text, and make it mixed.
      {"<a>\n<b/> <c/>\n</a>", "a{'|'b{}' 'c{}'|'}"},
      // xml:space preserves the layout below it until "default" ends it.
      {"<a xml:space='preserve'>\n<b>\n<c/>\n</b>\n</a>", "a{@xml:space'|'b{'|'c{}'|'}'|'}"},
      {"<a xml:space='preserve'><b xml:space='default'>\n<c/>\n</b></a>",
       "a{@xml:spaceb{@xml:spacec{}}}"},
      // What an ancestor says holds for each descendant on its own: the
      // "default" below one child does not reach its sibling.
      {"<a xml:space='preserve'><b xml:space='default'>\n<c>\n<d/>\n</c>\n</b>"
       "<e>\n<f>\n<g/>\n</f>\n</e></a>",
       "a{@xml:spaceb{@xml:spacec{d{}}}e{'|'f{'|'g{}'|'}'|'}}"},
      {"<a><b xml:space='preserve'>\n<c/>\n</b>\n<d>\n<e/>\n</d>\n</a>",
       "a{b{@xml:space'|'c{}'|'}d{e{}}}"},
  };
  for (const auto& c : kCases) {
    const auto doc = ParseText(c.xml);
    EXPECT_EQ(Shape(*doc->GetDocumentElement()), c.shape) << c.xml;
  }
}

TEST(LayoutBlanks, EntityContentKeepsItsWhiteSpace) {
  // The replacement text of an entity holds no end tag of the element it
  // stands in: its white space is text, as in any fragment.
  const auto doc = ParseText(
      "<!DOCTYPE a [<!ENTITY e '\n<c/>\n'>]>\n<a>\n<b/>\n&e;\n<d/>\n</a>");
  const std::string shape = Shape(*doc->GetDocumentElement());
  EXPECT_EQ(shape.find("a{"), 0u) << shape;
  EXPECT_NE(shape.find("c{}"), std::string::npos) << shape;
  EXPECT_NE(shape.find("d{}"), std::string::npos) << shape;
}

TEST(LayoutBlanks, AParseThatStopsKeepsTheWhiteSpaceReadSoFar) {
  const struct {
    const char* xml;
    const char* shape;
  } kCases[] = {
      {"<a>\n <b>\n  <c/>\n  <d>", "a{'| 'b{'|  'c{}'|  'd{}}}"},
      {"<a>\n<b/>\n</b>", "a{'|'b{}'|'}"},
      {"<a>\n <b>\n  <c/>\n </b>\n <e/>\n&undeclared", "a{'| 'b{c{}}'| 'e{}}"},
  };
  for (const auto& c : kCases) {
    TKaOrvane parser(nullptr);
    parser.SetStandardXML(true);
    std::unique_ptr<TKaXMLDocument> doc;
    TStringStream stream(c.xml);
    EXPECT_THROW(parser.Parse(stream, doc), EKaOrvaneError) << c.xml;
    ASSERT_TRUE(doc && doc->GetDocumentElement()) << c.xml;
    EXPECT_EQ(Shape(*doc->GetDocumentElement()), c.shape) << c.xml;
    // The same parser reads the next document from a clean start.
    TStringStream next("<r>\n<s/>\n</r>");
    parser.Parse(next, doc);
    EXPECT_EQ(Shape(*doc->GetDocumentElement()), "r{s{}}");
  }
}

}  // namespace
}  // namespace lumora
