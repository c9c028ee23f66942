#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dom/dom_testing.h"
#include "lumora/dom/document.h"
#include "lumora/dom/dom_exception.h"
#include "lumora/dtd/content_model.h"
#include "lumora/dtd/element_decl.h"
#include "lumora/parser/orvane.h"

namespace lumora {
namespace {

using testing::ExpectDOMError;

std::string Written(TKaXMLNode& node, int level) {
  TStringStream out;
  node.Write(out, level);
  std::string text;
  // The nodes write UTF-16LE; the tests compare ASCII.
  for (size_t i = 0; i < out.DataString().size(); i += 2) text += out.DataString()[i];
  return text;
}

TEST(ContentModel, BuiltByHandWritesLikeTheParsedForm) {
  TKaXMLDocument doc;
  auto top = TKaContentModel::CreateCM(cmChildren, &doc);
  top->AddElement(u"a", ocOnce);
  auto choice = TKaContentModel::CreateCM(cmChildren, &doc);
  choice->SetDelimiter(u'|');
  choice->AddElement(u"b", ocZeroOrMore);
  choice->AddElement(u"c", CONTENT_MODEL_NODE);  // never set: once
  choice->SetType(ocOneOrMore);
  TKaContentModel* group = top->AddContent(std::move(choice));
  EXPECT_FALSE(choice);
  EXPECT_EQ(group->GetParent(), top.get());
  top->AddElement(u"d", ocOptional);
  EXPECT_EQ(top->ToString(), "(a,(b*|c)+,d?)");

  auto mixed = TKaContentModel::CreateCM(cmMixed, &doc);
  EXPECT_EQ(mixed->ToString(), "(#PCDATA)");
  mixed->AddElement(u"em", ocOnce);
  EXPECT_EQ(mixed->ToString(), "(#PCDATA|em)*");

  auto decl = TKaElementDecl::CreateEDecl(u"br", cmEmpty, &doc);
  EXPECT_EQ(decl->GetContentModel()->GetOccurrence(), ocOnce);
  EXPECT_EQ(Written(*decl, 3), "   <!ELEMENT br  EMPTY>\r\n");
  decl->SetContentModel(TKaContentModel::CreateCMFromString(u"(#PCDATA|em)*", &doc));
  EXPECT_EQ(Written(*decl, 0), "<!ELEMENT br (#PCDATA|em)*>\r\n");
  EXPECT_EQ(Written(*TKaElementDecl::CreateEDecl(u"x", cmAny, &doc), 0), "<!ELEMENT x  ANY>\r\n");
}

TEST(ContentModel, MixedNamesOnceChildrenNamesAnyNumberOfTimes) {
  TKaXMLDocument doc;
  auto mixed = TKaContentModel::CreateCM(cmMixed, &doc);
  mixed->AddElement(u"a", ocOnce);
  const std::string duplicate = "Duplicate typesdeclaration is not allowed in mixed content.";
  ExpectDOMError([&] { mixed->AddElement(u"a", ocOnce); }, DUPLICATE_MIXED_NAME_ERR, duplicate);
  // Without the strict grammar names compare regardless of ASCII case.
  ExpectDOMError([&] { mixed->AddElement(u"A", ocOnce); }, DUPLICATE_MIXED_NAME_ERR, duplicate);
  TKaOrvane strict(nullptr);
  strict.SetStandardXML(true);
  doc.AssignParser(&strict);
  mixed->AddElement(u"A", ocOnce);
  doc.AssignParser(nullptr);
  EXPECT_EQ(mixed->ToString(), "(#PCDATA|a|A)*");

  auto children = TKaContentModel::CreateCM(cmChildren, &doc);
  children->AddElement(u"a", ocOnce);
  children->AddElement(u"a", ocOnce);
  EXPECT_EQ(children->ToString(), "(a,a)");
}

TEST(ContentModel, GetElementSearchesNestedGroupsByExactName) {
  auto model = TKaContentModel::CreateCMFromString(u"(a,((x|b)|c),b)", nullptr);
  TKaContentModel* b = model->GetElement(u"b");
  ASSERT_TRUE(b);
  // The first in depth-first order is the nested one.
  EXPECT_NE(b->GetParent(), model.get());
  EXPECT_EQ(model->GetElement(u"B"), nullptr);
  EXPECT_EQ(model->GetElement(u"q"), nullptr);
  EXPECT_EQ(model->GetElement(u""), nullptr);
}

TEST(ContentModel, DeclarationsOwnTheirModel) {
  TKaXMLDocument doc;
  ExpectDOMError([&] { TKaElementDecl::CreateEmptyEDecl(u"1a", &doc); }, INVALID_CHARACTER_ERR,
                 "TKaXMLDocument.TKaXMLNode.Create(\"1a\"): invalid character(s) for name");
  auto decl = TKaElementDecl::CreateEmptyEDecl(u"a", &doc);
  EXPECT_EQ(decl->GetContentModel(), nullptr);
  TKaContentModel* first = decl->SetContentModel(TKaContentModel::CreateCM(cmAny, &doc));
  EXPECT_EQ(first->GetParent(), decl.get());

  // A model in another declaration or inside a group is refused, and the
  // caller keeps it.
  auto other = TKaElementDecl::CreateEDecl(u"b", cmEmpty, &doc);
  ExpectDOMError([&] { decl->SetContentModel(other->GetContentModel()); }, INUSE_ATTRIBUTE_ERR,
                 "TKaElementDecl.SetContentModel: content model already in use (use clone)");
  auto group = TKaContentModel::CreateCMFromString(u"((a))", &doc);
  auto* inner = static_cast<TKaContentModel*>(group->GetChildList().GetFirst());
  EXPECT_THROW(decl->SetContentModel(inner), EKaDOMException);
  EXPECT_EQ(decl->GetContentModel(), first);

  decl->SetContentModel(TKaContentModel::CreateCMFromString(u"(x|y)", &doc));
  EXPECT_EQ(decl->GetContentModel()->ToString(), "(x|y)");
  decl->SetContentModel(nullptr);
  EXPECT_EQ(decl->GetContentModel(), nullptr);
  EXPECT_EQ(Written(*decl, 0), "");  // incomplete: nothing to write
}

TEST(ContentModel, ClonesAreDeepAndIndependent) {
  TKaXMLDocument doc;
  auto decl = TKaElementDecl::CreateEmptyEDecl(u"a", &doc);
  decl->SetContentModel(TKaContentModel::CreateCMFromString(u"((a|b)*,(c,(d|e)+)?)", &doc));
  std::unique_ptr<TKaXMLNode> copy = decl->CloneNode();
  decl.reset();
  auto* declCopy = dynamic_cast<TKaElementDecl*>(copy.get());
  ASSERT_TRUE(declCopy);
  EXPECT_EQ(declCopy->GetContentModel()->GetParent(), declCopy);
  EXPECT_EQ(Written(*declCopy, 0), "<!ELEMENT a ((a|b)*,(c,(d|e)+)?)>\r\n");
  auto mixed = TKaContentModel::CreateCMFromString(u"(#PCDATA|q)*", &doc);
  std::unique_ptr<TKaXMLNode> mixedCopy = mixed->CloneNode();
  EXPECT_EQ(static_cast<TKaContentModel&>(*mixedCopy).GetKind(), cmMixed);
  EXPECT_EQ(static_cast<TKaContentModel&>(*mixedCopy).ToString(), "(#PCDATA|q)*");
}

// A tree built by hand may nest far deeper than a parse allows: writing,
// copying, searching, moving and destroying it must not recurse.
TEST(ContentModel, DeepTreesNeverRecurse) {
  constexpr int kDepth = 200000;
  TKaXMLDocument doc;
  auto decl = TKaElementDecl::CreateEmptyEDecl(u"a", &doc);
  TKaContentModel* group = decl->SetContentModel(TKaContentModel::CreateCM(cmChildren, &doc));
  for (int i = 1; i < kDepth; ++i)
    group = group->AddContent(TKaContentModel::CreateCM(cmChildren, &doc));
  group->AddElement(u"leaf", ocOnce);
  const std::string text = decl->GetContentModel()->ToString();
  EXPECT_EQ(text, std::string(kDepth, '(') + "leaf" + std::string(kDepth, ')'));
  EXPECT_TRUE(decl->GetContentModel()->GetElement(u"leaf"));
  std::unique_ptr<TKaXMLNode> copy = decl->CloneNode();
  TKaXMLDocument other;
  copy->MoveToDocument(&other);
  EXPECT_EQ(static_cast<TKaElementDecl&>(*copy).GetContentModel()->GetOwnerDocument(), &other);
  copy.reset();
  decl.reset();
}

}  // namespace
}  // namespace lumora
