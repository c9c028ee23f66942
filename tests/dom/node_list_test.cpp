#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "lumora/dom/document.h"
#include "lumora/dom/dom_exception.h"
#include "lumora/dom/node_list.h"

namespace lumora {
namespace {

TKaXMLNode* Node(const char16_t* name, uint8_t type) {
  return new TKaXMLNode(name, type, nullptr);
}

std::u16string Names(const TKaNodeList& list) {
  std::u16string out;
  for (TKaXMLNode* n = list.GetFirst(); n; n = n->Next()) out += n->GetName();
  return out;
}

// Walks the list both ways and checks every link and parent.
void ExpectConsistent(const TKaNodeList& list) {
  TKaXMLNode* prev = nullptr;
  for (TKaXMLNode* n = list.GetFirst(); n; n = n->Next()) {
    EXPECT_EQ(n->Previous(), prev);
    EXPECT_EQ(n->GetParent(), list.GetParent());
    prev = n;
  }
  EXPECT_EQ(list.GetLast(), prev);
}

uint8_t ExpectDOMError(const std::function<void()>& action, const std::string& message) {
  try {
    action();
  } catch (const EKaDOMException& e) {
    EXPECT_EQ(e.Message(), message);
    return e.GetCode();
  }
  ADD_FAILURE() << "no EKaDOMException";
  return 0;
}

class MixedList : public ::testing::Test {
 protected:
  // attribute, text, element, text, element
  void SetUp() override {
    owner_ = std::make_unique<TKaXMLNode>(u"owner", ELEMENT_NODE, nullptr);
    list_ = std::make_unique<TKaNodeList>(nullptr, owner_.get());
    attr_ = list_->AppendChild(Node(u"id", ATTRIBUTE_NODE));
    text1_ = list_->AppendChild(Node(u"t1", TEXT_NODE));
    el1_ = list_->AppendChild(Node(u"e1", ELEMENT_NODE));
    text2_ = list_->AppendChild(Node(u"t2", TEXT_NODE));
    el2_ = list_->AppendChild(Node(u"e2", ELEMENT_NODE));
  }
  std::unique_ptr<TKaXMLNode> owner_;
  std::unique_ptr<TKaNodeList> list_;
  TKaXMLNode *attr_, *text1_, *el1_, *text2_, *el2_;
};

TEST_F(MixedList, LookupsByTypeStayAmongTheirType) {
  EXPECT_EQ(list_->Length(), 1);
  EXPECT_EQ(list_->GetRoot(ELEMENT_NODE), el1_);
  EXPECT_EQ(list_->GetRoot(ANY_NODE), attr_);
  EXPECT_EQ(list_->GetLastByType(TEXT_NODE), text2_);
  EXPECT_EQ(list_->GetLastByType(ANY_NODE), el2_);
  EXPECT_EQ(list_->Item(2, ELEMENT_NODE), el2_);
  EXPECT_EQ(list_->Item(0, ELEMENT_NODE), el1_);
  EXPECT_EQ(list_->Item(1, ELEMENT_NODE), el1_);
  EXPECT_EQ(list_->Item(3, ELEMENT_NODE), nullptr);
  EXPECT_EQ(list_->Item(2, ANY_NODE), nullptr);  // only one attribute
  EXPECT_EQ(text1_->NextSibling(), text2_);
  EXPECT_EQ(el2_->PreviousSibling(), el1_);
  EXPECT_EQ(attr_->PreviousSibling(), nullptr);
  EXPECT_EQ(list_->GetRoot(COMMENT_NODE), nullptr);
}

TEST_F(MixedList, GetChildFoldsAsciiCaseOnly) {
  EXPECT_EQ(list_->GetChild(u"ID", ATTRIBUTE_NODE), attr_);
  EXPECT_EQ(list_->GetChild(u"idx", ATTRIBUTE_NODE), nullptr);
  EXPECT_EQ(list_->GetChild(u"E2", ELEMENT_NODE), el2_);
  EXPECT_EQ(list_->GetChild(u"e2", TEXT_NODE), nullptr);
}

TEST_F(MixedList, MnextAndAncestors) {
  EXPECT_EQ(attr_->Mnext(0), attr_);
  EXPECT_EQ(attr_->Mnext(-2), attr_);
  EXPECT_EQ(attr_->Mnext(2), el1_);
  EXPECT_EQ(text2_->Mnext(5), nullptr);
  EXPECT_TRUE(el1_->IsAncestor(owner_.get()));
  EXPECT_FALSE(owner_->IsAncestor(owner_.get()));
  EXPECT_FALSE(el1_->IsAncestor(el1_));
}

TEST_F(MixedList, InsertAndRemoveKeepLinks) {
  list_->InsertBefore(Node(u"a", COMMENT_NODE), attr_);
  list_->InsertAfter(Node(u"z", COMMENT_NODE), el2_);
  list_->InsertBefore(Node(u"m", COMMENT_NODE), el1_);
  list_->InsertAfter(Node(u"n", COMMENT_NODE), nullptr);
  EXPECT_EQ(Names(*list_), u"aidt1me1t2e2zn");
  ExpectConsistent(*list_);

  std::unique_ptr<TKaXMLNode> first = list_->RemoveChildNode(list_->GetFirst());
  std::unique_ptr<TKaXMLNode> last = list_->RemoveChildNode(list_->GetLast());
  std::unique_ptr<TKaXMLNode> middle = list_->RemoveChild(u"M", COMMENT_NODE);
  EXPECT_EQ(Names(*list_), u"idt1e1t2e2z");
  ExpectConsistent(*list_);
  EXPECT_EQ(middle->GetName(), u"m");
  EXPECT_EQ(middle->GetParent(), nullptr);
  EXPECT_EQ(middle->Next(), nullptr);
  EXPECT_EQ(middle->Previous(), nullptr);
}

TEST_F(MixedList, ReplaceChildTakesThePlaceOfTheOldNode) {
  std::unique_ptr<TKaXMLNode> old = list_->ReplaceChild(Node(u"X", ELEMENT_NODE), el1_);
  EXPECT_EQ(old.get(), el1_);
  EXPECT_EQ(old->GetParent(), nullptr);
  EXPECT_EQ(Names(*list_), u"idt1Xt2e2");
  ExpectConsistent(*list_);
  old = list_->ReplaceChild(Node(u"Y", ELEMENT_NODE), el2_);
  old = list_->ReplaceChild(Node(u"W", ELEMENT_NODE), attr_);
  EXPECT_EQ(Names(*list_), u"Wt1Xt2Y");
  ExpectConsistent(*list_);
}

TEST_F(MixedList, FailedOperationsLeaveTheListUnchanged) {
  EXPECT_EQ(
      ExpectDOMError([&] { list_->AppendChild(el1_); },
                     "TNamedNodeMap.setNamedItem: attribute \"e1\" already in use (use clone)"),
      INUSE_ATTRIBUTE_ERR);
  EXPECT_EQ(ExpectDOMError([&] { list_->InsertBefore(el1_, el2_); },
                           "TKaNodeList.insertBefore: attribute already in use (use clone)"),
            INUSE_ATTRIBUTE_ERR);
  EXPECT_EQ(ExpectDOMError([&] { list_->InsertAfter(el1_, el2_); },
                           "TKaNodeList.insertAfter: attribute already in use (use clone)"),
            INUSE_ATTRIBUTE_ERR);
  EXPECT_EQ(
      ExpectDOMError([&] { list_->RemoveChildNode(nullptr); },
                     "TKaNodeList.RemoveChildNode: you are trying to remove not existing child"),
      INVALID_POINTER_ERR);
  TKaXMLNode free(u"free", ELEMENT_NODE, nullptr);
  EXPECT_EQ(
      ExpectDOMError([&] { list_->RemoveChildNode(&free); },
                     "TKaNodeList.RemoveChildNode: you are trying to remove child out of list."),
      INVALID_POINTER_ERR);
  EXPECT_EQ(ExpectDOMError([&] { list_->ReplaceChild(nullptr, el1_); },
                           "TKaNodeList.replaceChild: you are trying to replace not exist child"),
            INVALID_POINTER_ERR);
  TKaXMLDocument otherDoc;
  TKaXMLNode foreign(u"f", ELEMENT_NODE, &otherDoc);
  EXPECT_EQ(ExpectDOMError([&] { list_->ReplaceChild(&foreign, el1_); }, "different documents"),
            WRONG_DOCUMENT_ERR);
  // A node of this very list is not free either: replacing with it would link it twice.
  EXPECT_EQ(ExpectDOMError([&] { list_->ReplaceChild(el2_, el1_); },
                           "TKaNodeList.replaceChild: attribute already in use (use clone)"),
            INUSE_ATTRIBUTE_ERR);
  EXPECT_EQ(Names(*list_), u"idt1e1t2e2");
  ExpectConsistent(*list_);
}

TEST_F(MixedList, NodeOfAnotherOwnersListCannotBeRemovedHere) {
  TKaXMLNode otherOwner(u"o", ELEMENT_NODE, nullptr);
  TKaNodeList other(nullptr, &otherOwner);
  TKaXMLNode* stranger = other.AppendChild(Node(u"s", ELEMENT_NODE));
  EXPECT_EQ(
      ExpectDOMError([&] { list_->RemoveChildNode(stranger); },
                     "TKaNodeList.RemoveChildNode: you are trying to remove child out of list."),
      INVALID_POINTER_ERR);
  EXPECT_EQ(other.GetFirst(), stranger);
  EXPECT_EQ(Names(*list_), u"idt1e1t2e2");
}

TEST(NodeList, NodeCanBeAppendedAgainAfterRemoval) {
  TKaXMLNode owner1(u"a", ELEMENT_NODE, nullptr), owner2(u"b", ELEMENT_NODE, nullptr);
  TKaNodeList first(nullptr, &owner1), second(nullptr, &owner2);
  TKaXMLNode* node = first.AppendChild(Node(u"n", TEXT_NODE));
  EXPECT_THROW(second.AppendChild(node), EKaDOMException);
  second.AppendChild(first.RemoveChildNode(node));
  EXPECT_EQ(second.GetFirst(), node);
  EXPECT_EQ(node->GetParent(), &owner2);
  EXPECT_FALSE(first.HasChildNodes());
}

// A node is in one list at a time, whether or not that list has an owner,
// and a reference node must belong to the list it is used with. Each failed
// call leaves both lists as they were, and everything dies once.
TEST(NodeList, MembershipIsCheckedBeforeAnyLink) {
  TKaXMLNode owner(u"o", ELEMENT_NODE, nullptr);
  TKaNodeList owned(nullptr, &owner);
  TKaNodeList fragment(nullptr), other(nullptr);  // lists without owner
  TKaXMLNode* a = owned.AppendChild(Node(u"a", TEXT_NODE));
  TKaXMLNode* lone = fragment.AppendChild(Node(u"f", TEXT_NODE));  // no parent, no neighbours
  TKaXMLNode* x = other.AppendChild(Node(u"x", TEXT_NODE));
  other.AppendChild(Node(u"y", TEXT_NODE));
  auto free = std::make_unique<TKaXMLNode>(u"n", TEXT_NODE, nullptr);
  // A query's list has the searched node as parent without holding its content.
  TKaNodeList query(nullptr, &owner);
  query.AppendChild(Node(u"q", TEXT_NODE));

  const char* const inUseBefore = "TKaNodeList.insertBefore: attribute already in use (use clone)";
  const char* const inUseAfter = "TKaNodeList.insertAfter: attribute already in use (use clone)";
  const char* const outBefore =
      "TKaNodeList.insertBefore: you are trying to insert before child out of list.";
  const char* const outAfter =
      "TKaNodeList.insertAfter: you are trying to insert after child out of list.";
  struct Case {
    const char* what;
    std::function<void()> action;
    const char* message;
    uint8_t code;
  };
  const std::vector<Case> cases = {
      {"append the node of a fragment", [&] { owned.AppendChild(lone); },
       "TNamedNodeMap.setNamedItem: attribute \"f\" already in use (use clone)",
       INUSE_ATTRIBUTE_ERR},
      {"append into its own list", [&] { fragment.AppendChild(lone); },
       "TNamedNodeMap.setNamedItem: attribute \"f\" already in use (use clone)",
       INUSE_ATTRIBUTE_ERR},
      {"insert a fragment's node", [&] { owned.InsertBefore(lone, a); }, inUseBefore,
       INUSE_ATTRIBUTE_ERR},
      {"insert an owned node into a fragment", [&] { fragment.InsertAfter(a, lone); }, inUseAfter,
       INUSE_ATTRIBUTE_ERR},
      {"insert a node of another free list", [&] { fragment.InsertBefore(x, nullptr); },
       inUseBefore, INUSE_ATTRIBUTE_ERR},
      {"before a node of another list", [&] { owned.InsertBefore(std::move(free), x); }, outBefore,
       INVALID_POINTER_ERR},
      {"after a node of another list", [&] { fragment.InsertAfter(std::move(free), x); }, outAfter,
       INVALID_POINTER_ERR},
      {"before a free node",
       [&] {
         TKaXMLNode stray(u"s", TEXT_NODE, nullptr);
         owned.InsertBefore(std::move(free), &stray);
       },
       outBefore, INVALID_POINTER_ERR},
      {"after a node with the same parent", [&] { query.InsertAfter(std::move(free), a); },
       outAfter, INVALID_POINTER_ERR},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ExpectDOMError(c.action, c.message), c.code);
  }
  ASSERT_NE(free, nullptr) << "a failed insertion leaves the node with its owner";
  EXPECT_EQ(Names(owned), u"a");
  EXPECT_EQ(Names(fragment), u"f");
  EXPECT_EQ(Names(other), u"xy");
  EXPECT_EQ(Names(query), u"q");
  ExpectConsistent(owned);
  ExpectConsistent(other);

