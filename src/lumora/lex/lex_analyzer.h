// The common base of the parsers: the working objects of one parse, the
// token-matching operations every grammar is written with, the switch
// between the document and a parameter entity's replacement text, and the
// hand-over of the reading position to another parser.
//
// Each parser is a recursive-descent parser over one token of look-ahead:
// FToken is always read ahead; Match checks it and reads the next, and what
// was just matched is FPrevToken, whose lexeme the grammar hands to its
// semantic actions.
//
// The markup scanners (Split...) and the grammar fragments every parser
// shares (Parse...) are members too; they live in markup_scanners.cpp.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "lumora/dtd/expansion_guard.h"
#include "lumora/framework/component.h"
#include "lumora/lex/input_buffer.h"
#include "lumora/lex/parse_stack.h"
#include "lumora/lex/symbol_table.h"
#include "lumora/lex/token_codes.h"

namespace lumora {

class TKaXMLDocument;

// Replacement text as bytes that an input buffer reads back unchanged:
// UTF-16 with its byte-order mark, whatever the document's encoding.
std::string ReplacementBytes(std::u16string_view text);

// A reading position handed from one parser to another. It shares the
// objects it names; it does not copy them.
struct TAnalyzerState {
  TInputBuffer* DocBuffer = nullptr;
  TInputBuffer* EntityBuffer = nullptr;
  TInputBuffer* Buffer = nullptr;
  TSymTab* SymTab = nullptr;
  TSTEntry* PrevToken = nullptr;
  TSTEntry* Token = nullptr;
  char16_t Char = 0;
  TXMLStack* Stack = nullptr;
  int32_t Line = 0;
  int32_t PrevLine = 0;
  int64_t LineOffset = 0;
  int64_t PrevLineOffset = 0;
  std::string FileName;
  // The entities being expanded, with the buffers of those whose text is
  // read now; shared by every parser of one parse.
  TExpansionGuard* Guard = nullptr;
};

class TLexAnalyzer : public TComponent {
 public:
  explicit TLexAnalyzer(TComponent* AOwner) : TComponent(AOwner) {}
  ~TLexAnalyzer() override;

  // Makes the working objects of a parse: both input buffers (empty), the
  // symbol table with the markup lexemes, the two tokens and the stack.
  void Init();
  // Frees them. A parser that borrowed another's state must not call it.
  void Finalize();

  TAnalyzerState GetAnalyzerState() const;
  void GetAnalyzerState(TAnalyzerState& state) const { state = GetAnalyzerState(); }
  void SetAnalyzerState(const TAnalyzerState& state);

  // The line on which the current token starts (the one being read, while
  // the lexer reads it).
  int32_t GetLineNumber() const { return FLine; }
  int32_t GetColumnNumber() const { return TInputBuffer::ColumnAt(FLineOffset); }
  const std::string& GetFileName() const { return FFileName; }
  void SetFileName(const std::string& fileName) { FFileName = fileName; }
  TKaXMLDocument* GetDocument() const { return FDocument; }
  void SetDocument(TKaXMLDocument* document) { FDocument = document; }
  // The guard of the parse; Init makes one of the parser's own when none
  // was handed over.
  TExpansionGuard* GetGuard() const { return FGuard; }
  void SetGuard(TExpansionGuard* guard) { FGuard = guard; }

  // The grammar's primitives. Each checks the current token and reads the
  // next; when that ends a replacement text, reading goes on in the document.
  virtual void Match(int32_t token);
  // The current lexeme must equal text, ignoring the case of ASCII letters.
  virtual void MatchString(std::u16string_view text);
  virtual void MatchTokens(int32_t token1, int32_t token2);
  // Reads the next token into FToken.
  virtual void LexAn() = 0;
  // Semantic actions; the codes mean what each parser makes them mean.
  virtual void Emit(int32_t action, std::u16string_view text) = 0;
  virtual void MEmit(int32_t action, std::u16string_view text1, std::u16string_view text2) = 0;

  // Forms that first expand a parameter-entity reference standing where the
  // expected token should be.
  void RMatch(int32_t token);
  void RMatchString(std::u16string_view text);
  void RMatchTokens(int32_t token1, int32_t token2);
  // current == expected, expanding a parameter-entity reference first.
  bool EqualTokens(int32_t current, int32_t expected);
  // current equals expected regardless of case, expanding a reference first.
  bool EqualStrings(std::u16string_view current, std::u16string_view expected);

