#include "dtd/dtd_testing.h"

namespace lumora::testing {
namespace {

using DocumentTypeLookup = DtdTest;

TEST_F(DocumentTypeLookup, EntityNamesCompareExactlyOthersByMode) {
  General(u"Agrave", u"&#192;");
  General(u"agrave", u"&#224;");
  doctype_->SetElementDecl(TKaElementDecl::CreateEmptyEDecl(u"Item", &doc_));
  doctype_->SetAttListDecl(TKaAttListDecl::CreateAttList(u"Item", &doc_));
  Attribute(u"Item", u"Kind", atCDATA, dkImplied);
  doctype_->SetNotationDecl(TKaNotation::CreateNotation(u"Png", &doc_));

  EXPECT_EQ(doctype_->GetEntityDecl(u"Agrave")->GetValue(), u"\u00C0");
  EXPECT_EQ(doctype_->GetEntityDecl(u"agrave")->GetValue(), u"\u00E0");
  EXPECT_EQ(doctype_->GetEntityDecl(u"AGRAVE"), nullptr);

  struct Case {
    bool standard;
    bool found;
  };
  for (const Case c : {Case{false, true}, Case{true, false}}) {
    SCOPED_TRACE(c.standard);
    parser_.SetStandardXML(c.standard);
    EXPECT_EQ(doctype_->GetElementDecl(u"item") != nullptr, c.found);
    EXPECT_EQ(doctype_->GetAttListDecl(u"ITEM") != nullptr, c.found);
    EXPECT_EQ(doctype_->GetAttDef(u"Item", u"kind") != nullptr, c.found);
    EXPECT_EQ(doctype_->GetNotation(u"png") != nullptr, c.found);
    EXPECT_EQ(doctype_->GetEntityDecl(u"AGRAVE"), nullptr);
    // The exact name is found in both modes.
    EXPECT_NE(doctype_->GetElementDecl(u"Item"), nullptr);
    EXPECT_NE(doctype_->GetAttDef(u"Item", u"Kind"), nullptr);
  }
}

TEST_F(DocumentTypeLookup, ExactModeFindsTheExactNameAmongFoldedOnes) {
  parser_.SetStandardXML(true);
  TKaElementDecl* upper = doctype_->SetElementDecl(TKaElementDecl::CreateEmptyEDecl(u"B", &doc_));
  TKaElementDecl* lower = doctype_->SetElementDecl(TKaElementDecl::CreateEmptyEDecl(u"b", &doc_));
  EXPECT_EQ(doctype_->GetElementDecl(u"B"), upper);
  EXPECT_EQ(doctype_->GetElementDecl(u"b"), lower);
  parser_.SetStandardXML(false);
  EXPECT_EQ(doctype_->GetElementDecl(u"b"), upper);  // the first one binds
}

TEST_F(DocumentTypeLookup, StaysInStepWithEveryChangeOfTheList) {
  TKaElementDecl* first = doctype_->SetElementDecl(TKaElementDecl::CreateEmptyEDecl(u"x", &doc_));
  TKaElementDecl* second = doctype_->SetElementDecl(TKaElementDecl::CreateEmptyEDecl(u"x", &doc_));
  EXPECT_EQ(doctype_->GetElementDecl(u"x"), first);

  // Inserted before the first: it binds now.
  TKaXMLNode* front = doctype_->InsertNode(TKaElementDecl::CreateEmptyEDecl(u"x", &doc_),
                                           doctype_->GetFirstNode());
  EXPECT_EQ(doctype_->GetElementDecl(u"x"), first);  // inserted after the first node
  auto removedFirst = doctype_->RemoveNode(first);
  EXPECT_EQ(doctype_->GetElementDecl(u"x"), front);
  EXPECT_EQ(removedFirst->GetParent(), nullptr);

  // Replacing keeps the position of the old declaration.
  auto replaced = doctype_->RepleaceDeclaration(
      front, TKaElementDecl::CreateEmptyEDecl(u"y", &doc_));
  EXPECT_EQ(replaced.get(), front);
  EXPECT_EQ(doctype_->GetElementDecl(u"x"), second);
  EXPECT_EQ(doctype_->GetFirstNode()->GetName(), u"y");

  // Appended to the list directly (as comments are): found at the next lookup.
  doctype_->GetNodeList().AppendChild(TKaElementDecl::CreateEmptyEDecl(u"z", &doc_));
  EXPECT_NE(doctype_->GetElementDecl(u"z"), nullptr);
  doctype_->RemoveNode(second).reset();
  EXPECT_EQ(doctype_->GetElementDecl(u"x"), nullptr);
  EXPECT_NE(doctype_->GetElementDecl(u"z"), nullptr);
}

// Changes made straight through the list, behind the document type's back,
// must not leave the lookups pointing at nodes that are gone (ASan watches).
TEST_F(DocumentTypeLookup, ChangesThroughTheListItselfAreSeen) {
  TKaNodeList& list = doctype_->GetNodeList();
  TKaElementDecl* a = doctype_->SetElementDecl(TKaElementDecl::CreateEmptyEDecl(u"a", &doc_));
  TKaElementDecl* b = doctype_->SetElementDecl(TKaElementDecl::CreateEmptyEDecl(u"b", &doc_));
  ASSERT_EQ(doctype_->GetElementDecl(u"b"), b);

  list.RemoveChildNode(b).reset();  // the last indexed node, destroyed
  EXPECT_EQ(doctype_->GetElementDecl(u"b"), nullptr);
  TKaXMLNode* c = list.AppendChild(TKaElementDecl::CreateEmptyEDecl(u"c", &doc_));
  EXPECT_EQ(doctype_->GetElementDecl(u"c"), c);

  list.ReplaceChild(TKaElementDecl::CreateEmptyEDecl(u"d", &doc_), a).reset();
  EXPECT_EQ(doctype_->GetElementDecl(u"a"), nullptr);
  EXPECT_NE(doctype_->GetElementDecl(u"d"), nullptr);

  list.Clear();
  EXPECT_EQ(doctype_->GetElementDecl(u"c"), nullptr);
  EXPECT_EQ(doctype_->GetElementDecl(u"d"), nullptr);
}

TEST_F(DocumentTypeLookup, ManyDeclarationsAreLookedUpWithoutListWalks) {
  constexpr int kCount = 50'000;
  for (int i = 0; i < kCount; ++i) {
    const std::u16string name = u"e" + SystemToWide(std::to_string(i));
    doctype_->SetElementDecl(TKaElementDecl::CreateEmptyEDecl(name, &doc_));
    General(name, u"v");
  }
  // Quadratic lookups would take minutes here.
  for (int i = 0; i < kCount; ++i) {
    const std::u16string name = u"e" + SystemToWide(std::to_string(i));
    ASSERT_NE(doctype_->GetElementDecl(name), nullptr);
    ASSERT_NE(doctype_->GetEntityDecl(name), nullptr);
  }
}

using DocumentTypeSetters = DtdTest;

TEST_F(DocumentTypeSetters, FirstEntityBindsAndTheRefusedOneStaysWithTheCaller) {
  General(u"x", u"general");
  auto parameter = TKaPEntityDecl::CreateEntity(u"x", &doc_);
  EXPECT_EQ(doctype_->SetEntityDecl(std::move(parameter)), nullptr);
  ASSERT_NE(parameter, nullptr);  // still owned here
  EXPECT_EQ(doctype_->GetEntityDecl(u"x")->GetValue(), u"general");
  EXPECT_EQ(doctype_->GetContentList().Length(), 1);
}

TEST_F(DocumentTypeSetters, AttributeListsMergeIntoTheFirstAndTheFirstDefinitionWins) {
  Attribute(u"a", u"t", atCDATA, dkImplied);
  auto second = TKaAttListDecl::CreateAttList(u"A", &doc_);
  second->AddAtt(TKaAttDef::CreateAttDef(u"T", atID, u"", dkRequired, &doc_));
  second->AddAtt(TKaAttDef::CreateAttDef(u"u", atNMTOKEN, u"x", dkValue, &doc_));
  EXPECT_EQ(doctype_->SetAttListDecl(std::move(second)), nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->GetAttList().Length(), 2);  // the caller's object is untouched

  TKaAttListDecl* list = doctype_->GetAttListDecl(u"a");
  ASSERT_EQ(list->GetAttList().Length(), 2);
  EXPECT_EQ(list->GetAtt(u"t")->GetAttrType(), atCDATA);
  EXPECT_EQ(list->GetAtt(u"u")->GetDefaultValue(), u"x");
  EXPECT_EQ(list->GetAtt(u"u")->GetParent(), list);
  EXPECT_EQ(doctype_->GetContentList().Length(), 1);
  // A definition already there is refused and stays with the caller.
  auto again = TKaAttDef::CreateEmptyAttDef(u"t", &doc_);
  EXPECT_EQ(doctype_->SetAttDef(u"a", std::move(again)), nullptr);
  EXPECT_NE(again, nullptr);
}

using DocumentTypeValidate = DtdTest;

TEST_F(DocumentTypeValidate, DuplicatesStandaloneAndNotations) {
  doc_.SetDocumentElement(doc_.CreateElement(u"a"));
  struct Case {
    int declarations;
    int messages;
  };
  for (const Case c : {Case{1, 0}, Case{2, 2}, Case{3, 6}}) {
    parser_.GetErrors().Clear();
    while (TKaXMLNode* d = doctype_->GetElementDecl(u"e")) doctype_->RemoveNode(d).reset();
    for (int i = 0; i < c.declarations; ++i)
      doctype_->SetElementDecl(TKaElementDecl::CreateEmptyEDecl(u"e", &doc_));
    doctype_->Validate();
    EXPECT_EQ(parser_.GetErrors().Count(), c.messages) << c.declarations;
  }

  parser_.GetErrors().Clear();
  doc_.SetStandalone(true);
  External(u"x", u"x.xml");
  External(u"pic", u"pic.png", u"png");
  General(u"in", u"v");
  doctype_->Validate();
  ASSERT_EQ(parser_.GetErrors().Count(), 6 + 3);
  EXPECT_EQ(parser_.GetErrors()[6]->GetMessage(), "[XML]: Wrong document standalone declaration.");
  EXPECT_EQ(parser_.GetErrors()[7]->GetMessage(), "[XML]: Wrong document standalone declaration.");
  EXPECT_EQ(parser_.GetErrors()[8]->GetMessage(),
            "[Unparsed entity declaration: \"pic\"]: Notation name \"png\" is not declared.");

  // Notation names compare exactly, in either mode.
  parser_.GetErrors().Clear();
  doc_.SetStandalone(false);
  doctype_->SetNotationDecl(TKaNotation::CreateNotation(u"PNG", &doc_));
  doctype_->Validate();
  EXPECT_EQ(parser_.GetErrors().Count(), 7);
  parser_.GetErrors().Clear();
  doctype_->SetNotationDecl(TKaNotation::CreateNotation(u"png", &doc_));
  doctype_->Validate();
  EXPECT_EQ(parser_.GetErrors().Count(), 6);
}

using DocumentTypeWrite = DtdTest;

TEST_F(DocumentTypeWrite, EveryDeclarationInTheInlineLayout) {
  Attribute(u"a", u"id", atID, dkImplied);
  TKaAttDef* t = Attribute(u"a", u"t", atEnumeration, dkValue, u"x");
  t->SetEnumeration(TKaEnumeration::CreateEmptyEnumeration(&doc_));
  t->GetEnumeration()->AddElement(u"x");
  t->GetEnumeration()->AddElement(u"y");
  General(u"e", u"v");
  Parameter(u"p", u"(#PCDATA)");
  auto png = TKaNotation::CreateNotation(u"png", &doc_);
  png->SetSystemLiteral(u"image/png");
  doctype_->SetNotationDecl(std::move(png));
  doctype_->SetComment(TKaXMLComment::CreateComment(u" c ", &doc_));
  doctype_->SetPReference(TKaPEntityReference::CreateReference(u"p", &doc_));

  const std::string expected =
      "<!DOCTYPE a [\r\n"
      "   <!ATTLIST a\r\n"
      "             id ID #IMPLIED\r\n"
      "             t\r\n"
      "              (x |y ) \"x\">\r\n"
      "   <!ENTITY e \"v\">\r\n"
      "   <!ENTITY % p \"(#PCDATA)\">\r\n"
      "   <!NOTATION png\r\n"
      "             SYSTEM \"image/png\">\r\n";
  // The reference writes nothing: the declarations it brought follow it.
  EXPECT_EQ(Doctype(wmStandalone), expected + "\r\n      <!-- c -->]>\r\n");
}

TEST_F(DocumentTypeWrite, ExternalIdentifierByModeKeepsTheInternalSubset) {
  EXPECT_EQ(Doctype(wmStandalone), "<!DOCTYPE a []>\r\n");
  doctype_->SetSystemLiteral(u"a.dtd");
  EXPECT_EQ(Doctype(wmStandard), "<!DOCTYPE a SYSTEM \"a.dtd\" []>\r\n");
  General(u"e", u"v");
  const std::string subset = " [\r\n   <!ENTITY e \"v\">\r\n]>\r\n";
  struct Case {
    TWriteMode mode;
    std::string expected;
  };
  for (const Case& c : {Case{wmStandard, "<!DOCTYPE a SYSTEM \"a.dtd\"" + subset},
                        // a.dtd was never read: its identifier stays.
                        Case{wmStandalone, "<!DOCTYPE a SYSTEM \"a.dtd\"" + subset},
                        Case{wmLinkedDTD, "<!DOCTYPE a SYSTEM \"a.dtd\" []>\r\n"},
                        Case{wmExternalDTD, "<!DOCTYPE a SYSTEM \"a.dtd\"" + subset},
                        Case{wmAllExternal, "<!DOCTYPE a SYSTEM \"a.dtd\"" + subset}})
    EXPECT_EQ(Doctype(c.mode), c.expected) << c.mode;

  doctype_->SetPublicLiteral(u"-//X//DTD a//EN");
  doctype_->SetSystemLiteral(u"say \"a\".dtd");
  EXPECT_EQ(Doctype(wmLinkedDTD),
            "<!DOCTYPE a PUBLIC \"-//X//DTD a//EN\" 'say \"a\".dtd' []>\r\n");
}

}  // namespace
}  // namespace lumora::testing

