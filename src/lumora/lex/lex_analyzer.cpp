#include "lumora/lex/lex_analyzer.h"

#include <array>
#include <iterator>

#include "lumora/dtd/expansion_guard.h"
#include "lumora/framework/sysutils.h"
#include "lumora/io/orvane_error.h"
#include "lumora/text/wide_strings.h"

namespace lumora {
namespace {

// Equality regardless of the case of ASCII letters. For equality this is
// what comparing both texts as 8-bit strings with CompareText gives.
bool SameTextIgnoringCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i] && WUpCase(a[i]) != WUpCase(b[i])) return false;
  }
  return true;
}

// The markup keyword written exactly as lexem, or nil: the entry the table
// would find for it, found without hashing. The table's own lookup stays
// for other case and for markup it does not know.
const TKeywordEntry* ExactKeyword(std::u16string_view lexem) {
  constexpr size_t kCount = std::size(kMarkupKeywords);
  constexpr size_t kLongest = 16;
  // The keywords by length and first character: the ones to compare with a
  // lexeme are a slice of Order, most often one keyword or none.
  struct TIndex {
    std::array<uint8_t, kCount> Order{};
    std::array<std::array<uint8_t, 128>, kLongest> Begin{};
    std::array<std::array<uint8_t, 128>, kLongest> End{};
  };
  static const TIndex index = [] {
    TIndex built;
    size_t used = 0;
    for (size_t length = 1; length < kLongest; ++length) {
      for (char16_t first = 0; first < 128; ++first) {
        built.Begin[length][first] = static_cast<uint8_t>(used);
        for (size_t i = 0; i < kCount; ++i) {
          const std::u16string_view text = kMarkupKeywords[i].Lexem;
          if (text.size() == length && text[0] == first)
            built.Order[used++] = static_cast<uint8_t>(i);
        }
        built.End[length][first] = static_cast<uint8_t>(used);
      }
    }
    return built;
  }();
  if (lexem.empty() || lexem.size() >= kLongest || lexem[0] >= 128) return nullptr;
  const size_t length = lexem.size();
  for (size_t at = index.Begin[length][lexem[0]]; at < index.End[length][lexem[0]]; ++at) {
    const TKeywordEntry& keyword = kMarkupKeywords[index.Order[at]];
    size_t i = 1;
    while (i < length && keyword.Lexem[i] == lexem[i]) ++i;
    if (i == length) return &keyword;
  }
  return nullptr;
}

// Each ASCII character as a text of its own, for single-character tokens.
struct TAsciiTexts {
  char16_t Text[128][2];
  TAsciiTexts() {
    for (int c = 0; c < 128; ++c) {
      Text[c][0] = static_cast<char16_t>(c);
      Text[c][1] = 0;
    }
  }
};

}  // namespace

TLexAnalyzer::~TLexAnalyzer() = default;

void TLexAnalyzer::Init() {
  // A guard of the previous parse's own goes with its other objects.
  if (FOwned && FOwned->Guard && FGuard == FOwned->Guard.get()) FGuard = nullptr;
  auto owned = std::make_unique<TWorkingObjects>();
  owned->DocBuffer = std::make_unique<TInputBuffer>(FBlockSize);
  owned->EntityBuffer = std::make_unique<TInputBuffer>(FBlockSize);
  // Replacement text was normalized when its entity was read: a carriage
  // return in it came from a character reference and stays one.
  owned->EntityBuffer->SetNormalizeLineEnds(false);
  owned->SymTab = std::make_unique<TSymTab>();
  owned->Token = std::make_unique<TSTEntry>(0, nullptr, 0);
  owned->PrevToken = std::make_unique<TSTEntry>(0, nullptr, 0);
  owned->Stack = std::make_unique<TXMLStack>();
  for (const TKeywordEntry& keyword : kMarkupKeywords)
    owned->SymTab->Insert(keyword.Lexem, keyword.Code);
  if (!FGuard) {
    owned->Guard = std::make_unique<TExpansionGuard>();
    FGuard = owned->Guard.get();
  }

  FOwned = std::move(owned);
  FDocBuffer = FOwned->DocBuffer.get();
  FEntityBuffer = FOwned->EntityBuffer.get();
  FBuffer = FDocBuffer;
  FSymTab = FOwned->SymTab.get();
  FToken = FOwned->Token.get();
  FPrevToken = FOwned->PrevToken.get();
  FStack = FOwned->Stack.get();
  FLine = FPrevLine = 1;
  FLineOffset = FPrevLineOffset = 0;
  FPIData = false;
  FLiteralWithoutAmp = nullptr;
}

