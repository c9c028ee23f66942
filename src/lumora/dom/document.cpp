#include "lumora/dom/document.h"

#include <vector>

#include "lumora/dom/dom_exception.h"
#include "lumora/dtd/document_type.h"
#include "lumora/dtd/element_decl.h"
#include "lumora/dtd/id_table.h"
#include "lumora/dtd/references.h"
#include "lumora/framework/sysutils.h"
#include "lumora/io/encoded_output.h"
#include "lumora/io/file_streams.h"
#include "lumora/io/orvane_error.h"
#include "lumora/io/side_files.h"
#include "lumora/io/wide_output.h"
#include "lumora/parser/orvane.h"
#include "lumora/text/wide_strings.h"

namespace lumora {

bool TDOMImplementation::HasFeature(std::u16string_view /*Feature*/,
                                    std::u16string_view Version) const {
  for (TKaXMLNode* a = FDocument->GetNodeList().GetRoot(ATTRIBUTE_NODE); a; a = a->NextSibling()) {
    if (a->ValueView() == Version) return true;
  }
  return false;
}

// The document is its own owner document once its link exists, which is
// after the base classes are made.
TKaXMLDocument::TKaXMLDocument()
    : TKaContainer(u"", DOCUMENT_NODE, nullptr, TNameRule::kFree),
      FDOMImplementation(std::make_unique<TDOMImplementation>(this)) {
  SetOwnerDocument(this);
  FNodeList.SetOwnerDocument(this);
  AddVersionAttribute();
}

TKaXMLDocument::~TKaXMLDocument() {
  AssignParser(nullptr);
  FArena->EndReuse();
  FNodeList.Clear();
  FArena->Release();
  // Nodes the caller kept read no document from now on.
  FLink->Forget();
  FLink->Release();
}

void TKaXMLDocument::SetIDTable(std::unique_ptr<TIDTable> Table) {
  FIDTable = std::move(Table);
}

void TKaXMLDocument::AssignParser(TKaOrvane* Parser) {
  if (FParser == Parser) return;
  if (FParser) FParser->DocumentReleased(this);
  FParser = Parser;
  if (FParser) FParser->DocumentAssigned(this);
}

void TKaXMLDocument::AddVersionAttribute() {
  FNodeList.AppendChild(TKaXMLAttr::CreateStdAttr(u"version", u"1.0", this, true));
}

TKaXMLElement* TKaXMLDocument::GetDocumentElement() const {
  for (TKaXMLNode* node = FNodeList.GetRoot(ELEMENT_NODE); node; node = node->NextSibling()) {
    if (TKaXMLElement* element = TKaXMLElement::AsElement(node)) return element;
  }
  return nullptr;
}

TKaXMLElement* TKaXMLDocument::SetDocumentElement(TAdopt<TKaXMLElement> Element) {
  if (FNodeList.GetRoot(ELEMENT_NODE))
    throw EKaDOMException(INVALID_CHARACTER_ERR,
                          "TKaXMLDocument.setDocumentElement: DocumentElement alredy exists");
  FNodeList.AppendChild(Element.get());
  return Element.Commit();
}

TKaDocumentType* TKaXMLDocument::GetDocumentType() const {
  for (TKaXMLNode* node = FNodeList.GetRoot(DOCUMENT_TYPE_NODE); node; node = node->NextSibling()) {
    if (auto* doctype = dynamic_cast<TKaDocumentType*>(node)) return doctype;
  }
  return nullptr;
}

TKaDocumentType* TKaXMLDocument::SetDocumentType(TAdopt<TKaDocumentType> DocType) {
  FNodeList.InsertBefore(DocType.get(), GetDocumentElement());
  return DocType.Commit();
}

void TKaXMLDocument::Clear() {
  FArena->EndReuse();
  FNodeList.Clear();
  // Nodes taken out earlier keep the old arena; the new content starts afresh.
  TNodeArena* fresh = TNodeArena::Create();
  FArena->Release();
  FArena = fresh;
  FPositions.clear();
  FNodeList.SetOwnerDocument(this);
  AddVersionAttribute();
  FEncoding = US_ASCII;
}

void TKaXMLDocument::SetVersion(const std::string& Version) {
  SetAttribute(u"version", SystemToWide(Version));
}

std::string TKaXMLDocument::GetVersion() const {
  return WideToSystem(GetAttribute(u"version"));
}

void TKaXMLDocument::SetEncoding(const std::string& Name) {
  FEncoding = StringToEncoding(Name);
  if (FEncoding == n_sup) {
    const std::string message =
        Format("Encoding '%s' is not supported in this version of Orvane.", Name);
    if (FParser)
      throw EKaOrvaneError::CreateWithFileName(message, FParser->GetFileName(),
                                               FParser->GetLineNumber());
    throw EKaOrvaneError(message);
  }
  const std::u16string value = SystemToWide(Name);
  if (TKaXMLAttr* encoding = GetAttributeNode(u"encoding")) {
    encoding->SetValue(value);
    return;
  }
  auto attr = TKaXMLAttr::CreateStdAttr(u"encoding", u"", this, true);
  attr->SetValue(value);
  FNodeList.InsertAfter(std::move(attr), GetAttributeNode(u"version"));
}

std::string TKaXMLDocument::GetEncoding() const {
  const std::u16string value = GetAttribute(u"encoding");
  if (!XMLTrim(value).empty()) return WideToSystem(value);
  return EncodingToString(FParser ? FParser->GetDefaultEncoding() : FEncoding);
}

void TKaXMLDocument::SetStandalone(bool Value) {
  SetAttribute(u"standalone", Value ? u"yes" : u"no");
}

bool TKaXMLDocument::GetStandalone() const {
  return XMLCompareText(GetAttribute(u"standalone"), u"yes") == 0;
}

std::unique_ptr<TKaXMLElement> TKaXMLDocument::CreateElement(std::u16string_view TagName) {
  return TKaXMLElement::CreateElement(TagName, this);
}

std::unique_ptr<TKaDocumentFragment> TKaXMLDocument::CreateDocumentFragment() {
  return TKaDocumentFragment::CreateDocFragment(this);
}

std::unique_ptr<TKaXMLText> TKaXMLDocument::CreateTextNode(std::u16string_view Data) {
  return TKaXMLText::CreateText(Data, this);
}

std::unique_ptr<TKaXMLComment> TKaXMLDocument::CreateComment(std::u16string_view Data) {
  return TKaXMLComment::CreateComment(Data, this);
}

std::unique_ptr<TKaXMLCData> TKaXMLDocument::CreateCDATASection(std::u16string_view Data) {
  return TKaXMLCData::CreateCData(Data, this);
}

std::unique_ptr<TKaXMLPi> TKaXMLDocument::CreateProcessingInstruction(std::u16string_view Target,
                                                                      std::u16string_view Data) {
  return TKaXMLPi::CreatePI(Target, Data, this);
}

std::unique_ptr<TKaXMLAttr> TKaXMLDocument::CreateAttribute(std::u16string_view Name,
                                                            std::u16string_view Value) {
  return TKaXMLAttr::CreateAttr(Name, Value, this);
}

std::unique_ptr<TKaGEntityReference> TKaXMLDocument::CreateEntityReference(
    std::u16string_view Name) {
  return TKaGEntityReference::CreateReference(Name, this);
}

void TKaXMLDocument::WriteToStream(TStream& Stream) {
  FCharBuffer.Clear();
  // Collect what this write cannot represent, and only that.
  invChars().Clear();
  TEncodedOutput text(Stream, GetWriteEncoding(), FByteOrder);
  WriteWide(text, u"<?xml");
  for (TKaXMLNode* a = FNodeList.GetRoot(ATTRIBUTE_NODE); a; a = a->NextSibling())
    a->Write(text, 0);
  WriteWide(text, u"?>\r\n");
  FAfterText = false;
  for (TKaXMLNode* node = FNodeList.GetFirst(); node; node = node->Next()) {
    if (node->GetType() != ATTRIBUTE_NODE) node->Write(text, 0);
  }
  text.Finish();
  for (char16_t c : invChars().View()) FCharBuffer.Cat(c);  // U+0000 included
  if (FParser) FParser->SetInvalidChars(FCharBuffer.DataString());
}

void TKaXMLDocument::WriteToFile(const std::string& FileName) {
  const auto file = TXMLFileStream::CreateForWriting(FileName);
  WriteToFile(*file, FileName);
}

void TKaXMLDocument::WriteToFile(TStream& File, const std::string& FileName) {
  FSystemConversion = false;
  if (FEncoding == UTF_16) File.WriteString(FByteOrder == boBigEndian ? "\xFE\xFF" : "\xFF\xFE");
  std::unique_ptr<TSideFiles> sideFiles;
  if (!FileName.empty()) {
    // Nothing the document was read from may be written over.
    std::vector<std::string> read;
    if (FParser) read.push_back(FParser->GetFileName());
    if (const TKaDocumentType* doctype = GetDocumentType()) {
      const std::vector<std::string> more = doctype->GetReadLocations();
      read.insert(read.end(), more.begin(), more.end());
    }
    sideFiles = std::make_unique<TSideFiles>(FileName, read);
  }
  FWritingToFile = true;
  FSideFiles = sideFiles.get();
  try {
    WriteToStream(File);
  } catch (...) {
    FWritingToFile = false;
    FSideFiles = nullptr;
    throw;
  }
  FWritingToFile = false;
  FSideFiles = nullptr;
}

TKaXMLNode* TKaXMLDocument::TakeNext(const TKaXMLNode* Node) const {
  if (!Node) return nullptr;
  TKaXMLNode* below = nullptr;
  if (auto* container = dynamic_cast<const TKaContainer*>(Node))
    below = container->GetFirstNode();
  else if (auto* doctype = dynamic_cast<const TKaDocumentType*>(Node))
    below = doctype->GetFirstNode();
  else if (auto* attlist = dynamic_cast<const TKaAttListDecl*>(Node))
    below = attlist->GetFirstNode();
  if (below) return below;
  for (const TKaXMLNode* node = Node; node;) {
    if (TKaXMLNode* next = node->Next()) return next;
    const TKaXMLNode* parent = node->GetParent();
    if (parent == this) return nullptr;
    node = parent;
  }
  return nullptr;
}

bool TKaXMLDocument::TextCompare(std::u16string_view Text, std::u16string_view Candidate,
                                 bool CaseSensitive, bool Exact) {
  std::u16string text(Text), candidate(Candidate);
  if (!CaseSensitive) {
    text = SystemToWide(AnsiUpperCase(WideToSystem(text)));
    candidate = SystemToWide(AnsiUpperCase(WideToSystem(candidate)));
  }
  return Exact ? text == candidate : candidate.find(text) != std::u16string::npos;
}

bool TKaXMLDocument::Matches(const TKaXMLNode* node, std::u16string_view text, int flags) const {
  const uint8_t type = node->GetType();
  if ((type == DOCUMENT_TYPE_NODE && !(flags & fnDocumentType)) ||
      (type == ELEMENT_NODE && !(flags & fnElements)))
    return false;
  const bool caseSensitive = flags & fnCaseSensitive, exact = flags & fnWholeString;
  auto compare = [&](std::u16string_view candidate) {
    return TextCompare(text, candidate, caseSensitive, exact);
  };
  if (type != ATTLIST_DECL_NODE) {
    if ((flags & fnNames) && compare(node->GetName())) return true;
    if ((flags & fnValues) && compare(node->ValueView())) return true;
  }
  // An attribute definition also answers to its element's name.
  if ((flags & fnNames) && type == ATTRIBUTE_DEF_NODE && node->GetParent() &&
      compare(node->GetParent()->GetName()))
    return true;
  // An element declaration also answers to its content model, as written.
  if ((flags & fnValues) && type == ELEMENT_DECL_NODE)
    if (const auto* decl = dynamic_cast<const TKaElementDecl*>(node);
        decl && decl->GetContentModel() && compare(decl->GetContentModel()->ToText()))
      return true;
  return false;
}

TKaXMLNode* TKaXMLDocument::Find(std::u16string_view Text, const TKaXMLNode* StartNode,
                                 int Flags) const {
  for (const TKaXMLNode* node = StartNode ? StartNode : this; node; node = TakeNext(node)) {
    if (Matches(node, Text, Flags)) return const_cast<TKaXMLNode*>(node);
  }
  return nullptr;
}

int TKaXMLDocument::GetLineNumber() const {
  return FParser ? FParser->GetLineNumber() : 0;
}

bool TKaXMLDocument::GetFormatedOutput() const {
  return !FParser || FParser->GetFormatedOutput();
}

bool TKaXMLDocument::AddError(std::string Message, TKaXMLNode* Node) {
  if (!FParser) return false;
  const int32_t line = Node ? Node->GetLine() : 0;
  const int32_t column = Node ? Node->GetColumn() : 0;
  return FParser->GetErrors().Add(std::move(Message), Node, line, column) >= 0;
}

bool TKaXMLDocument::ErrorsFull() const {
  return !FParser || FParser->GetErrors().IsFull();
}

}  // namespace lumora
