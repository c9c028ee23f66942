// Node positions: packed into the node where they fit, kept by the document
// where they do not, and never read from another document's table.
#include "dom/dom_testing.h"
#include "parser/parser_testing.h"

namespace lumora::testing {
namespace {

TEST(NodePosition, EveryPositionReadsBack) {
  struct Position {
    int32_t line, column;
  };
  TKaXMLDocument doc;
  for (const Position p : {
           Position{1, 1},
           Position{1, 0},
           Position{524287, 2047},  // short lines
           Position{3, 2048},
           Position{1023, 1048575},  // a few long lines
           Position{524288, 1},  // many lines
           Position{4194303, 255},
           Position{4194304, 1},  // none of them: the table
           Position{524288, 256},
           Position{1024, 2048},
           Position{1, 1048576},
           Position{2000000000, 2000000000},
       }) {
    auto node = doc.CreateElement(u"e");
    node->SetPosition(p.line, p.column);
    EXPECT_EQ(node->GetLine(), p.line) << p.line << ':' << p.column;
    EXPECT_EQ(node->GetColumn(), p.column) << p.line << ':' << p.column;
  }
  auto unknown = doc.CreateElement(u"e");
  EXPECT_EQ(unknown->GetLine(), 0);
  unknown->SetPosition(0, 7);  // no line: no position
  EXPECT_EQ(unknown->GetLine(), 0);
  EXPECT_EQ(unknown->GetColumn(), 0);
}

TEST(NodePosition, TableEntriesStayWithTheirDocument) {
  TKaXMLDocument doc, other;
  auto node = doc.CreateElement(u"e");
  node->SetPosition(9000000, 5);
  auto packed = doc.CreateElement(u"p");
  packed->SetPosition(12, 5);
  node->MoveToDocument(&other);
  packed->MoveToDocument(&other);
  // The other document's table has no entry for the node.
  EXPECT_EQ(node->GetLine(), 0);
  EXPECT_EQ(packed->GetLine(), 12);
  auto stranger = other.CreateElement(u"s");
  stranger->SetPosition(9000000, 6);  // the same index in the other table
  EXPECT_EQ(node->GetLine(), 0);
  node->MoveToDocument(&doc);
  EXPECT_EQ(node->GetLine(), 9000000);
  doc.Clear();
  EXPECT_EQ(node->GetLine(), 0);
  // Copies are new nodes.
  EXPECT_EQ(packed->CloneNode()->GetLine(), 0);
}

TEST(NodePosition, TheParserGivesStartTagsAndAttributesTheirPlace) {
  TKaOrvane parser(nullptr);
  auto doc = ParseText(parser, "<a>\n  <b x='1'\n     y='2'/>\n</a>");
  TKaXMLElement* a = doc->GetDocumentElement();
  TKaXMLElement* b = a->GetFirstChild();
  EXPECT_EQ(a->GetLine(), 1);
  EXPECT_EQ(a->GetColumn(), 1);
  EXPECT_EQ(b->GetLine(), 2);
  EXPECT_EQ(b->GetColumn(), 3);
  EXPECT_EQ(b->GetAttributeNode(u"x")->GetLine(), 2);
  EXPECT_EQ(b->GetAttributeNode(u"x")->GetColumn(), 6);
  EXPECT_EQ(b->GetAttributeNode(u"y")->GetLine(), 3);
  EXPECT_EQ(b->GetAttributeNode(u"y")->GetColumn(), 6);
}

}  // namespace
}  // namespace lumora::testing