namespace lumora::testing {
namespace {

using DocumentTypeSearch = DtdTest;

TEST_F(DocumentTypeSearch, ElementDeclarationsAnswerToTheirModelText) {
  TKaElementDecl* a = doctype_->SetElementDecl(TKaElementDecl::CreateEmptyEDecl(u"a", &doc_));
  a->SetContentModel(TKaContentModel::CreateCMFromString(u"(b,(c|d)+)", &doc_));
  TKaElementDecl* partial = doctype_->SetElementDecl(TKaElementDecl::CreateEmptyEDecl(u"p", &doc_));
  EXPECT_EQ(doc_.Find(u"(c|d)+", nullptr, fnValues), a);
  EXPECT_EQ(doc_.Find(u"(C|D)+", nullptr, fnValues | fnCaseSensitive), nullptr);
  EXPECT_EQ(doc_.Find(u"(c|d)+", nullptr, fnNames), nullptr);
  // A declaration the parser never gave a model is passed over, not dereferenced.
  EXPECT_EQ(doc_.Find(u"p", partial, fnValues), nullptr);
  EXPECT_EQ(doc_.TakeNext(a), partial);
}

}  // namespace
}  // namespace lumora::testing

namespace lumora::testing {
namespace {

using PartialDeclarations = DtdTest;

// What a syntax error leaves behind: declarations whose parts were never set.
TEST_F(PartialDeclarations, AreWrittenAndValidatedWithoutTheMissingParts) {
  doc_.SetDocumentElement(doc_.CreateElement(u"a"));
  doctype_->SetElementDecl(TKaElementDecl::CreateEmptyEDecl(u"a", &doc_));
  Attribute(u"a", u"typed", atEnumeration, dkValue, u"x");  // enumeration never made
  doctype_->GetAttListDecl(u"a")->AddAtt(TKaAttDef::CreateEmptyAttDef(u"bare", &doc_));
  doctype_->SetEntityDecl(TKaGEntityDecl::CreateEntity(u"e", &doc_));
  auto unparsed = TKaGEntityDecl::CreateEntity(u"u", &doc_);
  unparsed->SetUnparsed(true);  // no identifier, no notation
  doctype_->SetEntityDecl(std::move(unparsed));
  doctype_->SetNotationDecl(TKaNotation::CreateNotation(u"n", &doc_));

  for (TWriteMode mode : {wmStandard, wmStandalone, wmLinkedDTD, wmExternalDTD, wmAllExternal})
    EXPECT_NE(Doctype(mode).find("<!DOCTYPE a"), std::string::npos) << mode;
  EXPECT_EQ(Doctype(wmStandalone),
            "<!DOCTYPE a [\r\n"
            "   <!ATTLIST a>\r\n"
            "   <!ENTITY e \"\">\r\n"
            "   <!ENTITY u \"\">\r\n"
            "   <!NOTATION n>\r\n"
            "]>\r\n\r\n<a/>");
  doctype_->Validate();
  doc_.GetDocumentElement()->Validate();
  EXPECT_EQ(parser_.GetErrors().Count(), 1);  // the notation of the unparsed entity
}

}  // namespace
}  // namespace lumora::testing
