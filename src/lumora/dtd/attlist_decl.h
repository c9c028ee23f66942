// Attribute-list declarations (<!ATTLIST element name type default ...>):
// one TKaAttListDecl per element, holding a TKaAttDef per attribute, and the
// allowed values of enumerated and NOTATION types (TKaEnumeration).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "lumora/dom/node_list.h"
#include "lumora/dtd/attribute_types.h"
#include "lumora/dtd/name_lookup.h"

namespace lumora {

class TElementAttributes;
class TElementRules;
struct TElementRule;
class TKaDocumentType;
class TKaXMLAttr;
class TKaXMLElement;

// How a default is declared.
constexpr uint8_t dkRequired = 60;  // #REQUIRED
constexpr uint8_t dkImplied = 61;   // #IMPLIED
constexpr uint8_t dkFixed = 62;     // #FIXED "value"
constexpr uint8_t dkValue = 63;     // "value"

// The attribute type a keyword names (CDATA, ID, ..., NOTATION; ASCII letters
// in any case), atEnumeration for "("; 0 for anything else.
uint8_t AttrTypeOfKeyword(std::u16string_view Keyword);
// The default kind of "#REQUIRED", "#IMPLIED", "#FIXED" (any case);
// dkValue for anything else, the empty keyword of a plain literal included.
uint8_t DefaultKindOfKeyword(std::u16string_view Keyword);

// The allowed values of an enumerated or NOTATION type, one plain node of
// type ENUMERATION_VALUE_NODE per value, named after it, in declared order.
class TKaEnumeration : public TKaXMLNode {
 public:
  explicit TKaEnumeration(TKaXMLDocument* Doc);
  ~TKaEnumeration() override;

  static std::unique_ptr<TKaEnumeration> CreateEmptyEnumeration(TKaXMLDocument* Doc) {
    return std::make_unique<TKaEnumeration>(Doc);
  }

  // Appends a value node named Value (no name check: values are tokens).
  TKaXMLNode* AddElement(std::u16string_view Value);
  TKaXMLNode* AddElementNode(TAdopt<TKaXMLNode> Node);
  TKaNodeList& GetElements() { return FValues; }
  const TKaNodeList& GetElements() const { return FValues; }
  // Whether Value is one of the values, compared exactly.
  bool Contains(std::u16string_view Value) const;
  // A copy with value nodes of the same names in the same order.
  std::unique_ptr<TKaEnumeration> CloneEnumeration() const;

  // " (a |b )": each value as its node writes it, bars between.
  void Write(TStream& Stream, int Level) override;
  void MoveToDocument(TKaXMLDocument* Doc) override;

 private:
  TKaNodeList FValues;
};

class TKaAttDef : public TKaXMLNode {
 public:
  TKaAttDef(std::u16string_view Name, TKaXMLDocument* Doc);
  ~TKaAttDef() override;

  static std::unique_ptr<TKaAttDef> CreateEmptyAttDef(std::u16string_view Name,
                                                      TKaXMLDocument* Doc) {
    return std::make_unique<TKaAttDef>(Name, Doc);
  }
  static std::unique_ptr<TKaAttDef> CreateAttDef(std::u16string_view Name, uint8_t AttrType,
                                                 std::u16string_view DefaultValue,
                                                 uint8_t DefaultKind, TKaXMLDocument* Doc);

  // 0 until set: a definition the parser never finished.
  uint8_t GetAttrType() const { return FAttrType; }
  void SetAttrType(uint8_t AttrType) { FAttrType = AttrType; }
  uint8_t GetDefaultKind() const { return FDefaultKind; }
  void SetDefaultKind(uint8_t Kind) { FDefaultKind = Kind; }
  const std::u16string& GetDefaultValue() const { return FDefaultValue; }
  void SetDefaultValue(std::u16string_view Value) { FDefaultValue = Value; }
  // The allowed values of an atEnumeration or atNOTATION type; nil otherwise.
  TKaEnumeration* GetEnumeration() const { return FEnumeration.get(); }
  TKaEnumeration* SetEnumeration(std::unique_ptr<TKaEnumeration> Enumeration);
  // Whether type, default and (for the types that list values) values are
  // set, so the definition can be written and validated.
  bool IsComplete() const;

