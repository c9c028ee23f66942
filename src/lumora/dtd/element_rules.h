// What the DTD declares for the elements of each name, looked up once per
// validation: a document repeats a few element names many times, and each
// element asks for its declaration, its attribute-list declaration and the
// definition of every attribute it has.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "lumora/dtd/name_lookup.h"

namespace lumora {

class TKaAttDef;
class TKaAttListDecl;
class TKaDocumentType;
class TKaElementDecl;

struct TElementRule {
  std::u16string Name;
  TKaElementDecl* Decl = nullptr;
  TKaAttListDecl* List = nullptr;
  // Whether List defines an attribute of type ID.
  bool DeclaresID = false;
  // The #REQUIRED definitions of List, in list order.
  std::vector<const TKaAttDef*> Required;
  // Attribute names met on these elements, the address of the name string
  // they were last asked by, and their definitions (nil when undeclared):
  // the first few names only, the others are looked up.
  struct TKnownAttribute {
    std::u16string Name;
    const char16_t* Data;
    TKaAttDef* Def;
  };
  std::vector<TKnownAttribute> Attributes;
};

class TElementRules {
 public:
  explicit TElementRules(const TKaDocumentType& DocType) : FDocType(DocType) {}
  TElementRules(const TElementRules&) = delete;
  TElementRules& operator=(const TElementRules&) = delete;

  // The rule of the elements named Name. The declarations and the names
  // asked for must not change while the rules are in use: a name is
  // recognised again by its address first.
  TElementRule& For(const std::u16string& Name);
  // The definition of the attribute Name on the elements of Rule; nil when
  // there is none. Like element names, a name is recognised again by its
  // address first.
  TKaAttDef* AttDef(TElementRule& Rule, std::u16string_view Name) const;

 private:
  static constexpr size_t kMaxRules = 4096;
  static constexpr size_t kCachedAttributes = 8;

  void Fill(TElementRule& Rule, std::u16string_view Name) const;

  const TKaDocumentType& FDocType;
  TNameTable<std::unique_ptr<TElementRule>> FRules;
  // The rule of a name beyond kMaxRules, until the next call.
  TElementRule FOverflow;
  // The rules asked for last, and the address of the name they were asked
  // by: siblings take turns among a few names, and where elements share
  // their name strings a repeated name costs a comparison of pointers.
  struct TRecent {
    const char16_t* Data = nullptr;
    TElementRule* Rule = nullptr;
  };
  std::array<TRecent, 4> FRecent{};
  size_t FNextRecent = 0;
};

}  // namespace lumora
