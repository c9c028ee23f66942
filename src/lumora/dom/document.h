// The document: the root of a tree, the factory of its nodes, and the
// writer of the whole. Its list holds the pseudo-attributes of the XML
// declaration (version, encoding, standalone), the prolog's comments and
// processing instructions, the document type, the document element and what
// follows it.
//
// A document works without a parser as well: line numbers are then 0,
// output is formatted, validity errors are not recorded, the encoding named
// when the declaration names none is the document's output encoding, and the
// characters a write could not represent are read with GetInvalidChars.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "lumora/dom/character_data.h"
#include "lumora/dom/element.h"
#include "lumora/io/write_mode.h"
#include "lumora/text/code_pages.h"
#include "lumora/text/string_buffer.h"

namespace lumora {

class TKaDocumentType;
class TKaGEntityReference;
class TIDTable;
class TKaOrvane;
class TKaXMLDocument;
class TSideFiles;

// Answers feature queries for a document.
class TDOMImplementation : public TObject {
 public:
  explicit TDOMImplementation(TKaXMLDocument* Doc) : FDocument(Doc) {}
  // True when Version equals the value of one of the document's
  // pseudo-attributes; the feature name is not examined.
  virtual bool HasFeature(std::u16string_view Feature, std::u16string_view Version) const;

 private:
  TKaXMLDocument* FDocument;
};

// Where a node was read, when that does not fit the node itself.
struct TNodePosition {
  const TKaXMLNode* Node;
  int32_t Line;
  int32_t Column;
};

// Bits of the flags of TKaXMLDocument::Find.
constexpr int fnNames = 1;         // compare names
constexpr int fnValues = 2;        // compare values
constexpr int fnDocumentType = 4;  // also look at the document type node itself
constexpr int fnElements = 8;      // also look at elements themselves
constexpr int fnCaseSensitive = 16;
constexpr int fnWholeString = 32;  // otherwise the text may stand anywhere in the candidate

class TKaXMLDocument : public TKaContainer {
 public:
  // A new document holds a standard version attribute "1.0" and writes UTF-8.
  TKaXMLDocument();
  ~TKaXMLDocument() override;
  static std::unique_ptr<TKaXMLDocument> CreateDocument() {
    return std::make_unique<TKaXMLDocument>();
  }

  TDOMImplementation& DomImplementation() { return *FDOMImplementation; }
  // Where the document's nodes and names live; Clear starts a new one.
  TNodeArena& NodeArena() { return *FArena; }
  // What the document's nodes reach it through (see document_ref.h).
  TDocumentLink* Link() const { return FLink; }

  TKaXMLElement* GetDocumentElement() const;
  // Raises INVALID_CHARACTER_ERR when there is a document element already.
  TKaXMLElement* SetDocumentElement(TAdopt<TKaXMLElement> Element);
  TKaDocumentType* GetDocumentType() const;
  // Placed before the document element, or appended when there is none.
  TKaDocumentType* SetDocumentType(TAdopt<TKaDocumentType> DocType);

  // The parser that filled or last validated this document; not owned.
  void AssignParser(TKaOrvane* Parser);
  TKaOrvane* GetParser() const { return FParser; }

  // Destroys every node, adds a new version attribute 1.0 and sets the output
  // encoding to US-ASCII; the other settings stay.
  void Clear();

  // The XML declaration's values, kept as the document's attributes.
  void SetVersion(const std::string& Version);
  std::string GetVersion() const;
  // Raises EKaOrvaneError when the name is not a supported encoding.
  void SetEncoding(const std::string& Name);
  std::string GetEncoding() const;
  void SetStandalone(bool Value);
  bool GetStandalone() const;

  // Output settings.
  TEncoding GetOutputEncoding() const { return FEncoding; }
  void SetOutputEncoding(TEncoding Encoding) { FEncoding = Encoding; }
  TWriteMode GetWriteMode() const { return FWriteMode; }
  void SetWriteMode(TWriteMode Mode) { FWriteMode = Mode; }
  TByteOrder GetByteOrder() const { return FByteOrder; }
  void SetByteOrder(TByteOrder Order) { FByteOrder = Order; }
  bool GetSystemConversion() const { return FSystemConversion; }
  void SetSystemConversion(bool Value) { FSystemConversion = Value; }
  bool GetWritingToFile() const { return FWritingToFile; }
  // While WriteToFile writes a named file: where the DTD and entity files
  // of the write modes go. Nil otherwise: they are then not written.
  TSideFiles* GetSideFiles() const { return FSideFiles; }
  // The encoding WriteToStream produces: the system conversion's UTF-8, or
  // the output encoding.
  TEncoding GetWriteEncoding() const { return FSystemConversion ? UTF_8 : FEncoding; }
  // Whether attributes that only the DTD's defaults put into the tree are
  // written (see TKaOrvane::SetDTDDefaults); off by default.
  bool GetWriteDefaultAttributes() const { return FWriteDefaultAttributes; }
  void SetWriteDefaultAttributes(bool Value) { FWriteDefaultAttributes = Value; }

