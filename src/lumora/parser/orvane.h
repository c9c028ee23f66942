// The parser component: reads a document from a file or a stream into a
// TKaXMLDocument, validates it against its DTD, and carries the published
// properties that the document reads while it is built and written.
//
// A parse stops at the first syntax error with EKaOrvaneError (message, line,
// file name); validity errors are collected in GetErrors() by Validate.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "lumora/dom/layout_blanks.h"
#include "lumora/dtd/expansion_guard.h"
#include "lumora/io/errors_list.h"
#include "lumora/io/resource_loader.h"
#include "lumora/lex/lex_analyzer.h"
#include "lumora/text/code_pages.h"

namespace lumora {

class TStrings;
class TKaXMLDocument;
class TKaXMLElement;
class TParsedEntities;

// Called with the node that names an external resource and the file or
// address that could not be found.
using TFileNotFoundEvent = std::function<void(TObject* Sender, const std::string& FileName)>;

// Element nesting deeper than this raises, unless the application sets
// another limit: it admits every real document and refuses runaway ones.
// Reading does not recurse on nesting, so a higher limit is safe.
constexpr int kDefaultMaxNestingDepth = 2000;

// Validity errors kept by Validate unless the application sets another
// limit; one more entry then says that the rest were left out.
constexpr int kDefaultMaxValidityErrors = 1000;

class TKaOrvane : public TLexAnalyzer {
 public:
  explicit TKaOrvane(TComponent* AOwner);
  ~TKaOrvane() override;

  // Parses a file or a stream (from its first byte) into Document, which is
  // created when empty and cleared otherwise; the caller owns it either way.
  // Returns the result of Validate when ValidateDocument is set, else true.
  bool Parse(const std::string& FileName, std::unique_ptr<TKaXMLDocument>& Document);
  bool Parse(TStream& Stream, std::unique_ptr<TKaXMLDocument>& Document);
  // Parses a stream that holds the content of the file FileName (read by the
  // caller, from memory say): errors name that file.
  bool Parse(TStream& Stream, std::unique_ptr<TKaXMLDocument>& Document,
             const std::string& FileName);
  bool ParseFromStream(TStream& Stream, std::unique_ptr<TKaXMLDocument>& Document) {
    return Parse(Stream, Document);
  }
  // Checks Document against its DTD; true when no validity error was found.
  bool Validate(TKaXMLDocument* Document);

  // Appends the names of the supported encodings: the thirteen with tables
  // of their own, then those that iconv converts.
  void SupportedEncodings(TStrings& List) const;
  // 'd': a whole document; 'e': the content of an external parsed entity,
  // read below an element named "_root".
  void SetParserMode(char Mode) { FParserMode = Mode; }
  char GetParserMode() const { return FParserMode; }
  // Reads Text, the replacement text of a general entity, as content into
  // Parent, a free element: the nodes belong to Parent's document, whose
  // declarations resolve the references they hold. The parse takes its
  // settings, its guard and the depth of the elements open from the
  // document's parser, and stands in for it until it ends, so that the
  // expansions it meets nest in this one. Errors carry the line within Text.
  void ParseReplacementText(std::u16string_view Text, TKaXMLElement& Parent);

