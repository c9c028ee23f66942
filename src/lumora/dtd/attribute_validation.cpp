// Validation of attributes against their definitions. Every check is a
// constant number of lookups per attribute (IDs through the document's ID
// table), so validation stays linear in the document; a message that repeats
// per occurrence stops as soon as the error list is full.
#include <string>
#include <vector>

#include "lumora/dom/attr.h"
#include "lumora/dom/document.h"
#include "lumora/dtd/attlist_decl.h"
#include "lumora/dtd/document_type.h"
#include "lumora/dtd/element_attributes.h"
#include "lumora/dtd/element_decl.h"
#include "lumora/dtd/element_rules.h"
#include "lumora/dtd/entity_decl.h"
#include "lumora/dtd/id_table.h"
#include "lumora/framework/sysutils.h"
#include "lumora/io/orvane_error.h"
#include "lumora/text/char_classes.h"

namespace lumora {
namespace {

// Calls each with every space-separated word of value.
template <class Each>
void ForEachWord(std::u16string_view value, Each each) {
  size_t start = 0;
  while (start < value.size()) {
    size_t end = value.find(u' ', start);
    if (end == std::u16string_view::npos) end = value.size();
    if (end > start) each(value.substr(start, end - start));
    start = end + 1;
  }
}

bool IsUnparsedEntity(const TKaDocumentType* doctype, std::u16string_view name) {
  const auto* entity =
      doctype ? dynamic_cast<const TKaGEntityDecl*>(doctype->GetEntityDecl(name)) : nullptr;
  return entity && entity->IsUnparsed();
}

// The messages about one attribute, which name its element, itself and its
// value: made only when there is something to report.
class TAttributeReport {
 public:
  explicit TAttributeReport(TKaXMLAttr& attr) : FAttr(attr), FDoc(*attr.GetOwnerDocument()) {}

  // "[Element: ... Attribute: ... Value: ...]: " and the text, Times times
  // (stopping when the list is full).
  void WithValue(std::string_view text, int times = 1) {
    if (times <= 0) return;
    const std::string message =
        Format("[Element: \"%s\" Attribute: \"%s\" Value: \"%s\"]: ", ElementName(), Name(),
               WideToSystem(FAttr.ValueView())) +
        std::string(text);
    for (int i = 0; i < times; ++i)
      if (!FDoc.AddError(message, &FAttr)) return;
  }
  void WithoutValue(std::string_view text) {
    FDoc.AddError(
        Format("[Element: \"%s\" Attribute: \"%s\"]: ", ElementName(), Name()) + std::string(text),
        &FAttr);
  }
  std::string ElementName() const {
    return FAttr.GetParent() ? WideToSystem(FAttr.GetParent()->GetName()) : std::string();
  }

 private:
  std::string Name() const { return WideToSystem(FAttr.GetName()); }

