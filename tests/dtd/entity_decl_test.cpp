#include "dtd/dtd_testing.h"

namespace lumora::testing {
namespace {

using EntityValue = DtdTest;

TEST_F(EntityValue, KeepsWhatIsWrittenAndExpandsCharacterAndParameterReferences) {
  Parameter(u"p", u"x");
  External(u"ext", u"ext.xml");
  struct Case {
    std::u16string_view literal;
    std::u16string_view value;
  };
  const Case cases[] = {
      {u"a  b\t\r\nc", u"a  b\t\r\nc"},          // white space as written
      {u"a%p;b&#65;c&g;", u"axbAc&g;"},          // general references are bypassed
      {u"&#38;#34;", u"&#34;"},                  // expanded once only
      {u"&#37;p;", u"%p;"},                      // no parameter reference made of a character
      {u"%undeclared;", u"%undeclared;"},        // kept until declared
      {u"&ext;&#x41;", u"&ext;A"},
      {u"&#xZZ;", u"&#xZZ;"},                    // no character: kept as written
      {u"", u""},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(WideToSystem(c.literal));
    TKaGEntityDecl* e = General(u"e" + SystemToWide(std::to_string(n++)), c.literal);
    EXPECT_EQ(e->GetValue(), c.value);
  }
}

TEST_F(EntityValue, FaultsRaiseAndKeepThePreviousValue) {
  External(u"pic", u"pic.png", u"png");
  TKaGEntityDecl* e = General(u"e", u"old");
  const struct {
    std::u16string_view literal;
    const char* message;
  } cases[] = {
      {u"ab&", "Illegal character in the entity value '&&' or '%'."},
      {u"ab%", "Illegal character in the entity value '&&' or '%'."},
      {u"a&b c", "Illegal character in the the entity value '&&' or '%'."},
      {u"&pic;", "Reference to an unparsed entity is not allowed in the entity value."},
  };
  for (const auto& c : cases) {
    ExpectOrvaneError([&] { e->SetValue(c.literal); }, c.message);
    EXPECT_EQ(e->GetValue(), u"old");
  }
  TKaCustomEntityDecl* ext = doctype_->GetEntityDecl(u"pic");
  ExpectOrvaneError([&] { ext->SetValue(u"x"); }, "Can not set a value of an external entity.");
  auto parsed = TKaGEntityDecl::CreateEntity(u"q", &doc_);
  ExpectOrvaneError([&] { parsed->SetNotation(u"png"); },
                    "Can't set the notation value of a parsed entity.");
  EXPECT_EQ(parsed->GetNotation(), u"");
}

TEST_F(EntityValue, SelfReferenceRaisesAndGrowthIsBounded) {
  TKaPEntityDecl* a = Parameter(u"a", u"x");
  ExpectOrvaneError([&] { a->SetValue(u"x%a;"); }, "Entity \"a\" refers to itself.");
  EXPECT_EQ(a->GetValue(), u"x");
  // A general entity of the name is not the parameter reference's entity.
  EXPECT_EQ(General(u"g", u"x%g;")->GetValue(), u"x%g;");
  // Ten entities, each referring ten times to the one before: the values
  // would reach 10^10 characters.
  Parameter(u"p0", u"0123456789");
  const auto start = std::chrono::steady_clock::now();
  ExpectOrvaneError(
      [&] {
        for (int i = 1; i <= 10; ++i) {
          std::u16string literal;
          for (int k = 0; k < 10; ++k) literal += u"%p" + SystemToWide(std::to_string(i - 1)) + u";";
          Parameter(u"p" + SystemToWide(std::to_string(i)), literal);
        }
      },
      "Entity expansion exceeds the limit of 8388608 characters.");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

using EntityReference = DtdTest;

TEST_F(EntityReference, DestinationComesFromTheDeclarations) {
  General(u"in", u"v");
  Parameter(u"pe", u"v");
  External(u"ext", u"ext.xml");
  External(u"pic", u"pic.png", u"png");
  const struct {
    std::u16string_view name;
    uint8_t destination;
  } cases[] = {
      {u"in", rdInternal},  {u"pe", rdParameter}, {u"ext", rdExternal}, {u"pic", rdUnparsed},
      {u"#65", rdCharacter}, {u"IN", rdUndeclared}, {u"lt", rdUndeclared},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TKaGEntityReference(c.name, &doc_).GetDestType(), c.destination)
        << WideToSystem(c.name);
    EXPECT_EQ(TKaPEntityReference(c.name, &doc_).GetDestType(), c.destination);
  }
  TKaPEntityReference pe(u"pe", &doc_);
  EXPECT_TRUE(pe.Retrieve());
  EXPECT_EQ(pe.GetValue(), u"v");
  TKaPEntityReference none(u"none", &doc_);
  EXPECT_FALSE(none.Retrieve());
}

TEST_F(EntityReference, ParameterTextIsRetrievedAsStored) {
  // The pattern of the XHTML entity sets: the text declares an entity.
  Parameter(u"d", u"<!ENTITY q \"&#38;#34;\">  \r\n");
  TKaPEntityReference d(u"d", &doc_);
  ASSERT_TRUE(d.Retrieve());
  EXPECT_EQ(d.GetValue(), u"<!ENTITY q \"&#34;\">  \r\n");
}

using EntityWrite = DtdTest;

TEST_F(EntityWrite, LiteralsReadBack) {
  General(u"q", u"say &#34;hi&#34; &#38;#38; 100&#37; &g; &#13;");
  Parameter(u"p", u"%q;");  // undeclared as a parameter entity: kept, written as a character
  auto sys = TKaGEntityDecl::CreateEntity(u"s", &doc_);
  sys->SetInternal(false);
  sys->SetSystemLiteral(u"it's \"quoted\".xml");
  doctype_->SetEntityDecl(std::move(sys));
  EXPECT_EQ(Doctype(wmStandalone),
            "<!DOCTYPE a [\r\n"
            "   <!ENTITY q \"say &#34;hi&#34; &#38;#38; 100&#37; &g; &#13;\">\r\n"
            "   <!ENTITY % p \"&#37;q;\">\r\n"
            "   <!ENTITY s  SYSTEM 'it's \"quoted\".xml'>\r\n"
            "]>\r\n");
}

TEST_F(EntityWrite, IdentifiersAndNDataSurviveEveryMode) {
  External(u"pic", u"pic.png", u"png");
  auto pub = TKaGEntityDecl::CreateEntity(u"pub", &doc_);
  pub->SetInternal(false);
  pub->SetPublicLiteral(u"-//X//ENT//EN");
  pub->SetSystemLiteral(u"pub.xml");
  doctype_->SetEntityDecl(std::move(pub));
  General(u"in", u"v");
  const std::string expected =
      " [\r\n"
      "   <!ENTITY pic  SYSTEM \"pic.png\"\r\n"
      "             NDATA png>\r\n"
      "   <!ENTITY pub  PUBLIC \"-//X//ENT//EN\" \"pub.xml\">\r\n"
      "   <!ENTITY in \"v\">\r\n"
      "]>\r\n";
  // Without side files, the modes that would write one write inline.
  for (TWriteMode mode : {wmStandard, wmStandalone, wmExternalDTD, wmAllExternal}) {
    const std::string written = Doctype(mode);
    EXPECT_EQ(written.substr(written.find(" [")), expected) << mode;
  }
}

// The five predefined entities are known by their exact names only.
TEST(PredefinedEntity, OnlyTheFiveExactNames) {
  const std::pair<std::u16string_view, const char16_t*> cases[] = {
      {u"amp", u"&"},      {u"lt", u"<"},       {u"gt", u">"},     {u"apos", u"'"},
      {u"quot", u"\""},    {u"AMP", nullptr},   {u"Lt", nullptr},  {u"gT", nullptr},
      {u"apoS", nullptr},  {u"qout", nullptr},  {u"am", nullptr},  {u"ampx", nullptr},
      {u"l", nullptr},     {u"lg", nullptr},    {u"at", nullptr},  {u"", nullptr},
      {u"quote", nullptr}, {u"aposx", nullptr}, {u"apo", nullptr},
  };
  for (const auto& [name, text] : cases) {
    const char16_t* found = PredefinedEntityText(name);
    if (!text)
      EXPECT_EQ(found, nullptr) << WideToSystem(name);
    else
      EXPECT_EQ(std::u16string_view(found ? found : u"(none)"), text) << WideToSystem(name);
  }
}

}  // namespace
}  // namespace lumora::testing
