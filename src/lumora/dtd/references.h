// References to entities and characters. They are short-lived: whoever meets
// a reference in text creates one, asks what it refers to (`GetDestType`),
// lets it fetch its replacement text (`Retrieve`) and destroys it.
#pragma once

#include <cstdint>
#include <memory>

#include "lumora/dom/node.h"

namespace lumora {

// What a reference's name refers to.
constexpr uint8_t rdParameter = 65;   // a parameter entity declaration
constexpr uint8_t rdInternal = 66;    // an internal general entity
constexpr uint8_t rdExternal = 67;    // an external parsed general entity
constexpr uint8_t rdUnparsed = 68;    // an unparsed general entity
constexpr uint8_t rdCharacter = 69;   // the name starts with '#'
constexpr uint8_t rdUndeclared = 70;  // no declaration of that name

class TKaCustomReference : public TKaXMLNode {
 public:
  // Name is the text between the '&' or '%' and the ';'.
  TKaCustomReference(std::u16string_view Name, TKaXMLDocument* Doc);

  uint8_t GetDestType() const { return FDestType; }
  // Fetches the replacement text into the value; false when it cannot.
  virtual bool Retrieve() = 0;

 private:
  uint8_t FDestType;
};

// A general entity reference (&name;).
class TKaGEntityReference : public TKaCustomReference {
 public:
  using TKaCustomReference::TKaCustomReference;
  static std::unique_ptr<TKaGEntityReference> CreateReference(std::u16string_view Name,
                                                              TKaXMLDocument* Doc) {
    return std::make_unique<TKaGEntityReference>(Name, Doc);
  }
  // The five predefined entities, then the document's declarations: the
  // value becomes the replacement text as stored (references in it are
  // expanded by whoever uses it, in its own terms). False for an undeclared
  // name, an unparsed entity and external text that was not read.
  bool Retrieve() override;
  // A reference that stays in the tree (one that did not resolve) is written
  // as it was read: "&name;", within the text around it.
  void Write(TStream& Stream, int Level) override;
  std::unique_ptr<TKaXMLNode> CloneNode() const override;
};

// A character reference (&#digits; or &#xhex;).
class TKaCharReference : public TKaCustomReference {
 public:
  using TKaCustomReference::TKaCustomReference;
  static std::unique_ptr<TKaCharReference> CreateReference(std::u16string_view Name,
                                                           TKaXMLDocument* Doc) {
    return std::make_unique<TKaCharReference>(Name, Doc);
  }
  // The value becomes the character of the code point the digits give (a
  // surrogate pair above U+FFFF), and the name keeps only the digits. False,
  // with code 0, when the digits are malformed or the code point is not an
  // XML character.
  bool Retrieve() override;
  int32_t GetCode() const { return FCode; }

 private:
  int32_t FCode = 0;
};

// The replacement text of the five entities every document knows without
// declaring them; nil for any other name.
const char16_t* PredefinedEntityText(std::u16string_view name);
// The value of c as a digit in base 10 or 16; -1 when it is none.
int DigitValue(char16_t c, int base);
// Whether the code point is a character XML documents may hold.
bool IsXmlCharacter(int32_t cp);

// How a value's normalization treats the references it meets.
struct TReferenceRules {
  const char* UnterminatedMessage;  // raised, with the parser's line, for '&' without ';'
  const char* UnparsedMessage;      // raised for a reference to an unparsed entity
  const char* ExternalMessage;      // raised for an external entity; nil: allowed
  bool KeepEmpty;                   // an empty replacement text keeps the reference as written
  const char* MarkupMessage;        // raised for '<' in replacement text; nil: allowed
};

// Appends what the reference that starts with the '&' at value[Amp] stands
// for (see AppendResolvedReference) and returns the position of its ';'.
// Kept, when given, tells whether the reference was kept as written.
size_t AppendReferenceAt(std::u16string_view Value, size_t Amp, TKaXMLDocument* Doc,
                         const TReferenceRules& Rules, std::u16string& out,
                         bool* Kept = nullptr);

// Appends what the reference "&name;" stands for to out: its replacement
// text when it resolves (true), the reference as written otherwise (false).
// The text of a declared entity is normalized as an attribute value is:
// white space becomes spaces and its references are expanded in turn, under
// the parse's guard. The predefined entities mean what they always mean,
// declared or not.
bool AppendResolvedReference(std::u16string_view Name, TKaXMLDocument* Doc,
                             const TReferenceRules& Rules, std::u16string& out);

// The reference that "&name;" in text or in a value makes: a character
// reference when the name starts with '#', a general entity reference otherwise.
std::unique_ptr<TKaCustomReference> CreateTextReference(std::u16string_view Name,
                                                        TKaXMLDocument* Doc);

// A parameter entity reference (%name;), met in a DTD.
class TKaPEntityReference : public TKaCustomReference {
 public:
  using TKaCustomReference::TKaCustomReference;
  static std::unique_ptr<TKaPEntityReference> CreateReference(std::u16string_view Name,
                                                              TKaXMLDocument* Doc) {
    return std::make_unique<TKaPEntityReference>(Name, Doc);
  }
  // The value of the entity declared under the name (of either kind), as
  // stored; false when none is declared. Raises EKaOrvaneError when the
  // entity is being expanded already (a cycle) or the parse's expansion
  // budget runs out.
  bool Retrieve() override;
  // White space becomes spaces; parameter-entity and character references in
  // the value are expanded, general ones kept as written.
  void Normalize() override;
  // Nothing: the declarations the reference brought follow it in the list,
  // and a bare name would not read back.
  void Write(TStream& Stream, int Level) override;
};

}  // namespace lumora