  TKaXMLAttr& FAttr;
  TKaXMLDocument& FDoc;
};

constexpr std::string_view kNotName = "Attribute's value doesn't match NAME production .";
constexpr std::string_view kNoID =
    "The value of an IDREF Attribute matches the value of a nonexisting ID attribute.";
constexpr std::string_view kNoEntity =
    "The value of an ENTITY Attribute matches a nonexisting unparsed entity.";

}  // namespace

std::unique_ptr<TKaXMLAttr> TKaAttDef::CreateDefaultAttr() const {
  // A free attribute is normalized as CDATA: references and white space.
  auto attr = std::make_unique<TKaXMLAttr>(FName, FDefaultValue, FOwnerDocument, false);
  if (FAttrType != atCDATA) attr->NormalizeTokens();
  return attr;
}

void TKaAttDef::ValidateAttDef(TKaXMLAttr& Attr, int ElementIDs) {
  TKaXMLDocument* doc = Attr.GetOwnerDocument();
  if (!doc) return;
  // Only the types that name notations and entities need the document type.
  const auto doctype = [doc] { return doc->GetDocumentType(); };
  const TIDTable* ids = doc->GetIDTable();
  const std::u16string_view value = Attr.ValueView();
  TAttributeReport report(Attr);

  if (FAttrType == atNOTATION && FEnumeration) {
    for (TKaXMLNode* v = FEnumeration->GetElements().GetFirst(); v; v = v->Next()) {
      if (const TKaDocumentType* dt = doctype(); dt && dt->GetNotationNamed(v->GetName()))
        continue;
      if (!doc->AddError(
              Format("[DTD]: Notation name \"%s\" is not declared.", WideToSystem(v->GetName())),
              v))
        return;
    }
  }

  if (FDefaultKind == dkFixed && value != FDefaultValue) {
    // The declared literal may hold references and white space that the
    // attribute's value has resolved.
    bool same = false;
    try {
      same = value == CreateDefaultAttr()->GetValue();
    } catch (const EKaOrvaneError&) {
    }
    if (!same)
      report.WithValue(Format("Attribute's value doesn't match the default value \"%s\".",
                              WideToSystem(FDefaultValue)));
  }

  switch (FAttrType) {
    case atID: {
      if (!IsValidName(value)) report.WithValue(kNotName);
      // Each of k attributes with one value hears of the k - 1 others; in a
      // tree without duplicates, k is 1 for every ID.
      if (ids && ids->HasDuplicates())
        report.WithValue("Attribute's value of type ID appears more than once.",
                         ids->Count(value) - 1);
      TKaXMLNode* element = Attr.GetParent();
      if (ElementIDs < 0 && element && element->ToElement()) {
        ElementIDs = 0;
        const TElementAttributes attributes(*element->ToElement());
        for (const TKaXMLAttr* a : attributes.All()) ElementIDs += a->GetAttrType() == atID;
      }
      if (element && ElementIDs > 1) {
        const std::string message = Format(
            "[Element: \"%s\"]: Element has more than one attribute "
            "of type ID.",
            report.ElementName());
        for (int i = 1; i < ElementIDs; ++i)
          if (!doc->AddError(message, element)) break;
      }
      if (FDefaultKind != dkImplied && FDefaultKind != dkRequired)
        report.WithoutValue(
            "An ID attribute must have a declared default of #IMPLIED or #REQUIRED.");
      break;
    }
    case atIDREF:
      if (!IsValidName(value)) report.WithValue(kNotName);
      if (ids && ids->Count(value) == 0) report.WithValue(kNoID);
      break;
    case atIDREFS:
      if (!AreValidNames(value, nullptr))
        report.WithValue("Attribute value doesn't match NAMES production .");
      if (ids)
        ForEachWord(value, [&](std::u16string_view name) {
          if (ids->Count(name) == 0) report.WithValue(kNoID);
        });
      break;
    case atENTITY:
      if (!IsValidName(value)) report.WithValue(kNotName);
      if (!IsUnparsedEntity(doctype(), value)) report.WithValue(kNoEntity);
      break;
    case atENTITIES:
      if (!AreValidNames(value, nullptr))
        report.WithValue("Attribute's value doesn't match NAMES production .");
      ForEachWord(value, [&, dt = doctype()](std::u16string_view name) {
        if (!IsUnparsedEntity(dt, name)) report.WithValue(kNoEntity);
      });
      break;
    case atNMTOKEN:
      if (!IsValidToken(value))
        report.WithValue("Attribute's value doesn't match NMTOKEN production .");
      break;
    case atNMTOKENS:
      if (!AreValidTokens(value, nullptr))
        report.WithValue("Attribute's value doesn't match TOKENS production .");
      break;
    case atNOTATION:
    case atEnumeration:
      if (!FEnumeration || !FEnumeration->Contains(value))
        report.WithValue("Improper value of an enumerated attribute.");
      break;
    default:
      break;
  }
}

// Whether a default, as its attribute would hold it, is a value of its type.
bool DefaultFitsType(const TKaAttDef& def, std::u16string_view value) {
  switch (def.GetAttrType()) {
    case atIDREF:
    case atENTITY:
      return IsValidName(value);
    case atIDREFS:
    case atENTITIES:
      return AreValidNames(value, nullptr);
    case atNMTOKEN:
      return IsValidToken(value);
    case atNMTOKENS:
      return AreValidTokens(value, nullptr);
    case atNOTATION:
    case atEnumeration:
      return def.GetEnumeration() && def.GetEnumeration()->Contains(value);
    default:  // CDATA; ID has a rule of its own
      return true;
  }
}

void TKaAttListDecl::ValidateDeclaration(const TKaDocumentType& DocType) {
  TKaXMLDocument* doc = FOwnerDocument;
  if (!doc) return;
  const std::string element = WideToSystem(FName);
  int ids = 0, notations = 0;
  for (TKaXMLNode* node = FAttList.GetFirst(); node; node = node->Next()) {
    auto* def = static_cast<TKaAttDef*>(node);
    if (!def->IsComplete()) continue;
    ids += def->GetAttrType() == atID;
    notations += def->GetAttrType() == atNOTATION;
    const uint8_t kind = def->GetDefaultKind();
    if (kind != dkValue && kind != dkFixed) continue;
    bool fits = false;
    try {
      fits = DefaultFitsType(*def, def->CreateDefaultAttr()->GetValue());
    } catch (const EKaOrvaneError&) {
    }
    if (!fits)
      doc->AddError(
          Format("[Element: \"%s\" Attribute: \"%s\"]: The default value \"%s\" does "
                 "not match the attribute's type.",
                 element, WideToSystem(def->GetName()), WideToSystem(def->GetDefaultValue())),
          def);
  }
  if (ids > 1)
    doc->AddError(
        Format("[DTD]: Element \"%s\" has more than one attribute of type ID declared.", element),
        this);
  if (notations > 1)
    doc->AddError(Format("[DTD]: Element \"%s\" has more than one attribute of type NOTATION "
                         "declared.",
                         element),
                  this);
  const TKaElementDecl* decl = notations ? DocType.GetElementDecl(FName) : nullptr;
  if (decl && decl->GetContentModel() && decl->GetContentModel()->GetKind() == cmEmpty)
    doc->AddError(Format("[DTD]: Element \"%s\" is declared EMPTY and has an attribute of type "
                         "NOTATION.",
                         element),
                  this);
}

void TKaAttListDecl::ValidateAttList(TKaXMLElement& Element) {
  ReportMissingRequired(Element, TElementAttributes(Element));
}

void TKaAttListDecl::ReportMissingRequired(TKaXMLElement& Element,
                                           const TElementAttributes& Attributes) {
  TKaXMLDocument* doc = Element.GetOwnerDocument();
  if (!doc) return;
  for (TKaXMLNode* node = FAttList.GetFirst(); node; node = node->Next()) {
    const auto* def = static_cast<const TKaAttDef*>(node);
    if (def->GetDefaultKind() != dkRequired || Attributes.Has(def->GetName())) continue;
    if (!doc->AddError(Format("[Element: \"%s\" Attribute: \"%s\"]: Element does not contain "
                              "#REQUIRED attribute.",
                              WideToSystem(Element.GetName()), WideToSystem(def->GetName())),
                       &Element))
      return;
  }
}

void ValidateAttributes(TKaXMLElement& Element, TElementRules& Rules, TElementRule& Rule) {
  TKaXMLDocument* doc = Element.GetOwnerDocument();
  // Most elements have neither attributes nor any that they must have.
  if (!doc || (Rule.Required.empty() && !Element.GetNodeList().GetRoot(ATTRIBUTE_NODE))) return;
  const TElementAttributes attributes(Element);
  for (const TKaAttDef* def : Rule.Required) {
    if (attributes.Has(def->GetName())) continue;
    if (!doc->AddError(Format("[Element: \"%s\" Attribute: \"%s\"]: Element does not contain "
                              "#REQUIRED attribute.",
                              WideToSystem(Element.GetName()), WideToSystem(def->GetName())),
                       &Element))
      break;
  }
  // Each attribute's definition, looked up once; how many are of type ID.
  TShortList<TKaAttDef*, 8> defs;
  int ids = 0;
  for (const TKaXMLAttr* a : attributes.All()) {
    TKaAttDef* def = Rules.AttDef(Rule, a->GetName());
    defs.push_back(def);
    ids += def && def->GetAttrType() == atID;
  }
  for (size_t i = 0; i < defs.size(); ++i) {
    TKaXMLAttr& attr = *attributes.All()[i];
    if (TKaAttDef* def = defs.All()[i])
      def->ValidateAttDef(attr, ids);
    else
      TAttributeReport(attr).WithoutValue("Attribute is not declared.");
    if (doc->ErrorsFull()) return;
  }
}

}  // namespace lumora