void TLexAnalyzer::Finalize() {
  FBuffer = FDocBuffer = FEntityBuffer = nullptr;
  FSymTab = nullptr;
  FToken = FPrevToken = nullptr;
  FStack = nullptr;
  if (FOwned && FOwned->Guard) FGuard = nullptr;
  FOwned.reset();
}

TAnalyzerState TLexAnalyzer::GetAnalyzerState() const {
  TAnalyzerState state;
  state.DocBuffer = FDocBuffer;
  state.EntityBuffer = FEntityBuffer;
  state.Buffer = FBuffer;
  state.SymTab = FSymTab;
  state.PrevToken = FPrevToken;
  state.Token = FToken;
  state.Char = FChar;
  state.Stack = FStack;
  state.Line = FLine;
  state.LineOffset = FLineOffset;
  state.PrevLine = FPrevLine;
  state.PrevLineOffset = FPrevLineOffset;
  state.FileName = FFileName;
  state.Guard = FGuard;
  return state;
}

void TLexAnalyzer::SetAnalyzerState(const TAnalyzerState& state) {
  FDocBuffer = state.DocBuffer;
  FEntityBuffer = state.EntityBuffer;
  FBuffer = state.Buffer;
  FSymTab = state.SymTab;
  FPrevToken = state.PrevToken;
  FToken = state.Token;
  FChar = state.Char;
  FStack = state.Stack;
  FLine = state.Line;
  FLineOffset = state.LineOffset;
  FPrevLine = state.PrevLine;
  FPrevLineOffset = state.PrevLineOffset;
  FFileName = state.FileName;
  FGuard = state.Guard;
  // Literals the other parser read may have reused the text of ours.
  FLiteralWithoutAmp = nullptr;
}

void TLexAnalyzer::RaiseError(const std::string& message) const {
  throw EKaOrvaneError::CreateAt(message, FFileName, FLine, GetColumnNumber());
}

void TLexAnalyzer::RaiseErrorAtPrevious(const std::string& message) const {
  throw EKaOrvaneError::CreateAt(message, FFileName, FPrevLine, GetPrevColumn());
}

void TLexAnalyzer::RaiseErrorAt(const std::string& message, int32_t line, int32_t column) const {
  throw EKaOrvaneError::CreateAt(message, FFileName, line, column);
}

void TLexAnalyzer::RaiseUnexpected() const {
  if (FToken->GetCode() == tkEndOfFile && FBuffer == FDocBuffer)
    RaiseError("Unexpected end of file.");
  RaiseError(Format("Illegal occurence of \"%s\"", WideToSystem(FToken->GetLexem())));
}

void TLexAnalyzer::SetTokenLookup(std::u16string_view lexem, int32_t codeIfNew) {
  if (IsScannedKeyword(lexem)) return FToken->SetText(FMarkup->Code, FMarkup->Lexem, lexem.size());
  // No keyword holds a zero: markup that is one is known at once.
  if (const TKeywordEntry* keyword = ExactKeyword(lexem))
    return FToken->SetText(keyword->Code, keyword->Lexem, lexem.size());
  // Markup read past the end of the data holds zeros; its text ends there.
  lexem = lexem.substr(0, lexem.find(u'\0'));
  if (const TKeywordEntry* keyword = ExactKeyword(lexem))
    return FToken->SetText(keyword->Code, keyword->Lexem, lexem.size());
  int32_t index = -1;
  if (const TSTEntry* found = FSymTab->Find(lexem, index))
    return FToken->SetFromTable(*found, index);
  const TSTEntry& entry = FSymTab->InsertLexeme(lexem, codeIfNew, index);
  FToken->SetFromTable(entry, index);
}

void TLexAnalyzer::SetTokenChar(char16_t c) {
  const int32_t code = XMLOrd(c);
  // A character other than a letter is found in the table as itself (only
  // letters have other case): its text needs no table.
  if (c < 128 && !((c | 0x20) >= u'a' && (c | 0x20) <= u'z')) {
    static const TAsciiTexts kTexts;
    return FToken->SetText(code, kTexts.Text[c], 1);
  }
  const std::u16string_view lexem(&c, 1);
  int32_t index = -1;
  const TSTEntry* entry = FSymTab->Find(lexem, index);
  if (!entry) entry = &FSymTab->InsertLexeme(lexem, code, index);
  FToken->SetValues(code, entry->GetLexemPtr(), index);
}