  // Factories: new free nodes of this document, for the caller to place.
  std::unique_ptr<TKaXMLElement> CreateElement(std::u16string_view TagName);
  std::unique_ptr<TKaDocumentFragment> CreateDocumentFragment();
  std::unique_ptr<TKaXMLText> CreateTextNode(std::u16string_view Data);
  std::unique_ptr<TKaXMLComment> CreateComment(std::u16string_view Data);
  std::unique_ptr<TKaXMLCData> CreateCDATASection(std::u16string_view Data);
  std::unique_ptr<TKaXMLPi> CreateProcessingInstruction(std::u16string_view Target,
                                                        std::u16string_view Data);
  std::unique_ptr<TKaXMLAttr> CreateAttribute(std::u16string_view Name, std::u16string_view Value);
  std::unique_ptr<TKaGEntityReference> CreateEntityReference(std::u16string_view Name);

  // Writes the document in its output encoding; a file of UTF-16 starts with
  // a byte-order mark. Raises EFCreateError when the file cannot be created.
  void WriteToFile(const std::string& FileName);
  // The same into a file the caller has opened (say through the descriptor
  // of a temporary file): byte-order mark as WriteToFile. DTD and entity
  // files are written only when FileName names the file the text is for
  // (it goes there later, say by a rename): they go beside it.
  void WriteToFile(TStream& File, const std::string& FileName = std::string());
  void WriteToStream(TStream& Stream);
  // The characters the last write could not represent in its encoding.
  std::u16string GetInvalidChars() const { return FCharBuffer.DataString(); }

  // The node after Node in document order (attributes before content,
  // declarations of the document type included); nil at the end.
  TKaXMLNode* TakeNext(const TKaXMLNode* Node) const;
  // The first node from StartNode on (the document when nil) that matches
  // Text under Flags (fnNames ...), or nil.
  TKaXMLNode* Find(std::u16string_view Text, const TKaXMLNode* StartNode, int Flags) const;
  static bool TextCompare(std::u16string_view Text, std::u16string_view Candidate,
                          bool CaseSensitive, bool Exact);

  // What the nodes read while they are written, normalized or validated.
  int GetLineNumber() const;
  bool GetAfterText() const { return FAfterText; }
  void SetAfterText(bool Value) { FAfterText = Value; }
  bool GetFormatedOutput() const;
  // Records a validity error in the parser's error list, with the position
  // where Node was read. False when nothing was recorded: there is no parser,
  // or its list has reached its limit (so a loop of messages may stop).
  bool AddError(std::string Message, TKaXMLNode* Node);
  // Whether AddError records nothing now.
  bool ErrorsFull() const;
  // The values of the document's ID attributes, present while the parser
  // validates.
  const TIDTable* GetIDTable() const { return FIDTable.get(); }
  void SetIDTable(std::unique_ptr<TIDTable> Table);

  // The table of node positions that do not fit a node (TKaXMLNode::SetPosition):
  // emptied by Clear.
  uint32_t AddNodePosition(const TKaXMLNode* Node, int32_t Line, int32_t Column);
  const TNodePosition* FindNodePosition(uint32_t Index, const TKaXMLNode* Node) const;

 private:
  void AddVersionAttribute();
  bool Matches(const TKaXMLNode* node, std::u16string_view text, int flags) const;

  TNodeArena* FArena = TNodeArena::Create();  // one reference, the document's
  // What the document's nodes reach it through; one reference, the document's.
  TDocumentLink* FLink = new TDocumentLink(this);
  std::unique_ptr<TIDTable> FIDTable;
  std::vector<TNodePosition> FPositions;
  bool FAfterText = false;
  TStringBuffer FCharBuffer{100};
  bool FWritingToFile = false;
  TSideFiles* FSideFiles = nullptr;  // the write's, while it runs
  TEncoding FEncoding = UTF_8;
  std::unique_ptr<TDOMImplementation> FDOMImplementation;
  TKaOrvane* FParser = nullptr;
  TWriteMode FWriteMode = wmStandard;
  TByteOrder FByteOrder = boBigEndian;
  bool FSystemConversion = false;
  bool FWriteDefaultAttributes = false;
};

}  // namespace lumora
