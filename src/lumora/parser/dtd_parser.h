// Reads markup declarations into the document type of a document: from the
// internal subset (on the reading position of the document grammar, handed
// over), from an external DTD in a stream or a file, or from the text of a
// parameter entity. Element declarations take their content model
// from TContentModelParser, which takes over the reading position in turn.
//
// Parameter-entity references are expanded where a declaration may begin
// and where a token of a declaration is expected; the text read is the
// entity's stored value. Conditional sections are read in the text of
// parameter entities and in external DTDs; the internal subset refuses them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "lumora/lex/lex_analyzer.h"

namespace lumora {

class TKaDocumentType;
class TKaXMLDocument;
class TStream;

class TDTDParser : public TLexAnalyzer {
 public:
  explicit TDTDParser(TComponent* AOwner) : TLexAnalyzer(AOwner) {}

  // The declarations of the DTD in Stream (read from its first byte, an
  // optional text declaration first) go to Document's document type. The
  // whole stream must be declarations. The text is decoded as an external
  // resource is (TInputBuffer::InitExternal).
  void ParseFromStream(TStream& Stream, TKaXMLDocument* Document);
  // The same for a DTD from outside the document, read from Location (an
  // absolute path or a URL): errors name it, relative names in its
  // declarations are resolved against it, and every node it adds is marked
  // as read from outside (IsExternalDecl).
  void ParseExternal(TStream& Stream, const std::string& Location, TKaXMLDocument* Document);
  // The same for the DTD file FileName; EFCreateError when it cannot be opened.
  void Parse(const std::string& FileName, TKaXMLDocument* Document);
  // Reads declarations from State's position up to the first token that
  // begins none, which stays the current token. The caller takes the state
  // back with GetAnalyzerState afterwards, also when this raises.
  void SwitchParser(const TAnalyzerState& State, TKaXMLDocument* Document);

  // Keywords in their exact case and the white space the grammar requires.
  // By default, the document's parser's StandardXML.
  void SetStrictSyntax(bool Strict) {
    FStrictSet = true;
    FStrictSyntax = Strict;
  }
  // Reading a document's internal subset: conditional sections are refused
  // there, but for those in the text of parameter entities.
  void SetInternalSubset(bool Internal) { FInternalSubset = Internal; }

  // In a whole DTD (ParseFromStream) the data may end right after an
  // entity's text that closed the last declaration.
  void Match(int32_t Token) override;
  void LexAn() override;
  void Emit(int32_t Action, std::u16string_view Text) override;
  void MEmit(int32_t Action, std::u16string_view Text1, std::u16string_view Text2) override;

  // The productions.
  void ParseDTDContent();
  void ParseElDecl();
  void ParseAttrDecl();
  void ParseEnumType();
  void ParseNotationType();
  void ParseEntityDecl();
  void ParseNotation();

  // Action codes of this parser, beside those of the shared fragments.
  static constexpr int32_t acElementDecl = 8;   // Emit(name); Emit("") ends it
  static constexpr int32_t acAttDef = 9;        // Emit(name); MEmit(keyword, literal) ends it
  static constexpr int32_t acEntityDecl = 10;   // MEmit(name, "%" or "")
  static constexpr int32_t acNotation = 11;     // Emit(name); Emit("") ends it
  static constexpr int32_t acAttList = 18;      // Emit(element name)
  static constexpr int32_t acEntityEnd = 19;    // Emit("")
  static constexpr int32_t acEnumValue = 24;    // Emit(value)
  static constexpr int32_t acAttType = 25;      // Emit(type keyword or "(")
  static constexpr int32_t acAttListEnd = 26;   // Emit("")
  static constexpr int32_t acEntityValue = 27;  // Emit(literal)
  static constexpr int32_t acNData = 30;        // Emit(notation name)

  // Conditional sections nest at most this deep.
  static constexpr int kMaxSectionDepth = 256;

 private:
  // Settings taken from the document's parser where not set explicitly.
  void TakeSettings();
  // The document type the declarations go to.
  TKaDocumentType& DocType();
  // "<![" INCLUDE|IGNORE "[" ... "]]>", the current token its start.
  void ParseConditionalSect();
  // Skips the text of an ignored section, nested sections included, up to
  // and with its "]]>"; the current token is its "[".
  void SkipIgnoredSection();

  // Marks Node as declared where this parser reads now: read from outside
  // the document, and, for a node that names a resource, the location its
  // relative names are resolved against.
  template <class T>
  T* Declared(T* Node);
  // The location of the resource that holds the text read now; empty for
  // the document itself.
  std::string DeclarationBase();

  bool FStrictSet = false;
  bool FInternalSubset = false;
  // Reading a DTD from outside the document (ParseExternal).
  bool FExternal = false;
  // Reading a whole DTD, not a part of a document (ParseFromStream).
  bool FWholeDTD = false;
  int FSectionDepth = 0;
};

}  // namespace lumora