  // Reads the next token but keeps FPrevToken: the end of a replacement text
  // is not a token of the grammar.
  void SkipEmpty();
  // Swaps the current buffer between the document and the entity buffer.
  void ChangeBuffers() { FBuffer = FBuffer == FDocBuffer ? FEntityBuffer : FDocBuffer; }
  // Whether the current token comes from a parameter entity's text.
  bool ReadingEntityText() const { return FBuffer != FDocBuffer; }

  // Markup scanners. Each starts from FChar, already read, and returns the
  // lexeme, valid until the next scan.
  // After '<', the character that follows (PeekAscii) makes it a start
  // tag's '<' alone, whose name is read as a token of its own.
  static bool StartsTagName(char16_t next) {
    return next != 0 && next != u'!' && next != u'/' && next != u'?';
  }
  std::u16string_view SplitSTag();
  std::u16string_view SplitETag();
  std::u16string_view SplitCharData();
  std::u16string_view SplitCDSec();
  std::u16string_view SplitComment();
  std::u16string_view SplitPIData();
  std::u16string_view SplitLiteral();
  std::u16string_view SplitName();
  std::u16string_view SplitPredefined();

  // Grammar fragments all parsers share.
  void ParseComment();
  void ParsePI();
  void ParseExternalId(bool systemRequired = false);
  void ParseTextDecl();
  // name "=" literal when the current token is a name equal to name
  // (regardless of case); false, consuming nothing, otherwise.
  bool ParseAttribute(std::u16string_view name);
  // "%" name ";": reading goes on in the entity's stored value, as it was
  // declared; at its end, after the reference. The guard refuses an entity
  // that is being expanded already and bounds the characters expanded.
  void ParseReference();

  // Action codes the shared fragments emit.
  static constexpr int32_t acPseudoAttribute = 2;  // MEmit(name, value)
  static constexpr int32_t acComment = 5;          // Emit(text)
  static constexpr int32_t acPI = 6;               // MEmit(target, data)
  static constexpr int32_t acSystemLiteral = 28;   // Emit(literal)
  static constexpr int32_t acPublicLiteral = 29;   // Emit(literal)

 protected:
  // In strict syntax: a keyword written in another case than its own raises;
  // the current token must (or must not) follow white space.
  void RequireExactKeyword(std::u16string_view written, std::u16string_view keyword);
  void RequireSpaceBefore() {
    if (FStrictSyntax && !FSpaceBefore) RequireSpaceBeforeSlow();
  }
  void RejectSpaceBefore() {
    if (FStrictSyntax && FSpaceBefore) RejectSpaceBeforeSlow();
  }

  // Raises EKaOrvaneError with the file name of this parse and the position
  // at which the current token starts (the one being read, while the lexer
  // reads it); the second form with that of the previous token.
  [[noreturn]] void RaiseError(const std::string& message) const;
  [[noreturn]] void RaiseErrorAtPrevious(const std::string& message) const;
  [[noreturn]] void RaiseErrorAt(const std::string& message, int32_t line, int32_t column) const;
  // The current token is not the one expected: "Unexpected end of file." at
  // the end of the document, "Illegal occurence of ..." otherwise.
  [[noreturn]] void RaiseUnexpected() const;

  // Called by LexAn as it begins a token: the current position becomes the
  // previous one, and the next character's that of the token (until white
  // space is skipped, when it is called again).
  // The token read becomes the previous one. The two entries trade places
  // rather than contents: the copy's wide load would wait on the narrow
  // stores that just wrote the token, at every token.
  void BeginToken() {
    std::swap(FPrevToken, FToken);
    FPrevLine = FLine;
    FPrevLineOffset = FLineOffset;
    MarkTokenStart();
  }
  void MarkTokenStart() {
    if (FBuffer != FDocBuffer) return;
    FLine = FBuffer->GetLine();
    FLineOffset = FBuffer->GetLineOffset();
  }
  // Where the previous token starts.
  int32_t GetPrevLine() const { return FPrevLine; }
  int32_t GetPrevColumn() const { return TInputBuffer::ColumnAt(FPrevLineOffset); }

  // When the current token ends an entity's text, reading goes on after
  // the reference, in the entity around it or the document, with the token
  // that follows there. True when any text ended.
  bool LeaveEndedEntities();

