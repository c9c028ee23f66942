#include "lumora/parser/orvane.h"

#include <algorithm>
#include <typeinfo>

#include "lumora/dom/document.h"
#include "lumora/dom/dom_exception.h"
#include "lumora/dtd/attribute_types.h"
#include "lumora/dtd/document_type.h"
#include "lumora/dtd/entity_expansion.h"
#include "lumora/dtd/expansion_guard.h"
#include "lumora/dtd/id_table.h"
#include "lumora/framework/registry.h"
#include "lumora/framework/strings.h"
#include "lumora/framework/sysutils.h"
#include "lumora/io/file_streams.h"
#include "lumora/io/orvane_error.h"
#include "lumora/lex/transcoding_stream.h"
#include "lumora/package/package.h"
#include "lumora/package/platform.h"
#include "lumora/text/iconv_encodings.h"
#include "lumora/text/wide_strings.h"

namespace lumora {

TKaOrvane::TKaOrvane(TComponent* AOwner) : TLexAnalyzer(AOwner) {
  if (IsWin95())
    throw EKaOrvaneError(
        "You are trying to use Orvane supporting 16-bit encodings under Windows 95, which does "
        "not support multi-byte characters. You should use 8-bit version of Orvane with Windows "
        "95.");
  FErrors = std::make_unique<TKaErrorsList>();
  FErrors->SetLimit(kDefaultMaxValidityErrors);
  FOwnGuard = std::make_unique<TExpansionGuard>();
  // Expansions outside a parse (in a tree being changed) count against it too.
  FGuard = FOwnGuard.get();
}

TKaOrvane::~TKaOrvane() {
  // Documents outlive their parser: they must not keep pointing at it.
  while (!FDocuments.empty()) FDocuments.back()->AssignParser(nullptr);
}

void TKaOrvane::DocumentAssigned(TKaXMLDocument* Document) {
  FDocuments.push_back(Document);
}

void TKaOrvane::DocumentReleased(TKaXMLDocument* Document) {
  auto it = std::find(FDocuments.begin(), FDocuments.end(), Document);
  if (it != FDocuments.end()) FDocuments.erase(it);
}

bool TKaOrvane::Parse(const std::string& FileName, std::unique_ptr<TKaXMLDocument>& Document) {
  const auto stream = TXMLFileStream::OpenForReading(FileName);
  return Parse(*stream, Document, FileName);
}

bool TKaOrvane::Parse(TStream& Stream, std::unique_ptr<TKaXMLDocument>& Document) {
  return Parse(Stream, Document, std::string());
}

bool TKaOrvane::Parse(TStream& Stream, std::unique_ptr<TKaXMLDocument>& Document,
                      const std::string& FileName) {
  FFileName = FileName;
  if (!Document)
    Document = TKaXMLDocument::CreateDocument();
  else
    Document->Clear();
  FDocument = Document.get();
  Document->AssignParser(this);
  if (FSharedGuard) {
    FGuard = FSharedGuard;
  } else {
    // The budget of expansion grows with the input; with one of unknown
    // size, as it is read.
    const int64_t size = Stream.Size();
    FOwnGuard->Reset(size, &Stream);
    FGuard = FOwnGuard.get();
  }
  Init();
  try {
    // Encodings without a table of their own are read through iconv.
    const TEncoding transcoded = TranscodedEncoding(Stream, GetOwner() ? FDefaultEncoding : n_sup);
    if (transcoded != n_sup) {
      Document->SetOutputEncoding(transcoded);
      FDocBuffer->Init(std::make_unique<TTranscodingStream>(Stream, transcoded, FileName));
      FDocBuffer->SetTranscoded(true);
    } else {
      FDocBuffer->Init(Stream);
    }
    FErrors->Clear();
    // UTF-16 is written back in the order it was read in.
    if (FDocBuffer->IsTwoByte() && !FDocBuffer->IsTranscoded())
      Document->SetByteOrder(FDocBuffer->GetByteOrder());
    if (GetOwner() && !FDocBuffer->IsTranscoded()) {
      if (FDocBuffer->IsTwoByte()) {
        Document->SetOutputEncoding(UTF_16);
      } else if (FDocBuffer->HasUtf8Mark()) {
        Document->SetOutputEncoding(UTF_8);
      } else {
        FDocBuffer->SetEncoding(FDefaultEncoding);
        Document->SetOutputEncoding(FDefaultEncoding);
      }
    } else if (!FDocBuffer->IsTwoByte() && !FDocBuffer->IsTranscoded()) {
      // Without a default to apply, XML's own: a document that names no
      // encoding and has no mark is UTF-8 (of which US-ASCII is a part).
      FDocBuffer->SetEncoding(UTF_8);
    }
    invChars().Clear();
    FInContent = false;
    FCharData = false;
    FTextMayEnd = false;
    FStrictSyntax = FStandardXML;
    FSpaceBefore = false;
    FTextHasAmp = false;
    FSubsetHasPEReferences = false;
    FDepth = 0;
    FParsing = true;
    RunGrammar();
  } catch (const EKaOrvaneError& e) {
    // An error of the tree's own checks knows no position: it concerns the
    // token being read.
    const bool placed = e.GetLine() > 0;
    const int32_t line = placed ? e.GetLine() : FLine;
    const int32_t column = placed ? e.GetColumn() : GetColumnNumber();
    const std::string fileName = placed ? e.GetFileName() : FFileName;
    EndParse();
    EKaOrvaneError error =
        EKaOrvaneError::CreateWithExtFileName(e.Message(), fileName, line, e.GetExtLine());
    error.SetColumn(column);
    throw error;
  } catch (const EKaDOMException& e) {
    EndParse();
    Document->Clear();
    throw EKaDOMException(e.GetCode(), e.Message());
  } catch (...) {
    EndParse();
    throw;
  }
  EndParse();
  FInvalidChars = invChars().DataString();
  return FValidateDocument ? Validate(Document.get()) : true;
}

void TKaOrvane::EndParse() {
  FBlanks.Flush();
  FParsing = false;
  FParsedEntities = nullptr;
  FOwnParsedEntities.reset();
  Finalize();
  // Expansions left open by an error must not make the tree's later
  // expansions look recursive.
  if (FGuard == FOwnGuard.get()) FOwnGuard->Reset(0);
}

void TKaOrvane::KeepExpandedEntities() {
  // The declarations are complete: what an entity expands to holds for the
  // rest of the parse.
  FOwnParsedEntities = std::make_unique<TParsedEntities>();
  FParsedEntities = FOwnParsedEntities.get();
}

void TKaOrvane::RunGrammar() {
  switch (FParserMode) {
    case 'd': {
      // The XML declaration, when there is one, is the very first thing.
      const char16_t first = FBuffer->GetChar();
      FBuffer->UnGetChar();
      LexAn();
      if (FStrictSyntax && FToken->GetCode() == tkXMLDeclStart && first != u'<')
        RaiseError("The XML declaration must begin the document.");
      ParseProlog();
      FInContent = true;
      KeepExpandedEntities();
      ParseElement();
      ParseEpilog();
      break;
    }
    case 'e':
      BeginEntityContent();
      ParseTextDecl();
      KeepExpandedEntities();
      Emit(1, u"_root");
      ParseElCont();
      EndEntityContent();
      FStack->Pop();
      break;
    default:
      break;
  }
}

bool TKaOrvane::Validate(TKaXMLDocument* Document) {
  if (!Document) {
    FErrors->Add("[XML]: The document is empty.", nullptr);
    return false;
  }
  Document->AssignParser(this);
  FErrors->Clear();
  const std::string version = Document->GetVersion();
  if (XMLTrim(SystemToWide(version)).empty()) {
    FErrors->Add("[XML]: The document does not have a proper version declaration.", Document);
    return false;
  }
  if (version != "1.0") {
    FErrors->Add(Format("[XML]: Unsupported version number \"%s\".", version), Document);
    return false;
  }
  TKaDocumentType* doctype = Document->GetDocumentType();
  if (!doctype) {
    FErrors->Add("[XML]: Document type declaration not found.", Document);
    return false;
  }
  doctype->Validate();
  if (TKaXMLElement* root = Document->GetDocumentElement()) {
    Document->SetIDTable(std::make_unique<TIDTable>(*root, *doctype));
    try {
      root->Validate();
    } catch (...) {
      Document->SetIDTable(nullptr);
      throw;
    }
    Document->SetIDTable(nullptr);
  }
  return FErrors->Count() == 0;
}

void TKaOrvane::ApplyAttributeDeclarations(TKaXMLElement& element) {
  // Most elements have no attribute-list declaration: one lookup each. The
  // document type node is the document's own class but for a caller's
  // derived one, which the general lookup finds.
  TKaXMLNode* node = FDocument->GetNodeList().GetRoot(DOCUMENT_TYPE_NODE);
  if (!node) return;
  const TKaDocumentType* doctype = typeid(*node) == typeid(TKaDocumentType)
                                       ? static_cast<const TKaDocumentType*>(node)
                                       : FDocument->GetDocumentType();
  TKaAttListDecl* list = doctype ? doctype->GetAttListDecl(element.GetName()) : nullptr;
  if (list) list->ApplyToElement(element, FDTDDefaults);
}

void TKaOrvane::SupportedEncodings(TStrings& List) const {
  for (TEncoding e : AllEncodings()) List.Add(EncodingToString(e));
}

std::string TKaOrvane::GetVersion() const {
  // The host IDE keeps its installation directory and its library search
  // path in the registry; the package file is found along that path.
  static const char kIDEKey[] = "\\SOFTWARE\\Borland\\Delphi\\6.0";
  TRegistry registry;
  registry.SetRootKey(HKEY_LOCAL_MACHINE);
  std::string rootDir;
  if (registry.OpenKey(kIDEKey, false)) rootDir = registry.ReadString("RootDir");
  registry.CloseKey();
  registry.SetRootKey(HKEY_CURRENT_USER);
  std::string searchPath;
  if (registry.OpenKey(std::string(kIDEKey) + "\\Library", false))
    searchPath = registry.ReadString("Search Path");
  if (searchPath.empty()) return "0.0.0.0";

  size_t start = 0;
  while (start <= searchPath.size()) {
    size_t end = searchPath.find(';', start);
    if (end == std::string::npos) end = searchPath.size();
    std::string entry = searchPath.substr(start, end - start);
    start = end + 1;
    const size_t macro = entry.find("$(DELPHI)");
    if (macro != std::string::npos) entry.replace(macro, 9, rootDir);
    const std::string file = entry + "\\lumora.bpl";
    if (!FileExists(file)) continue;
    const auto version = ReadFileVersion(file);
    if (!version) return "0.0.0.0";
    return Format("%d.%d.%d.%d", (*version)[0], (*version)[1], (*version)[2], (*version)[3]);
  }
  return "0.0.0.0";
}

}  // namespace lumora
