#include "lumora/dtd/attlist_decl.h"

#include "lumora/dom/document.h"
#include "lumora/dtd/document_type.h"
#include "lumora/io/wide_output.h"
#include "lumora/text/char_classes.h"

namespace lumora {
namespace {

struct TKeyword {
  std::u16string_view Text;
  uint8_t Code;
};

// In the order of the codes: the written form of each type is its keyword.
constexpr TKeyword kTypeKeywords[] = {
    {u"ID", atID},         {u"IDREF", atIDREF},       {u"IDREFS", atIDREFS},
    {u"ENTITY", atENTITY}, {u"ENTITIES", atENTITIES}, {u"NMTOKEN", atNMTOKEN},
    {u"NMTOKENS", atNMTOKENS}, {u"NOTATION", atNOTATION}, {u"CDATA", atCDATA},
};

bool SameAsciiText(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && FoldedName(a) == FoldedName(b);
}

// A default literal as it reads back between double quotes.
std::u16string EscapedDefault(std::u16string_view value) {
  std::u16string out;
  out.reserve(value.size());
  for (size_t i = 0; i < value.size(); ++i) {
    switch (value[i]) {
      case u'"': out += u"&quot;"; break;
      case u'<': out += u"&lt;"; break;
      case u'&': out += StartsReference(value, i) ? u"&" : u"&amp;"; break;
      default: out += value[i];
    }
  }
  return out;
}

}  // namespace

uint8_t AttrTypeOfKeyword(std::u16string_view Keyword) {
  if (Keyword == u"(") return atEnumeration;
  for (const TKeyword& k : kTypeKeywords)
    if (SameAsciiText(Keyword, k.Text)) return k.Code;
  return 0;
}

uint8_t DefaultKindOfKeyword(std::u16string_view Keyword) {
  if (SameAsciiText(Keyword, u"#REQUIRED")) return dkRequired;
  if (SameAsciiText(Keyword, u"#IMPLIED")) return dkImplied;
  if (SameAsciiText(Keyword, u"#FIXED")) return dkFixed;
  return dkValue;
}

// ---------------------------------------------------------------- enumeration

TKaEnumeration::TKaEnumeration(TKaXMLDocument* Doc)
    : TKaXMLNode(u"", ENUMERATION_NODE, Doc), FValues(Doc) {}

TKaEnumeration::~TKaEnumeration() { FValues.Clear(); }

TKaXMLNode* TKaEnumeration::AddElement(std::u16string_view Value) {
  return FValues.AppendChild(TKaXMLNode::CreateNode(Value, ENUMERATION_VALUE_NODE, FOwnerDocument));
}

TKaXMLNode* TKaEnumeration::AddElementNode(TAdopt<TKaXMLNode> Node) {
  return FValues.AppendChild(std::move(Node));
}

bool TKaEnumeration::Contains(std::u16string_view Value) const {
  for (const TKaXMLNode* v = FValues.GetFirst(); v; v = v->Next())
    if (v->GetName() == Value) return true;
  return false;
}

std::unique_ptr<TKaEnumeration> TKaEnumeration::CloneEnumeration() const {
  auto copy = CreateEmptyEnumeration(FOwnerDocument);
  for (const TKaXMLNode* v = FValues.GetFirst(); v; v = v->Next()) copy->AddElement(v->GetName());
  return copy;
}

void TKaEnumeration::Write(TStream& Stream, int Level) {
  WriteWide(Stream, u" (");
  for (TKaXMLNode* v = FValues.GetFirst(); v; v = v->Next()) {
    if (v != FValues.GetFirst()) WriteWide(Stream, u"|");
    v->Write(Stream, Level);
  }
  WriteWide(Stream, u")");
}

void TKaEnumeration::MoveToDocument(TKaXMLDocument* Doc) {
  TKaXMLNode::MoveToDocument(Doc);
  FValues.MoveToDocument(Doc);
}

// ---------------------------------------------------------------- definition

TKaAttDef::TKaAttDef(std::u16string_view Name, TKaXMLDocument* Doc)
    : TKaXMLNode(Name, ATTRIBUTE_DEF_NODE, Doc, TNameRule::kChecked) {}

TKaAttDef::~TKaAttDef() = default;

std::unique_ptr<TKaAttDef> TKaAttDef::CreateAttDef(std::u16string_view Name, uint8_t AttrType,
                                                   std::u16string_view DefaultValue,
                                                   uint8_t DefaultKind, TKaXMLDocument* Doc) {
  auto def = CreateEmptyAttDef(Name, Doc);
  def->FAttrType = AttrType;
  def->FDefaultValue = DefaultValue;
  def->FDefaultKind = DefaultKind;
  return def;
}

TKaEnumeration* TKaAttDef::SetEnumeration(std::unique_ptr<TKaEnumeration> Enumeration) {
  FEnumeration = std::move(Enumeration);
  return FEnumeration.get();
}

bool TKaAttDef::IsComplete() const {
  if (FAttrType == 0 || FDefaultKind == 0) return false;
  if (FAttrType != atNOTATION && FAttrType != atEnumeration) return true;
  return FEnumeration && FEnumeration->GetElements().HasChildNodes();
}

std::unique_ptr<TKaAttDef> TKaAttDef::CloneAttDef() const {
  auto copy = CreateAttDef(FName, FAttrType, FDefaultValue, FDefaultKind, FOwnerDocument);
  copy->FValue = FValue;
  if (FEnumeration) copy->FEnumeration = FEnumeration->CloneEnumeration();
  return copy;
}

std::unique_ptr<TKaXMLNode> TKaAttDef::CloneNode() const { return CloneAttDef(); }

void TKaAttDef::Write(TStream& Stream, int Level) {
  const std::u16string lineStart = u"\r\n" + LeadWhite(Level + 10);
  WriteWide(Stream, lineStart);
  WriteWide(Stream, FName);
  if (FAttrType == atNOTATION || FAttrType == atEnumeration) {
    WriteWide(Stream, lineStart);
    if (FAttrType == atNOTATION) WriteWide(Stream, u" NOTATION");
    if (FEnumeration) FEnumeration->Write(Stream, Level);
  } else {
    for (const TKeyword& k : kTypeKeywords) {
      if (k.Code != FAttrType) continue;
      WriteWide(Stream, u" ");
      WriteWide(Stream, k.Text);
    }
  }
  switch (FDefaultKind) {
    case dkRequired: WriteWide(Stream, u" #REQUIRED"); break;
    case dkImplied: WriteWide(Stream, u" #IMPLIED"); break;
    case dkFixed:
    case dkValue:
      WriteWide(Stream, FDefaultKind == dkFixed ? u" #FIXED \"" : u" \"");
      WriteWide(Stream, EscapedDefault(FDefaultValue));
      WriteWide(Stream, u"\"");
      break;
  }
}

void TKaAttDef::MoveToDocument(TKaXMLDocument* Doc) {
  TKaXMLNode::MoveToDocument(Doc);
  if (FEnumeration) FEnumeration->MoveToDocument(Doc);
}

// ---------------------------------------------------------------- declaration

TKaAttListDecl::TKaAttListDecl(std::u16string_view Name, TKaXMLDocument* Doc)
    : TKaXMLNode(Name, ATTLIST_DECL_NODE, Doc, TNameRule::kChecked), FAttList(Doc, this) {}

TKaAttListDecl::~TKaAttListDecl() { FAttList.Clear(); }

TKaAttDef* TKaAttListDecl::AddAtt(TAdopt<TKaAttDef> Def) {
  if (!Def.get() || GetAtt(Def->GetName())) return nullptr;
  TKaAttDef* def = Def.get();
  FAttList.AppendChild(TAdopt<TKaXMLNode>(def));
  Def.Commit();
  FIndex[FoldedName(def->GetName())].push_back(def);
  if (TKaAttDef* const* first = FExactIndex.Find(def->GetName()); !first || !*first)
    FExactIndex.Set(def->GetName(), def);
  return def;
}

TKaAttDef* TKaAttListDecl::GetAtt(std::u16string_view Name) const {
  if (ExactDeclarationNames(FOwnerDocument)) {
    TKaAttDef* const* def = FExactIndex.Find(Name);
    return def ? *def : nullptr;
  }
  const auto it = FIndex.find(TFoldedKey(Name).View());
  return it == FIndex.end() ? nullptr : it->second.front();
}

std::unique_ptr<TKaAttDef> TKaAttListDecl::RemoveAtt(TKaAttDef* Def) {
  std::unique_ptr<TKaXMLNode> removed = FAttList.RemoveChildNode(Def);
  TKaAttDef* next = nullptr;  // the definition of the same exact name that comes forward
  if (const auto it = FIndex.find(FoldedName(Def->GetName())); it != FIndex.end()) {
    std::erase(it->second, Def);
    for (TKaAttDef* def : it->second)
      if (!next && def->GetName() == Def->GetName()) next = def;
    if (it->second.empty()) FIndex.erase(it);
  }
  if (TKaAttDef* const* first = FExactIndex.Find(Def->GetName()); first && *first == Def)
    FExactIndex.Set(Def->GetName(), next);
  return std::unique_ptr<TKaAttDef>(static_cast<TKaAttDef*>(removed.release()));
}

void TKaAttListDecl::Write(TStream& Stream, int Level) {
  WriteWide(Stream, LeadWhite(Level));
  WriteWide(Stream, u"<!ATTLIST ");
  WriteWide(Stream, FName);
  // The standard mode writes only what the document itself declared: a
  // definition the external subset added to its declaration stays there.
  const bool ownOnly =
      !IsExternalDecl() && FOwnerDocument && FOwnerDocument->GetWriteMode() == wmStandard;
  for (TKaXMLNode* node = FAttList.GetFirst(); node; node = node->Next()) {
    // A definition left unfinished by a syntax error has no written form.
    if (ownOnly && node->IsExternalDecl()) continue;
    if (static_cast<TKaAttDef*>(node)->IsComplete()) node->Write(Stream, Level);
  }
  WriteWide(Stream, u">\r\n");
}

void TKaAttListDecl::MoveToDocument(TKaXMLDocument* Doc) {
  TKaXMLNode::MoveToDocument(Doc);
  FAttList.MoveToDocument(Doc);
}

}  // namespace lumora
