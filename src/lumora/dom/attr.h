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
  const std::u16string& Value() const { return FValue.Str(); }
  // Not for an attribute that the DTD's default put there (IsDefaulted).
  bool Specified() const { return !IsDefaulted() && !FValue.empty(); }
  // Added from the default of its declaration, not read in the tag: written
  // only when the document is asked to (SetWriteDefaultAttributes).
  bool IsDefaulted() const { return (FFlags & kDefaulted) != 0; }
  void SetDefaulted(bool Value) { SetFlag(kDefaulted, Value); }
  // A pseudo-attribute of the XML declaration, made by the document itself.
  bool StandardAttribute() const { return (FFlags & kStandard) != 0; }
  // The declared type (atID ...): that of the definition of this name in the
  // attribute-list declaration of the parent element's name; atCDATA when
  // there is none (no parent element, no document type, no definition).
  uint8_t GetAttrType() const;
  // What a value of a declared type other than CDATA becomes once its
  // references and white space are resolved: spaces trimmed at both ends and
  // each run of them made one. References kept as written stay in step.
  void NormalizeTokens();

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

  // In FFlags, which costs no room of its own.
  static constexpr uint8_t kStandard = 1;
  static constexpr uint8_t kDefaulted = 2;
  void SetFlag(uint8_t Flag, bool Value) {
    FFlags = static_cast<uint8_t>(Value ? FFlags | Flag : FFlags & ~Flag);
  }
  // Where the value holds a reference kept as written: the offsets of their
  // '&'s, ascending; nil when there is none (the common case).
  std::unique_ptr<std::vector<uint32_t>> FKept;
};

}  // namespace lumora