  // Published properties.
  bool GetStandardXML() const { return FStandardXML; }
  void SetStandardXML(bool Value) { FStandardXML = Value; }
  bool GetValidateDocument() const { return FValidateDocument; }
  void SetValidateDocument(bool Value) { FValidateDocument = Value; }
  const TFileNotFoundEvent& GetOnFileNotFound() const { return FOnFileNotFound; }
  void SetOnFileNotFound(TFileNotFoundEvent Handler) { FOnFileNotFound = std::move(Handler); }
  // The installed package's version, "0.0.0.0" when it cannot be found.
  std::string GetVersion() const;
  void SetVersion(const std::string& Value) { FVersion = Value; }  // no effect
  bool GetFormatedOutput() const { return FFormatedOutput; }
  void SetFormatedOutput(bool Value) { FFormatedOutput = Value; }
  bool GetRetrieveInternetURI() const { return FRetrieveInternetURI; }
  void SetRetrieveInternetURI(bool Value) { FRetrieveInternetURI = Value; }
  // External DTDs and entities: whether local files may be read, the
  // network's connect and total timeouts, the most bytes one resource may
  // have, the base URL of a public-identifier resolver (empty: none), and
  // the XML catalogs consulted first (by default XML_CATALOG_FILES, else
  // /etc/xml/catalog where it exists).
  bool GetAllowLocalFiles() const { return FResources.AllowLocalFiles; }
  void SetAllowLocalFiles(bool Value) { FResources.AllowLocalFiles = Value; }
  long GetConnectTimeoutMs() const { return FResources.ConnectTimeoutMs; }
  void SetConnectTimeoutMs(long Value) { FResources.ConnectTimeoutMs = Value; }
  long GetTotalTimeoutMs() const { return FResources.TotalTimeoutMs; }
  void SetTotalTimeoutMs(long Value) { FResources.TotalTimeoutMs = Value; }
  size_t GetMaxResourceBytes() const { return FResources.MaxBytes; }
  void SetMaxResourceBytes(size_t Value) { FResources.MaxBytes = Value; }
  const std::string& GetPublicResolverURL() const { return FResources.PublicResolverURL; }
  void SetPublicResolverURL(std::string Value) { FResources.PublicResolverURL = std::move(Value); }
  const std::vector<std::string>& GetCatalogFiles() const { return FResources.CatalogFiles; }
  void SetCatalogFiles(std::vector<std::string> Files) {
    FResources.CatalogFiles = std::move(Files);
  }
  // All of the above with RetrieveInternetURI, as a resource loader takes them.
  TResourceOptions GetResourceOptions() const {
    TResourceOptions options = FResources;
    options.AllowNetwork = FRetrieveInternetURI;
    return options;
  }
  TEncoding GetDefaultEncoding() const { return FDefaultEncoding; }
  // n_sup is stored as US_ASCII.
  void SetDefEncoding(TEncoding Value) { FDefaultEncoding = Value == n_sup ? US_ASCII : Value; }
  void SetDefaultEncoding(TEncoding Value) { SetDefEncoding(Value); }
  int GetMaxNestingDepth() const { return FMaxNestingDepth; }
  // Whether a parse runs now; the elements it has open.
  bool IsParsing() const { return FParsing; }
  int GetNestingDepth() const { return FDepth; }
  // The entity text parsed while an expansion runs, shared with the parses
  // nested in it; nil when none runs. Not owned.
  TParsedEntities* GetParsedEntities() const { return FParsedEntities; }
  void SetParsedEntities(TParsedEntities* Parsed) { FParsedEntities = Parsed; }
  void SetMaxNestingDepth(int Value) { FMaxNestingDepth = Value; }
  // The most validity errors Validate keeps (then one entry that says so);
  // 0 keeps them all.
  int GetMaxValidityErrors() const { return FErrors->GetLimit(); }
  void SetMaxValidityErrors(int Value) { FErrors->SetLimit(Value); }
  // Whether the DTD's attribute defaults go into the tree: an element read
  // without an attribute that its attribute-list declaration gives a
  // default (or #FIXED value) gets it, marked as defaulted (see
  // TKaXMLAttr::IsDefaulted). Off by default.
  bool GetDTDDefaults() const { return FDTDDefaults; }
  void SetDTDDefaults(bool Value) { FDTDDefaults = Value; }

  // The bounds on entity expansion of the parse running now: the parser's
  // own, or the one shared by the parse this one is nested in.
  TExpansionGuard* GetExpansionGuard() const { return FGuard; }
  // Parses that follow use Guard (kept alive by the caller) instead of a
  // guard of their own; nil returns to their own.
  void ShareExpansionGuard(TExpansionGuard* Guard) { FSharedGuard = Guard; }

  // Results of the last call.
  TKaErrorsList& GetErrors() { return *FErrors; }
  const TKaErrorsList& GetErrors() const { return *FErrors; }
  const std::u16string& GetInvalidChars() const { return FInvalidChars; }
  void SetInvalidChars(std::u16string Chars) { FInvalidChars = std::move(Chars); }

