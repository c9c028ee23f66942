// Documents with a DTD: the internal subset read declaration by declaration,
// parameter entities, conditional sections in their text, the guard on
// expansion, and what a failed DTD leaves behind. Each table holds minimal
// documents of one kind.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lumora/dom/document.h"
#include "lumora/dtd/attlist_decl.h"
#include "lumora/dtd/entity_decl.h"
#include "lumora/dtd/document_type.h"
#include "lumora/dtd/expansion_guard.h"
#include "lumora/io/write_mode.h"
#include "lumora/parser/dtd_parser.h"
#include "parser/parser_testing.h"

namespace lumora {
namespace {

using testing::ParseText;

std::unique_ptr<TKaXMLDocument> Parse(const std::string& text, bool strict = true) {
  return ParseText(text, strict);
}

// The error a parse raises; an empty message and line 0 when it raises none.
EKaOrvaneError ErrorOf(const std::string& text, bool strict = true) {
  TKaOrvane parser(nullptr);
  parser.SetStandardXML(strict);
  std::unique_ptr<TKaXMLDocument> doc;
  TStringStream stream(text);
  try {
    parser.Parse(stream, doc);
  } catch (const EKaOrvaneError& e) {
    return e;
  }
  return EKaOrvaneError("");
}

std::string Doc(const std::string& subset, const std::string& body = "<a/>") {
  return "<!DOCTYPE a [" + subset + "]>" + body;
}

TEST(DTD, InternalSubsetsThatRead) {
  const std::vector<std::string> subsets = {
      "<!ELEMENT a (b,(c|d)+,e?)><!ELEMENT b EMPTY><!ATTLIST a t (x|y) \"x\" id ID #IMPLIED>"
      "<!ENTITY e \"v\"><!NOTATION png SYSTEM \"image/png\">",
      "<!ENTITY % t \"(#PCDATA)\"><!ELEMENT a %t;>",
      "<!-- a comment --><?pi data?><!ELEMENT a ANY>",
      "\n  <!ELEMENT a EMPTY>\n  <!ATTLIST a n (-1|0|1) \"0\">\n",
      "<!ATTLIST a x CDATA #FIXED \"1\" y NMTOKENS #REQUIRED z NOTATION (png) #IMPLIED>",
      "<!NOTATION png PUBLIC \"-//PNG//EN\"><!ENTITY pic SYSTEM \"p.png\" NDATA png>",
      "<!ENTITY ext PUBLIC \"-//X//EN\" \"x.ent\">",
      "<!ENTITY % p \"<!ELEMENT a EMPTY>\">%p;",
      // A reference may stand for a name or a type inside a declaration.
      "<!ENTITY % n \"a\"><!ENTITY % ty \"CDATA\"><!ATTLIST %n; x %ty; #IMPLIED>",
      // Conditional sections in the text of parameter entities.
      "<!ENTITY % i \"<![INCLUDE[<!ELEMENT a EMPTY>]]>\">%i;",
      "<!ENTITY % g \"<![IGNORE[<!ELEMENT a <![ nonsense ]]> ]]><!ELEMENT a EMPTY>\">%g;",
      "<!ENTITY % on \"INCLUDE\"><!ENTITY % s \"<![%on;[<!ELEMENT a EMPTY>]]>\">%s;",
      // The keyword given by a reference in the section's own text, as DTDs
      // switch modules on and off.
      "<!ENTITY % on \"INCLUDE\"><!ENTITY % s \"<![ &#37;on; [<!ELEMENT a EMPTY>]]>\">%s;",
      // Hooks that stand for nothing after a content model.
      "<!ENTITY % u \"\"><!ELEMENT a (#PCDATA)* %u; %u;>",
      // Empty entity texts and references one after the other.
      "<!ENTITY % e \"\"><!ENTITY % f \"%e;\">%e;%f; %e;",
  };
  for (const std::string& subset : subsets) {
    SCOPED_TRACE(subset);
    for (const bool strict : {true, false}) {
      EXPECT_NO_THROW(Parse(Doc(subset), strict)) << (strict ? "strict" : "relaxed");
    }
  }
}

TEST(DTD, MessagesOfMalformedDeclarations) {
  struct TCase {
    const char* Subset;
    const char* Message;
  };
  const TCase cases[] = {
      {"<!ATTLIST a x STRING #IMPLIED>", "Unknown attribute type: \"STRING\"."},
      {"<!ATTLIST a x CDATA>", "Attribute defaults required or incorrect."},
      {"<!ATTLIST a x CDATA foo>", "Attribute defaults required or incorrect."},
      {"<!ELEMENT a %p;>",
       "Can't retrieve parameter entity value. Entity \"p\" is not declared."},
      {"%p;", "Can't retrieve parameter entity value. Entity \"p\" is not declared."},
      {"<!ENTITY % p SYSTEM \"p.ent\" NDATA png>", "Illegal occurence of \"NDATA\""},
      {"<!ENTITY e>", "Illegal occurence of \">\"."},
      {"<![INCLUDE[<!ELEMENT a EMPTY>]]>",
       "Conditional sections are not allowed in the internal subset."},
      {"<!ELEMENT a EMPTY> junk", "Illegal occurence of \"junk\""},
      {"<!ENTITY % p \"<!ELEMENT a EMPTY> junk\">%p;", "Illegal occurence of \"junk\""},
      {"<!ENTITY % p \"<![IGNORE[ \">%p;]]>",
       "Conditional section does not have a matching end."},
      {"<!ELEMENT a EMPTY", "Illegal occurence of \"]\""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Subset);
    for (const bool strict : {true, false}) {
      const EKaOrvaneError e = ErrorOf(Doc(c.Subset), strict);
      EXPECT_EQ(e.Message(), c.Message) << (strict ? "strict" : "relaxed");
      EXPECT_EQ(e.GetLine(), 1);
    }
  }
}

TEST(DTD, StrictSyntaxWantsKeywordsAsWrittenAndWhiteSpace) {
  const char* subsets[] = {
      "<!ATTLIST a x cdata #IMPLIED>",
      "<!ATTLIST a x CDATA #implied>",
      "<!ATTLIST a x CDATA#IMPLIED>",
      "<!ENTITY e SYSTEM \"e.png\" ndata png>",
      "<!ENTITY%p \"x\">",
      "<!ENTITY e PUBLIC \"-//X//EN\">",
      "<?xml version='1.0' encoding='UTF-8'?>",
  };
  for (const char* subset : subsets) {
    SCOPED_TRACE(subset);
    EXPECT_NE(ErrorOf(Doc(subset), true).Message(), "");
    EXPECT_EQ(ErrorOf(Doc(subset), false).Message(), "");
  }
}

TEST(DTD, TheFirstDeclarationBinds) {
  for (const bool strict : {true, false}) {
    auto doc = Parse(Doc("<!ATTLIST a x CDATA 'first' y (p|q) 'p'>"
                         "<!ATTLIST a x (u|v) 'u' z NMTOKEN #REQUIRED y CDATA #IMPLIED>"
                         "<!ENTITY e 'one'><!ENTITY e SYSTEM 'two.xml'><!ENTITY % e 'three'>"
                         "<!ENTITY Agrave '&#192;'><!ENTITY agrave '&#224;'>"),
                     strict);
    const TKaDocumentType& doctype = *doc->GetDocumentType();
    const TKaAttListDecl* list = doctype.GetAttListDecl(u"a");
    ASSERT_NE(list, nullptr);
    // One declaration holds the definitions of both, the first of each name.
    int lists = 0;
    for (const TKaXMLNode* n = doctype.GetFirstNode(); n; n = n->Next())
      lists += n->GetType() == ATTLIST_DECL_NODE;
    EXPECT_EQ(lists, 1);
    ASSERT_NE(list->GetAtt(u"x"), nullptr);
    EXPECT_EQ(list->GetAtt(u"x")->GetDefaultValue(), u"first");
    EXPECT_EQ(list->GetAtt(u"x")->GetAttrType(), atCDATA);
    EXPECT_EQ(list->GetAtt(u"y")->GetAttrType(), atEnumeration);
    ASSERT_NE(list->GetAtt(u"z"), nullptr);
    EXPECT_EQ(list->GetAtt(u"z")->GetDefaultKind(), dkRequired);
    EXPECT_EQ(doctype.GetEntityDecl(u"e")->GetValue(), u"one");
    EXPECT_TRUE(doctype.GetEntityDecl(u"e")->IsInternal());
    EXPECT_EQ(doctype.GetEntityDecl(u"Agrave")->GetValue(), u"\u00C0");
    EXPECT_EQ(doctype.GetEntityDecl(u"agrave")->GetValue(), u"\u00E0");
  }
}

TEST(DTD, ParameterEntityTextIsTheValueAsDeclared) {
  // The character reference was expanded at the declaration of d: what it
  // gave is the value of q, not markup to read again.
  auto doc = Parse(Doc("<!ENTITY % d '<!ENTITY q \"&#38;#34;\">'> %d;"));
  const TKaXMLNode* q = doc->GetDocumentType()->GetEntityDecl(u"q");
  ASSERT_NE(q, nullptr);
  EXPECT_EQ(q->GetValue(), u"\"");

  // "&#37;" is a percent sign in a value, never a reference.
  doc = Parse(Doc("<!ENTITY % d '<!ENTITY r \"&#37;x;\">'> %d;"));
  const TKaXMLNode* r = doc->GetDocumentType()->GetEntityDecl(u"r");
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->GetValue(), u"%x;");
}

TEST(DTD, LinesInsideEntityTextDoNotCount) {
  // The error lies in the text of the entity referred to on line 3; the
  // text holds two line breaks of its own.
  const EKaOrvaneError e = ErrorOf(
      "<!DOCTYPE a [\n<!ENTITY % p \"&#10;&#10;<!ELEMENT a EMPTY> junk\">\n%p;]><a/>");
  EXPECT_EQ(e.Message(), "Illegal occurence of \"junk\"");
  EXPECT_EQ(e.GetLine(), 3);
}

TEST(DTD, ParameterEntityReferencesMakeUndeclaredEntitiesAMatterOfValidity) {
  // Declarations a parameter entity brings may declare the entity; without
  // one, the strict grammar refuses an undeclared entity.
  EXPECT_NO_THROW(Parse(Doc("<!ENTITY % p \"\"> %p;", "<a>&u;</a>")));
  EXPECT_EQ(ErrorOf(Doc("<!ENTITY % p \"\">", "<a>&u;</a>")).Message(),
            "Entity \"u\" is not declared.");
}

TEST(DTD, TheStandaloneDeclarationStaysAsWritten) {
  auto doc = Parse(
      "<?xml version='1.0' standalone='yes'?>" +
      Doc("<!NOTATION n SYSTEM 'n'><!ENTITY e SYSTEM 'e.xml'><!ENTITY u SYSTEM 'u' NDATA n>"));
  EXPECT_TRUE(doc->GetStandalone());
}

TEST(DTD, TheGuardStopsCyclesAndRunawayExpansion) {
  std::string laughs = "<!ENTITY % p0 \"lol\">";
  for (int i = 1; i < 10; ++i) {
    laughs += "<!ENTITY % p" + std::to_string(i) + " \"";
    for (int k = 0; k < 10; ++k) laughs += "%p" + std::to_string(i - 1) + ";";
    laughs += "\">";
  }
  std::string nested = "<!ENTITY % p0 \"\">";
  for (int i = 1; i < 10; ++i) {
    nested += "<!ENTITY % p" + std::to_string(i) + " '";
    for (int k = 0; k < 10; ++k) nested += "&#37;p" + std::to_string(i - 1) + ";";
    nested += "'>";
  }
  const std::string limit = "Entity expansion exceeds the limit of " +
                            std::to_string(TExpansionGuard::kFreeCharacters) + " characters.";
  struct TCase {
    std::string Subset;
    std::string Message;
  };
  const TCase cases[] = {
      {"<!ENTITY % a \"x%a;\">", "Entity \"a\" refers to itself."},
      {"<!ENTITY % a \"<!ENTITY &#37; b '%a;'>\">%a;", "Entity \"a\" refers to itself."},
      {"<!ENTITY % a '&#37;b;'><!ENTITY % b '&#37;a;'>%a;", "Entity \"a\" refers to itself."},
      {"<!ENTITY % a '<!ENTITY x \"\">%a;'>%a;", "Entity \"a\" refers to itself."},
      // Expanded in the values, and expanded as declarations.
      {laughs, limit},
      {nested + "%p9;", limit},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Subset.substr(0, 80));
    const EKaOrvaneError e = ErrorOf(Doc(c.Subset));
    EXPECT_EQ(e.Message(), c.Message);
    EXPECT_EQ(e.GetLine(), 1);
  }
}