  // Token helpers for the lexers. The current token becomes:
  // the table's entry for lexem, inserted with codeIfNew when there is none;
  void SetTokenLookup(std::u16string_view lexem, int32_t codeIfNew);
  // the same for the markup SplitSTag returns, which is most often a keyword
  // written exactly: that is known without a search;
  void SetTokenMarkup(std::u16string_view lexem) {
    if (IsScannedKeyword(lexem))
      return FToken->SetText(FMarkup->Code, FMarkup->Lexem, lexem.size());
    SetTokenLookup(lexem, tkUnknownMarkup);
  }
  // the character c, whose code is its own (XMLOrd), with the table's text;
  void SetTokenChar(char16_t c);
  // the markup that a closing character starts (SplitETag): the table's
  // entry for it, or the character alone;
  void SetTokenClosing();
  // a new entry of the table with lexem and code;
  void SetTokenInsert(std::u16string_view lexem, int32_t code);
  // the same for a name, literal or text a scanner returns, most often the
  // held text it built in place, which then becomes the token at once;
  void SetTokenHeld(std::u16string_view lexem, int32_t code) {
    const TLexemeText& built = FSymTab->NextHeld();
    if (lexem.data() == built.data() && lexem.size() == built.size())
      return FToken->SetFromTable(FSymTab->HoldNext(code), -1);
    SetTokenInsert(lexem, code);
  }
  // the end of the data.
  void SetTokenEndOfFile() { FToken->SetValues(tkEndOfFile, nullptr, -1); }

  TInputBuffer* FBuffer = nullptr;
  TInputBuffer* FDocBuffer = nullptr;
  TInputBuffer* FEntityBuffer = nullptr;
  TSymTab* FSymTab = nullptr;
  TSTEntry* FPrevToken = nullptr;
  TSTEntry* FToken = nullptr;
  char16_t FChar = 0;
  TXMLStack* FStack = nullptr;
  // Where the current and the previous token start, from the document
  // buffer: text from a replacement text is placed at its reference. The
  // column is kept as the buffer's line offset (see GetLineOffset): the
  // check that makes it a column is left to the few that ask for one.
  int32_t FLine = 0;
  int32_t FPrevLine = 0;
  int64_t FLineOffset = 0;
  int64_t FPrevLineOffset = 0;
  // Where the name of the last attribute ParseAttribute read starts.
  int32_t FAttributeLine = 0;
  int32_t FAttributeColumn = 0;
  std::string FFileName;
  TKaXMLDocument* FDocument = nullptr;  // not owned
  TExpansionGuard* FGuard = nullptr;    // not owned
  bool FPIData = false;                 // LexAn reads the rest of a PI as one text
  bool FInContent = false;              // inside the document element
  bool FCharData = false;               // white space is character data, not skipped
  // XML 1.0 to the letter: keywords in their exact case, the white space the
  // grammar requires, nothing the relaxed grammar lets pass.
  bool FStrictSyntax = false;
  bool FSpaceBefore = false;  // white space was skipped before the current token
  bool FTextHasAmp = false;   // the last character data read holds an '&'
  // The text of the last literal read, when it holds no '&' (and so no
  // reference); nil otherwise.
  const char16_t* FLiteralWithoutAmp = nullptr;
  // Character data may run to the end of the data: the text read is content
  // on its own (an entity's replacement text), not a whole document.
  bool FTextMayEnd = false;
  // Block size of the buffers Init makes; smaller only to test block edges.
  int32_t FBlockSize = TInputBuffer::kBlockSize;

 private:
  // The objects Init made; a parser running on a borrowed state has none.
  struct TWorkingObjects {
    std::unique_ptr<TInputBuffer> DocBuffer;
    std::unique_ptr<TInputBuffer> EntityBuffer;
    std::unique_ptr<TSymTab> SymTab;
    std::unique_ptr<TSTEntry> PrevToken;
    std::unique_ptr<TSTEntry> Token;
    std::unique_ptr<TXMLStack> Stack;
    std::unique_ptr<TExpansionGuard> Guard;  // when none was handed over
  };

  // The errors of RequireSpaceBefore and RejectSpaceBefore.
  void RequireSpaceBeforeSlow();
  [[noreturn]] void RejectSpaceBeforeSlow();

  bool AtEntityEnd() const { return FToken->GetCode() == tkEndOfFile && FBuffer != FDocBuffer; }

  // A scanner read keyword, written exactly: its lexeme is the keyword's
  // own text, which the token takes without a search or a copy.
  std::u16string_view ScannedKeyword(const TKeywordEntry& keyword) {
    FMarkup = &keyword;
    return keyword.Lexem;
  }
  bool IsScannedKeyword(std::u16string_view lexem) const {
    return lexem.data() == FMarkup->Lexem && FMarkup->Lexem[lexem.size()] == 0;
  }

  // The keyword a scanner read last (see ScannedKeyword).
  const TKeywordEntry* FMarkup = &markup::kTagStart;
  std::unique_ptr<TWorkingObjects> FOwned;
  std::u16string FLexeme;  // the markup scanners' output, reused token after token
};

}  // namespace lumora
