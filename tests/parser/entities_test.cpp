// General entities in content and attribute values: what each reference
// expands to and where its nodes go, the errors of references that may not
// stand where they do, the guard against hostile declarations, and entity
// mode. Each table holds minimal documents of one kind.
#include <gtest/gtest.h>

#include <string>

#include "lumora/dom/document.h"
#include "lumora/dom/element.h"
#include "lumora/dtd/expansion_guard.h"
#include "lumora/framework/sysutils.h"
#include "parser/parser_testing.h"

namespace lumora {
namespace {

using testing::ParseText;
using testing::Written;

std::string Doc(const std::string& subset, const std::string& body) {
  return "<!DOCTYPE a [" + subset + "]>" + body;
}

std::unique_ptr<TKaXMLDocument> Parse(const std::string& text, bool strict = true) {
  return ParseText(text, strict);
}

EKaOrvaneError ErrorOf(const std::string& text, bool strict = true) {
  return testing::ParseError(text, strict);
}

// The subtree of node, each node told apart: text in brackets, elements with
// their attributes, references kept as "&name;".
void Outline(TKaXMLNode* node, std::u16string& out) {
  for (; node; node = node->Next()) {
    switch (node->GetType()) {
      case ELEMENT_NODE: {
        auto* element = static_cast<TKaXMLElement*>(node);
        out += u"<" + element->GetName();
        TKaXMLNode* child = element->GetFirstNode();
        for (; child && child->GetType() == ATTRIBUTE_NODE; child = child->Next())
          out += u" " + child->GetName() + u"=\"" + child->GetValue() + u"\"";
        out += u">";
        Outline(child, out);
        out += u"</" + element->GetName() + u">";
        break;
      }
      case TEXT_NODE:
        out += u"[" + node->GetValue() + u"]";
        break;
      case ENTITY_REFERENCE_NODE:
        out += u"&" + node->GetName() + u";";
        break;
      case CDATA_SECTION_NODE:
        out += u"<![CDATA[" + node->GetValue() + u"]]>";
        break;
      case COMMENT_NODE:
        out += u"<!--" + node->GetValue() + u"-->";
        break;
      case PROCESSING_INSTRUCTION_NODE:
        out += u"<?" + node->GetName() + u" " + node->GetValue() + u"?>";
        break;
      default:
        break;
    }
  }
}

std::string Outline(TKaXMLDocument& doc) {
  std::u16string out;
  Outline(doc.GetDocumentElement(), out);
  return WideToSystem(out);
}

TEST(Entities, ReferencesExpandInPlace) {
  struct TCase {
    const char* Subset;
    const char* Body;
    const char* Outline;
    bool Strict = true;
  };
  const TCase cases[] = {
      {"<!ENTITY e 'v'>", "<a t='&e;'>x&e;y</a>", "<a t=\"v\">[xvy]</a>"},
      {"<!ENTITY e '<b>1 &lt; 2</b>'>", "<a>before &e; after</a>",
       "<a>[before ]<b>[1 < 2]</b>[ after]</a>"},
      {"<!ENTITY e 'a &lt; b &gt; c'>", "<a>&e;</a>", "<a>[a < b > c]</a>"},
      {"<!ENTITY Agrave '&#192;'><!ENTITY agrave '&#224;'>", "<a>&agrave;&Agrave;</a>",
       "<a>[\xC3\xA0\xC3\x80]</a>"},
      // Content keeps the white space of the text; an attribute value
      // normalizes it.
      {"<!ENTITY e 'a  b&#10;c&#9;d'>", "<a t='&e;'>&e;</a>", "<a t=\"a  b c d\">[a  b\nc\td]</a>"},
      {"<!ENTITY e ''>", "<a t='x&e;y'>x&e;y</a>", "<a t=\"xy\">[xy]</a>"},
      // What a character reference made at the declaration is read again.
      {"<!ENTITY e '&#38;#38;'>", "<a t='&e;'>&e;</a>", "<a t=\"&\">[&]</a>"},
      {"<!ENTITY lt 'x'>", "<a t='&lt;'>&lt;</a>", "<a t=\"<\">[<]</a>"},
      // Entities within entities, in content and in attribute values.
      {"<!ENTITY i '<i>x</i>'><!ENTITY o '(&i;)'>", "<a>&o;</a>", "<a>[(]<i>[x]</i>[)]</a>"},
      {"<!ENTITY f 'z'><!ENTITY e \"<n a='1' b='&f;'>&f;</n>\">", "<a>&e;</a>",
       "<a><n a=\"1\" b=\"z\">[z]</n></a>"},
      {"<!ENTITY a 'x&#10;y'><!ENTITY b '&a; &a;'>", "<a t='&b;'/>", "<a t=\"x y x y\"></a>"},
      {"<!ENTITY e 't<b/>u'>", "<a>&e;&e;</a>", "<a>[t]<b></b>[ut]<b></b>[u]</a>"},
      {"<!ENTITY e '<!--c--><?p d?><![CDATA[<x>]]>'>", "<a>&e;</a>",
       "<a><!--c--><?p d?><![CDATA[<x>]]></a>"},
      // A reference that cannot be expanded stays where it stands.
      {"<!ENTITY x SYSTEM 'x.ent'>", "<a>1&x;2</a>", "<a>[1]&x;[2]</a>"},
      {"", "<a>1&u;2</a>", "<a>[1]&u;[2]</a>", false},
      {"<!ENTITY e '<b>&u;</b>'>", "<a>&e;</a>", "<a><b>&u;</b></a>", false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Subset + std::string(" ") + c.Body);
    auto doc = Parse(Doc(c.Subset, c.Body), c.Strict);
    EXPECT_EQ(Outline(*doc), c.Outline);
    // What is written reads back with the same content.
    const std::string once = Written(*doc);
    auto again = Parse(once, c.Strict);
    EXPECT_EQ(Outline(*again), c.Outline) << once;
    EXPECT_EQ(Written(*again), once);
  }
}

TEST(Entities, ReferencesThatMayNotStandWhereTheyDo) {
  const char* const kNdata = "<!NOTATION n SYSTEM 'n'><!ENTITY logo SYSTEM 'l.png' NDATA n>";
  struct TCase {
    std::string Subset;
    const char* Body;
    const char* Message;
  };
  const TCase cases[] = {
      {kNdata, "<a>&logo;</a>",
       "Reference to an unparsed entity is not allowed in the character data."},
      {kNdata, "<a t='&logo;'/>",
       "Reference to an unparsed entity is not allowed in the attribute value."},
      {"<!ENTITY x SYSTEM 'x.ent'>", "<a t='&x;'/>",
       "Reference to an external entity is not allowed in the attribute value."},
      {"<!ENTITY e 'a&b'>", "<a/>", "Illegal character in the the entity value '&&' or '%'."},
      {"<!ENTITY e '<b/>'>", "<a t='&e;'/>", "Illegal character in the attribute value '<'."},
      {"<!ENTITY e '&#60;b/>'><!ENTITY f '&e;'>", "<a t='&f;'/>",
       "Illegal character in the attribute value '<'."},
      // The text of an entity is content on its own: balanced, and whole.
      {"<!ENTITY e '<b>'>", "<a>&e;</a>", "Unexpected end of file."},
      {"<!ENTITY e 'x</a>y'>", "<a>&e;</a>", "Illegal occurence of \"</\""},
      {"<!ENTITY e '&#38;'>", "<a>&e;</a>", "Illegal character in the text value '&&'."},
      {"<!ENTITY e '<b>&u;</b>'>", "<a>&e;</a>", "Entity \"u\" is not declared."},
      {"<!ENTITY e '<?xml version=\"1.0\"?>x'>", "<a>&e;</a>", "Illegal occurence of \"<?xml\""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Subset + " " + c.Body);
    const EKaOrvaneError e = ErrorOf(Doc(c.Subset, c.Body));
    EXPECT_EQ(e.Message(), c.Message);
    EXPECT_EQ(e.GetLine(), 1);
  }
}

TEST(Entities, AnErrorInReplacementTextNamesTheReferenceAndTheLineInTheText) {
  const EKaOrvaneError e =
      ErrorOf("<!DOCTYPE a [<!ENTITY e '<b>\n\n<c></b>'>]>\n<a>\n&e;</a>", true);
  EXPECT_EQ(e.Message(), "Start-tag name \"c\" does not match end-tag name \"b\"");
  EXPECT_EQ(e.GetLine(), 4);
  EXPECT_EQ(e.GetExtLine(), 3);
}

// Ten entities each referring ten times to the one before.
std::string Laughs(const std::string& first, const std::string& body, bool wrap = false) {
  std::string subset = "<!ENTITY l0 '" + first + "'>";
  for (int i = 1; i < 10; ++i) {
    subset += "<!ENTITY l" + std::to_string(i) + " '" + (wrap ? "<w>" : "");
    for (int k = 0; k < 10; ++k) subset += "&l" + std::to_string(i - 1) + ";";
    subset += std::string(wrap ? "</w>" : "") + "'>";
  }
  return Doc(subset, body);
}

TEST(Entities, HostileDeclarationsEndWithTheGuardsMessage) {
  std::string quadratic = "<!ENTITY q '" + std::string(50000, 'x') + "'>";
  std::string refs;
  for (int i = 0; i < 50000; ++i) refs += "&q;";
  const std::string kBudget = "Entity expansion exceeds the limit of";
  const std::pair<std::string, std::string> cases[] = {
      {Laughs("lol", "<a>&l9;</a>"), kBudget},
      {Laughs("lol", "<a t='&l9;'/>"), kBudget},
      {Laughs("<b>lol</b>", "<a>&l9;</a>"), kBudget},
      {Laughs("<b>lol</b>", "<a>&l9;</a>", true), kBudget},
      {Laughs("<b a=\"x\">lol</b>", "<a>&l9;&l9;</a>", true), kBudget},
      {Doc(quadratic, "<a>" + refs + "</a>"), kBudget},
      {Doc(quadratic, "<a t='" + refs + "'/>"), kBudget},
      {Doc("<!ENTITY a '&b;'><!ENTITY b '&a;'>", "<a>&a;</a>"), "Entity \"a\" refers to itself."},
      {Doc("<!ENTITY a '&b;'><!ENTITY b '&a;'>", "<a t='&a;'/>"), "Entity \"a\" refers to itself."},
      {Doc("<!ENTITY a '<x>&a;</x>'>", "<a>&a;</a>"), "Entity \"a\" refers to itself."},
      {Doc("<!ENTITY a '<x t=\"&a;\"/>'>", "<a>&a;</a>"), "Entity \"a\" refers to itself."},
  };
  for (const auto& [document, message] : cases) {
    SCOPED_TRACE(document.substr(0, 120));
    // The large documents take one grammar: the guard does not depend on it.
    for (const bool strict : {true, false}) {
      if (!strict && document.size() > 100000) continue;
      const EKaOrvaneError e = ErrorOf(document, strict);
      EXPECT_TRUE(e.Message().starts_with(message)) << e.Message();
      EXPECT_EQ(e.GetLine(), 1);
    }
  }
}

// Bytes given as a pipe gives them: the stream cannot tell its size.
class TUnsizedStream : public TStringStream {
 public:
  using TStringStream::TStringStream;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    return origin == TSeekOrigin::soEnd ? -1 : TStringStream::Seek(offset, origin);
  }
};

TEST(Entities, AnInputOfUnknownSizeEarnsItsBudgetAsItIsRead) {
  // 9.6 million characters, more than any input may expand to, from 40
  // times as many bytes: the same verdict whether the size is known or not.
  std::string refs;
  for (int i = 0; i < 80000; ++i) refs += "&e;";
  const std::string large = Doc("<!ENTITY e '" + std::string(100, 'x') + "'>", "<a>" + refs + "</a>");
  for (const bool sized : {true, false}) {
    SCOPED_TRACE(sized ? "sized" : "unsized");
    TKaOrvane parser(nullptr);
    std::unique_ptr<TKaXMLDocument> doc;
    TStringStream plain(large);
    TUnsizedStream unsized(large);
    ASSERT_NO_THROW(parser.Parse(sized ? static_cast<TStream&>(plain) : unsized, doc));
    EXPECT_EQ(doc->GetDocumentElement()->GetNodeList().GetFirst()->GetValue().size(), 8000000u);
  }
  // What little a hostile document has read earns little.
  TKaOrvane parser(nullptr);
  std::unique_ptr<TKaXMLDocument> doc;
  TUnsizedStream bomb(Laughs("lol", "<a>&l9;</a>"));
  try {
    parser.Parse(bomb, doc);
    ADD_FAILURE() << "expanded in full";
  } catch (const EKaOrvaneError& e) {
    EXPECT_EQ(e.Message(), "Entity expansion exceeds the limit of 8388608 characters.");
  }
}

TEST(Entities, ElementsFromEntitiesCountTowardsTheNestingLimit) {
  std::string open, close;
  for (int i = 0; i < 60; ++i) open += "<n>", close += "</n>";
  TKaOrvane parser(nullptr);
  parser.SetMaxNestingDepth(100);
  const std::string deep = Doc("<!ENTITY d '" + open + "&e;" + close + "'><!ENTITY e '" + open +
                                   close + "'>",
                               "<a>&d;</a>");
  EXPECT_EQ(testing::ParseError(parser, deep).Message(),
            "Element nesting is deeper than 100 levels.");
  parser.SetMaxNestingDepth(130);
  EXPECT_NO_THROW(ParseText(parser, deep));
}

TEST(Entities, TextSetThroughTheTreeExpandsUnderAGuardToo) {
  for (const bool withParser : {true, false}) {
    TKaOrvane parser(nullptr);
    auto doc = ParseText(parser, Doc("<!ENTITY e '<b/>'><!ENTITY c '&c;'>", "<a>x</a>"));
    if (!withParser) doc->AssignParser(nullptr);
    TKaXMLElement* a = doc->GetDocumentElement();
    a->SetCharData(std::make_unique<TKaXMLText>(u"1&e;2", doc.get()));
    EXPECT_EQ(Outline(*doc), "<a>[x][1]<b></b>[2]</a>");
    auto cyclic = std::make_unique<TKaXMLText>(u"&c;", doc.get());
    EXPECT_THROW(a->SetCharData(std::move(cyclic)), EKaOrvaneError);
    EXPECT_EQ(Outline(*doc), "<a>[x][1]<b></b>[2]</a>");
    EXPECT_EQ(doc->GetParser(), withParser ? &parser : nullptr);
    // A text that belongs to no element keeps such a reference as written.
    TKaXMLText free(u"1&e;2", doc.get());
    free.Normalize();
    EXPECT_EQ(free.GetValue(), u"1&e;2");
  }
}

TEST(Entities, EachChangeOfATreeHasABudgetOfItsOwn) {
  TKaOrvane parser(nullptr);
  auto doc = ParseText(parser, Doc("<!ENTITY e '" + std::string(100000, 'x') + "'>", "<a/>"));
  TKaXMLElement* a = doc->GetDocumentElement();
  // Together the changes expand more than one parse may.
  for (int i = 0; i < 100; ++i)
    ASSERT_NO_THROW(a->SetCharData(std::make_unique<TKaXMLText>(u"&e;", doc.get()))) << i;
  EXPECT_EQ(a->GetNodeList().GetLast()->GetValue(), std::u16string(100000, u'x'));
  EXPECT_EQ(doc->GetParser(), &parser);
}

TEST(Entities, EntityModeReadsContentWhole) {
  struct TCase {
    const char* Text;
    const char* Outline;  // nil: an error
  };
  const TCase cases[] = {
      {"<n a=\"1\"/>", "<_root><n a=\"1\"></n></_root>"},
      {"t<n a='1'>x</n>u", "<_root>[t]<n a=\"1\">[x]</n>[u]</_root>"},
      {"<?xml encoding='UTF-8'?><n a='1'/>", "<_root><n a=\"1\"></n></_root>"},
      {"x</n>y", nullptr},
      {"<n>", nullptr},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Text);
    TKaOrvane parser(nullptr);
    parser.SetParserMode('e');
    if (!c.Outline) {
      EXPECT_THROW(ParseText(parser, c.Text), EKaOrvaneError);
      continue;
    }
    auto doc = ParseText(parser, c.Text);
    EXPECT_EQ(Outline(*doc), c.Outline);
  }
}

}  // namespace
}  // namespace lumora
