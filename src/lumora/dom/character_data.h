// The leaves of the tree: text, CDATA sections, comments, processing
// instructions, and the document fragment.
//
// Offsets and counts count UTF-16 code units from 0. An offset must name an
// existing character: appending goes through AppendData.
#pragma once

#include <memory>

#include "lumora/dom/node_list.h"

namespace lumora {

class TKaCharacterData : public TKaXMLNode {
 public:
  virtual const std::u16string& Data() const { return FValue.Str(); }
  virtual int Length() const;
  // Returns Count characters from Offset (fewer at the end) and keeps only
  // them as the data.
  virtual std::u16string SubstringData(int Offset, int Count);
  virtual void AppendData(std::u16string_view Arg) { FValue.Edit() += Arg; }
  virtual void InsertData(int Offset, std::u16string_view Arg);
  virtual void DeleteData(int Offset, int Count);
  // DeleteData, then InsertData at the same offset; when the deletion reached
  // the end, the insertion raises and the deletion stays done.
  virtual void ReplaceData(int Offset, int Count, std::u16string_view Arg);

 protected:
  using TKaXMLNode::TKaXMLNode;
};

// Text holds its characters as they are, except while it still holds the
// references it was read with: the parser's text (made with the public
// constructor) is resolved by Normalize, which the element's SetCharData
// runs. A reference that does not resolve becomes an entity-reference node
// beside the text, so that a literal '&' and a reference stay apart.
class TKaXMLText : public TKaCharacterData {
 public:
  // Data is text as written, references included; SetCharData resolves it.
  TKaXMLText(std::u16string_view Data, TKaXMLDocument* Doc) : TKaXMLText(Data, TEXT_NODE, Doc) {}

  // Data is the text itself: every character stands for itself.
  static std::unique_ptr<TKaXMLText> CreateText(std::u16string_view Data, TKaXMLDocument* Doc);

  // Keeps the first Offset characters and returns a new free text node with
  // the rest.
  std::unique_ptr<TKaXMLText> SplitText(int Offset);

  // Resolves the references of text as written; white space is not touched.
  // In an element's list, the nodes that an entity with markup holds, and an
  // entity-reference node for a reference that does not resolve, go in at
  // the reference's place, followed by the rest of the text; in a free text
  // node such references stay in the data as written.
  void Normalize() override;
  // Normalize for text as written given apart: Written becomes the data,
  // resolved, without first being copied in as it was written.
  void NormalizeWritten(std::u16string_view Written);
  // The data escaped, on the current line.
  void Write(TStream& Stream, int Level) override;
  std::unique_ptr<TKaXMLNode> CloneNode() const override;

 protected:
  TKaXMLText(std::u16string_view Data, uint8_t NodeType, TKaXMLDocument* Doc);
  // In FFlags: the data holds no references any more.
  static constexpr uint8_t kResolved = 1;
};

// CDATA sections and comments keep their data exactly as given: neither
// holds markup or references, so nothing in them is resolved.
class TKaXMLCData : public TKaXMLText {
 public:
  TKaXMLCData(std::u16string_view Data, TKaXMLDocument* Doc)
      : TKaXMLText(Data, CDATA_SECTION_NODE, Doc) {}
  static std::unique_ptr<TKaXMLCData> CreateCData(std::u16string_view Data, TKaXMLDocument* Doc) {
    return MakeNode<TKaXMLCData>(Doc, Data, Doc);
  }
  void Normalize() override {}
  // Data holding "]]>" is written as two sections split inside it.
  void Write(TStream& Stream, int Level) override;
  std::unique_ptr<TKaXMLNode> CloneNode() const override;
};

class TKaXMLComment : public TKaXMLText {
 public:
  TKaXMLComment(std::u16string_view Data, TKaXMLDocument* Doc)
      : TKaXMLText(Data, COMMENT_NODE, Doc) {}
  static std::unique_ptr<TKaXMLComment> CreateComment(std::u16string_view Data,
                                                      TKaXMLDocument* Doc) {
    return MakeNode<TKaXMLComment>(Doc, Data, Doc);
  }
  void Normalize() override {}
  void Write(TStream& Stream, int Level) override;
  std::unique_ptr<TKaXMLNode> CloneNode() const override;
};

class TKaXMLPi : public TKaXMLNode {
 public:
  // Target must be a name other than "xml" in any case (INVALID_CHARACTER_ERR).
  // The data is kept as given, line breaks and blanks included; it holds no
  // references.
  TKaXMLPi(std::u16string_view Target, std::u16string_view Data, TKaXMLDocument* Doc);
  static std::unique_ptr<TKaXMLPi> CreatePI(std::u16string_view Target, std::u16string_view Data,
                                            TKaXMLDocument* Doc) {
    return MakeNode<TKaXMLPi>(Doc, Target, Data, Doc);
  }

  const std::u16string& Target() const { return FName; }
  const std::u16string& Data() const { return FValue.Str(); }

  // Nothing to do: the data is kept exactly.
  void Normalize() override {}
  void Write(TStream& Stream, int Level) override;
  std::unique_ptr<TKaXMLNode> CloneNode() const override;

 private:
  struct TCopy {};
  TKaXMLPi(const TKaXMLPi& source, TCopy);
};

// A free-standing list of nodes; its nodes have no parent.
class TKaDocumentFragment : public TKaXMLNode {
 public:
  explicit TKaDocumentFragment(TKaXMLDocument* Doc)
      : TKaXMLNode(u"", DOCUMENT_FRAGMENT_NODE, Doc), FNodeList(Doc) {}
  ~TKaDocumentFragment() override { FNodeList.Clear(); }
  static std::unique_ptr<TKaDocumentFragment> CreateDocFragment(TKaXMLDocument* Doc) {
    return MakeNode<TKaDocumentFragment>(Doc, Doc);
  }

  TKaNodeList& GetNodeList() { return FNodeList; }

  void MoveToDocument(TKaXMLDocument* Doc) override {
    TKaXMLNode::MoveToDocument(Doc);
    FNodeList.MoveToDocument(Doc);
  }

 private:
  TKaNodeList FNodeList;
};

}  // namespace lumora
