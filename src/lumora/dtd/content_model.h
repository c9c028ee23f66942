// Content models: what an element declaration allows as content, as a
// tree. A leaf names an element type; a node without a name is a group whose
// children combine as a sequence (",") or a choice ("|"), or the top node of
// an EMPTY, ANY or mixed model. A node's type code is its occurrence.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "lumora/dom/node.h"
#include "lumora/dom/node_list.h"

namespace lumora {

// Content kinds.
constexpr uint8_t cmEmpty = 45;
constexpr uint8_t cmAny = 46;
constexpr uint8_t cmMixed = 47;  // (#PCDATA) or (#PCDATA|a|b)*; #PCDATA is not stored
constexpr uint8_t cmChildren = 48;

// Occurrences, stored as the node's type code. A node is made with
// CONTENT_MODEL_NODE, which counts as once until SetType gives it another.
constexpr uint8_t ocOptional = 40;    // ?
constexpr uint8_t ocOnce = 41;        // no mark
constexpr uint8_t ocOneOrMore = 42;   // +
constexpr uint8_t ocZeroOrMore = 43;  // *

class TKaContentModel : public TKaXMLNode {
 public:
  TKaContentModel(std::u16string_view Name, uint8_t Kind, TKaXMLDocument* Doc);
  ~TKaContentModel() override;

  // A group or a top node: no name, delimiter ",".
  static std::unique_ptr<TKaContentModel> CreateCM(uint8_t Kind, TKaXMLDocument* Doc) {
    return std::make_unique<TKaContentModel>(u"", Kind, Doc);
  }
  // A leaf naming an element type.
  static std::unique_ptr<TKaContentModel> CreateNamedCM(std::u16string_view Name, uint8_t Kind,
                                                        TKaXMLDocument* Doc) {
    return std::make_unique<TKaContentModel>(Name, Kind, Doc);
  }
  // The model that a text such as "(a,(b|c)*)" or "EMPTY"
  // describes. Raises EKaOrvaneError when Text is not one.
  static std::unique_ptr<TKaContentModel> CreateCMFromString(std::u16string_view Text,
                                                             TKaXMLDocument* Doc);

  uint8_t GetKind() const { return FKind; }
  // The occurrence: ocOnce for a node whose type was never set.
  uint8_t GetOccurrence() const;
  char16_t GetDelimiter() const { return FDelimiter; }
  // ',' or '|'; any other character makes a group that matches nothing.
  void SetDelimiter(char16_t Delimiter) { FDelimiter = Delimiter; }
  TKaNodeList& GetChildList() { return FChildren; }
  const TKaNodeList& GetChildList() const { return FChildren; }

  // Appends a leaf of this node's kind with the occurrence. In a mixed model
  // a name that is there already raises EKaDOMException
  // DUPLICATE_MIXED_NAME_ERR.
  TKaContentModel* AddElement(std::u16string_view Name, uint8_t Occurrence);
  // Appends a nested group, which must not be in a tree yet.
  TKaContentModel* AddContent(TAdopt<TKaContentModel> Model);
  // The first leaf of that exact name, depth first in child order; nil when
  // there is none.
  TKaContentModel* GetElement(std::u16string_view Name) const;

  // The model text as Write writes it; ToString gives it in UTF-8.
  std::u16string ToText() const;
  std::string ToString() const;
  // The model text: "(a,(b|c)+,d?)", "(#PCDATA|a)*", " EMPTY", " ANY";
  // a leaf writes its name only (its parent writes its mark).
  void Write(TStream& Stream, int Level) override;
  // A deep copy of the tree below this node.
  std::unique_ptr<TKaXMLNode> CloneNode() const override;
  void MoveToDocument(TKaXMLDocument* Doc) override;

 private:
  friend class TKaElementDecl;  // the parent of a top node

  uint8_t FKind;
  char16_t FDelimiter = u',';
  TKaNodeList FChildren;
};

}  // namespace lumora
