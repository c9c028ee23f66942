#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "lumora/dom/document.h"
#include "lumora/dom/element.h"
#include "lumora/dtd/content_model.h"
#include "lumora/dtd/content_model_matcher.h"
#include "lumora/dtd/document_type.h"
#include "lumora/dtd/element_decl.h"
#include "lumora/framework/stream.h"
#include "lumora/io/errors_list.h"
#include "lumora/parser/orvane.h"

namespace lumora {
namespace {

// The validity messages of a validating parse of bytes.
std::vector<std::string> Messages(TKaOrvane& parser, const std::string& bytes,
                                  std::unique_ptr<TKaXMLDocument>* kept = nullptr) {
  parser.SetValidateDocument(true);
  TStringStream stream(bytes);
  std::unique_ptr<TKaXMLDocument> doc;
  const bool valid = parser.Parse(stream, doc);
  std::vector<std::string> messages;
  for (int i = 0; i < parser.GetErrors().Count(); ++i)
    messages.push_back(parser.GetErrors()[i]->GetMessage());
  EXPECT_EQ(valid, messages.empty());
  if (kept) *kept = std::move(doc);
  return messages;
}

std::vector<std::string> Messages(const std::string& bytes, bool standard = true) {
  TKaOrvane parser(nullptr);
  parser.SetStandardXML(standard);
  return Messages(parser, bytes);
}

// A document whose root r has the model and the children (written as
// "a b a"); a, b and c are EMPTY, other names are declared EMPTY as needed.
std::string Document(const std::string& model, const std::string& children) {
  std::string decls = "<!ELEMENT r " + model + ">", body;
  std::vector<std::string> declared;
  auto declare = [&](const std::string& name) {
    for (const auto& d : declared)
      if (d == name) return;
    declared.push_back(name);
    decls += "<!ELEMENT " + name + " EMPTY>";
  };
  for (const char* name : {"a", "b", "c"}) declare(name);
  for (size_t at = 0; at < children.size();) {
    size_t end = children.find(' ', at);
    if (end == std::string::npos) end = children.size();
    const std::string name = children.substr(at, end - at);
    declare(name);
    body += "<" + name + "/>";
    at = end + 1;
  }
  return "<!DOCTYPE r [" + decls + "]><r>" + body + "</r>";
}

const std::string kNoMatch = "[Element \"r\"]: Content of the element does not match its declaration.";

struct TCase {
  const char* Model;
  const char* Children;
  bool Valid;
};

TEST(ContentModelMatcher, ChildrenFollowTheModelExactly) {
  const TCase cases[] = {
      // Where a greedy matcher that never steps back goes wrong either way.
      {"(a|b)", "a b", false},
      {"(a,b)+", "a b a", false},
      {"(a,b)?", "a", false},
      {"((a,b)|c)", "a c", false},
      {"(a,(b|c)?)", "a b c", false},
      {"((a,b)*,c)", "a b a c", false},
      {"(a*,a)", "a a", true},
      {"((a|b),b)", "a b", true},
      // Ordinary models.
      {"(a,b)", "a b", true},
      {"(a,b)", "a", false},
      {"(a,b)", "b a", false},
      {"(a,b)", "a b c", false},
      {"(a,b)", "", false},
      {"(a?,b)", "b", true},
      {"(a?,b)", "a b", true},
      {"(a?,b)", "a a b", false},
      {"(a|b)*", "", true},
      {"(a|b)*", "b a b b a", true},
      {"(a|b)*", "a c", false},
      {"(a|b)", "b", true},
      {"(a|b)", "", false},
      {"(a,b)+", "a b a b", true},
      {"(a,b)?", "", true},
      {"(a*,a)", "a", true},
      {"(a*,a)", "", false},
      {"(a+)", "a a a", true},
      {"(a)+", "a a", true},
      {"(a,b*)*", "a b b a a b", true},
      {"(a,b*)*", "b", false},
      {"((a|b)+,c?)?", "b a c", true},
      {"((a|b)+,c?)?", "c", false},
      {"(title,(para|note)+,foot?)", "title para", true},
      {"(title,(para|note)+,foot?)", "title note para note foot", true},
      {"(title,(para|note)+,foot?)", "title foot", false},
      {"(title,(para|note)+,foot?)", "title para foot foot", false},
      {"(title,(para|note)+,foot?)", "para", false},
      {"(head,(p|list)*)", "head", true},
      {"(head,(p|list)*)", "head list p p list", true},
      {"(head,(p|list)*)", "head p head", false},
      {"(head,(p|list)*)", "", false},
      // Runs that are in several states at once, then in one again.
      {"(a*,a,b,c)", "a a b c", true},
      {"(a*,a,b,c)", "a a c", false},
      {"(a*,a,b,c)", "a b c c", false},
      {"((a,b)|(a,c))", "a c", true},
      {"((a,b)|(a,c))", "a a", false},
      {"((a,b,a)|(a,c))*", "a b a a c a c", true},
      {"((a,b,a)|(a,c))*", "a b a a c a", false},
      // The relaxed grammar reads a group with nothing in it, which stands
      // for no element at all.
      {"(a,(),b)", "a b", true},
      {"((),())", "", true},
      {"((),())", "a", false},
  };
  for (const TCase& c : cases) {
    const std::string doc = Document(c.Model, c.Children);
    SCOPED_TRACE(doc);
    const auto messages = Messages(doc, std::string(c.Model).find("()") == std::string::npos);
    if (c.Valid)
      EXPECT_TRUE(messages.empty()) << messages.front();
    else
      EXPECT_EQ(messages, std::vector<std::string>{kNoMatch});
  }
}

TEST(ContentModelMatcher, LargeModelsMatchLikeSmallOnes) {
  // A sequence of 80 names, and a choice of them repeated: too many states
  // times names for the table of single steps.
  std::string sequence, choice, all, shuffled;
  for (int i = 0; i < 80; ++i) {
    const std::string name = "n" + std::to_string(i);
    sequence += (i ? "," : "(") + name;
    choice += (i ? "|" : "(") + name;
    all += (i ? " " : "") + name;
    shuffled = name + (i ? " " : "") + shuffled;
  }
  sequence += ")";
  choice += ")*";
  const std::string longer = all + " n0", stranger = all + " a";
  const TCase cases[] = {
      {sequence.c_str(), all.c_str(), true},
      {sequence.c_str(), shuffled.c_str(), false},
      {sequence.c_str(), longer.c_str(), false},
      {choice.c_str(), shuffled.c_str(), true},
      {choice.c_str(), stranger.c_str(), false},
  };
  for (const TCase& c : cases) {
    const std::string doc = Document(c.Model, c.Children);
    SCOPED_TRACE(std::string(c.Model) + " / " + c.Children);
    const auto messages = Messages(doc, true);
    if (c.Valid)
      EXPECT_TRUE(messages.empty()) << messages.front();
    else
      EXPECT_EQ(messages, std::vector<std::string>{kNoMatch});
  }
}

TEST(ContentModelMatcher, LeafNamesCompareAsDeclarationsAreLookedUp) {
  // Exact in standard XML; without case of ASCII letters in the relaxed
  // grammar, where a and A are one element type.
  const std::string doc = "<!DOCTYPE r [<!ELEMENT r (A,b)><!ELEMENT a EMPTY><!ELEMENT b EMPTY>]>"
                          "<r><a/><b/></r>";
  EXPECT_EQ(Messages(doc, true), std::vector<std::string>{kNoMatch});
  EXPECT_TRUE(Messages(doc, false).empty());
  const std::string mixed =
      "<!DOCTYPE p [<!ELEMENT p (#PCDATA|B)*><!ELEMENT b EMPTY>]><p>t<b/></p>";
  EXPECT_EQ(Messages(mixed, true),
            std::vector<std::string>{"[Element \"b\"]: Element is not declared as a child of \"p\"."});
  EXPECT_TRUE(Messages(mixed, false).empty());
  // Long names too.
  const std::string name(100, 'n'), upper(100, 'N');
  EXPECT_TRUE(Messages("<!DOCTYPE r [<!ELEMENT r (" + upper + ")><!ELEMENT " + name +
                           " EMPTY>]><r><" + name + "/></r>",
                       false)
                  .empty());
}

TEST(ElementDeclValidation, MixedEmptyAndElementContent) {
  struct TContentCase {
    const char* Document;
    std::vector<std::string> Messages;
  };
  const std::string p = "<!DOCTYPE p [<!ELEMENT p (#PCDATA|b)*><!ELEMENT b EMPTY>]>";
  const std::string br = "<!DOCTYPE br [<!ELEMENT br EMPTY>]>";
  const std::string a = "<!DOCTYPE a [<!ELEMENT a (b)><!ELEMENT b EMPTY>]>";
  const TContentCase cases[] = {
      {"<p>t<i/></p>",
       {"[Element \"i\"]: Element is not declared as a child of \"p\".",
        "[Element \"i\"]: Element is not declared."}},
      {"<p>t<?x y?><b/><![CDATA[c]]><!--c--></p>", {}},
      {"<p/>", {}},
      {"<p><b/><b/>x</p>", {}},
      {"<br>x</br>", {"[Element \"br\"]: Element declared as EMPTY can not have a content."}},
      {"<br><b/><?x?>x</br>",
       {"[Element \"br\"]: Element declared as EMPTY can not have a content.",
        "[Element \"b\"]: Element is not declared."}},
      {"<br><?x?></br>", {"[Element \"br\"]: Element declared as EMPTY can not have a content."}},
      {"<br><![CDATA[]]></br>",
       {"[Element \"br\"]: Element declared as EMPTY can not have a content."}},
      {"<br><!--c--></br>", {}},
      {"<br> </br>", {}},
      {"<br/>", {}},
      {"<a>t<b/></a>", {"[Element \"a\"]: Element declared as CHILDREN has improper content."}},
      {"<a><![CDATA[ ]]><b/></a>",
       {"[Element \"a\"]: Element declared as CHILDREN has improper content."}},
      {"<a>t</a>",
       {"[Element \"a\"]: Element declared as CHILDREN has improper content.",
        "[Element \"a\"]: Content of the element does not match its declaration."}},
      {"<a> <?x y?><!--c--> <b/>\t</a>", {}},
      {"<a>\n  <b/>\n</a>", {}},
  };
  for (const TContentCase& c : cases) {
    std::string doc = c.Document;
    doc = (doc.starts_with("<p") ? p : doc.starts_with("<br") ? br : a) + doc;
    SCOPED_TRACE(doc);
    EXPECT_EQ(Messages(doc), c.Messages);
  }
  EXPECT_TRUE(Messages("<!DOCTYPE x [<!ELEMENT x ANY><!ELEMENT y ANY>]><x>t<y/><?p?>"
                       "<![CDATA[c]]><y><x/></y></x>")
                  .empty());
}

TEST(ElementDeclValidation, ErrorsNameTheNodeTheyConcern) {
  TKaOrvane parser(nullptr);
  parser.SetStandardXML(true);
  std::unique_ptr<TKaXMLDocument> doc;
  Messages(parser,
           "<!DOCTYPE r [<!ELEMENT r (#PCDATA|a)*><!ELEMENT a (b)><!ELEMENT b EMPTY>]>"
           "<r><c/><a/></r>",
           &doc);
  ASSERT_EQ(parser.GetErrors().Count(), 3);
  TKaXMLElement* r = doc->GetDocumentElement();
  EXPECT_EQ(parser.GetErrors()[0]->GetNode(), r->GetChild(1));  // c: not in the mixed model
  EXPECT_EQ(parser.GetErrors()[1]->GetNode(), r->GetChild(1));  // c: not declared
  EXPECT_EQ(parser.GetErrors()[2]->GetNode(), r->GetChild(2));  // a: its content
}

// The declaration of r in a document built by hand, and a validation of it.
class MatcherCacheTest : public ::testing::Test {
 protected:
  MatcherCacheTest() {
    doc_.AssignParser(&parser_);
    parser_.SetStandardXML(true);
    auto* doctype = doc_.SetDocumentType(TKaDocumentType::CreateDTD(u"r", &doc_));
    decl_ = doctype->SetElementDecl(TKaElementDecl::CreateEDecl(u"r", cmChildren, &doc_));
    doctype->SetElementDecl(TKaElementDecl::CreateEDecl(u"a", cmEmpty, &doc_));
    doctype->SetElementDecl(TKaElementDecl::CreateEDecl(u"b", cmEmpty, &doc_));
    auto root = TKaXMLElement::CreateElement(u"r", &doc_);
    root->AppendChild(TKaXMLElement::CreateElement(u"a", &doc_));
    root_ = doc_.SetDocumentElement(std::move(root));
  }
  bool Valid() {
    parser_.GetErrors().Clear();
    root_->Validate();
    return parser_.GetErrors().Count() == 0;
  }