void TLexAnalyzer::SetTokenClosing() {
  // A tag's end, most of what closes markup, is known without a scan or a
  // search; after it, as after any closing markup, content is data again.
  if (FChar == u'>') {
    if (FInContent) FCharData = true;
    return FToken->SetText(tkTagEnd, markup::kTagEnd.Lexem, 1);
  }
  const std::u16string_view lexeme = SplitETag();
  if (IsScannedKeyword(lexeme))
    return FToken->SetText(FMarkup->Code, FMarkup->Lexem, lexeme.size());
  if (const TKeywordEntry* keyword = ExactKeyword(lexeme))
    return FToken->SetText(keyword->Code, keyword->Lexem, lexeme.size());
  int32_t index = -1;
  if (const TSTEntry* found = FSymTab->Find(lexeme, index))
    return FToken->SetFromTable(*found, index);
  SetTokenChar(lexeme[0]);
}

void TLexAnalyzer::SetTokenInsert(std::u16string_view lexem, int32_t code) {
  if (!TSymTab::IsStoredText(code)) {
    int32_t index = -1;
    const TSTEntry& entry = FSymTab->InsertLexeme(lexem, code, index);
    return FToken->SetFromTable(entry, index);
  }
  // Names and texts are held for the few tokens a grammar looks back at,
  // not entered into the table.
  const TLexemeText& built = FSymTab->NextHeld();
  if (lexem.data() == built.data() && lexem.size() == built.size())
    FToken->SetFromTable(FSymTab->HoldNext(code), -1);  // built in place by a scanner
  else
    FToken->SetFromTable(FSymTab->HoldCopy(lexem, code), -1);
}

void TLexAnalyzer::SkipEmpty() {
  TSTEntry saved;
  saved.Copy(*FPrevToken);
  LexAn();
  FPrevToken->Copy(saved);
}

bool TLexAnalyzer::LeaveEndedEntities() {
  bool left = false;
  while (AtEntityEnd()) {
    FGuard->Leave();
    TInputBuffer* outer = FGuard->GetTextBuffer();
    FBuffer = outer ? outer : FDocBuffer;
    SkipEmpty();
    // An entity's text stands apart from what follows it, as if white
    // space closed it.
    FSpaceBefore = true;
    left = true;
  }
  return left;
}

void TLexAnalyzer::Match(int32_t token) {
  if (FToken->GetCode() != token) RaiseUnexpected();
  LexAn();
  if (LeaveEndedEntities() && FToken->GetCode() == tkEndOfFile)
    RaiseError("Unexpected end of file.");
}

void TLexAnalyzer::MatchString(std::u16string_view text) {
  if (!SameTextIgnoringCase(FToken->GetLexem(), text)) RaiseUnexpected();
  LexAn();
  LeaveEndedEntities();
}

void TLexAnalyzer::MatchTokens(int32_t token1, int32_t token2) {
  if (FToken->GetCode() != token1 && FToken->GetCode() != token2) RaiseUnexpected();
  LexAn();
  LeaveEndedEntities();
}

void TLexAnalyzer::RMatch(int32_t token) {
  if (FToken->GetCode() == token) {
    LexAn();
  } else if (FToken->GetCode() == tkPercent) {
    ParseReference();
    Match(token);
  } else {
    RaiseUnexpected();
  }
  LeaveEndedEntities();
}

void TLexAnalyzer::RMatchString(std::u16string_view text) {
  if (SameTextIgnoringCase(FToken->GetLexem(), text)) {
    LexAn();
  } else if (FToken->GetCode() == tkPercent) {
    ParseReference();
    MatchString(text);
  } else {
    RaiseUnexpected();
  }
  LeaveEndedEntities();
}

void TLexAnalyzer::RMatchTokens(int32_t token1, int32_t token2) {
  const int32_t code = FToken->GetCode();
  if (code == token1 || code == token2) {
    LexAn();
  } else if (code == tkPercent) {
    ParseReference();
    MatchTokens(token1, token2);
  } else {
    RaiseUnexpected();
  }
  LeaveEndedEntities();
}

bool TLexAnalyzer::EqualTokens(int32_t current, int32_t expected) {
  if (current == expected) return true;
  if (current != tkPercent) return false;
  ParseReference();
  return FToken->GetCode() == expected;
}

bool TLexAnalyzer::EqualStrings(std::u16string_view current, std::u16string_view expected) {
  if (XMLCompareText(current, expected) == 0) return true;
  if (current != u"%") return false;
  ParseReference();
  return XMLCompareText(FToken->GetLexem(), expected) == 0;
}

}  // namespace lumora
