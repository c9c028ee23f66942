#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "dom/dom_testing.h"
#include "lumora/dom/document.h"
#include "lumora/dtd/content_model.h"
#include "lumora/dtd/element_decl.h"
#include "lumora/framework/sysutils.h"
#include "lumora/parser/content_model_parser.h"
#include "lumora/parser/orvane.h"

namespace lumora {
namespace {

int Count(const TKaNodeList& list) {
  int n = 0;
  for (const TKaXMLNode* node = list.GetFirst(); node; node = node->Next()) ++n;
  return n;
}

// The model of text, written back; the error message when it does not parse.
std::string Reparsed(std::u16string_view text, TKaXMLDocument* doc) {
  try {
    return TKaContentModel::CreateCMFromString(text, doc)->ToString();
  } catch (const EKaOrvaneError& e) {
    return "error: " + e.Message();
  }
}

struct ModelCase {
  std::u16string text;
  std::string relaxed;  // written back, or "error: " and the message
  std::string strict;   // the same under the strict grammar; "" when as relaxed
};

TEST(ContentModelParser, ModelsReadAndWriteBack) {
  const std::vector<ModelCase> cases = {
      {u"EMPTY", " EMPTY", " EMPTY"},
      {u"ANY", " ANY", " ANY"},
      {u"empty", " EMPTY", "error: Keyword \"empty\" must be written \"EMPTY\"."},
      {u"(#PCDATA)", "(#PCDATA)", "(#PCDATA)"},
      {u"(#PCDATA)*", "(#PCDATA)", "(#PCDATA)"},
      {u"( #PCDATA | a | b )*", "(#PCDATA|a|b)*", "(#PCDATA|a|b)*"},
      {u"(#pcdata|a)*", "(#PCDATA|a)*", "error: Keyword \"#pcdata\" must be written \"#PCDATA\"."},
      // The star is required after names in XML only.
      {u"(#PCDATA|a)", "(#PCDATA|a)*",
       "error: Mixed content that names element types must end with \")*\"."},
      {u"(#PCDATA|a) *", "(#PCDATA|a)*", "error: No white space allowed before \"*\"."},
      {u"(a,(b|c)+,d?)", "(a,(b|c)+,d?)", "(a,(b|c)+,d?)"},
      {u"( a , b* , c+ )?", "(a,b*,c+)?", "(a,b*,c+)?"},
      {u"((a|b)*,(c,d)?)+", "((a|b)*,(c,d)?)+", "((a|b)*,(c,d)?)+"},
      {u"(a\n|\tb)", "(a|b)", "(a|b)"},
      {u"(a) +", "(a)+", "error: No white space allowed before \"+\"."},
      {u"(a +)", "(a+)", "error: No white space allowed before \"+\"."},
      // Names are taken as written, case and all.
      {u"(Para|para|PARA)", "(Para|para|PARA)", "(Para|para|PARA)"},
      {u"(x.1,_y-z,a:b)", "(x.1,_y-z,a:b)", "(x.1,_y-z,a:b)"},
      {u"(\u00E9l\u00E8ve,\u03B1)", "(\u00E9l\u00E8ve,\u03B1)", ""},
      // What the relaxed grammar lets pass: empty particles.
      {u"()", "()", "error: Illegal occurence of \")\""},
      {u"(a,)", "(a)", "error: Illegal occurence of \")\""},
      {u"(|a)", "(a)", "error: Illegal occurence of \"|\""},
      // Faults in both grammars.
      {u"(b,c|d)", "error: Illegal occurence of \"|\"", "error: Illegal occurence of \"|\""},
      {u"(b|c,d)", "error: Illegal occurence of \",\"", "error: Illegal occurence of \",\""},
      {u"(a|-b)", "error: Illegal occurence of \"-b\"", "error: Illegal occurence of \"-b\""},
      {u"(#PCDATA|1x)*", "error: Illegal occurence of \"1x\"",
       "error: Illegal occurence of \"1x\""},
      {u"(#PCDATA|a|a)*", "error: Duplicate typesdeclaration is not allowed in mixed content.",
       "error: Duplicate typesdeclaration is not allowed in mixed content."},
      {u"(#PCDATA|a|A)*", "error: Duplicate typesdeclaration is not allowed in mixed content.",
       "(#PCDATA|a|A)*"},
      {u"(a,a)", "(a,a)", "(a,a)"},
      {u"(a,b", "error: Unexpected end of file.", "error: Unexpected end of file."},
      {u"", "error: Unexpected end of file.", "error: Unexpected end of file."},
      {u"foo", "error: Illegal occurence of \"foo\"", "error: Illegal occurence of \"foo\""},
      {u"(a) (b)", "error: Illegal occurence of \"(\"", "error: Illegal occurence of \"(\""},
      {u"EMPTY>", "error: Illegal occurence of \">\"", "error: Illegal occurence of \">\""},
      {u"(a|%x;)", "error: Can't retrieve parameter entity value. Entity \"x\" is not declared.",
       ""},
      {u"#FOO", "error: Unsupported keyword: \"#FOO\".", "error: Unsupported keyword: \"#FOO\"."},
      {std::u16string(u"(a\0b)", 5), "error: A content specification cannot hold the character U+0000.",
       "error: A content specification cannot hold the character U+0000."},
  };
  TKaOrvane relaxed(nullptr);
  TKaOrvane strict(nullptr);
  strict.SetStandardXML(true);
  TKaXMLDocument relaxedDoc;
  TKaXMLDocument strictDoc;
  relaxedDoc.AssignParser(&relaxed);
  strictDoc.AssignParser(&strict);
  for (const ModelCase& c : cases) {
    const std::string shown = WideToSystem(c.text);
    EXPECT_EQ(Reparsed(c.text, &relaxedDoc), c.relaxed) << shown;
    EXPECT_EQ(Reparsed(c.text, &strictDoc), c.strict.empty() ? c.relaxed : c.strict) << shown;
  }
  relaxedDoc.AssignParser(nullptr);
  strictDoc.AssignParser(nullptr);
}

TEST(ContentModelParser, TreeHoldsKindsOccurrencesAndDelimiters) {
  auto model = TKaContentModel::CreateCMFromString(u"(a,(b|c)+,d?)", nullptr);
  EXPECT_EQ(model->GetKind(), cmChildren);
  EXPECT_EQ(model->GetOccurrence(), ocOnce);
  EXPECT_EQ(model->GetDelimiter(), u',');
  const TKaNodeList& top = model->GetChildList();
  ASSERT_EQ(Count(top), 3);
  auto* a = static_cast<TKaContentModel*>(top.GetFirst());
  auto* group = static_cast<TKaContentModel*>(a->Next());
  auto* d = static_cast<TKaContentModel*>(group->Next());
  EXPECT_EQ(a->GetName(), u"a");
  EXPECT_EQ(a->GetOccurrence(), ocOnce);
  EXPECT_EQ(group->GetName(), u"");
  EXPECT_EQ(group->GetKind(), cmChildren);
  EXPECT_EQ(group->GetDelimiter(), u'|');
  EXPECT_EQ(group->GetOccurrence(), ocOneOrMore);
  EXPECT_EQ(group->GetParent(), model.get());
  EXPECT_EQ(d->GetOccurrence(), ocOptional);
  EXPECT_EQ(model->GetElement(u"c")->GetParent(), group);

  auto mixed = TKaContentModel::CreateCMFromString(u"(#PCDATA|x|y)*", nullptr);
  EXPECT_EQ(mixed->GetKind(), cmMixed);
  EXPECT_EQ(mixed->GetOccurrence(), ocOnce);
  EXPECT_EQ(Count(mixed->GetChildList()), 2);
  EXPECT_EQ(static_cast<TKaContentModel*>(mixed->GetChildList().GetFirst())->GetKind(), cmMixed);

  EXPECT_EQ(TKaContentModel::CreateCMFromString(u"ANY", nullptr)->GetKind(), cmAny);
  EXPECT_THROW(TKaContentModel::CreateCMFromString(u"(%x;)", nullptr), EKaOrvaneError);
  EXPECT_FALSE(TKaContentModel::CreateCMFromString(u"EMPTY", nullptr)->GetChildList().HasChildNodes());
}

TEST(ContentModelParser, ErrorsCarryThePositionInTheText) {
  try {
    TKaContentModel::CreateCMFromString(u"(a,\n  b|c)", nullptr);
    FAIL() << "no error";
  } catch (const EKaOrvaneError& e) {
    EXPECT_EQ(e.Message(), "Illegal occurence of \"|\"");
    EXPECT_EQ(e.GetLine(), 2);
    EXPECT_EQ(e.GetColumn(), 4);
  }
}

// Groups nest as deep as the document's parser lets elements nest, and not
// one level deeper; past that, a clean error, however deep the text goes.
TEST(ContentModelParser, NestingIsBounded) {
  TKaOrvane parser(nullptr);
  parser.SetMaxNestingDepth(50);
  TKaXMLDocument doc;
  doc.AssignParser(&parser);
  const auto nested = [](int depth) {
    return std::u16string(static_cast<size_t>(depth), u'(') + u"a" +
           std::u16string(static_cast<size_t>(depth), u')');
  };
  EXPECT_EQ(Reparsed(nested(50), &doc), WideToSystem(nested(50)));
  EXPECT_EQ(Reparsed(nested(51), &doc), "error: Content model groups nest deeper than 50 levels.");
  doc.AssignParser(nullptr);

  // Without a parser the default bound holds; a text far deeper than any
  // stack could recurse raises the same way.
  EXPECT_EQ(Reparsed(std::u16string(100000, u'('), nullptr),
            "error: Content model groups nest deeper than 2000 levels.");
  TContentModelParser own(nullptr);
  own.SetMaxNestingDepth(3);
  std::unique_ptr<TKaContentModel> model;
  EXPECT_THROW(own.ParseFromString(nested(4), model, nullptr), EKaOrvaneError);
  own.ParseFromString(nested(3), model, nullptr);
  EXPECT_EQ(model->ToString(), "(((a)))");
}

// A parser standing in for the DTD parser: it reads a declaration's text up
// to the content model and hands its position over.
class HostParser : public TContentModelParser {
 public:
  HostParser() : TContentModelParser(nullptr) {}
  ~HostParser() override { Finalize(); }
  void Start(const std::string& text, TKaXMLNode* declaration) {
    Init();
    FText = std::make_unique<TStringStream>(text);
    FBuffer->Init(*FText);
    FStack->Push(declaration);
    LexAn();
  }
  int32_t Current() const { return FToken->GetCode(); }
  // A lexeme read earlier in the parse, such as a comment's text.
  void Remember(std::u16string_view lexeme, int32_t code) {
    int32_t index = -1;
    FSymTab->InsertLexeme(lexeme, code, index);
  }
  TXMLStack& Stack() { return *FStack; }

