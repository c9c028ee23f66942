// Elements: a container whose list holds the attributes, then child
// elements, text, CDATA sections, comments and processing instructions in
// document order.
//
// Deep operations (copy, search, output, validation) walk the tree without
// recursion, so any depth that fits in memory is handled.
#pragma once

#include <memory>

#include "lumora/dom/container.h"

namespace lumora {

class TKaXMLElement : public TKaContainer {
 public:
  TKaXMLElement(std::u16string_view Name, TKaXMLDocument* Doc)
      : TKaContainer(Name, ELEMENT_NODE, Doc, TNameRule::kChecked) {}
  ~TKaXMLElement() override = default;

  static std::unique_ptr<TKaXMLElement> CreateElement(std::u16string_view Name,
                                                      TKaXMLDocument* Doc) {
    return MakeNode<TKaXMLElement>(Doc, Name, Doc);
  }

  const std::u16string& TagName() const { return FName; }

  // Child elements; Index counts from 1 (0 and 1 give the first).
  TKaXMLElement* GetFirstChild() const { return AsElement(FNodeList.GetRoot(ELEMENT_NODE)); }
  bool HasChild() const { return GetFirstChild() != nullptr; }
  TKaXMLElement* GetChild(int Index) const {
    return AsElement(FNodeList.Item(Index, ELEMENT_NODE));
  }
  TKaXMLElement* AppendChild(TAdopt<TKaXMLElement> Element);
  std::unique_ptr<TKaXMLElement> RemoveChild(TKaXMLElement* Element);
  // Appends deep copies of the child elements to List.
  void GetChildren(TKaNodeList& List) const { GetTypeList(List, ELEMENT_NODE); }

  // Text: appended, then normalized (see TKaXMLText::Normalize). White space
  // is content like any other text and stays; text left empty is taken out
  // again and destroyed. Returns the text node, or nil when it was dropped.
  // Text whose references cannot be read raises and is not adopted.
  TKaXMLNode* SetCharData(TAdopt<TKaXMLNode> Text);
  // SetCharData with a new text node of Text as written, references
  // included; text without references needs none of its work.
  TKaXMLNode* AppendWrittenText(std::u16string_view Text);
  TKaXMLNode* GetFirstCharData() const { return FNodeList.GetRoot(TEXT_NODE); }
  void GetCharDatas(TKaNodeList& List) const { GetTypeList(List, TEXT_NODE); }
  bool HasCharData() const { return GetFirstCharData() != nullptr; }
  std::unique_ptr<TKaXMLNode> RemoveCharData(TKaXMLNode* Text) {
    return FNodeList.RemoveChildNode(Text);
  }

  TKaXMLNode* SetCData(TAdopt<TKaXMLNode> CData);
  TKaXMLNode* GetFirstCData() const { return FNodeList.GetRoot(CDATA_SECTION_NODE); }
  void GetCDatas(TKaNodeList& List) const { GetTypeList(List, CDATA_SECTION_NODE); }
  bool HasCData() const { return GetFirstCData() != nullptr; }
  std::unique_ptr<TKaXMLNode> RemoveCData(TKaXMLNode* CData) {
    return FNodeList.RemoveChildNode(CData);
  }

  // The nearest element before (after) this one among its siblings.
  TKaXMLElement* PreviousSibling() const { return AsElement(TKaXMLNode::PreviousSibling()); }
  TKaXMLElement* NextSibling() const { return AsElement(TKaXMLNode::NextSibling()); }

  // Copies of this element and every element below it named exactly Name, in
  // document order. The copies' parent is this element.
  std::unique_ptr<TKaNodeList> GetElementsByTagName(std::u16string_view Name) const;
  void GetByTagName(std::u16string_view Name, TKaNodeList& List) const;
  // Copies of every attribute of that declared type in this subtree.
  std::unique_ptr<TKaNodeList> GetAttributesByType(uint8_t AttrType) const;
  void GetByType(uint8_t AttrType, TKaNodeList& List) const;

  // The parser has read the whole content. Runs of white space that break
  // the line, standing among child elements without other text, CDATA
  // sections, references or blanks within a line, are the layout of element
  // content rather than content: they are dropped, unless xml:space
  // preserves them. An element without child elements keeps its text.
  void EndContent();
  // Whether EndContent drops layout white space here: the white space seen
  // all breaks lines, there are child elements, and xml:space does not
  // preserve it.
  bool DropsLayoutBlanks() const;
  // The first part of DropsLayoutBlanks: the white space seen all breaks
  // lines and there is no other text.
  bool HoldsOnlyLayoutBlanks() const {
    return (FFlags & (kBlankText | kInlineContent)) == kBlankText;
  }
  // White space that breaks the line: layout when its element's content
  // turns out to be elements only.
  static bool IsLayoutBlank(std::u16string_view Text);
  // Whether xml:space="preserve" holds here: the nearest xml:space of this
  // element and its ancestors says "preserve" ("default" ends it).
  bool PreservesSpace() const;

  // Gives this element and everything below it Doc as owner document.
  void SetDocument(TKaXMLDocument* Doc);
  void MoveToDocument(TKaXMLDocument* Doc) override { SetDocument(Doc); }
  // Appends copies of Source's content (not its attributes) to this element;
  // Source's nodes are moved to this element's document.
  void InsertElementContent(TKaXMLElement& Source);

  // Deep copy; the copy is free.
  std::unique_ptr<TKaXMLNode> CloneNode() const override;
  // Checks this element and its descendants against the declarations of the
  // document type, recording every error in the parser's error list.
  void Validate() override;
  void Write(TStream& Stream, int Level) override;

  // The node as an element; nil for anything else (a plain node that only
  // carries the element type code included).
  static TKaXMLElement* AsElement(TKaXMLNode* node) { return node ? node->ToElement() : nullptr; }
  TKaXMLElement* ToElement() override { return this; }

 private:
  // What the content seen by SetCharData and SetCData holds (FFlags).
  static constexpr uint8_t kBlankText = 1;      // white space that breaks the line
  static constexpr uint8_t kInlineContent = 2;  // other text, CDATA, references
  static constexpr uint8_t kBlankNodes = 4;     // kBlankText that is in the list as nodes
  void NoteContent(const TKaXMLNode& node);
  // Notes text just normalized in the list and what it split off; text
  // left empty is destroyed (nil then).
  TKaXMLNode* NoteNormalizedText(TKaXMLNode* text);
  // Takes the layout white space out of the list (see EndContent).
  void DropBlankNodes();
  // What this element's own xml:space attribute says: 1 preserve,
  // 0 default, -1 nothing (absent or another value).
  int OwnSpaceRule() const;
  friend class TLayoutBlanks;

  // How the element writes its content: none ("/>"), on lines of their own,
  // or inline (it holds text, CDATA sections or references, or xml:space
  // preserves it), where added white space would become content.
  enum class TLayout : uint8_t { kEmpty, kIndented, kInline };
  TLayout ContentLayout() const;
  void WriteStartTag(TStream& Stream, int Level) const;
  void WriteEndTag(TStream& Stream, int Level) const;
};

// The next element after from in document order within the subtree of root
// (from's children first), or nil when the subtree is done.
TKaXMLElement* NextElementInSubtree(const TKaXMLElement* root, const TKaXMLElement* from);

}  // namespace lumora
