#include "lumora/dtd/document_type.h"

#include <type_traits>

#include "lumora/dom/character_data.h"
#include "lumora/dom/document.h"
#include "lumora/dtd/attlist_decl.h"
#include "lumora/dtd/element_decl.h"
#include "lumora/dtd/entity_decl.h"
#include "lumora/dtd/notation.h"
#include "lumora/framework/sysutils.h"
#include "lumora/io/side_files.h"
#include "lumora/io/wide_output.h"
#include "lumora/parser/dtd_parser.h"
#include "lumora/parser/orvane.h"
#include "lumora/text/wide_strings.h"

namespace lumora {

TKaDocumentType::TKaDocumentType(std::u16string_view Name, TKaXMLDocument* Doc)
    : TKaExternalNode(Name, DOCUMENT_TYPE_NODE, Doc, TNameRule::kChecked), FNodeList(Doc, this) {}

TKaDocumentType::~TKaDocumentType() { FNodeList.Clear(); }

// ---------------------------------------------------------------- lookups

namespace {

constexpr int kEntitySlot = TKaDocumentType::IndexSlot(ENTITY_NODE);
// Exact names remembered per slot: enough for every name of any real
// document, bounded against one that uses a million different names.
constexpr size_t kMaxFound = 4096;

void FoldAscii(std::u16string& text) {
  for (char16_t& c : text)
    if (c >= u'A' && c <= u'Z') c += u'a' - u'A';
}

}  // namespace

bool ExactDeclarationNames(const TKaXMLDocument* Doc) {
  return Doc && Doc->GetParser() && Doc->GetParser()->GetStandardXML();
}

std::u16string FoldedName(std::u16string_view Name) {
  std::u16string folded(Name);
  FoldAscii(folded);
  return folded;
}

// The key of a declaration in its slot: its name with ASCII letters folded
// unless the name must match exactly. Every name that compares equal in
// either mode lands in one bucket.
std::u16string TKaDocumentType::KeyOf(const TKaXMLNode* Node) {
  return Node->GetType() == ENTITY_NODE ? Node->GetName() : FoldedName(Node->GetName());
}

TKaXMLNode* TKaDocumentType::Lookup(int Slot, std::u16string_view Name, bool Exact) const {
  const TNameMap<TBucket>& index = FIndex[Slot];
  const auto it = Slot == kEntitySlot ? index.find(Name) : index.find(TFoldedKey(Name).View());
  if (it == index.end()) return nullptr;
  if (Slot == kEntitySlot || !Exact) return it->second.front();
  for (TKaXMLNode* node : it->second)
    if (node->GetName() == Name) return node;
  return nullptr;
}

template <class T>
T* TKaDocumentType::Find(int Slot, std::u16string_view Name) const {
  CatchUp();
  const bool exact = ExactDeclarationNames(FOwnerDocument);
  if (exact != FFoundExact) {
    for (auto& found : FFound) found.Clear();
    FFoundExact = exact;
  }
  TNameTable<TKaXMLNode*>& found = FFound[Slot];
  TKaXMLNode* const* known = found.Find(Name);
  if (known) {
    // A declaration renamed in place since is left to the index, as it was.
    TKaXMLNode* node = *known;
    if (!node || !exact || SameName(node->GetName(), Name)) return static_cast<T*>(node);
  }
  TKaXMLNode* node = Lookup(Slot, Name, exact);
  T* result;
  if constexpr (std::is_same_v<T, TKaXMLNode>)
    result = node;
  else
    result = dynamic_cast<T*>(node);
  if (!known && found.Size() < kMaxFound) found.Add(Name, result);
  return result;
}

void TKaDocumentType::ChildUnlinked(const TKaXMLNode& /*Child*/) {
  FIndexStale = true;
}

void TKaDocumentType::IndexNode(TKaXMLNode* Node) const {
  const int slot = IndexSlot(Node->GetType());
  if (slot < 0) return;
  FIndex[slot][KeyOf(Node)].push_back(Node);
  FFound[slot].Clear();
}

void TKaDocumentType::CatchUp() const {
  if (FIndexStale) return RebuildIndex();
  TKaXMLNode* last = FNodeList.GetLast();
  if (last == FLastIndexed) return;
  TKaXMLNode* node = FLastIndexed ? FLastIndexed->Next() : FNodeList.GetFirst();
  if (!node) {
    // The old end is no longer followed by the new one: start afresh.
    RebuildIndex();
    return;
  }
  for (; node; node = node->Next()) IndexNode(node);
  FLastIndexed = last;
}

void TKaDocumentType::UnindexNode(const TKaXMLNode* Node) {
  if (Node == FLastIndexed) FLastIndexed = FNodeList.GetLast();
  const int slot = IndexSlot(Node->GetType());
  if (slot < 0) return;
  FFound[slot].Clear();
  TNameMap<TBucket>& index = FIndex[slot];
  const auto it = index.find(KeyOf(Node));
  if (it == index.end()) return;
  std::erase(it->second, Node);
  if (it->second.empty()) index.erase(it);
}

void TKaDocumentType::RebuildIndex() const {
  FIndexStale = false;
  for (auto& index : FIndex) index.clear();
  for (auto& found : FFound) found.Clear();
  for (TKaXMLNode* node = FNodeList.GetFirst(); node; node = node->Next()) IndexNode(node);
  FLastIndexed = FNodeList.GetLast();
}

TKaElementDecl* TKaDocumentType::GetElementDecl(std::u16string_view Name) const {
  return Find<TKaElementDecl>(IndexSlot(ELEMENT_DECL_NODE), Name);
}
TKaAttListDecl* TKaDocumentType::GetAttListDecl(std::u16string_view Name) const {
  return Find<TKaAttListDecl>(IndexSlot(ATTLIST_DECL_NODE), Name);
}
TKaAttDef* TKaDocumentType::GetAttDef(std::u16string_view ElementName,
                                      std::u16string_view Name) const {
  const TKaAttListDecl* list = GetAttListDecl(ElementName);
  return list ? list->GetAtt(Name) : nullptr;
}
TKaCustomEntityDecl* TKaDocumentType::GetEntityDecl(std::u16string_view Name) const {
  return Find<TKaCustomEntityDecl>(kEntitySlot, Name);
}
TKaNotation* TKaDocumentType::GetNotation(std::u16string_view Name) const {
  return Find<TKaNotation>(IndexSlot(NOTATION_NODE), Name);
}

TKaXMLNode* TKaDocumentType::GetNotationNamed(std::u16string_view Name) const {
  // The lookup may fold case: a folded match is checked, and only then the
  // list walked.
  TKaXMLNode* notation = GetNotation(Name);
  if (notation && notation->GetName() != Name)
    for (notation = FNodeList.GetRoot(NOTATION_NODE); notation; notation = notation->NextSibling())
      if (notation->GetName() == Name) break;
  return notation;
}
TKaXMLNode* TKaDocumentType::GetPI(std::u16string_view Target) const {
  return Find<TKaXMLNode>(IndexSlot(PROCESSING_INSTRUCTION_NODE), Target);
}
TKaXMLNode* TKaDocumentType::GetPReference(std::u16string_view Name) const {
  return Find<TKaXMLNode>(IndexSlot(ENTITY_REFERENCE_NODE), Name);
}

// ---------------------------------------------------------------- setters

namespace {

// Appends a declaration of a class of its own; the caller's pointer lets go
// only once the list holds it.
template <class T>
T* AppendDecl(TKaDocumentType& doctype, TAdopt<T>& Decl) {
  T* node = Decl.get();
  doctype.InsertNode(TAdopt<TKaXMLNode>(node), nullptr);
  Decl.Commit();
  return node;
}

}  // namespace

TKaXMLNode* TKaDocumentType::InsertNode(TAdopt<TKaXMLNode> Node, TKaXMLNode* After) {
  CatchUp();
  const bool appending = !After || After == FNodeList.GetLast();
  TKaXMLNode* node = FNodeList.InsertAfter(std::move(Node), After);
  // Buckets keep list order: an insertion in the middle (rare) reindexes.
  if (appending)
    CatchUp();
  else
    RebuildIndex();
  return node;
}

std::unique_ptr<TKaXMLNode> TKaDocumentType::RemoveNode(TKaXMLNode* Node) {
  CatchUp();
  std::unique_ptr<TKaXMLNode> removed = FNodeList.RemoveChildNode(Node);
  // The index was whole before the removal: taking out the one node keeps
  // it exact, with no reindexing.
  UnindexNode(removed.get());
  FIndexStale = false;
  return removed;
}

std::unique_ptr<TKaXMLNode> TKaDocumentType::RepleaceDeclaration(TKaXMLNode* Old,
                                                                 TAdopt<TKaXMLNode> New) {
  InsertNode(std::move(New), Old);
  return RemoveNode(Old);
}

TKaElementDecl* TKaDocumentType::SetElementDecl(TAdopt<TKaElementDecl> Decl) {
  return AppendDecl(*this, Decl);
}

TKaAttListDecl* TKaDocumentType::SetAttListDecl(TAdopt<TKaAttListDecl> Decl) {
  TKaAttListDecl* existing = GetAttListDecl(Decl->GetName());
  if (!existing) return AppendDecl(*this, Decl);
  for (TKaXMLNode* node = Decl->GetFirstNode(); node; node = node->Next()) {
    const auto* def = static_cast<const TKaAttDef*>(node);
    if (!existing->GetAtt(def->GetName())) existing->AddAtt(def->CloneAttDef());
  }
  return nullptr;
}

TKaAttDef* TKaDocumentType::SetAttDef(std::u16string_view ElementName, TAdopt<TKaAttDef> Def) {
  TKaAttListDecl* list = GetAttListDecl(ElementName);
  if (!list) list = SetAttListDecl(TKaAttListDecl::CreateAttList(ElementName, FOwnerDocument));
  return list->AddAtt(std::move(Def));
}

TKaCustomEntityDecl* TKaDocumentType::SetEntityDecl(TAdopt<TKaCustomEntityDecl> Decl) {
  if (GetEntityDecl(Decl->GetName())) return nullptr;
  return AppendDecl(*this, Decl);
}

TKaNotation* TKaDocumentType::SetNotationDecl(TAdopt<TKaNotation> Decl) {
  return AppendDecl(*this, Decl);
}

TKaXMLNode* TKaDocumentType::SetComment(TAdopt<TKaXMLNode> Comment) {
  return InsertNode(std::move(Comment), nullptr);
}

TKaXMLNode* TKaDocumentType::SetPI(TAdopt<TKaXMLNode> Pi) { return InsertNode(std::move(Pi), nullptr); }

TKaXMLNode* TKaDocumentType::SetPReference(TAdopt<TKaXMLNode> Reference) {
  return InsertNode(std::move(Reference), nullptr);
}

void TKaDocumentType::MoveToDocument(TKaXMLDocument* Doc) {
  TKaXMLNode::MoveToDocument(Doc);
  FNodeList.MoveToDocument(Doc);
}

// ---------------------------------------------------------------- validation

void TKaDocumentType::Validate() {
  TKaXMLDocument* doc = FOwnerDocument;
  if (!doc) return;
  TKaXMLElement* root = doc->GetDocumentElement();
  if (!root) {
    doc->AddError("[XML]: Root element not found.", doc);
    return;
  }
  if (XMLCompareStr(FName, root->GetName()) != 0)
    doc->AddError(Format("[DTD]: Root name \"%s\" in declaration does not match root name \"%s\" "
                         "in document.",
                         WideToSystem(FName), WideToSystem(root->GetName())),
                  this);
  // Each declaration of a name declared k times gets k - 1 messages; the
  // names are counted once, so that many declarations cost no more than many
  // messages, which stop when the error list is full.
  std::unordered_map<std::u16string_view, int> declared;
  for (TKaXMLNode* d = FNodeList.GetRoot(ELEMENT_DECL_NODE); d; d = d->NextSibling())
    ++declared[d->GetName()];
  for (TKaXMLNode* d = FNodeList.GetRoot(ELEMENT_DECL_NODE); d && !doc->ErrorsFull();
       d = d->NextSibling()) {
    const int same = declared[d->GetName()];
    if (same < 2) continue;
    const std::string message =
        Format("[DTD]: Element \"%s\" is declared more than once.", WideToSystem(d->GetName()));
    for (int k = 1; k < same; ++k)
      if (!doc->AddError(message, d)) break;
  }
  for (TKaXMLNode* node = FNodeList.GetRoot(ATTLIST_DECL_NODE); node && !doc->ErrorsFull();
       node = node->NextSibling())
    if (auto* list = dynamic_cast<TKaAttListDecl*>(node)) list->ValidateDeclaration(*this);
  const bool standalone = doc->GetStandalone();
  for (TKaXMLNode* node = FNodeList.GetRoot(ENTITY_NODE); node; node = node->NextSibling()) {
    auto* entity = dynamic_cast<TKaCustomEntityDecl*>(node);
    if (!entity) continue;
    if (!entity->IsInternal() && standalone)
      doc->AddError("[XML]: Wrong document standalone declaration.",
                    doc->GetNodeList().GetChild(u"standalone", ATTRIBUTE_NODE));
    if (!entity->IsParameter()) entity->Validate();
  }
}

// ---------------------------------------------------------------- external subset

void TKaDocumentType::Retrieve() {
  TResource resource;
  if (!ReadExternalFile(resource)) return;
  FExternalRead = true;
  FExternalLocation = resource.Location;
  TByteViewStream stream(resource.Bytes);
  TDTDParser dtd(nullptr);
  dtd.ParseExternal(stream, FExternalLocation, FOwnerDocument);
}

std::vector<std::string> TKaDocumentType::GetReadLocations() const {
  std::vector<std::string> locations;
  if (FExternalRead) locations.push_back(FExternalLocation);
  for (const TKaXMLNode* node = FNodeList.GetRoot(ENTITY_NODE); node; node = node->NextSibling())
    if (const auto* entity = dynamic_cast<const TKaCustomEntityDecl*>(node);
        entity && entity->IsRetrieved())
      locations.push_back(entity->GetResourceLocation());
  return locations;
}

// ---------------------------------------------------------------- writing

void TKaDocumentType::WriteDeclarations(TStream& Stream, int Level, bool Internal) {
  WriteWide(Stream, u" [");
  bool first = true;
  for (TKaXMLNode* node = FNodeList.GetFirst(); node; node = node->Next()) {
    if (Internal && node->IsExternalDecl()) continue;
    if (first) WriteWide(Stream, u"\r\n");
    first = false;
    node->Write(Stream, Level);
  }
  WriteWide(Stream, u"]>\r\n");
}

std::string TKaDocumentType::WriteDTDFile(TSideFiles& Files) {
  const std::string name = Files.Claim(FSystemLiteral, WideToSystem(FName) + ".dtd");
  TMemoryStream text;
  for (TKaXMLNode* node = FNodeList.GetFirst(); node; node = node->Next()) node->Write(text, 0);
  Files.Write(name, text);
  return name;
}

void TKaDocumentType::Write(TStream& Stream, int /*Level*/) {
  const TKaXMLDocument* doc = FOwnerDocument;
  const TWriteMode mode = doc ? doc->GetWriteMode() : wmStandard;
  WriteWide(Stream, u"<!DOCTYPE ");
  WriteWide(Stream, FName);
  const bool identified = !FPublicLiteral.empty() || !FSystemLiteral.empty();
  // A subset that was never read holds declarations the document does not
  // know: whatever the mode, the identifier stays, and what was read goes
  // inline.
  const bool unread = identified && !FExternalRead;
  if ((mode == wmStandalone && !unread) || (mode == wmStandard && !identified)) {
    WriteDeclarations(Stream, 3);
    return;
  }
  if (mode == wmStandard || (unread && mode != wmLinkedDTD)) {
    // As read: the identifier, and inline only what the document itself
    // declared (all there is, when the subset was never read).
    WriteExternalId(Stream, FSystemLiteral);
    WriteDeclarations(Stream, 3, true);
    return;
  }
  TSideFiles* files = doc ? doc->GetSideFiles() : nullptr;
  if ((mode == wmExternalDTD || mode == wmAllExternal) && files) {
    const std::u16string name = SystemToWide(WriteDTDFile(*files));
    WriteExternalId(Stream, name);
    WriteWide(Stream, u" []>\r\n");
    return;
  }
  std::u16string literal = !FPublicLiteral.empty() ? FPublicLiteral : FSystemLiteral;
  if (literal.empty()) literal = FName + u".dtd";
  WriteExternalId(Stream, FPublicLiteral.empty() ? literal : FSystemLiteral);
  // A linked DTD lives elsewhere. Without a file to write the DTD into, the
  // other modes keep the declarations inline.
  if (mode == wmLinkedDTD || !FNodeList.HasChildNodes()) {
    WriteWide(Stream, u" []>\r\n");
    return;
  }
  WriteDeclarations(Stream, 3);
}

}  // namespace lumora
