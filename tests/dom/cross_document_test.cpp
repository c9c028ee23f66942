#include <gtest/gtest.h>

#include "lumora/dom/document.h"
#include "lumora/framework/stream.h"

namespace lumora {
namespace {

// Nodes moved between documents must not keep pointing at the document they
// came from: it may be destroyed while they live on.
TEST(CrossDocument, MovedContentBelongsToItsNewDocument) {
  auto target = TKaXMLDocument::CreateDocument();
  TKaXMLElement* root = target->SetDocumentElement(target->CreateElement(u"a"));
  TKaXMLElement* moved;
  TKaXMLNode* inserted;
  {
    auto source = TKaXMLDocument::CreateDocument();
    auto e = source->CreateElement(u"e");
    e->SetAttribute(u"k", u"v");
    e->AppendChild(source->CreateElement(u"inner"))->SetCharData(source->CreateTextNode(u"t"));
    moved = root->AppendChild(std::move(e));
    inserted = root->GetNodeList().InsertBefore(source->CreateComment(u"c"), moved);
  }
  for (TKaXMLNode* node = target.get(); node; node = target->TakeNext(node))
    EXPECT_EQ(node->GetOwnerDocument(), target.get());
  EXPECT_EQ(inserted->GetOwnerDocument(), target.get());
  TMemoryStream out;
  target->WriteToStream(out);
  EXPECT_EQ(std::string(out.Memory(), out.Size()),
            "<?xml version = \"1.0\"?>\r\n\r\n<a>\r\n      <!--c-->\r\n   <e k = \"v\">\r\n"
            "      <inner>t</inner>\r\n   </e>\r\n</a>");
  // Content added later through the moved element joins the new document.
  EXPECT_EQ(moved->AppendChild(target->CreateElement(u"x"))->GetOwnerDocument(), target.get());
}

}  // namespace
}  // namespace lumora