  // A free attribute holding the default as an attribute of this definition
  // holds it: references resolved, and a value of a type other than CDATA
  // trimmed and its spaces collapsed. Raises EKaOrvaneError when the default
  // cannot be resolved.
  std::unique_ptr<TKaXMLAttr> CreateDefaultAttr() const;
  // Checks an attribute of an element against this definition and records
  // what is wrong in the owner document's errors. ElementIDs is how many
  // attributes of type ID the attribute's element has; -1 counts them.
  void ValidateAttDef(TKaXMLAttr& Attr, int ElementIDs = -1);

  // Same name, document, type, default and value, an enumeration of its own;
  // no parent.
  std::unique_ptr<TKaXMLNode> CloneNode() const override;
  std::unique_ptr<TKaAttDef> CloneAttDef() const;
  void Write(TStream& Stream, int Level) override;
  void MoveToDocument(TKaXMLDocument* Doc) override;

 private:
  std::u16string FDefaultValue;
  uint8_t FAttrType = 0;
  uint8_t FDefaultKind = 0;
  std::unique_ptr<TKaEnumeration> FEnumeration;
};

// The attribute definitions of one element, named after it. Definitions are
// looked up through a hash of their names that AddAtt and RemoveAtt keep in
// step with the list.
class TKaAttListDecl : public TKaXMLNode {
 public:
  TKaAttListDecl(std::u16string_view Name, TKaXMLDocument* Doc);
  ~TKaAttListDecl() override;

  static std::unique_ptr<TKaAttListDecl> CreateAttList(std::u16string_view Name,
                                                       TKaXMLDocument* Doc) {
    return std::make_unique<TKaAttListDecl>(Name, Doc);
  }

  // Appends Def unless a definition of that name exists: the first binds.
  // Returns Def once the declaration owns it; nil when refused (the caller
  // keeps it).
  TKaAttDef* AddAtt(TAdopt<TKaAttDef> Def);
  // The definition of that name: ASCII letters compared without case, or
  // exactly when the owner document's parser reads standard XML.
  TKaAttDef* GetAtt(std::u16string_view Name) const;
  // Unlinks the definition and hands it to the caller.
  std::unique_ptr<TKaAttDef> RemoveAtt(TKaAttDef* Def);
  // The definitions, in declared order. Change them through AddAtt and
  // RemoveAtt only, which keep the lookup in step.
  const TKaNodeList& GetAttList() const { return FAttList; }
  TKaXMLNode* GetFirstNode() const { return FAttList.GetFirst(); }

  // The rules of the declaration itself: defaults that fit their types, at
  // most one attribute of type ID and one of type NOTATION, and none of type
  // NOTATION for an element declared EMPTY.
  void ValidateDeclaration(const TKaDocumentType& DocType);
  // Records each #REQUIRED attribute that Element lacks (names compare
  // exactly).
  void ValidateAttList(TKaXMLElement& Element);
  // What the declaration does to an element whose start tag was just read:
  // values of the types other than CDATA are trimmed and their spaces
  // collapsed, and with AddDefaults the declared defaults (#FIXED ones too)
  // of attributes the tag does not give are added, marked as defaulted.
  void ApplyToElement(TKaXMLElement& Element, bool AddDefaults);

  // "<!ATTLIST name", each complete definition on a line of its own, ">".
  void Write(TStream& Stream, int Level) override;
  void MoveToDocument(TKaXMLDocument* Doc) override;

 private:
  void ReportMissingRequired(TKaXMLElement& Element, const TElementAttributes& Attributes);

  TKaNodeList FAttList;
  // Folded name -> definitions of that folded name in list order.
  TNameMap<std::vector<TKaAttDef*>> FIndex;
  // Exact name -> the first definition of that name, for standard XML.
  TNameTable<TKaAttDef*> FExactIndex;
};

// Checks the attributes of Element against the declarations of its name
// (Rule, from Rules): the #REQUIRED ones present, each attribute declared
// and its value fit for its definition. Needs the document's ID table
// (TKaXMLDocument::GetIDTable) for ID uniqueness and references; without
// one those are not checked.
void ValidateAttributes(TKaXMLElement& Element, TElementRules& Rules, TElementRule& Rule);

}  // namespace lumora