TEST(DTD, TheBudgetGrowsWithTheInput) {
  TExpansionGuard guard(1 << 20);
  EXPECT_EQ(guard.GetLimit(), 100 << 20);
  guard.Reset(10);
  EXPECT_EQ(guard.GetLimit(), TExpansionGuard::kFreeCharacters);
  guard.Produce(TExpansionGuard::kFreeCharacters);
  EXPECT_THROW(guard.Produce(1), EKaOrvaneError);
}

TEST(DTD, DeepConditionalSectionsAndReferencesEndCleanly) {
  std::string sections;
  for (int i = 0; i < 100000; ++i) sections += "<![INCLUDE[";
  EXPECT_EQ(ErrorOf(Doc("<!ENTITY % s '" + sections + "'>%s;")).Message(),
            "Conditional sections are nested deeper than 256 levels.");
  std::string chain;
  for (int i = 0; i < 100; ++i)
    chain += "<!ENTITY % e" + std::to_string(i + 1) + " '&#37;e" + std::to_string(i) + ";'>";
  const EKaOrvaneError e = ErrorOf(Doc("<!ENTITY % e0 ''>" + chain + "%e100;"));
  EXPECT_NE(e.Message().find("is nested deeper than"), std::string::npos) << e.Message();
}

TEST(DTD, AnExternalDTDIsDeclarationsToItsEnd) {
  auto doc = Parse("<!DOCTYPE a><a/>");
  TDTDParser dtd(nullptr);
  TStringStream good(
      "<?xml version='1.0' encoding='ISO-8859-1'?>\n<![INCLUDE[<!ENTITY e '\xE9'>]]>\n"
      "<![ IGNORE [ <!ENTITY e 'x'> <![ ]]> junk ]]>");
  dtd.ParseFromStream(good, doc.get());
  const TKaXMLNode* e = doc->GetDocumentType()->GetEntityDecl(u"e");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->GetValue(), u"\u00E9");

  TStringStream stray("<!ENTITY f 'v'>\n junk");
  try {
    dtd.ParseFromStream(stray, doc.get());
    ADD_FAILURE() << "a stray token ended the DTD";
  } catch (const EKaOrvaneError& error) {
    EXPECT_EQ(error.Message(), "Illegal occurence of \"junk\"");
    EXPECT_EQ(error.GetLine(), 2);
  }

  // A DTD that fails inside an entity's text leaves the guard of the
  // document's parser as it found it.
  TKaOrvane parser(nullptr);
  std::unique_ptr<TKaXMLDocument> owned;
  TStringStream text("<!DOCTYPE a><a/>");
  parser.Parse(text, owned);
  TStringStream broken("<!ENTITY % p '<!ELEMENT x EMPTY> junk'>%p;");
  EXPECT_THROW(dtd.ParseFromStream(broken, owned.get()), EKaOrvaneError);
  EXPECT_EQ(parser.GetExpansionGuard()->GetDepth(), 0);
  TStringStream next("<!ENTITY % q '<!ENTITY z \"1\">'>%q;<!ENTITY y '2'>");
  dtd.ParseFromStream(next, owned.get());
  EXPECT_NE(owned->GetDocumentType()->GetEntityDecl(u"y"), nullptr);
}

TEST(DTD, APartialDTDCanBeWrittenAndValidated) {
  const char* subsets[] = {
      "<!ELEMENT a (b,",
      "<!ELEMENT a EMPTY><!ATTLIST a x (p|q",
      "<!ATTLIST a x CDATA #IMPLIED y",
      "<!ENTITY e SYSTEM",
      "<!NOTATION n PUBLIC",
      "<!ENTITY % p '<!ELEMENT a (b'>%p;",
  };
  for (const char* subset : subsets) {
    SCOPED_TRACE(subset);
    TKaOrvane parser(nullptr);
    parser.SetStandardXML(true);
    std::unique_ptr<TKaXMLDocument> doc;
    TStringStream input(Doc(subset));
    EXPECT_THROW(parser.Parse(input, doc), EKaOrvaneError);
    ASSERT_NE(doc, nullptr);
    for (const TWriteMode mode : {wmStandard, wmStandalone, wmLinkedDTD}) {
      doc->SetWriteMode(mode);
      TStringStream output("");
      doc->WriteToStream(output);
    }
    parser.Validate(doc.get());
  }
}

}  // namespace
}  // namespace lumora
