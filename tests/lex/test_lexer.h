// An analyzer for the tests: the document lexer, semantic actions that only
// record what they get, and access to the analyzer's state.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "lumora/framework/stream.h"
#include "lumora/framework/sysutils.h"
#include "lumora/lex/lex_analyzer.h"
#include "lumora/parser/orvane.h"
#include "lumora/text/char_classes.h"
#include "lumora/text/code_pages.h"
#include "lumora/text/wide_strings.h"

namespace lumora::testing {

struct TToken {
  int32_t Code;
  std::u16string Lexem;
  bool operator==(const TToken&) const = default;
};
inline void PrintTo(const TToken& token, std::ostream* out) {
  *out << "{" << token.Code << ", \"" << WideToSystem(token.Lexem) << "\"}";
}

class TTestLexer : public TKaOrvane {
 public:
  explicit TTestLexer(int32_t blockSize = TInputBuffer::kBlockSize) : TKaOrvane(nullptr) {
    FBlockSize = blockSize;
  }

  // Init, then the document buffer reads bytes.
  void Start(std::string bytes) {
    Init();
    FStream = std::make_unique<TStringStream>(std::move(bytes));
    FDocBuffer->Init(*FStream);
  }
  // Start, then the first token.
  void StartAndRead(std::string bytes) {
    Start(std::move(bytes));
    LexAn();
  }

  // The document lexer (LexAn) with the analyzer's own matching, which
  // follows a replacement text back into the document.
  void Match(int32_t token) override { TLexAnalyzer::Match(token); }
  void MatchString(std::u16string_view text) override { TLexAnalyzer::MatchString(text); }
  void MatchTokens(int32_t token1, int32_t token2) override {
    TLexAnalyzer::MatchTokens(token1, token2);
  }

  void Emit(int32_t action, std::u16string_view text) override {
    Events.push_back(std::to_string(action) + ":" + WideToSystem(text));
  }
  void MEmit(int32_t action, std::u16string_view a, std::u16string_view b) override {
    Events.push_back(std::to_string(action) + ":" + WideToSystem(a) + "=" + WideToSystem(b));
    if (action == acPseudoAttribute && XMLCompareText(a, u"encoding") == 0)
      FBuffer->SetEncoding(StringToEncoding(WideToSystem(b)));
  }

  // The lexeme a scanner makes of the next characters, as written.
  std::u16string Scan(std::u16string_view (TLexAnalyzer::*scanner)()) {
    FChar = FBuffer->GetChar();
    return std::u16string((this->*scanner)());
  }

  // Every token up to the end of the data, the end excluded.
  std::vector<TToken> AllTokens(std::string bytes) {
    StartAndRead(std::move(bytes));
    return RemainingTokens();
  }
  std::vector<TToken> RemainingTokens(size_t limit = 100000) {
    std::vector<TToken> tokens;
    while (Code() != tkEndOfFile && tokens.size() < limit) {
      tokens.push_back({Code(), std::u16string(Lexem())});
      LexAn();
    }
    return tokens;
  }

  int32_t Code() const { return FToken->GetCode(); }
  std::u16string_view Lexem() const { return FToken->GetLexem(); }
  int32_t PrevCode() const { return FPrevToken->GetCode(); }
  std::u16string_view PrevLexem() const { return FPrevToken->GetLexem(); }
  int32_t Line() const { return FLine; }
  int32_t Column() const { return GetColumnNumber(); }
  TInputBuffer& Buffer() { return *FBuffer; }
  TInputBuffer& DocBuffer() { return *FDocBuffer; }
  TInputBuffer& EntityBuffer() { return *FEntityBuffer; }
  bool ReadingEntity() const { return FBuffer == FEntityBuffer; }
  TSymTab& SymTab() { return *FSymTab; }
  void SetInContent(bool value) { FInContent = value; }
  void SetCharData(bool value) { FCharData = value; }
  bool CharData() const { return FCharData; }
  // The entity buffer reads bytes and becomes current, as a reference would.
  void EnterEntity(std::string bytes) {
    FEntityStream = std::make_unique<TStringStream>(std::move(bytes));
    FEntityBuffer->Init(*FEntityStream);
    ChangeBuffers();
  }

  std::vector<std::string> Events;

 private:
  std::unique_ptr<TStringStream> FStream;
  std::unique_ptr<TStringStream> FEntityStream;
};

// The bytes of text in UTF-16 with a byte-order mark.
inline std::string Utf16Bytes(std::u16string_view text, TByteOrder order) {
  std::string bytes = order == boLittleEndian ? "\xFF\xFE" : "\xFE\xFF";
  for (char16_t c : text) {
    const char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
    bytes += order == boLittleEndian ? std::string{lo, hi} : std::string{hi, lo};
  }
  return bytes;
}

}  // namespace lumora::testing
