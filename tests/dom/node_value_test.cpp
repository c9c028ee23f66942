// Node values kept as arena text: every way a value changes gives the same
// value whether the node was parsed, made by the document or made without
// one, before and after a string was asked for; values outlive their
// document with their node, and changing them does not make an arena grow.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "dom/dom_testing.h"
#include "lumora/dom/document.h"
#include "lumora/dom/node_arena.h"
#include "parser/parser_testing.h"

namespace lumora {
namespace {

using testing::ParseText;
using testing::Written;

// Longer than the arena keeps as text: such values live in strings.
const std::u16string kLong(300, u'z');

// A text node holding Data, made each of the ways a document gets one.
struct TTextSource {
  const char* Name;
  std::function<TKaXMLText*(TKaXMLDocument&, std::unique_ptr<TKaXMLDocument>&,
                            std::u16string_view)>
      Make;
};

std::vector<TTextSource> TextSources() {
  return {
      {"parsed",
       [](TKaXMLDocument&, std::unique_ptr<TKaXMLDocument>& parsed, std::u16string_view data) {
         std::string bytes = "<r>";
         for (char16_t c : data) bytes += static_cast<char>(c);
         parsed = ParseText(bytes + "</r>");
         return static_cast<TKaXMLText*>(parsed->GetDocumentElement()->GetFirstCharData());
       }},
      {"created",
       [](TKaXMLDocument& doc, std::unique_ptr<TKaXMLDocument>&, std::u16string_view data) {
         TKaXMLElement* root = doc.SetDocumentElement(doc.CreateElement(u"r"));
         return static_cast<TKaXMLText*>(root->SetCharData(doc.CreateTextNode(data)));
       }},
      {"without document",
       [](TKaXMLDocument& doc, std::unique_ptr<TKaXMLDocument>&, std::u16string_view data) {
         TKaXMLElement* root = doc.SetDocumentElement(doc.CreateElement(u"r"));
         return static_cast<TKaXMLText*>(
             root->SetCharData(TKaXMLText::CreateText(data, nullptr)));
       }},
  };
}

TEST(NodeValue, EveryChangeOfTextGivesTheSameValueHoweverTheNodeWasMade) {
  struct TCase {
    const char* Name;
    std::u16string Data;
    std::function<void(TKaXMLText&)> Change;
    std::u16string Expected;
  };
  const std::vector<TCase> cases = {
      {"SetValue", u"abc", [](TKaXMLText& t) { t.SetValue(u"xy"); }, u"xy"},
      {"SetValue empty", u"abc", [](TKaXMLText& t) { t.SetValue(u""); }, u""},
      {"SetValue long", u"abc", [](TKaXMLText& t) { t.SetValue(kLong); }, kLong},
      {"SetValue own part", u"abcdef",
       [](TKaXMLText& t) { t.SetValue(t.ValueView().substr(2, 3)); }, u"cde"},
      {"AppendData", u"abc", [](TKaXMLText& t) { t.AppendData(u"de"); }, u"abcde"},
      {"AppendData long", u"abc", [](TKaXMLText& t) { t.AppendData(kLong); }, u"abc" + kLong},
      {"InsertData", u"abc", [](TKaXMLText& t) { t.InsertData(1, u"XY"); }, u"aXYbc"},
      {"DeleteData", u"abcdef", [](TKaXMLText& t) { t.DeleteData(1, 2); }, u"adef"},
      {"ReplaceData", u"abcdef", [](TKaXMLText& t) { t.ReplaceData(2, 2, u"-"); }, u"ab-ef"},
      {"SubstringData", u"abcdef", [](TKaXMLText& t) { t.SubstringData(1, 3); }, u"bcd"},
      {"SplitText", u"abcdef", [](TKaXMLText& t) { EXPECT_EQ(t.SplitText(2)->GetValue(), u"cdef"); },
       u"ab"},
      {"SplitText long", kLong,
       [](TKaXMLText& t) { EXPECT_EQ(t.SplitText(100)->GetValue(), kLong.substr(100)); },
       kLong.substr(0, 100)},
      {"SetName keeps value", u"abc", [](TKaXMLText& t) { t.SetName(u"n"); }, u"abc"},
  };
  for (const TTextSource& source : TextSources()) {
    for (const TCase& c : cases) {
      for (const bool askedFirst : {false, true}) {
        SCOPED_TRACE(std::string(source.Name) + " / " + c.Name +
                     (askedFirst ? " / after GetValue" : ""));
        auto doc = TKaXMLDocument::CreateDocument();
        std::unique_ptr<TKaXMLDocument> parsed;
        TKaXMLText* text = source.Make(*doc, parsed, c.Data);
        ASSERT_NE(text, nullptr);
        ASSERT_EQ(text->ValueView(), c.Data);
        // A view taken before the string is made stays valid until the value changes.
        const std::u16string_view before = text->ValueView();
        const std::u16string* asked = askedFirst ? &text->GetValue() : nullptr;
        EXPECT_EQ(before, c.Data);
        c.Change(*text);
        EXPECT_EQ(text->ValueView(), c.Expected);
        EXPECT_EQ(text->GetValue(), c.Expected);
        EXPECT_EQ(text->Data(), c.Expected);
        // A string handed out keeps showing the value as it changes.
        if (asked) {
          EXPECT_EQ(*asked, c.Expected);
        }
        EXPECT_EQ(text->CloneNode()->GetValue(), c.Expected);
      }
    }
  }
}

TEST(NodeValue, ParsedValuesReadTheSameThroughEveryAccessor) {
  auto doc = ParseText(
      "<!DOCTYPE r [<!ATTLIST r t NMTOKENS #IMPLIED><!ENTITY e 'ent'>]>"
      "<r a='x\ty' t='  p   q ' b='&e;'>one &amp; two<![CDATA[c&d]]><!--note--><?pi data?>"
      "&e;</r>");
  TKaXMLElement* r = doc->GetDocumentElement();
  EXPECT_EQ(r->GetAttribute(u"a"), u"x y");
  EXPECT_EQ(r->GetAttributeNode(u"t")->ValueView(), u"p q");
  EXPECT_EQ(r->GetAttributeNode(u"b")->Value(), u"ent");
  std::vector<std::u16string> values;
  for (TKaXMLNode* n = r->GetNodeList().GetFirst(); n; n = n->Next()) {
    if (n->GetType() == ATTRIBUTE_NODE) continue;
    EXPECT_EQ(n->ValueView(), n->GetValue());
    values.emplace_back(n->ValueView());
  }
  EXPECT_EQ(values, (std::vector<std::u16string>{u"one & two", u"c&d", u"note", u"data", u"ent"}));
  EXPECT_EQ(Written(*doc).substr(Written(*doc).find("<r")),
            "<r a = \"x y\" t = \"p q\" b = \"ent\">one &amp; two<![CDATA[c&d]]><!--note-->"
            "<?pi data?>ent</r>");
}

TEST(NodeValue, AttributeValuesChangeAndFailAsBefore) {
  auto doc = ParseText("<r a='one' b='two'/>");
  TKaXMLElement* r = doc->GetDocumentElement();
  TKaXMLAttr* a = r->GetAttributeNode(u"a");
  const std::u16string& asked = a->GetValue();
  r->SetAttribute(u"a", u"1 < 2 & 3");
  EXPECT_EQ(asked, u"1 < 2 & 3");
  EXPECT_EQ(a->ValueView(), u"1 < 2 & 3");
  // A written value that does not normalize leaves the old one.
  TKaXMLAttr* b = r->GetAttributeNode(u"b");
  EXPECT_THROW(b->SetWrittenValue(u"x<y"), EKaOrvaneError);
  EXPECT_EQ(b->ValueView(), u"two");
  b->SetWrittenValue(u"x&amp;y\n");
  EXPECT_EQ(b->GetValue(), u"x&y ");
  b->SetValue(kLong);
  EXPECT_EQ(b->ValueView(), kLong);
  b->SetValue(u"short again");
  EXPECT_EQ(b->GetValue(), u"short again");
  EXPECT_EQ(Written(*doc).substr(Written(*doc).find("<r")),
            "<r a = \"1 &lt; 2 &amp; 3\" b = \"short again\"/>");
}

// Values of nodes copied or moved out of a document, read and changed after
// it is gone (run under AddressSanitizer to catch a value left pointing into
// the freed document).
TEST(NodeValue, ValuesOutliveTheirDocumentWhenCopiedOrMoved) {
  auto target = TKaXMLDocument::CreateDocument();
  TKaXMLElement* root = target->SetDocumentElement(target->CreateElement(u"t"));
  std::unique_ptr<TKaXMLNode> clone, text, attr;
  TKaXMLElement* moved = nullptr;
  {
    auto source = ParseText("<r k='v'><e x='1'>inner<!--c--></e>tail<![CDATA[d]]></r>");
    TKaXMLElement* r = source->GetDocumentElement();
    clone = r->CloneNode();
    attr = r->RemoveAttribute(u"k");
    text = r->RemoveCharData(r->GetFirstCharData());
    moved = root->AppendChild(r->RemoveChild(r->GetFirstChild()));
  }
  EXPECT_EQ(attr->GetValue(), u"v");
  EXPECT_EQ(text->ValueView(), u"tail");
  static_cast<TKaXMLText*>(text.get())->AppendData(u"!");
  EXPECT_EQ(text->GetValue(), u"tail!");
  EXPECT_EQ(moved->GetAttribute(u"x"), u"1");
  moved->GetFirstCharData()->SetValue(u"changed");
  moved->SetAttribute(u"x", u"2");
  EXPECT_EQ(Written(*target).substr(Written(*target).find("<t")),
            "<t>\r\n   <e x = \"2\">changed<!--c--></e>\r\n</t>");
  auto* copy = static_cast<TKaXMLElement*>(clone.get());
  EXPECT_EQ(copy->GetAttribute(u"k"), u"v");
  EXPECT_EQ(copy->GetFirstCharData()->ValueView(), u"tail");
  EXPECT_EQ(copy->GetFirstCData()->GetValue(), u"d");
  EXPECT_EQ(copy->GetFirstChild()->GetFirstCharData()->GetValue(), u"inner");
  // Content copied into another document is that document's.
  auto other = TKaXMLDocument::CreateDocument();
  TKaXMLElement* o = other->SetDocumentElement(other->CreateElement(u"o"));
  o->InsertElementContent(*copy);
  clone.reset();
  EXPECT_EQ(o->GetFirstCharData()->GetValue(), u"tail");
  EXPECT_EQ(o->GetFirstChild()->GetFirstCharData()->ValueView(), u"inner");
}

// Reading a document from several threads at once: each value's string is
// made once, whichever thread asks first, and every reader sees the value.
TEST(NodeValue, ReadersOnSeveralThreadsSeeTheSameValues) {
  std::string bytes = "<r>";
  for (int i = 0; i < 300; ++i)
    bytes += "<e a='value " + std::to_string(i) + "'>text of element " + std::to_string(i) + "</e>";
  auto doc = ParseText(bytes + "</r>");
  auto read = [&](std::vector<std::u16string>& seen) {
    for (TKaXMLElement* e = doc->GetDocumentElement()->GetFirstChild(); e; e = e->NextSibling()) {
      seen.push_back(e->GetFirstCharData()->GetValue());
      seen.emplace_back(e->GetAttributeNode(u"a")->ValueView());
    }
  };
  std::vector<std::vector<std::u16string>> seen(4);
  std::vector<std::thread> threads;
  for (auto& s : seen) threads.emplace_back(read, std::ref(s));
  for (std::thread& t : threads) t.join();
  for (const auto& s : seen) {
    ASSERT_EQ(s.size(), 600u);
    EXPECT_EQ(s[0], u"text of element 0");
    EXPECT_EQ(s[599], u"value 299");
    EXPECT_EQ(s, seen[0]);
  }
}

// Values given up are reused by the arena: a document whose nodes change
// their values over and over, or come and go, stays the size it was.
TEST(NodeValue, ChangingValuesDoesNotGrowTheArena) {
  auto doc = TKaXMLDocument::CreateDocument();
  TKaXMLElement* root = doc->SetDocumentElement(doc->CreateElement(u"r"));
  auto churn = [&] {
    for (int i = 0; i < 2000; ++i) {
      TKaXMLNode* text = root->SetCharData(doc->CreateTextNode(u"some text of a node"));
      text->SetValue(i % 2 ? u"another value" : u"a value that is longer than the others");
      root->SetAttribute(u"a", i % 2 ? u"short" : u"a somewhat longer value");
      root->RemoveCharData(text);
    }
  };
  churn();
  const size_t reserved = doc->NodeArena().ReservedBytes();
  churn();
  churn();
  EXPECT_EQ(doc->NodeArena().ReservedBytes(), reserved);
}

}  // namespace
}  // namespace lumora
