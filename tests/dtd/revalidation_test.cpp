// Validation remembers what it looked up (declarations by name, attribute
// definitions, content-model symbols): a document validated, changed and
// validated again must be judged by what it and its DTD hold now.
#include <string>
#include <vector>

#include "dtd/dtd_testing.h"
#include "lumora/dom/attr.h"
#include "lumora/dtd/attlist_decl.h"
#include "parser/parser_testing.h"

namespace lumora::testing {
namespace {

std::string NotDeclared(const std::string& element) {
  return "[Element \"" + element + "\"]: Element is not declared.";
}

class Revalidation : public ::testing::Test {
 protected:
  // Parses text with validation; strict unless Lenient.
  void Load(const std::string& text, bool lenient = false) {
    parser_.SetStandardXML(!lenient);
    parser_.SetValidateDocument(true);
    doc_ = ParseText(parser_, text);
    ASSERT_TRUE(doc_);
    doctype_ = doc_->GetDocumentType();
    ASSERT_TRUE(doctype_);
  }
  std::vector<std::string> Validate() {
    parser_.Validate(doc_.get());
    return ValidityMessages(parser_);
  }
  TKaXMLElement& Root() { return *doc_->GetDocumentElement(); }
  // The root's child element number i, from 0.
  TKaXMLElement* Child(int i) {
    TKaXMLNode* node = Root().GetNodeList().GetRoot(ELEMENT_NODE);
    for (; i > 0 && node; --i) node = node->NextSibling();
    return node ? TKaXMLElement::AsElement(node) : nullptr;
  }

