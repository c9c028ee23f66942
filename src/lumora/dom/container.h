// The base of elements and of the document: one node list that holds the
// attributes and the content side by side, in document order.
//
// Operations that take a node adopt it: see TAdopt.
#pragma once

#include <memory>

#include "lumora/dom/attr.h"
#include "lumora/dom/node_list.h"

namespace lumora {

class TKaContainer : public TKaXMLNode {
 public:
  TKaContainer* ToContainer() override { return this; }

  TKaNodeList& GetNodeList() { return FNodeList; }
  const TKaNodeList& GetNodeList() const { return FNodeList; }
  TKaXMLNode* GetFirstNode() const { return FNodeList.GetFirst(); }

  // Attributes, found by name without regard to the case of ASCII letters.
  std::u16string GetAttribute(std::u16string_view Name) const;
  TKaXMLAttr* GetAttributeNode(std::u16string_view Name) const;
  bool HasAttribute() const { return GetFirstAttribute() != nullptr; }
  TKaXMLAttr* GetFirstAttribute() const;
  // Sets or adds an attribute; the value's markup characters are escaped first.
  void SetAttribute(std::u16string_view Name, std::u16string_view Value);
  // The same with the value taken as written (the parser's way).
  void FSetAttribute(std::u16string_view Name, std::u16string_view Value);
  // Takes the attribute out and hands it over; nil when there is none. A
  // standard attribute raises INUSE_ATTRIBUTE_ERR and stays.
  std::unique_ptr<TKaXMLAttr> RemoveAttribute(std::u16string_view Name);
  TKaXMLAttr* SetAttributeNode(TAdopt<TKaXMLAttr> Attr);
  std::unique_ptr<TKaXMLAttr> RemoveAttributeNode(TKaXMLAttr* Attr);
  // Appends copies of the attributes to List, which owns them.
  void GetAttributes(TKaNodeList& List) const { GetTypeList(List, ATTRIBUTE_NODE); }

  std::unique_ptr<TKaXMLNode> RemoveNode(TKaXMLNode* Node) {
    return FNodeList.RemoveChildNode(Node);
  }
  // Inserts after RefChild (a nil RefChild appends).
  TKaXMLNode* InsertNode(TAdopt<TKaXMLNode> NewChild, TKaXMLNode* RefChild) {
    return FNodeList.InsertAfter(std::move(NewChild), RefChild);
  }

  TKaXMLNode* SetComment(TAdopt<TKaXMLNode> Comment) {
    return FNodeList.AppendChild(std::move(Comment));
  }
  TKaXMLNode* GetFirstComment() const { return FNodeList.GetRoot(COMMENT_NODE); }
  void GetComments(TKaNodeList& List) const { GetTypeList(List, COMMENT_NODE); }
  bool HasComment() const { return GetFirstComment() != nullptr; }
  std::unique_ptr<TKaXMLNode> RemoveComment(TKaXMLNode* Comment) {
    return FNodeList.RemoveChildNode(Comment);
  }

  TKaXMLNode* SetPI(TAdopt<TKaXMLNode> Pi) { return FNodeList.AppendChild(std::move(Pi)); }
  TKaXMLNode* GetFirstPI() const { return FNodeList.GetRoot(PROCESSING_INSTRUCTION_NODE); }
  void GetPIs(TKaNodeList& List) const { GetTypeList(List, PROCESSING_INSTRUCTION_NODE); }
  bool HasPI() const { return GetFirstPI() != nullptr; }
  std::unique_ptr<TKaXMLNode> RemovePINode(TKaXMLNode* Pi) { return FNodeList.RemoveChildNode(Pi); }
  std::unique_ptr<TKaXMLNode> RemovePI(std::u16string_view Target) {
    return FNodeList.RemoveChild(Target, PROCESSING_INSTRUCTION_NODE);
  }

  // Appends a copy (deep for elements) of every node of that type to List.
  void GetTypeList(TKaNodeList& List, uint8_t NodeType) const;

 protected:
  TKaContainer(std::u16string_view Name, uint8_t NodeType, TKaXMLDocument* Doc, TNameRule Rule)
      : TKaXMLNode(Name, NodeType, Doc, Rule), FNodeList(FOwnerDocument, this) {}
  ~TKaContainer() override;

  TKaNodeList FNodeList;
};

}  // namespace lumora