  // The document grammar.
  void LexAn() override;
  void Match(int32_t Token) override;
  void MatchString(std::u16string_view Text) override;
  void MatchTokens(int32_t Token1, int32_t Token2) override;
  void Emit(int32_t Action, std::u16string_view Text) override;
  void MEmit(int32_t Action, std::u16string_view Text1, std::u16string_view Text2) override;
  void ParseProlog();
  void ParseXMLDecl();
  void ParseMisc();
  void ParseDTDStag();
  // The declarations between "[" and "]", read by a DTD parser.
  void ParseInternalSubset();
  void ParseElement();
  void ParseCDSec();
  void ParseElCont();
  // Reads a start tag, attributes included; true when content and an end
  // tag follow, false for an empty-element tag.
  bool ParseStartTag();
  // Reads the end tag of the element at the head of the stack.
  void ParseEndTag();
  // Content, in which Open elements are open already and end.
  void ParseContent(int Open);

 private:
  friend class TKaXMLDocument;  // keeps the list below
  void DocumentAssigned(TKaXMLDocument* Document);
  void DocumentReleased(TKaXMLDocument* Document);

  void RunGrammar();
  // LexAn in content, from FChar: character data, or the markup after it.
  void LexContent(int32_t previous);
  // Frees the working objects of the parse, after an error too.
  void EndParse();
  // After the document element only comments, processing instructions and
  // white space may follow.
  void ParseEpilog();
  // Content that stands on its own (an entity's text): it may begin with
  // character data, and must run to the end of the data.
  void BeginEntityContent();
  void EndEntityContent();
  // Content begins: entity expansions are kept for the rest of the parse.
  void KeepExpandedEntities();
  // Adds an attribute read in element's start tag; a name that stands there
  // twice is not well-formed.
  void AddParsedAttribute(TKaXMLElement& element, std::u16string_view name,
                          std::u16string_view value);
  // The start tag of element is read: what its attribute-list declaration
  // says about its attributes is applied (see TKaAttListDecl::ApplyToElement).
  void ApplyAttributeDeclarations(TKaXMLElement& element);

  // The references in character data or an attribute value: malformed ones
  // and undeclared entities are errors in strict syntax, references to what
  // is no character in either grammar.
  // The text is the current token's, or the previous one's.
  void CheckReferences(std::u16string_view text, bool inPreviousToken);
  // Declared, or possibly declared where this parser does not look.
  bool IsEntityDeclared(std::u16string_view name) const;

  bool FStandardXML = false;
  // The internal subset refers to parameter entities, whose declarations
  // may declare general entities this parser does not see.
  bool FSubsetHasPEReferences = false;
  std::unique_ptr<TExpansionGuard> FOwnGuard;
  TExpansionGuard* FSharedGuard = nullptr;
  TParsedEntities* FParsedEntities = nullptr;
  std::unique_ptr<TParsedEntities> FOwnParsedEntities;
  bool FValidateDocument = false;
  char FParserMode = 'd';
  TFileNotFoundEvent FOnFileNotFound;
  std::string FVersion;
  bool FFormatedOutput = true;
  TEncoding FDefaultEncoding = US_ASCII;
  bool FRetrieveInternetURI = true;
  // Its AllowNetwork is FRetrieveInternetURI's.
  TResourceOptions FResources = DefaultResourceOptions();
  std::unique_ptr<TKaErrorsList> FErrors;
  std::u16string FInvalidChars;
  int FMaxNestingDepth = kDefaultMaxNestingDepth;
  bool FDTDDefaults = false;
  int FDepth = 0;  // elements open now
  // White space of the open elements not yet known to be content.
  TLayoutBlanks FBlanks;
  bool FParsing = false;
  // Names of the attributes of the start tag being read, once it has many.
  std::unordered_set<std::u16string> FStartTagNames;
  // Documents that refer to this parser; they forget it when it dies.
  std::vector<TKaXMLDocument*> FDocuments;
};

}  // namespace lumora