  TKaOrvane parser_{nullptr};
  std::unique_ptr<TKaXMLDocument> doc_;
  TKaDocumentType* doctype_ = nullptr;
};

TEST_F(Revalidation, DeclarationsChangedThroughTheTreeCountAtTheNextValidation) {
  Load("<!DOCTYPE r [<!ELEMENT r ANY><!ELEMENT a EMPTY>]><r><a/><b/><a/><b/></r>");
  EXPECT_EQ(ValidityMessages(parser_), (std::vector<std::string>{NotDeclared("b"), NotDeclared("b")}));

  // A declaration added: b is known now.
  doctype_->SetElementDecl(TKaElementDecl::CreateEDecl(u"b", cmEmpty, doc_.get()));
  EXPECT_EQ(Validate(), std::vector<std::string>{});

  // A declaration removed: a is unknown again.
  doctype_->RemoveNode(doctype_->GetElementDecl(u"a")).reset();
  EXPECT_EQ(Validate(), (std::vector<std::string>{NotDeclared("a"), NotDeclared("a")}));

  // An attribute definition added to an element that had no list, then one
  // that the element lacks made #REQUIRED.
  doctype_->SetElementDecl(TKaElementDecl::CreateEDecl(u"a", cmEmpty, doc_.get()));
  Child(0)->SetAttribute(u"k", u"v");
  EXPECT_EQ(Validate(), (std::vector<std::string>{
                            "[Element: \"a\" Attribute: \"k\"]: Attribute is not declared."}));
  doctype_->SetAttDef(u"a", TKaAttDef::CreateAttDef(u"k", atCDATA, u"", dkImplied, doc_.get()));
  doctype_->SetAttDef(u"a", TKaAttDef::CreateAttDef(u"m", atCDATA, u"", dkRequired, doc_.get()));
  const std::string missing =
      "[Element: \"a\" Attribute: \"m\"]: Element does not contain #REQUIRED attribute.";
  EXPECT_EQ(Validate(), (std::vector<std::string>{missing, missing}));

  // The definition removed from its list: undeclared again.
  TKaAttListDecl* list = doctype_->GetAttListDecl(u"a");
  list->RemoveAtt(list->GetAtt(u"k")).reset();
  EXPECT_EQ(Validate(), (std::vector<std::string>{
                            missing,
                            "[Element: \"a\" Attribute: \"k\"]: Attribute is not declared.",
                            missing}));
}

TEST_F(Revalidation, IdsFollowTheTreeBetweenValidations) {
  Load("<!DOCTYPE r [<!ELEMENT r ANY><!ELEMENT e EMPTY>"
       "<!ATTLIST e id ID #IMPLIED ref IDREF #IMPLIED>]>"
       "<r><e id='x'/><e ref='x'/><e id='y'/></r>");
  EXPECT_EQ(ValidityMessages(parser_), std::vector<std::string>{});

  // The only element with the ID goes: the reference names nothing.
  Root().RemoveChild(Child(0)).reset();
  EXPECT_EQ(Validate(),
            (std::vector<std::string>{
                "[Element: \"e\" Attribute: \"ref\" Value: \"x\"]: The value of an IDREF "
                "Attribute matches the value of a nonexisting ID attribute."}));

  // An ID given twice, then one of them taken away.
  TKaXMLElement* last = Child(1);
  last->SetAttribute(u"id", u"x");
  Child(0)->SetAttribute(u"id", u"x");
  const std::string twice =
      "[Element: \"e\" Attribute: \"id\" Value: \"x\"]: Attribute's value of type ID appears "
      "more than once.";
  EXPECT_EQ(Validate(), (std::vector<std::string>{twice, twice}));
  last->RemoveAttribute(u"id").reset();
  EXPECT_EQ(Validate(), std::vector<std::string>{});
}

TEST_F(Revalidation, NamesThatDifferInCaseFollowTheParsersMode) {
  const std::string text =
      "<!DOCTYPE r [<!ELEMENT r (a|A)*><!ELEMENT a EMPTY><!ATTLIST a k CDATA #IMPLIED>]>"
      "<r><a k='1'/><A K='2'/><a K='3'/></r>";
  Load(text);
  EXPECT_EQ(ValidityMessages(parser_),
            (std::vector<std::string>{
                NotDeclared("A"), "[Element: \"A\" Attribute: \"K\"]: Attribute is not declared.",
                "[Element: \"a\" Attribute: \"K\"]: Attribute is not declared."}));
  // The same tree once names compare without case: a and A are one type,
  // k and K one attribute.
  parser_.SetStandardXML(false);
  EXPECT_EQ(Validate(), std::vector<std::string>{});
  parser_.SetStandardXML(true);
  EXPECT_EQ(Validate().size(), 3u);

  // Read without case from the start, then compared exactly.
  Load(text, true);
  EXPECT_EQ(ValidityMessages(parser_), std::vector<std::string>{});
  parser_.SetStandardXML(true);
  EXPECT_EQ(Validate().size(), 3u);
}

TEST_F(Revalidation, DefinitionsOfOneNameInTwoCases) {
  Load("<!DOCTYPE r [<!ELEMENT r EMPTY><!ATTLIST r x NMTOKEN #IMPLIED X CDATA #IMPLIED>]>"
       "<r x='a b' X='a b'/>");
  const std::string notToken =
      "[Element: \"r\" Attribute: \"x\" Value: \"a b\"]: Attribute's value doesn't match "
      "NMTOKEN production .";
  EXPECT_EQ(ValidityMessages(parser_), std::vector<std::string>{notToken});
  TKaAttListDecl* list = doctype_->GetAttListDecl(u"r");
  TKaAttDef* lower = list->GetAtt(u"x");
  TKaAttDef* upper = list->GetAtt(u"X");
  ASSERT_TRUE(lower && upper && lower != upper);

  // Without case the first definition binds for both spellings.
  parser_.SetStandardXML(false);
  EXPECT_EQ(list->GetAtt(u"X"), lower);
  // Once it is gone, the other one answers to both.
  list->RemoveAtt(lower).reset();
  EXPECT_EQ(list->GetAtt(u"x"), upper);
  parser_.SetStandardXML(true);
  EXPECT_EQ(list->GetAtt(u"x"), nullptr);
  EXPECT_EQ(list->GetAtt(u"X"), upper);
  EXPECT_EQ(Validate(), (std::vector<std::string>{
                            "[Element: \"r\" Attribute: \"x\"]: Attribute is not declared."}));
  // A definition of the removed name comes back.
  list->AddAtt(TKaAttDef::CreateAttDef(u"x", atCDATA, u"", dkImplied, doc_.get()));
  EXPECT_NE(list->GetAtt(u"x"), nullptr);
  EXPECT_EQ(Validate(), std::vector<std::string>{});
}

TEST_F(Revalidation, ManyDistinctNamesAreEachJudgedByTheirOwnDeclarations) {
  // More element and attribute names than any lookup keeps: every one must
  // still find its own declaration, and the undeclared ones none.
  constexpr int kNames = 5000;
  std::string text = "<!DOCTYPE r [<!ELEMENT r ANY>";
  for (int i = 0; i < kNames; i += 2)
    text += "<!ELEMENT e" + std::to_string(i) + " EMPTY>";
  text += "<!ATTLIST e4998";
  for (int i = 0; i < 20; ++i) text += " a" + std::to_string(i) + " NMTOKEN #IMPLIED";
  text += ">]><r>";
  for (int i = 0; i < kNames; ++i) text += "<e" + std::to_string(i) + "/>";
  // The last declared element: content where none may be, an attribute of
  // each kind beyond the first few, one undeclared.
  text += "<e4998";
  for (int i = 0; i < 20; ++i) text += " a" + std::to_string(i) + "='t'";
  text += " b='1'><x/></e4998></r>";
  parser_.SetMaxValidityErrors(0);
  Load(text);
  const std::vector<std::string> messages = ValidityMessages(parser_);
  ASSERT_EQ(messages.size(), static_cast<size_t>(kNames / 2 + 3));
  EXPECT_EQ(messages.front(), NotDeclared("e1"));
  EXPECT_EQ(messages[kNames / 2 - 1], NotDeclared("e4999"));
  EXPECT_EQ(messages[kNames / 2],
            "[Element \"e4998\"]: Element declared as EMPTY can not have a content.");
  EXPECT_EQ(messages[kNames / 2 + 1],
            "[Element: \"e4998\" Attribute: \"b\"]: Attribute is not declared.");
  EXPECT_EQ(messages.back(), NotDeclared("x"));
}

TEST(ContentModelNames, ManyOrFewNamesInEitherMode) {
  // A model of more names than are compared one by one, and one of fewer,
  // in both modes of comparison.
  std::string names, decls;
  for (char c = 'a'; c <= 'l'; ++c) {
    names += std::string(names.empty() ? "" : "|") + c;
    decls += std::string("<!ELEMENT ") + c + " EMPTY>";
  }
  struct Case {
    const char* name;
    std::string model;
    std::string content;
    bool lenient;
    bool valid;
  };
  for (const Case& c : std::vector<Case>{
           {"many names, exact", "(" + names + ")*", "<a/><l/><f/>", false, true},
           {"many names, exact, other case", "(" + names + ")*", "<a/><L/>", false, false},
           {"many names, without case", "(" + names + ")*", "<A/><l/><F/>", true, true},
           {"many names, longer than any", "(" + names + ")*", "<a/><ab/>", true, false},
           {"few names, exact", "(a,b?)", "<a/><b/>", false, true},
           {"few names, exact, other case", "(a,b?)", "<a/><B/>", false, false},
           {"few names, without case", "(a,b?)", "<A/><B/>", true, true},
           {"few names, in the wrong order", "(a,b?)", "<b/><a/>", true, false},
       }) {
    SCOPED_TRACE(c.name);
    TKaOrvane parser(nullptr);
    parser.SetStandardXML(!c.lenient);
    parser.SetValidateDocument(true);
    std::string text = "<!DOCTYPE r [<!ELEMENT r " + c.model + ">" + decls;
    // Upper-case declarations, so that only the model can refuse them.
    for (char u = 'A'; u <= 'L'; ++u) text += std::string("<!ELEMENT ") + u + " EMPTY>";
    text += "<!ELEMENT ab EMPTY>]><r>" + c.content + "</r>";
    auto doc = ParseText(parser, text);
    std::vector<std::string> messages = ValidityMessages(parser);
    std::erase_if(messages, [](const std::string& m) { return m.find("[DTD]") == 0; });
    EXPECT_EQ(messages.empty(), c.valid) << (messages.empty() ? "" : messages.front());
  }
}

}  // namespace
}  // namespace lumora::testing
