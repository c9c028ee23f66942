// Attributes. They stand in their element's node list beside its content and
// are told apart by their type code.
#pragma once

#include <memory>
#include <vector>

#include "lumora/dom/node.h"

namespace lumora {

class TKaXMLAttr : public TKaXMLNode {
 public:
  // The value is stored as given and normalized (the parser's way).
  TKaXMLAttr(std::u16string_view Name, std::u16string_view Value, TKaXMLDocument* Doc,
             bool Standard);

  // The value's markup characters are first turned into references, so that
  // any text can be given; normalization then resolves them again.
  static std::unique_ptr<TKaXMLAttr> CreateAttr(std::u16string_view Name, std::u16string_view Value,
                                                TKaXMLDocument* Doc) {
    return CreateStdAttr(Name, Value, Doc, false);
  }
  static std::unique_ptr<TKaXMLAttr> CreateStdAttr(std::u16string_view Name,
                                                   std::u16string_view Value, TKaXMLDocument* Doc,
                                                   bool Standard);

  const std::u16string& Name() const { return FName; }
  const std::u16string& Value() const { return FValue; }
  bool Specified() const { return !FValue.empty(); }
  // A pseudo-attribute of the XML declaration, made by the document itself.
  bool StandardAttribute() const { return FStandard; }
  // The declared type (atID ...); atCDATA when the attribute is not declared.
  uint8_t GetAttrType() const;

  // The value becomes literal text: every '&' in it stands for itself.
  void SetValue(std::u16string_view Value) override;
  // The value as written in a tag, normalized; when that raises, the
  // attribute keeps the value it had.
  void SetWrittenValue(std::u16string_view Value);

  // Resolves the references of the value; one that does not resolve stays
  // in the value as written and is remembered as a reference.
  void Normalize() override;
  // " name = \"value\"", escaping '&', '<', '"' and the white space that a
  // reader would turn into spaces; references kept are written as they were.
  void Write(TStream& Stream, int Level) override;
  // A plain attribute of the same name and value, not standard, not normalized.
  std::unique_ptr<TKaXMLNode> CloneNode() const override;

 private:
  struct TUnnormalized {};
  TKaXMLAttr(std::u16string_view Name, TKaXMLDocument* Doc, TUnnormalized);

  bool FStandard = false;
  // Where the value holds a reference kept as written: the offsets of their
  // '&'s, ascending; nil when there is none (the common case).
  std::unique_ptr<std::vector<uint32_t>> FKept;
};

}  // namespace lumora