  // Taken out, the node goes anywhere; the free node goes next to a node of the list.
  owned.InsertAfter(fragment.Detach(lone), a);
  owned.InsertBefore(std::move(free), a);
  EXPECT_EQ(Names(owned), u"naf");
  EXPECT_FALSE(fragment.HasChildNodes());
  ExpectConsistent(owned);
}

// The same through the tree's own operations, with real documents.
TEST(NodeList, TreeOperationsRefuseNodesStillInAFragment) {
  TKaXMLDocument doc;
  auto root = doc.CreateElement(u"root");
  TKaXMLElement* element = doc.SetDocumentElement(std::move(root));
  auto fragment = doc.CreateDocumentFragment();
  auto* child =
      static_cast<TKaXMLElement*>(fragment->GetNodeList().AppendChild(doc.CreateElement(u"child")));
  EXPECT_THROW(element->AppendChild(child), EKaDOMException);
  EXPECT_THROW(element->InsertNode(child, nullptr), EKaDOMException);
  auto text = doc.CreateTextNode(u"t");
  EXPECT_THROW(element->InsertNode(std::move(text), child), EKaDOMException);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(element->GetFirstChild(), nullptr);
  // Moved properly, it belongs to the tree alone.
  element->AppendChild(
      static_cast<TKaXMLElement*>(fragment->GetNodeList().Detach(child).release()));
  EXPECT_EQ(element->GetFirstChild(), child);
  EXPECT_FALSE(fragment->GetNodeList().HasChildNodes());
}

TEST(NodeList, AddListMovesEveryNodeInOrder) {
  TKaXMLNode owner1(u"a", ELEMENT_NODE, nullptr), owner2(u"b", ELEMENT_NODE, nullptr);
  TKaNodeList source(nullptr, &owner1), target(nullptr, &owner2);
  target.AppendChild(Node(u"0", TEXT_NODE));
  for (const char16_t* name : {u"1", u"2", u"3"}) source.AppendChild(Node(name, TEXT_NODE));
  target.addList(source);
  EXPECT_EQ(Names(target), u"0123");
  EXPECT_FALSE(source.HasChildNodes());
  EXPECT_EQ(source.GetLast(), nullptr);
  ExpectConsistent(target);
}

TEST(NodeList, AddListFromListWithoutOwnerMovesNothing) {
  TKaXMLNode owner(u"b", ELEMENT_NODE, nullptr);
  TKaNodeList source(nullptr), target(nullptr, &owner);
  source.AppendChild(Node(u"1", TEXT_NODE));
  source.AppendChild(Node(u"2", TEXT_NODE));
  EXPECT_THROW(target.addList(source), EKaDOMException);
  EXPECT_EQ(Names(source), u"12");
  EXPECT_FALSE(target.HasChildNodes());
}

TEST(NodeList, AppendSetsOwnerDocumentInsertKeepsIt) {
  TKaXMLDocument document;
  TKaXMLDocument* docA = &document;
  TKaNodeList list(docA);
  TKaXMLNode* appended = list.AppendChild(Node(u"a", TEXT_NODE));
  TKaXMLNode* inserted = list.InsertBefore(Node(u"b", TEXT_NODE), appended);
  EXPECT_EQ(appended->GetOwnerDocument(), docA);
  EXPECT_EQ(inserted->GetOwnerDocument(), nullptr);
  EXPECT_EQ(appended->GetParent(), nullptr);
}

TEST(NodeList, UniquePtrAppendPassesOwnershipOnlyOnSuccess) {
  TKaXMLNode owner(u"o", ELEMENT_NODE, nullptr);
  TKaNodeList list(nullptr, &owner);
  TKaXMLNode* node = list.AppendChild(std::make_unique<TKaXMLNode>(u"x", TEXT_NODE, nullptr));
  EXPECT_EQ(list.GetFirst(), node);
}

TEST(NodeList, EmptyListAnswersWithoutTouchingMemory) {
  TKaNodeList list(nullptr);
  EXPECT_EQ(list.Length(), 0);
  EXPECT_EQ(list.Item(1, ANY_NODE), nullptr);
  EXPECT_EQ(list.GetChild(u"x", ANY_NODE), nullptr);
  EXPECT_EQ(list.GetLastByType(ELEMENT_NODE), nullptr);
  list.Clear();
  EXPECT_FALSE(list.HasChildNodes());
}

// A list that counts the destructions of its nodes.
struct Counted : TKaXMLNode {
  explicit Counted(int* deaths) : TKaXMLNode(u"c", TEXT_NODE, nullptr), deaths_(deaths) {}
  ~Counted() override { ++*deaths_; }
  int* deaths_;
};

// A node that owns a list of its own, as elements do.
struct Branch : TKaXMLNode {
  Branch() : TKaXMLNode(u"b", ELEMENT_NODE, nullptr), content(nullptr, this) {}
  TKaNodeList content;
};

TEST(NodeDestruction, ClearDestroysEveryNodeOnce) {
  int deaths = 0;
  {
    TKaNodeList list(nullptr);
    for (int i = 0; i < 10; ++i) list.AppendChild(new Counted(&deaths));
    list.Clear();
    EXPECT_EQ(deaths, 10);
    list.AppendChild(new Counted(&deaths));
  }
  EXPECT_EQ(deaths, 11);
}

TEST(NodeDestruction, MillionNodeListAndDeepTreeDieWithoutRecursion) {
  {
    TKaNodeList list(nullptr);
    for (int i = 0; i < 1'000'000; ++i) list.AppendChild(new TKaXMLNode(u"n", TEXT_NODE, nullptr));
    EXPECT_EQ(list.GetFirst()->Mnext(999'999), list.GetLast());
  }
  auto root = std::make_unique<Branch>();
  Branch* tip = root.get();
  for (int depth = 0; depth < 100'000; ++depth) {
    tip = static_cast<Branch*>(tip->content.AppendChild(new Branch()));
    tip->content.AppendChild(new TKaXMLNode(u"t", TEXT_NODE, nullptr));
  }
  root.reset();  // would overflow the stack if each level recursed
}

}  // namespace
}  // namespace lumora
