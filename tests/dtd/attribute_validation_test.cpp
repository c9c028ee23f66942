// Attribute validation through the parser: one-line documents, validated as
// they are read, and the messages they give.
#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "dtd/dtd_testing.h"
#include "lumora/dom/attr.h"
#include "lumora/dtd/attlist_decl.h"
#include "parser/parser_testing.h"

namespace lumora::testing {
namespace {

// A strict, validating parser.
struct Validating : TKaOrvane {
  Validating() : TKaOrvane(nullptr) {
    SetStandardXML(true);
    SetValidateDocument(true);
  }
};

struct Case {
  const char* name;
  std::string doc;
  std::vector<std::string> messages;
};

void ExpectMessages(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Validating parser;
    auto doc = ParseText(parser, c.doc);
    EXPECT_EQ(ValidityMessages(parser), c.messages) << c.doc;
  }
}

const std::string kE = "<!ELEMENT a EMPTY>";

TEST(AttributeValidation, EachRuleGivesItsMessage) {
  ExpectMessages({
      {"missing #REQUIRED",
       "<!DOCTYPE a [" + kE + "<!ATTLIST a r CDATA #REQUIRED i CDATA #IMPLIED>]><a/>",
       {"[Element: \"a\" Attribute: \"r\"]: Element does not contain #REQUIRED attribute."}},
      {"undeclared, with a list",
       "<!DOCTYPE a [" + kE + "<!ATTLIST a r CDATA #IMPLIED>]><a x='1'/>",
       {"[Element: \"a\" Attribute: \"x\"]: Attribute is not declared."}},
      {"undeclared, without a list",
       "<!DOCTYPE a [" + kE + "]><a x='1'/>",
       {"[Element: \"a\" Attribute: \"x\"]: Attribute is not declared."}},
      {"required present, case counts",
       "<!DOCTYPE a [" + kE + "<!ATTLIST a r CDATA #REQUIRED R CDATA #IMPLIED>]><a R='1'/>",
       {"[Element: \"a\" Attribute: \"r\"]: Element does not contain #REQUIRED attribute."}},
      {"enumeration compares exactly",
       "<!DOCTYPE a [" + kE + "<!ATTLIST a t (yes|no) #IMPLIED>]><a t='Yes'/>",
       {"[Element: \"a\" Attribute: \"t\" Value: \"Yes\"]: Improper value of an enumerated "
        "attribute."}},
      {"NMTOKENS with a comma",
       "<!DOCTYPE a [" + kE + "<!ATTLIST a t NMTOKENS #IMPLIED>]><a t='a,b'/>",
       {"[Element: \"a\" Attribute: \"t\" Value: \"a,b\"]: Attribute's value doesn't match "
        "TOKENS production ."}},
      {"NMTOKEN",
       "<!DOCTYPE a [" + kE + "<!ATTLIST a t NMTOKEN #IMPLIED>]><a t='a b'/>",
       {"[Element: \"a\" Attribute: \"t\" Value: \"a b\"]: Attribute's value doesn't match "
        "NMTOKEN production ."}},
      {"ENTITY naming a parsed entity",
       "<!DOCTYPE a [" + kE + "<!ENTITY e 'x'><!ATTLIST a n ENTITY #IMPLIED>]><a n='e'/>",
       {"[Element: \"a\" Attribute: \"n\" Value: \"e\"]: The value of an ENTITY Attribute "
        "matches a nonexisting unparsed entity."}},
      {"ENTITIES, one unparsed and one missing, and a bad name",
       "<!DOCTYPE a [" + kE +
           "<!NOTATION gif SYSTEM 'g'><!ENTITY pic SYSTEM 'p.gif' NDATA gif>"
           "<!ATTLIST a n ENTITIES #IMPLIED>]><a n='pic 1x'/>",
       {"[Element: \"a\" Attribute: \"n\" Value: \"pic 1x\"]: Attribute's value doesn't match "
        "NAMES production .",
        "[Element: \"a\" Attribute: \"n\" Value: \"pic 1x\"]: The value of an ENTITY Attribute "
        "matches a nonexisting unparsed entity."}},
      {"NOTATION not declared, reported on the value in the DTD",
       "<!DOCTYPE a [<!ELEMENT a ANY>"
       "<!NOTATION png SYSTEM 'p'><!ATTLIST a n NOTATION (gif|png) #IMPLIED>]><a n='png'/>",
       {"[DTD]: Notation name \"gif\" is not declared."}},
      {"NOTATION value not listed",
       "<!DOCTYPE a [<!ELEMENT a ANY>"
       "<!NOTATION png SYSTEM 'p'><!ATTLIST a n NOTATION (png) #IMPLIED>]><a n='gif'/>",
       {"[Element: \"a\" Attribute: \"n\" Value: \"gif\"]: Improper value of an enumerated "
        "attribute."}},
      {"IDREF not a name",
       "<!DOCTYPE a [" + kE + "<!ATTLIST a r IDREF #IMPLIED>]><a r='1x'/>",
       {"[Element: \"a\" Attribute: \"r\" Value: \"1x\"]: Attribute's value doesn't match NAME "
        "production .",
        "[Element: \"a\" Attribute: \"r\" Value: \"1x\"]: The value of an IDREF Attribute "
        "matches the value of a nonexisting ID attribute."}},
      {"IDREFS not names",
       "<!DOCTYPE a [<!ELEMENT a (b)*><!ELEMENT b EMPTY><!ATTLIST b i ID #IMPLIED r IDREFS "
       "#IMPLIED>]><a><b i='x' r='x 1'/></a>",
       {"[Element: \"b\" Attribute: \"r\" Value: \"x 1\"]: Attribute value doesn't match NAMES "
        "production .",
        "[Element: \"b\" Attribute: \"r\" Value: \"x 1\"]: The value of an IDREF Attribute "
        "matches the value of a nonexisting ID attribute."}},
      {"ID with a plain default",
       "<!DOCTYPE a [" + kE + "<!ATTLIST a i ID 'x'>]><a i='y'/>",
       {"[Element: \"a\" Attribute: \"i\"]: An ID attribute must have a declared default of "
        "#IMPLIED or #REQUIRED."}},
      {"two ID attributes on one element: each hears of the other",
       "<!DOCTYPE a [" + kE + "<!ATTLIST a i ID #IMPLIED j ID #IMPLIED>]><a i='x' j='y'/>",
       {"[DTD]: Element \"a\" has more than one attribute of type ID declared.",
        "[Element: \"a\"]: Element has more than one attribute of type ID.",
        "[Element: \"a\"]: Element has more than one attribute of type ID."}},
      {"#FIXED differs: the literal as declared",
       "<!DOCTYPE a [" + kE + "<!ATTLIST a f CDATA #FIXED 'A&amp;B'>]><a f='A&amp;C'/>",
       {"[Element: \"a\" Attribute: \"f\" Value: \"A&C\"]: Attribute's value doesn't match the "
        "default value \"A&amp;B\"."}},
  });
}

TEST(AttributeValidation, DeclarationsFollowTheirOwnRules) {
  const std::string dtd = "<!DOCTYPE a [<!ELEMENT a ANY><!NOTATION n SYSTEM 'n'>";
  ExpectMessages({
      {"defaults that do not fit their types",
       dtd + "<!ATTLIST a t (yes|no) 'maybe' k NMTOKEN 'a b' r IDREF ' x ' s NMTOKENS ' p  q ' "
             "f (yes|no) #FIXED 'no'>]><a f='no'/>",
       {"[Element: \"a\" Attribute: \"t\"]: The default value \"maybe\" does not match the "
        "attribute's type.",
        "[Element: \"a\" Attribute: \"k\"]: The default value \"a b\" does not match the "
        "attribute's type."}},
      {"two NOTATION attributes",
       dtd + "<!ATTLIST a x NOTATION (n) #IMPLIED y NOTATION (n) #IMPLIED>]><a/>",
       {"[DTD]: Element \"a\" has more than one attribute of type NOTATION declared."}},
      {"NOTATION on an EMPTY element",
       "<!DOCTYPE a [<!ELEMENT a EMPTY><!NOTATION n SYSTEM 'n'>"
       "<!ATTLIST a x NOTATION (n) #IMPLIED>]><a/>",
       {"[DTD]: Element \"a\" is declared EMPTY and has an attribute of type NOTATION."}},
  });
}

TEST(AttributeValidation, ValidValuesGiveNoMessage) {
  const std::string dtd =
      "<!DOCTYPE a [<!ELEMENT a (b)*><!ELEMENT b ANY>"
      "<!NOTATION gif SYSTEM 'g'><!ENTITY pic SYSTEM 'p.gif' NDATA gif>"
      "<!ATTLIST b i ID #IMPLIED r IDREF #IMPLIED rs IDREFS #IMPLIED t (yes|no) #IMPLIED "
      "n NMTOKENS #IMPLIED e ENTITY #IMPLIED f CDATA #FIXED 'A&amp;B' "
      "k NMTOKEN #FIXED ' x ' m NOTATION (gif) #IMPLIED>]>";
  for (const std::string body : {
           "<a><b i='x'/><b r='x' rs='x  x' i='y'/></a>",
           "<a><b i=' x ' t=' yes'/><b r='x'/></a>",
           "<a><b n=' a  b ' e='pic' m='gif'/></a>",
           "<a><b f='A&amp;B' k='x'/><b f='A&#38;B' k=' x'/></a>",
           "<a><b/></a>",
       }) {
    Validating parser;
    auto doc = ParseText(parser, dtd + body);
    EXPECT_EQ(ValidityMessages(parser), std::vector<std::string>()) << body;
  }
}

TEST(AttributeValidation, IDsAreCountedAcrossTheDocument) {
  const std::string dtd =
      "<!DOCTYPE a [<!ELEMENT a (b)*><!ELEMENT b EMPTY>"
      "<!ATTLIST b id ID #IMPLIED refs IDREFS #IMPLIED>]>";
  Validating parser;
  auto doc = ParseText(parser, dtd + "<a><b id='x'/><b id='x'/><b refs='x y z'/></a>");
  const std::string twice =
      "[Element: \"b\" Attribute: \"id\" Value: \"x\"]: Attribute's value of type ID appears "
      "more than once.";
  const std::string missing =
      "[Element: \"b\" Attribute: \"refs\" Value: \"x y z\"]: The value of an IDREF Attribute "
      "matches the value of a nonexisting ID attribute.";
  EXPECT_EQ(ValidityMessages(parser), (std::vector<std::string>{twice, twice, missing, missing}));
  // Each message is on the attribute it concerns.
  TKaXMLElement* first = doc->GetDocumentElement()->GetFirstChild();
  EXPECT_EQ(parser.GetErrors()[0]->GetNode(), first->GetAttributeNode(u"id"));
  EXPECT_EQ(parser.GetErrors()[1]->GetNode(), first->NextSibling()->GetAttributeNode(u"id"));
}

TEST(AttributeValidation, TokenizedValuesAreNormalizedOnceTheElementIsRead) {
  struct Normalized {
    const char* type;
    const char* written;
    const char16_t* value;
  };
  for (const Normalized n : {
           Normalized{"ID", "' x '", u"x"},
           Normalized{"(yes|no)", "' yes'", u"yes"},
           Normalized{"NMTOKENS", "'  a \t\n b  '", u"a b"},
           // A character reference to a tab is not a space to collapse.
           Normalized{"NMTOKENS", "'a&#9; b'", u"a\t b"},
           // What a reference gave is not read again.
           Normalized{"NMTOKENS", "' &#38;amp;  b '", u"&amp; b"},
           Normalized{"CDATA", "' a  b '", u" a  b "},
       }) {
    TKaOrvane parser(nullptr);
    parser.SetStandardXML(true);
    auto doc = ParseText(parser, std::string("<!DOCTYPE a [<!ATTLIST a t ") + n.type +
                                     " #IMPLIED>]><a t=" + n.written + "/>");
    EXPECT_EQ(doc->GetDocumentElement()->GetAttribute(u"t"), n.value) << n.type << n.written;
  }
  TKaOrvane parser(nullptr);
  parser.SetStandardXML(true);
  auto doc = ParseText(parser,
                       "<!DOCTYPE a [<!ATTLIST a i ID #IMPLIED t (yes|no) #IMPLIED>]>"
                       "<a i=' x ' t=' yes'/>");
  const std::string written = Written(*doc);
  EXPECT_NE(written.find("<a i = \"x\" t = \"yes\"/>"), std::string::npos) << written;
}

TEST(AttributeValidation, ReferencesKeptAsWrittenMoveWithTheCollapsedValue) {
  // The relaxed grammar keeps an undeclared entity as written.
  TKaOrvane parser(nullptr);
  auto doc = ParseText(parser,
                       "<!DOCTYPE a [<!ATTLIST a t NMTOKENS #IMPLIED>]>"
                       "<a t='  &u;   x  &v; '/>");
  EXPECT_EQ(doc->GetDocumentElement()->GetAttribute(u"t"), u"&u; x &v;");
  const std::string written = Written(*doc);
  EXPECT_NE(written.find("t = \"&u; x &v;\""), std::string::npos) << written;
}

TEST(AttributeValidation, GetAttrTypeLooksTheDeclarationUp) {
  TKaOrvane parser(nullptr);
  parser.SetStandardXML(true);
  auto doc = ParseText(parser,
                       "<!DOCTYPE a [<!ATTLIST a i ID #IMPLIED n NMTOKENS #IMPLIED>]>"
                       "<a i='x' n='y' c='z'><b i='w'/></a>");
  TKaXMLElement* a = doc->GetDocumentElement();
  EXPECT_EQ(a->GetAttributeNode(u"i")->GetAttrType(), atID);
  EXPECT_EQ(a->GetAttributeNode(u"n")->GetAttrType(), atNMTOKENS);
  EXPECT_EQ(a->GetAttributeNode(u"c")->GetAttrType(), atCDATA);
  EXPECT_EQ(a->GetFirstChild()->GetAttributeNode(u"i")->GetAttrType(), atCDATA);
  EXPECT_EQ(a->GetAttributesByType(atID)->Length(), 1);
  // Once in the tree, a value set again is normalized by its type.
  a->SetAttribute(u"n", u"  p   q ");
  EXPECT_EQ(a->GetAttribute(u"n"), u"p q");
  // Free, it has no element to be declared for.
  auto removed = a->RemoveAttribute(u"i");
  EXPECT_EQ(removed->GetAttrType(), atCDATA);
}

TEST(AttributeValidation, ErrorsStopAtTheLimitWithOneMoreEntry) {
  std::string doc = "<!DOCTYPE a [<!ELEMENT a ANY>]><a>";
  for (int i = 0; i < 10; ++i) doc += "<u/>";
  doc += "</a>";
  Validating parser;
  parser.SetMaxValidityErrors(3);
  TStringStream stream(doc);
  std::unique_ptr<TKaXMLDocument> parsed;
  EXPECT_FALSE(parser.Parse(stream, parsed));
  ASSERT_EQ(parser.GetErrors().Count(), 4);
  EXPECT_EQ(parser.GetErrors()[3]->GetMessage(),
            "[XML]: Too many validity errors; only the first 3 are listed.");
  EXPECT_EQ(parser.GetErrors()[3]->GetNode(), nullptr);

  parser.SetMaxValidityErrors(0);  // all of them
  ParseText(parser, doc);
  EXPECT_EQ(parser.GetErrors().Count(), 10);
}

TEST(AttributeValidation, IDsAndReferencesAcrossManyElements) {
  // Thousands of elements, so that the IDs are counted as in a large
  // document: a few values repeat far apart, references point forward to
  // IDs met only at the end, and default IDs count as given ones.
  const std::string twice = "Attribute's value of type ID appears more than once.";
  const std::string missing =
      "The value of an IDREF Attribute matches the value of a nonexisting ID attribute.";
  const auto message = [](const char* name, const std::string& value, const std::string& text) {
    return "[Element: \"b\" Attribute: \"" + std::string(name) + "\" Value: \"" + value +
           "\"]: " + text;
  };
  std::string doc =
      "<!DOCTYPE a [<!ELEMENT a (b|c)*><!ELEMENT b EMPTY><!ELEMENT c EMPTY>"
      "<!ATTLIST b id ID #IMPLIED r IDREF #IMPLIED rs IDREFS #IMPLIED>"
      "<!ATTLIST c id ID 'dflt'>]><a><b r='last' rs='i1 none i4999'/>";
  // i4999 is never an ID: the last element takes i4000 instead.
  std::vector<std::string> expected(2, message("rs", "i1 none i4999", missing));
  for (int i = 0; i < 5000; ++i) {
    // i7 stands three times, i4000 twice.
    const std::string id = "i" + std::to_string(i == 2500 || i == 4998 ? 7 : i == 4999 ? 4000 : i);
    doc += "<b id='" + id + "'/>";
    if (id == "i7") expected.insert(expected.end(), 2, message("id", id, twice));
    if (id == "i4000") expected.push_back(message("id", id, twice));
  }
  doc += "<c/><b id='last' r='i4999'/><c/></a>";
  expected.push_back(message("r", "i4999", missing));

  Validating parser;
  parser.SetMaxValidityErrors(0);
  ParseText(parser, doc);
  EXPECT_EQ(ValidityMessages(parser), expected);

  // Added defaults are IDs like any other: the two c elements share one.
  parser.SetDTDDefaults(true);
  ParseText(parser, doc);
  const std::string shared =
      "[Element: \"c\" Attribute: \"id\" Value: \"dflt\"]: Attribute's value of type ID appears "
      "more than once.";
  const std::vector<std::string> all = ValidityMessages(parser);
  EXPECT_EQ(std::count(all.begin(), all.end(), shared), 2);
}

TEST(AttributeValidation, HostileDocumentsStayLinear) {
  const std::string dtd =
      "<!DOCTYPE a [<!ELEMENT a (b)*><!ELEMENT b EMPTY>"
      "<!ATTLIST b id ID #IMPLIED ref IDREF #IMPLIED>]><a>";
  {
    // Each element refers to the one before it.
    std::string doc = dtd + "<b id='i0'/>";
    for (int i = 1; i < 200000; ++i)
      doc += "<b id='i" + std::to_string(i) + "' ref='i" + std::to_string(i - 1) + "'/>";
    doc += "</a>";
    Validating parser;
    const auto start = std::chrono::steady_clock::now();
    auto parsed = ParseText(parser, doc);
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
    EXPECT_EQ(parser.GetErrors().Count(), 0);
    // Generous for the sanitizers; quadratic work would take minutes.
    EXPECT_LT(seconds.count(), 20.0);
  }
  {
    // Each of 100,000 equal IDs would hear of the 99,999 others.
    std::string doc = dtd;
    for (int i = 0; i < 100000; ++i) doc += "<b id='x'/>";
    doc += "</a>";
    Validating parser;
    auto parsed = ParseText(parser, doc);
    EXPECT_EQ(parser.GetErrors().Count(), kDefaultMaxValidityErrors + 1);
  }
}

TEST(AttributeDefaults, AreAddedWhenAskedAndWrittenOnlyOnRequest) {
  const std::string text =
      "<!DOCTYPE a [<!ATTLIST a d CDATA 'v&amp;w' f NMTOKENS #FIXED ' p  q ' i CDATA #IMPLIED "
      "r CDATA #REQUIRED g CDATA 'given'>]><a r='1' g='mine'/>";
  {
    TKaOrvane parser(nullptr);  // off by default
    auto doc = ParseText(parser, text);
    EXPECT_EQ(doc->GetDocumentElement()->GetAttributeNode(u"d"), nullptr);
  }
  TKaOrvane parser(nullptr);
  parser.SetStandardXML(true);
  parser.SetDTDDefaults(true);
  auto doc = ParseText(parser, text);
  TKaXMLElement* a = doc->GetDocumentElement();
  ASSERT_NE(a->GetAttributeNode(u"d"), nullptr);
  EXPECT_EQ(a->GetAttribute(u"d"), u"v&w");
  EXPECT_EQ(a->GetAttribute(u"f"), u"p q");
  EXPECT_EQ(a->GetAttribute(u"g"), u"mine");
  EXPECT_EQ(a->GetAttributeNode(u"i"), nullptr);
  EXPECT_TRUE(a->GetAttributeNode(u"d")->IsDefaulted());
  EXPECT_FALSE(a->GetAttributeNode(u"d")->Specified());
  EXPECT_TRUE(a->GetAttributeNode(u"g")->Specified());

  std::string written = Written(*doc);
  EXPECT_NE(written.find("<a r = \"1\" g = \"mine\"/>"), std::string::npos) << written;
  doc->SetWriteDefaultAttributes(true);
  written = Written(*doc);
  EXPECT_NE(written.find("<a r = \"1\" g = \"mine\" d = \"v&amp;w\" f = \"p q\"/>"),
            std::string::npos)
      << written;
}

TEST(AttributeDefaults, AddedFixedValuesValidate) {
  Validating parser;
  parser.SetDTDDefaults(true);
  auto doc = ParseText(
      parser, "<!DOCTYPE a [" + kE + "<!ATTLIST a f CDATA #FIXED 'A&amp;B' t (x|y) 'z'>]><a/>");
  // The fixed value matches itself; the default outside its enumeration does
  // not, in the declaration and on the element it was added to.
  EXPECT_EQ(ValidityMessages(parser),
            (std::vector<std::string>{
                "[Element: \"a\" Attribute: \"t\"]: The default value \"z\" does not match the "
                "attribute's type.",
                "[Element: \"a\" Attribute: \"t\" Value: \"z\"]: Improper value of an enumerated "
                "attribute."}));
}

}  // namespace
}  // namespace lumora::testing
