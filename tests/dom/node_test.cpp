#include <gtest/gtest.h>

#include "lumora/dom/attr.h"
#include "lumora/dom/document.h"
#include "lumora/dom/dom_exception.h"
#include "lumora/dom/node.h"
#include "lumora/framework/stream.h"
#include "lumora/io/orvane_error.h"

namespace lumora {
namespace {

// A node class whose names are checked, as elements and attributes are.
struct NamedNode : TKaXMLNode {
  explicit NamedNode(std::u16string_view name)
      : TKaXMLNode(name, ELEMENT_NODE, nullptr, TNameRule::kChecked) {}
};

TEST(NodeNames, CheckedClassesRejectInvalidNamesWithTheirMessages) {
  try {
    NamedNode bad(u"1x");
    FAIL();
  } catch (const EKaDOMException& e) {
    EXPECT_EQ(e.GetCode(), INVALID_CHARACTER_ERR);
    EXPECT_EQ(e.Message(),
              "TKaXMLDocument.TKaXMLNode.Create(\"1x\"): invalid character(s) for name");
    EXPECT_EQ(e.GetDOMMessage(), "XML-DOM [INVALID_CHARACTER_ERR]: " + e.Message());
  }
  NamedNode good(u"x.1-2");
  try {
    good.SetName(u"a b\u00e9");
    FAIL();
  } catch (const EKaDOMException& e) {
    // Names reach the message as UTF-8.
    EXPECT_EQ(e.Message(),
              "TKaXMLDocument.TKaXMLNode.Create('a b\xc3\xa9'): invalid character(s) for name");
  }
  EXPECT_EQ(good.GetName(), u"x.1-2");
  good.SetName(u"_y");
  EXPECT_EQ(good.GetName(), u"_y");
}

TEST(NodeNames, ADocumentChecksEachNameHoweverItWasFirstUsed) {
  // A document keeps each name once: one that a plain node brought in
  // unchecked is still refused to an element, every time; a good one
  // passes again and again.
  auto doc = TKaXMLDocument::CreateDocument();
  const auto loose = TKaXMLNode::CreateNode(u"1 bad", ELEMENT_NODE, doc.get());
  for (int round = 0; round < 2; ++round) {
    EXPECT_THROW(doc->CreateElement(u"1 bad"), EKaDOMException);
    EXPECT_THROW(TKaXMLAttr::CreateAttr(u"1 bad", u"v", doc.get()), EKaDOMException);
    EXPECT_THROW(doc->CreateElement(u"2bad"), EKaDOMException);
    EXPECT_EQ(doc->CreateElement(u"good")->GetName(), u"good");
  }
  EXPECT_EQ(loose->GetName(), u"1 bad");
}

TEST(NodeNames, PlainNodesTakeAnyName) {
  TKaXMLNode text(u"", TEXT_NODE, nullptr);
  text.SetName(u"1 2 3");
  EXPECT_EQ(text.GetName(), u"1 2 3");
}

TEST(NodeTypes, NamesAndAllowedChildren) {
  for (uint8_t code : {0, 8, 9, 15, 17, 18, 23, 24, 200})
    EXPECT_EQ(TKaXMLNode::TypeToTypeString(code), "UNKNOWN_NODE");
  EXPECT_EQ(TKaXMLNode::TypeToTypeString(DOCUMENT_NODE), "DOCUMENT_NODE");
  EXPECT_EQ(TKaXMLNode::TypeToTypeString(PROCESSING_INSTRUCTION_NODE),
            "PROCESSING_INSTRUCTION_NODE");

  TKaXMLNode element(u"e", ELEMENT_NODE, nullptr), attr(u"a", ATTRIBUTE_NODE, nullptr),
      doc(u"", DOCUMENT_NODE, nullptr), doctype(u"d", DOCUMENT_TYPE_NODE, nullptr),
      text(u"", TEXT_NODE, nullptr);
  EXPECT_FALSE(element.ChildTypeAllowed(&attr));
  EXPECT_TRUE(element.ChildTypeAllowed(&text));
  EXPECT_TRUE(doc.ChildTypeAllowed(&doctype));
  EXPECT_FALSE(doc.ChildTypeAllowed(&text));
  EXPECT_TRUE(attr.ChildTypeAllowed(&text));
  EXPECT_FALSE(attr.ChildTypeAllowed(&element));
  EXPECT_FALSE(text.ChildTypeAllowed(&text));
  EXPECT_FALSE(element.ChildTypeAllowed(nullptr));
}

TEST(DOMException, CodeNames) {
  EXPECT_EQ(EKaDOMException::ErrCodeToString(1), "INDEX_SIZE_ERR");
  EXPECT_EQ(EKaDOMException::ErrCodeToString(12), "INVALID_POINTER_ERR");
  for (uint8_t code : {0, 11, 13, 14, 15, 255})
    EXPECT_EQ(EKaDOMException::ErrCodeToString(code), "");
  EKaDOMException e(15, "dup");
  EXPECT_EQ(e.GetDOMMessage(), "XML-DOM []: dup");
  EXPECT_STREQ(e.what(), "dup");
}

std::u16string Normalized(std::u16string_view value) {
  TKaXMLDocument doc;
  TKaXMLNode node(u"n", PROCESSING_INSTRUCTION_NODE, &doc);
  node.SetValue(value);
  node.Normalize();
  return node.GetValue();
}

TEST(NodeNormalize, WhiteSpaceBecomesSpaces) {
  EXPECT_EQ(Normalized(u"a\r\nb\tc"), u"a b c");
  EXPECT_EQ(Normalized(u"\na\n\nb\r\r"), u" a  b  ");
  EXPECT_EQ(Normalized(u""), u"");
}

TEST(NodeNormalize, ReferencesResolveOrStayAsWritten) {
  EXPECT_EQ(Normalized(u"&amp;"), u"&");
  EXPECT_EQ(Normalized(u"&lt;&gt;&apos;&quot;"), u"<>'\"");
  EXPECT_EQ(Normalized(u"x &undeclared; y"), u"x &undeclared; y");
  EXPECT_EQ(Normalized(u"&;"), u"&;");
  EXPECT_EQ(Normalized(u"&#65;&#x42;&#X43;"), u"ABC");
  EXPECT_EQ(Normalized(u"&#353;"), u"\u0161");  // whatever the document's encoding
  EXPECT_EQ(Normalized(u"&#x1F600;"), u"\U0001F600");
  // Not XML characters, or not numbers: kept as written.
  for (const char16_t* kept : {u"&#0;", u"&#xD800;", u"&#xFFFE;", u"&#x110000;", u"&#ZZ;", u"&#x;",
                               u"&#;", u"&#-5;", u"&#99999999999999999999;", u"&#1;"})
    EXPECT_EQ(Normalized(kept), std::u16string(kept)) << std::string(kept, kept + 3);
  // The text a reference gives is not normalized again.
  EXPECT_EQ(Normalized(u"&#9;&#10;"), u"\t\n");
}

TEST(NodeNormalize, UnterminatedReferenceRaises) {
  for (const char16_t* bad : {u"a&b", u"a&", u"&amp"}) {
    try {
      Normalized(bad);
      FAIL();
    } catch (const EKaOrvaneError& e) {
      EXPECT_EQ(e.Message(), "Illegal character in the text value '&&'.");
      EXPECT_EQ(e.GetLine(), 0);
    }
  }
}

TEST(NodeBase, WriteAndClone) {
  TKaXMLDocument doc;
  TKaXMLNode node(u"n\u00e9", ENTITY_NODE, &doc);
  node.SetValue(u"v");
  TMemoryStream stream;
  node.Write(stream, 7);
  EXPECT_EQ(std::string(stream.Memory(), stream.Size()), std::string("n\0\xe9\0 \0v\0", 8));

  std::unique_ptr<TKaXMLNode> copy = node.CloneNode();
  EXPECT_EQ(copy->GetName(), node.GetName());
  EXPECT_EQ(copy->GetValue(), u"v");
  EXPECT_EQ(copy->GetType(), ENTITY_NODE);
  EXPECT_EQ(copy->GetOwnerDocument(), &doc);
  EXPECT_EQ(copy->GetParent(), nullptr);
}

}  // namespace
}  // namespace lumora
