#include "lumora/dtd/document_type.h"

#include "lumora/dom/document.h"
#include "lumora/framework/sysutils.h"
#include "lumora/io/file_streams.h"
#include "lumora/io/wide_output.h"
#include "lumora/text/wide_strings.h"

namespace lumora {
namespace {

bool IsUrl(std::u16string_view name) {
  const std::string lower = LowerCase(Trim(WideToSystem(name)));
  return lower.starts_with("http://") || lower.starts_with("https://") ||
         lower.starts_with("ftp://");
}

}  // namespace

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
  for (TKaXMLNode* d = FNodeList.GetRoot(ELEMENT_DECL_NODE); d; d = d->NextSibling()) {
    bool seen = false;
    for (TKaXMLNode* e = FNodeList.GetRoot(ELEMENT_DECL_NODE); e; e = e->NextSibling()) {
      if (e->GetName() != d->GetName()) continue;
      if (seen)
        doc->AddError(
            Format("[DTD]: Element \"%s\" is declared more than once.", WideToSystem(d->GetName())),
            d);
      seen = true;
    }
  }
}

void TKaDocumentType::Write(TStream& Stream, int /*Level*/) {
  const TKaXMLDocument* doc = FOwnerDocument;
  const TWriteMode mode = doc ? doc->GetWriteMode() : wmStandard;
  const bool toFile = doc && doc->GetWritingToFile();
  WriteWide(Stream, u"<!DOCTYPE ");
  WriteWide(Stream, FName);
  std::u16string literal = !FPublicLiteral.empty() ? FPublicLiteral : FSystemLiteral;
  if (mode == wmStandalone || (mode == wmStandard && literal.empty())) {
    WriteWide(Stream, u" [");
    if (FNodeList.HasChildNodes()) WriteWide(Stream, u"\r\n");
    for (TKaXMLNode* node = FNodeList.GetFirst(); node; node = node->Next()) node->Write(Stream, 3);
    WriteWide(Stream, u"]>\r\n");
    return;
  }
  if (literal.empty()) literal = FName + u".dtd";
  if (!FPublicLiteral.empty()) {
    WriteWide(Stream, u" PUBLIC \"");
    WriteWide(Stream, FPublicLiteral);
    WriteWide(Stream, u"\" \"");
    WriteWide(Stream, FSystemLiteral);
    WriteWide(Stream, u"\"");
  } else {
    WriteWide(Stream, u" SYSTEM \"");
    WriteWide(Stream, literal);
    WriteWide(Stream, u"\"");
  }
  // A DTD file is written only with declarations to put in it, and never
  // over a resource that is not a local file: an empty list would wipe out
  // a DTD that was never read.
  if (!toFile || !FNodeList.HasChildNodes() || IsUrl(literal)) {
    WriteWide(Stream, u" []>\r\n");
    return;
  }
  if (mode == wmLinkedDTD) {
    WriteWide(Stream, u" [");
    WriteWide(Stream, u"]>\r\n");
    return;
  }
  std::unique_ptr<TXMLFileStream> dtdFile;
  try {
    dtdFile = TXMLFileStream::CreateForWriting(WideToSystem(literal));
  } catch (...) {
    const std::u16string fallback = !FPublicLiteral.empty() ? FSystemLiteral : FName + u".dtd";
    dtdFile = TXMLFileStream::CreateForWriting(WideToSystem(fallback));
  }
  WriteWide(Stream, u" [");
  for (TKaXMLNode* node = FNodeList.GetFirst(); node; node = node->Next()) node->Write(*dtdFile, 0);
  dtdFile.reset();
  WriteWide(Stream, u"]>\r\n");
}

}  // namespace lumora
