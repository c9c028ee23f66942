#include "lumora/dtd/element_rules.h"

#include "lumora/dtd/attlist_decl.h"
#include "lumora/dtd/document_type.h"

namespace lumora {

void TElementRules::Fill(TElementRule& Rule, std::u16string_view Name) const {
  Rule = TElementRule();
  Rule.Name = Name;
  Rule.Decl = FDocType.GetElementDecl(Name);
  Rule.List = FDocType.GetAttListDecl(Name);
  if (!Rule.List) return;
  for (const TKaXMLNode* node = Rule.List->GetFirstNode(); node; node = node->Next()) {
    const auto* def = static_cast<const TKaAttDef*>(node);
    Rule.DeclaresID = Rule.DeclaresID || def->GetAttrType() == atID;
    if (def->GetDefaultKind() == dkRequired) Rule.Required.push_back(def);
  }
}

TElementRule& TElementRules::For(const std::u16string& Name) {
  for (TRecent& recent : FRecent) {
    if (!recent.Rule || recent.Rule->Name.size() != Name.size()) continue;
    if (recent.Data != Name.data() && !SameName(recent.Rule->Name, Name)) continue;
    recent.Data = Name.data();
    return *recent.Rule;
  }
  TElementRule* rule;
  if (const std::unique_ptr<TElementRule>* known = FRules.Find(Name)) {
    rule = known->get();
  } else if (FRules.Size() < kMaxRules) {
    rule = FRules.Add(Name, std::make_unique<TElementRule>()).get();
    Fill(*rule, Name);
  } else {
    Fill(FOverflow, Name);
    return FOverflow;
  }
  FRecent[FNextRecent] = {Name.data(), rule};
  FNextRecent = (FNextRecent + 1) % FRecent.size();
  return *rule;
}

TKaAttDef* TElementRules::AttDef(TElementRule& Rule, std::u16string_view Name) const {
  if (!Rule.List) return nullptr;
  for (TElementRule::TKnownAttribute& known : Rule.Attributes) {
    if (known.Name.size() != Name.size()) continue;
    if (known.Data != Name.data() && !SameName(known.Name, Name)) continue;
    known.Data = Name.data();
    return known.Def;
  }
  TKaAttDef* def = Rule.List->GetAtt(Name);
  if (Rule.Attributes.size() < kCachedAttributes)
    Rule.Attributes.push_back({std::u16string(Name), Name.data(), def});
  return def;
}

}  // namespace lumora
