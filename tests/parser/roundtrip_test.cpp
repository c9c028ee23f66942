// Parse, write, parse again: the content is the same, and what is written is
// well-formed (the second parse is strict). Each table holds minimal
// documents of one kind; every document goes through every form of output.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lumora/dtd/references.h"
#include "parser/parser_testing.h"

namespace lumora {
namespace {

using testing::ParseText;

struct Case {
  const char* xml;
  bool relaxedOnly = false;  // holds references to undeclared entities
};

struct Form {
  const char* encoding;
  bool formatted;
};

const Form kForms[] = {{"UTF-8", true},      {"UTF-8", false},   {"ISO-8859-1", true},
                       {"ISO-8859-1", false}, {"US-ASCII", true}, {"UTF-16", true},
                       {"UTF-16", false}};

std::unique_ptr<TKaXMLDocument> Parse(const std::string& bytes, bool strict) {
  TKaOrvane parser(nullptr);
  parser.SetStandardXML(strict);
  auto doc = ParseText(parser, bytes);
  doc->AssignParser(nullptr);
  return doc;
}

// The bytes a write in that form gives, with the byte-order mark a file of
// UTF-16 starts with.
std::string WriteAs(TKaXMLDocument& doc, const Form& form) {
  TKaOrvane options(nullptr);
  options.SetFormatedOutput(form.formatted);
  doc.AssignParser(&options);
  doc.SetEncoding(form.encoding);
  std::string bytes = testing::Written(doc);
  doc.AssignParser(nullptr);
  if (std::string(form.encoding) == "UTF-16") bytes = "\xFE\xFF" + bytes;
  return bytes;
}

std::u16string Printable(std::u16string_view text) {
  std::u16string out;
  for (char16_t c : text) {
    if (c == u'\n')
      out += u"\\n";
    else if (c == u'\r')
      out += u"\\r";
    else if (c == u'\t')
      out += u"\\t";
    else
      out += c;
  }
  return out;
}

// The content of a document, node by node in document order: every node's
// type, name and value (adjacent text merged, as a reader sees it). The XML
// declaration is left out: its encoding is what the forms change.
std::string Content(const TKaXMLDocument& doc) {
  std::u16string out;
  for (const TKaXMLNode* node = doc.TakeNext(&doc); node; node = doc.TakeNext(node)) {
    if (node->GetParent() == &doc && node->GetType() == ATTRIBUTE_NODE) continue;
    // A CDATA section is character data that needed no escaping; where the
    // encoding lacks a character, a reference stands between two sections.
    auto isText = [](const TKaXMLNode* n) {
      return n && (n->GetType() == TEXT_NODE || n->GetType() == CDATA_SECTION_NODE);
    };
    if (isText(node) && isText(node->Previous())) {
      out.resize(out.size() - 2);  // "]\n"
      out += Printable(node->GetValue()) + u"]\n";
      continue;
    }
    out += isText(node) ? u'3' : static_cast<char16_t>(u'0' + node->GetType());
    out += u" " + node->GetName() + u" [" + Printable(node->GetValue()) + u"]\n";
  }
  std::string utf8;
  for (char16_t c : out) utf8 += c < 0x80 ? static_cast<char>(c) : '?';  // enough to read a diff
  return utf8 + " (" + std::to_string(out.size()) + " units)";
}

// Every case in every mode and form reads back with the same content.
void ExpectRoundTrips(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    for (const bool strict : {false, true}) {
      if (strict && c.relaxedOnly) continue;
      SCOPED_TRACE(std::string(c.xml) + (strict ? " (strict)" : " (relaxed)"));
      const auto original = Parse(c.xml, strict);
      const std::string content = Content(*original);
      for (const Form& form : kForms) {
        SCOPED_TRACE(std::string(form.encoding) + (form.formatted ? " formatted" : " plain"));
        const std::string written = WriteAs(*original, form);
        std::unique_ptr<TKaXMLDocument> again;
        try {
          again = Parse(written, !c.relaxedOnly);
        } catch (const EKaOrvaneError& e) {
          ADD_FAILURE() << "written text does not read: " << e.Message() << "\n" << written;
          continue;
        }
        EXPECT_EQ(Content(*again), content) << written;
        EXPECT_EQ(original->GetInvalidChars(), u"");
      }
    }
  }
}

// The text one write gives, formatted or not, in UTF-8.
std::string Written(const std::string& xml, bool formatted = true, bool strict = false,
                    const char* encoding = "UTF-8") {
  const auto doc = Parse(xml, strict);
  return WriteAs(*doc, {encoding, formatted});
}

const std::string kDecl = "<?xml version = \"1.0\" encoding = \"UTF-8\"?>\r\n\r\n";

TEST(RoundTrip, AmpersandsAndReferences) {
  ExpectRoundTrips({
      {"<a b=\"&amp;lt;\">&amp;lt;b&amp;gt; &amp;amp;</a>"},
      {"<a>&amp;nbsp;&amp;#38;&#38;#38;</a>"},
      {"<a b='&amp;foo; &#38;'>&amp;</a>"},
      {"<a b=\"x &foo; y &amp;foo;\">a &foo; b &amp;foo;</a>", true},
      {"<a>&foo;&bar;<b/>&baz;</a>", true},
      {"<a b=\"&foo;\" c=\"&foo;&amp;&bar;\"/>", true},
  });
  EXPECT_EQ(Written("<a b=\"&amp;lt;\">&amp;lt;b&amp;gt; &amp;amp;</a>"),
            "<?xml version = \"1.0\" encoding = \"UTF-8\"?>\r\n\r\n"
            "<a b = \"&amp;lt;\">&amp;lt;b&amp;gt; &amp;amp;</a>");
  EXPECT_EQ(Written("<a b=\"x &foo; &amp;foo;\">a &foo; b &amp;foo;</a>"),
            kDecl + "<a b = \"x &foo; &amp;foo;\">a &foo; b &amp;foo;</a>");
  // The tree tells them apart; values read as written.
  const auto doc = Parse("<a b=\"x &foo; &amp;foo;\">a &foo;</a>", false);
  TKaXMLElement* a = doc->GetDocumentElement();
  EXPECT_EQ(a->GetAttribute(u"b"), u"x &foo; &foo;");
  ASSERT_NE(a->GetNodeList().GetLast(), nullptr);
  EXPECT_EQ(a->GetNodeList().GetLast()->GetType(), ENTITY_REFERENCE_NODE);
  EXPECT_EQ(a->GetNodeList().GetLast()->GetName(), u"foo");
  // Copies keep them apart too.
  const auto copy = a->CloneNode();
  EXPECT_EQ(static_cast<TKaXMLElement*>(copy.get())->GetNodeList().GetLast()->GetType(),
            ENTITY_REFERENCE_NODE);
}

TEST(RoundTrip, SectionEndsAndCarriageReturns) {
  ExpectRoundTrips({
      {"<a>]]&gt; x]]&gt;]]&gt; ]]]&gt;</a>"},
      {"<a>]]<b/>&gt;]]</a>"},
      {"<a>x&#13;y&#13;&#10;z&#xD;</a>"},
      {"<a b=\"&#9;&#10;&#13;&quot;&lt;&amp;'>\" c='\"'/>"},
      {"<a><![CDATA[]]]]><![CDATA[>]]></a>"},
  });
  EXPECT_EQ(Written("<a b='&#13;\"'>]]&gt;x&#13;</a>"),
            kDecl + "<a b = \"&#13;&quot;\">]]&gt;x&#13;</a>");
}

TEST(RoundTrip, CommentsAndInstructionsKeepTheirText) {
  ExpectRoundTrips({
      {"<a><!-- under one\nor  more --></a>"},
      {"<!--\n  top\t-->\n<a/>\n<!-- end -->"},
      {"<a><?pi line one\n  line two ?></a>"},
      {"<?pi  a\tb\n?><a><?empty?></a>"},
  });
  EXPECT_EQ(Written("<a><!-- one \t two --><?pi x\n  y?><b/></a>"),
            kDecl + "<a>\r\n      <!-- one \t two -->\r\n      <?pi x\n  y?>\r\n   <b/>\r\n</a>");
  // Without child elements there is no layout to add.
  EXPECT_EQ(Written("<a><!--c--><?pi x?></a>"), kDecl + "<a><!--c--><?pi x?></a>");
}

TEST(RoundTrip, MixedContentGetsNoAddedWhiteSpace) {
  ExpectRoundTrips({
      {"<default><![CDATA[x]]></default>"},
      {"<r><p>a<b>c<i>d</i><j><k/></j></b>e</p><q/></r>"},
      {"<r><p><![CDATA[c]]><b/><!--c--><?p d?></p></r>"},
      {"<r><p>&foo;<b/></p></r>", true},
  });
  for (const bool formatted : {true, false}) {
    EXPECT_EQ(Written("<default><![CDATA[x]]></default>", formatted),
              kDecl + "<default><![CDATA[x]]></default>");
    EXPECT_EQ(Written("<r><p>a<b><i/></b></p></r>", formatted),
              kDecl + (formatted ? "<r>\r\n   <p>a<b><i/></b></p>\r\n</r>"
                                 : "<r>\r\n<p>a<b><i/></b></p>\r\n</r>"));
  }
}

TEST(RoundTrip, WhiteSpaceThatIsContentStays) {
  ExpectRoundTrips({
      {"<p><b>a</b> <i>b</i></p>"},
      {"<p>\n  <b>a</b> <i>b</i>\n</p>"},
      {"<a>  </a>"},
      {"<a>\n</a>"},
      {"<a>\n  <!-- c -->\n</a>"},
      {"<r xml:space=\"preserve\">\n  <c/>\n</r>"},
      {"<r xml:space=\"preserve\"><s>\n <c/>\n</s></r>"},
      {"<r xml:space=\"preserve\"><s xml:space=\"default\">\n <c/>\n</s></r>"},
      {"<r>\n  <c>\n    <d/>\n  </c>\n</r>"},
  });
  EXPECT_EQ(Written("<p><b>a</b> <i>b</i></p>"), kDecl + "<p><b>a</b> <i>b</i></p>");
  EXPECT_EQ(Written("<r xml:space=\"preserve\">\n <c/>\n</r>"),
            kDecl + "<r xml:space = \"preserve\">\n <c/>\n</r>");
  // The indentation of element content is layout: dropped and written anew.
  const auto doc = Parse("<r>\n  <c>\n    <d/>\n  </c>\n</r>", true);
  EXPECT_EQ(doc->GetDocumentElement()->GetFirstCharData(), nullptr);
  EXPECT_EQ(WriteAs(*doc, {"UTF-8", true}), kDecl + "<r>\r\n   <c>\r\n      <d/>\r\n   </c>\r\n</r>");
  // "default" ends what "preserve" started; the attribute is inherited.
  const auto preserved =
      Parse("<r xml:space=\"preserve\"><s>\n<c/></s><t xml:space=\"default\">\n<c/></t></r>", true);
  TKaXMLElement* s = preserved->GetDocumentElement()->GetFirstChild();
  EXPECT_NE(s->GetFirstCharData(), nullptr);
  EXPECT_EQ(s->NextSibling()->GetFirstCharData(), nullptr);
}

TEST(RoundTrip, CharactersTheEncodingLacksBecomeReferences) {
  ExpectRoundTrips({
      {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><a b=\"\xE2\x80\x93\xC3\xA9\">"
       "\xE2\x80\x93\xF0\x9F\x98\x80\xC3\xA9<![CDATA[a\xE2\x80\x93\xF0\x9F\x98\x80]]></a>"},
      {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><a><![CDATA[\xE2\x80\x93]]><![CDATA[]]></a>"},
  });
  const std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a b=\"\xE2\x80\x93\">\xF0\x9F\x98\x80"
      "<![CDATA[a\xE2\x80\x93"
      "b]]></a>";
  EXPECT_EQ(Written(xml, false, false, "ISO-8859-1"),
            "<?xml version = \"1.0\" encoding = \"ISO-8859-1\"?>\r\n\r\n"
            "<a b = \"&#x2013;\">&#x1F600;<![CDATA[a]]>&#x2013;<![CDATA[b]]></a>");
  // Where XML has no escape, '_' stands for the character, and it is reported.
  const auto doc = Parse(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a><!--\xE2\x80\x93--><?p \xC4\x80?></a>", true);
  EXPECT_EQ(WriteAs(*doc, {"ISO-8859-1", false}),
            "<?xml version = \"1.0\" encoding = \"ISO-8859-1\"?>\r\n\r\n"
            "<a><!--_--><?p _?></a>");
  EXPECT_EQ(doc->GetInvalidChars(), u"\u2013\u0100");
}

}  // namespace
}  // namespace lumora
