// Entity declarations: <!ENTITY name ...> (TKaGEntityDecl) and
// <!ENTITY % name ...> (TKaPEntityDecl). The value is the replacement text.
#pragma once

#include <memory>
#include <string>

#include "lumora/dtd/external_node.h"

namespace lumora {

class TKaCustomEntityDecl : public TKaExternalNode {
 public:
  // An internal entity takes a literal value; setting a literal makes it
  // external. Raises "Can not set a value of an external entity." when it
  // is not internal. The value is kept as written, apart from character and
  // parameter-entity references, which are expanded (see Normalize).
  void SetValue(std::u16string_view Value) override;
  bool IsInternal() const { return FInternal; }
  void SetInternal(bool Value) { FInternal = Value; }
  virtual bool IsParameter() const = 0;
  // Whether the value holds the external text (Retrieve succeeded).
  bool IsRetrieved() const { return FRetrieved; }
  // Where the external text was read from (an absolute path or a URL);
  // empty until it is.
  const std::string& GetResourceLocation() const { return FResourceLocation; }
  // The location that relative names in the entity's text are resolved
  // against: where its text was read from, or for an internal entity where
  // it is declared.
  const std::string& GetTextLocation() const {
    return FRetrieved ? FResourceLocation : FBaseLocation;
  }

  // Expands the character and parameter-entity references of the value;
  // general-entity references and white space stay as written.
  void Normalize() override;
  // Reads the external text into the value: decoded by its byte-order
  // mark, its text declaration or else as UTF-8, with the text declaration
  // left out and line ends as one line feed; nothing else is expanded. A
  // text that cannot be read leaves the value empty and IsRetrieved false;
  // one that is not well-formed text raises EKaOrvaneError naming its
  // location.
  void Retrieve() override;
  void Write(TStream& Stream, int Level) override;

 protected:
  TKaCustomEntityDecl(std::u16string_view Name, TKaXMLDocument* Doc)
      : TKaExternalNode(Name, ENTITY_NODE, Doc, TNameRule::kChecked) {}
  // The notation written after NDATA; empty for a parsed entity.
  virtual const std::u16string* NDataNotation() const { return nullptr; }

  bool FInternal = true;
  bool FRetrieved = false;
  std::string FResourceLocation;
};

class TKaGEntityDecl : public TKaCustomEntityDecl {
 public:
  TKaGEntityDecl(std::u16string_view Name, TKaXMLDocument* Doc) : TKaCustomEntityDecl(Name, Doc) {}
  static std::unique_ptr<TKaGEntityDecl> CreateEntity(std::u16string_view Name,
                                                      TKaXMLDocument* Doc) {
    return std::make_unique<TKaGEntityDecl>(Name, Doc);
  }

  bool IsParameter() const override { return false; }
  bool IsUnparsed() const { return FUnparsed; }
  void SetUnparsed(bool Value) { FUnparsed = Value; }
  // Raises "Can't set the notation value of a parsed entity." unless unparsed.
  void SetNotation(std::u16string_view Name);
  const std::u16string& GetNotation() const { return FNotation; }

  // An unparsed entity reads nothing.
  void Retrieve() override;
  // The notation of an unparsed entity must be declared.
  void Validate() override;

 protected:
  const std::u16string* NDataNotation() const override {
    return FUnparsed ? &FNotation : nullptr;
  }

 private:
  std::u16string FNotation;
  bool FUnparsed = false;
};

class TKaPEntityDecl : public TKaCustomEntityDecl {
 public:
  TKaPEntityDecl(std::u16string_view Name, TKaXMLDocument* Doc) : TKaCustomEntityDecl(Name, Doc) {}
  static std::unique_ptr<TKaPEntityDecl> CreateEntity(std::u16string_view Name,
                                                      TKaXMLDocument* Doc) {
    return std::make_unique<TKaPEntityDecl>(Name, Doc);
  }
  bool IsParameter() const override { return true; }
};

}  // namespace lumora
