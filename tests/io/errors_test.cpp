#include <gtest/gtest.h>

#include "lumora/dom/node.h"
#include "lumora/framework/strings.h"
#include "lumora/io/errors_list.h"
#include "lumora/io/orvane_error.h"

namespace lumora {
namespace {

TEST(OrvaneError, ConstructorsFillTheirFields) {
  EKaOrvaneError plain("m");
  EXPECT_EQ(plain.GetLine(), 0);
  EXPECT_EQ(plain.GetExtLine(), 0);
  EXPECT_EQ(plain.GetFileName(), "");
  EKaOrvaneError xml = EKaOrvaneError::CreateXMLError("Unexpected end of file.", 7);
  EXPECT_EQ(xml.Message(), "Unexpected end of file.");
  EXPECT_EQ(xml.GetLine(), 7);
  EKaOrvaneError ext = EKaOrvaneError::CreateWithExtFileName("m", "doc.xml", 12, 2);
  EXPECT_EQ(ext.GetFileName(), "doc.xml");
  EXPECT_EQ(ext.GetLine(), 12);
  EXPECT_EQ(ext.GetExtLine(), 2);
  try {
    throw EKaOrvaneError::CreateWithFileName("bad", "f.xml", 3);
  } catch (const Exception& e) {  // caught by its base class too
    EXPECT_STREQ(e.what(), "bad");
  }
}

TEST(ErrorsList, MessagesAndNodesLineUp) {
  TKaXMLNode node(u"item", 1, nullptr);
  TKaErrorsList errors;
  TStringList messages, nodes;
  errors.CreateMessagesList(messages);
  errors.CreateNodesList(nodes);
  EXPECT_EQ(messages.Count(), 0);
  EXPECT_EQ(nodes.Count(), 0);

  errors.Add("[XML]: The document is empty.", nullptr);
  errors.Add("[Element \"item\"]: bad", &node);
  messages.Add("kept");
  errors.CreateMessagesList(messages);
  errors.CreateNodesList(nodes);
  EXPECT_EQ(messages.Lines(), (std::vector<std::string>{"kept", "[XML]: The document is empty.",
                                                        "[Element \"item\"]: bad"}));
  EXPECT_EQ(nodes.Lines(), (std::vector<std::string>{"", "item"}));
  errors.Clear();
  EXPECT_EQ(errors.Count(), 0);
  errors.Add("again", &node);  // the destructor frees what is left
}

}  // namespace
}  // namespace lumora