  TKaOrvane parser_{nullptr};
  TKaXMLDocument doc_;
  TKaElementDecl* decl_;
  TKaXMLElement* root_;
};

TEST_F(MatcherCacheTest, ANewModelIsCompiledAfresh) {
  decl_->SetContentModel(TKaContentModel::CreateCMFromString(u"(a)", &doc_));
  EXPECT_TRUE(Valid());
  decl_->SetContentModel(TKaContentModel::CreateCMFromString(u"(b)", &doc_));
  EXPECT_FALSE(Valid());
  // Changed in place, the model counts once it is handed over again.
  TKaContentModel* model = decl_->GetContentModel();
  model->SetDelimiter(u'|');
  model->AddElement(u"a", ocOnce);
  decl_->SetContentModel(model);
  EXPECT_TRUE(Valid());
  // A copy of the declaration compiles its own.
  auto copy = decl_->CloneNode();
  TContentModelAnalyzer analyzer;
  EXPECT_TRUE(analyzer.MatchContentModel(
      root_->GetNodeList(), *static_cast<TKaElementDecl&>(*copy).GetContentModel()));
}

TEST_F(MatcherCacheTest, TheModeOfNameComparisonIsThatOfTheValidation) {
  decl_->SetContentModel(TKaContentModel::CreateCMFromString(u"(A)", &doc_));
  EXPECT_FALSE(Valid());
  parser_.SetStandardXML(false);
  EXPECT_TRUE(Valid());
  parser_.SetStandardXML(true);
  EXPECT_FALSE(Valid());
}

TEST(ContentModelAnalyzer, MatchesAModelOutsideADeclaration) {
  TKaXMLDocument doc;
  auto model = TKaContentModel::CreateCMFromString(u"((a|b)*,a)", &doc);
  auto list = std::make_unique<TKaXMLElement>(u"x", &doc);
  TContentModelAnalyzer analyzer;
  EXPECT_FALSE(analyzer.MatchContentModel(list->GetNodeList(), *model));
  list->AppendChild(TKaXMLElement::CreateElement(u"b", &doc));
  list->AppendChild(TKaXMLElement::CreateElement(u"a", &doc));
  EXPECT_TRUE(analyzer.MatchContentModel(list->GetNodeList(), *model));
  list->AppendChild(TKaXMLElement::CreateElement(u"b", &doc));
  EXPECT_FALSE(analyzer.MatchContentModel(list->GetNodeList(), *model));
  // A delimiter of no known kind makes a group that matches nothing, unless
  // its occurrence allows it to be absent.
  auto odd = TKaContentModel::CreateCMFromString(u"(a,b)", &doc);
  odd->SetDelimiter(u';');
  EXPECT_FALSE(analyzer.MatchContentModel(list->GetNodeList(), *odd));
  odd->SetType(ocOptional);
  auto none = std::make_unique<TKaXMLElement>(u"y", &doc);
  EXPECT_TRUE(analyzer.MatchContentModel(none->GetNodeList(), *odd));
}

// A random model over the names a, b and c, as a content model text and as
// a tree that the plain definition of a match below reads.
struct TRandomModel {
  std::string Text;
  char Name = 0;  // a leaf's; 0 for a group
  char Mark = 0;  // '?', '*', '+' or 0
  bool Choice = false;
  std::vector<TRandomModel> Parts;
};

TRandomModel RandomModel(std::mt19937& random, int depth, bool top = false) {
  const char marks[] = {0, 0, '?', '*', '+'};
  TRandomModel model;
  model.Mark = marks[random() % 5];
  if (!top && (depth == 0 || random() % 3 == 0)) {
    model.Name = static_cast<char>('a' + random() % 3);
    model.Text = std::string(1, model.Name);
  } else {
    model.Choice = random() % 2;
    model.Text = "(";
    const int n = 1 + static_cast<int>(random() % 3);
    for (int i = 0; i < n; ++i) {
      model.Parts.push_back(RandomModel(random, depth - 1));
      if (i) model.Text += model.Choice ? "|" : ",";
      model.Text += model.Parts.back().Text;
    }
    model.Text += ")";
  }
  if (model.Mark) model.Text += model.Mark;
  return model;
}

// Where a match of model that starts at from in children can end: the
// definition itself, by brute force over short sequences.
std::set<size_t> Ends(const TRandomModel& model, const std::string& children, size_t from) {
  auto once = [&](size_t start) {
    std::set<size_t> ends;
    if (model.Name) {
      if (start < children.size() && children[start] == model.Name) ends.insert(start + 1);
      return ends;
    }
    if (model.Choice) {
      for (const TRandomModel& part : model.Parts)
        for (size_t end : Ends(part, children, start)) ends.insert(end);
      return ends;
    }
    ends.insert(start);
    for (const TRandomModel& part : model.Parts) {
      std::set<size_t> next;
      for (size_t at : ends)
        for (size_t end : Ends(part, children, at)) next.insert(end);
      ends = next;
    }
    return ends;
  };
  std::set<size_t> ends = once(from);
  if (model.Mark == '?' || model.Mark == '*') ends.insert(from);
  if (model.Mark == '*' || model.Mark == '+') {
    // Repeat until no new end appears.
    std::vector<size_t> todo(ends.begin(), ends.end());
    while (!todo.empty()) {
      const size_t at = todo.back();
      todo.pop_back();
      for (size_t end : once(at))
        if (ends.insert(end).second) todo.push_back(end);
    }
  }
  return ends;
}

TEST(ContentModelAnalyzer, AgreesWithTheDefinitionOnRandomModels) {
  std::mt19937 random(20261208);
  TKaXMLDocument doc;
  TContentModelAnalyzer analyzer;
  int accepted = 0, refused = 0;
  for (int round = 0; round < 300; ++round) {
    const TRandomModel model = RandomModel(random, 3, true);
    const auto top = TKaContentModel::CreateCMFromString(
        std::u16string(model.Text.begin(), model.Text.end()), &doc);
    for (int trial = 0; trial < 20; ++trial) {
      std::string children;
      const size_t length = random() % 7;
      auto parent = std::make_unique<TKaXMLElement>(u"x", &doc);
      for (size_t i = 0; i < length; ++i) {
        const char name = static_cast<char>('a' + random() % 3);
        children += name;
        parent->AppendChild(TKaXMLElement::CreateElement(std::u16string(1, name), &doc));
      }
      const bool expected = Ends(model, children, 0).contains(children.size());
      (expected ? accepted : refused)++;
      ASSERT_EQ(analyzer.MatchContentModel(parent->GetNodeList(), *top), expected)
          << model.Text << " against \"" << children << "\"";
    }
  }
  // The samples hold both outcomes.
  EXPECT_GT(accepted, 300);
  EXPECT_GT(refused, 300);
}

std::string Repeated(const std::string& part, int n, const std::string& separator) {
  std::string text;
  for (int i = 0; i < n; ++i) text += (i ? separator : "") + part;
  return text;
}

TEST(ContentModelMatcher, LargeAndHostileModelsStayBounded) {
  // Many leaves in a sequence and many children: linear work.
  {
    const std::string doc = "<!DOCTYPE r [<!ELEMENT r (" + Repeated("a", 20000, ",") +
                            ")><!ELEMENT a EMPTY>]><r>" + Repeated("<a/>", 20000, "") + "</r>";
    EXPECT_TRUE(Messages(doc).empty());
  }
  // A choice of many leaves under a star: every leaf follows every leaf,
  // through one shared set. Even when all leaves name one element, a step
  // reads that set once.
  {
    std::string names;
    for (int i = 0; i < 3000; ++i) names += (i ? "|e" : "e") + std::to_string(i);
    const std::string doc = "<!DOCTYPE r [<!ELEMENT r (" + names +
                            ")*><!ELEMENT e1 EMPTY>]><r><e1/><e1/></r>";
    EXPECT_TRUE(Messages(doc).empty());
    const std::string same = "<!DOCTYPE r [<!ELEMENT r (" + Repeated("a", 1000, "|") +
                             ")*><!ELEMENT a EMPTY>]><r>" + Repeated("<a/>", 5000, "") + "</r>";
    EXPECT_TRUE(Messages(same).empty());
  }
  // A sequence of optional leaves: each leaf may follow every one before
  // it, which is more than a model may cost. It is reported, not compiled.
  {
    const std::string doc = "<!DOCTYPE r [<!ELEMENT r (" + Repeated("a?", 3000, ",") +
                            ")><!ELEMENT a EMPTY>]><r><a/></r>";
    EXPECT_EQ(Messages(doc),
              std::vector<std::string>{"[Element \"r\"]: Content model is too large to be checked."});
  }
  // Many ways to read the same children: the set of states stays that of
  // the model, whatever the number of children.
  {
    const std::string doc = "<!DOCTYPE r [<!ELEMENT r (" + Repeated("a*", 50, ",") +
                            ",b)><!ELEMENT a EMPTY><!ELEMENT b EMPTY>]><r>" +
                            Repeated("<a/>", 5000, "") + "<b/></r>";
    EXPECT_TRUE(Messages(doc).empty());
  }
  // Groups nested as deep as the parser allows compile without recursion.
  {
    const std::string doc = "<!DOCTYPE r [<!ELEMENT r " + std::string(1900, '(') + "a" +
                            Repeated(")*", 1900, "") + "><!ELEMENT a EMPTY>]><r><a/><a/></r>";
    EXPECT_TRUE(Messages(doc).empty());
  }
}

}  // namespace
}  // namespace lumora