 private:
  std::unique_ptr<TStringStream> FText;
};

// Runs the content-model parser on host's position, as the DTD parser does,
// and takes the position back also when it raises.
void ReadModel(HostParser& host, TKaXMLDocument* doc) {
  TContentModelParser reader(nullptr);
  try {
    reader.SwitchParser(host.GetAnalyzerState(), doc);
  } catch (...) {
    host.SetAnalyzerState(reader.GetAnalyzerState());
    throw;
  }
  host.SetAnalyzerState(reader.GetAnalyzerState());
}

TEST(ContentModelParser, HandOverGivesTheModelToTheDeclarationOnTop) {
  TKaXMLDocument doc;
  auto decl = TKaElementDecl::CreateEmptyEDecl(u"a", &doc);
  HostParser host;
  host.Start("(b, (c|d)*)>rest", decl.get());
  ReadModel(host, &doc);
  // Reading stops before the declaration's ">"; the stack is as it was.
  EXPECT_EQ(host.Current(), tkTagEnd);
  EXPECT_EQ(host.Stack().GetHead(), decl.get());
  ASSERT_TRUE(decl->GetContentModel());
  EXPECT_EQ(decl->GetContentModel()->GetParent(), decl.get());
  EXPECT_EQ(decl->GetContentModel()->ToString(), "(b,(c|d)*)");

  auto empty = TKaElementDecl::CreateEmptyEDecl(u"e", &doc);
  HostParser second;
  second.Start("EMPTY >", empty.get());
  ReadModel(second, &doc);
  EXPECT_EQ(second.Current(), tkTagEnd);
  EXPECT_EQ(empty->GetContentModel()->GetKind(), cmEmpty);

  // Names are read as written, whatever the table of the whole parse holds:
  // a comment "b" read before, or a name "B" of another declaration.
  auto later = TKaElementDecl::CreateEmptyEDecl(u"l", &doc);
  HostParser third;
  third.Start("(b|c)>", later.get());
  for (auto [text, code] : {std::pair{u"b", tkText}, {u"B", tkName}, {u"c", tkLiteral}})
    third.Remember(text, code);
  ReadModel(third, &doc);
  EXPECT_EQ(later->GetContentModel()->ToString(), "(b|c)");

  // An ignored declaration (nil on the stack) reads its model and drops it.
  HostParser ignored;
  ignored.Start("(x)>", nullptr);
  ReadModel(ignored, &doc);
  EXPECT_EQ(ignored.Current(), tkTagEnd);
}

// A declaration whose model text fails keeps no model, not half of one:
// written or validated after the error, it is known to be incomplete.
TEST(ContentModelParser, FailedModelLeavesNoModel) {
  TKaXMLDocument doc;
  for (const char* text : {"(b,(c|d>", "(b,c|d)>", "(#PCDATA|b|b)*>", "foo>", "(((("}) {
    auto decl = TKaElementDecl::CreateEmptyEDecl(u"a", &doc);
    HostParser host;
    host.Start(text, decl.get());
    if (std::string(text) == "foo>") {
      ReadModel(host, &doc);  // left to the DTD parser's ">" to report
      EXPECT_EQ(host.Current(), tkName);
    } else {
      EXPECT_THROW(ReadModel(host, &doc), EKaOrvaneError) << text;
    }
    EXPECT_EQ(decl->GetContentModel(), nullptr) << text;
    EXPECT_EQ(host.Stack().GetHead(), decl.get()) << text;
    TStringStream out;
    decl->Write(out, 3);
    EXPECT_EQ(out.DataString(), "") << text;
  }
}

}  // namespace
}  // namespace lumora
