// The DTD parser's lexer and productions. Its semantic actions, which make
// the declaration nodes, are in dtd_actions.cpp.
#include "lumora/parser/dtd_parser.h"

#include "lumora/dom/document.h"
#include "lumora/dtd/content_model.h"
#include "lumora/framework/sysutils.h"
#include "lumora/io/file_streams.h"
#include "lumora/io/orvane_error.h"
#include "lumora/parser/content_model_parser.h"
#include "lumora/parser/orvane.h"
#include "lumora/text/char_classes.h"
#include "lumora/text/wide_strings.h"

namespace lumora {
namespace {

bool IsKeyword(std::u16string_view text, std::u16string_view keyword) {
  return XMLCompareText(text, keyword) == 0;
}

}  // namespace

void TDTDParser::TakeSettings() {
  const TKaOrvane* parser = FDocument ? FDocument->GetParser() : nullptr;
  if (!FStrictSet) FStrictSyntax = parser && parser->GetStandardXML();
  if (!FGuard && parser) FGuard = parser->GetExpansionGuard();
}

void TDTDParser::ParseFromStream(TStream& Stream, TKaXMLDocument* Document) {
  FDocument = Document;
  FWholeDTD = true;
  TakeSettings();
  Init();
  // The guard may be the parse's, which goes on after an error here.
  const int depth = FGuard->GetDepth();
  try {
    FDocBuffer->InitExternal(Stream, FFileName);
    FInContent = FCharData = false;
    LexAn();
    ParseTextDecl();
    ParseDTDContent();
    // Whatever begins no declaration must not end the DTD unnoticed.
    if (FToken->GetCode() != tkEndOfFile) RaiseUnexpected();
  } catch (...) {
    FGuard->LeaveTo(depth);
    Finalize();
    throw;
  }
  Finalize();
}

void TDTDParser::ParseExternal(TStream& Stream, const std::string& Location,
                               TKaXMLDocument* Document) {
  FFileName = Location;
  FExternal = true;
  ParseFromStream(Stream, Document);
}

void TDTDParser::Parse(const std::string& FileName, TKaXMLDocument* Document) {
  FFileName = FileName;
  const auto stream = TXMLFileStream::OpenForReading(FileName);
  ParseFromStream(*stream, Document);
}

void TDTDParser::SwitchParser(const TAnalyzerState& State, TKaXMLDocument* Document) {
  FDocument = Document;
  SetAnalyzerState(State);
  TakeSettings();
  // XML has no place for a text declaration inside a document; the relaxed
  // grammar reads one, as it reads one before any DTD.
  if (!FStrictSyntax) ParseTextDecl();
  ParseDTDContent();
  // The declarations of an entity's text are complete in it: what is left
  // of it begins none.
  if (ReadingEntityText()) RaiseUnexpected();
}

void TDTDParser::Match(int32_t Token) {
  if (!FWholeDTD) return TLexAnalyzer::Match(Token);
  if (FToken->GetCode() != Token) RaiseUnexpected();
  LexAn();
  LeaveEndedEntities();
}

void TDTDParser::LexAn() {
  BeginToken();
  const int32_t previous = FPrevToken->GetCode();
  FSpaceBefore = false;
  for (;;) {
    FChar = FBuffer->GetChar();
    if (FPIData) return SetTokenInsert(SplitPIData(), tkText);
    if (previous == tkCommentStart) return SetTokenInsert(SplitComment(), tkText);
    if (FChar == u' ' || FChar == u'\t' || FChar == u'\r' || FChar == u'\n') {
      FSpaceBefore = true;
      MarkTokenStart();
      continue;
    }
    if (FChar == u'<') return SetTokenLookup(SplitSTag(), tkUnknownMarkup);
    if (FChar == u'-') {
      // A name token such as -1 begins with '-' as well as "-->" does.
      const char16_t c2 = FBuffer->GetChar();
      const char16_t c3 = FBuffer->GetChar();
      FBuffer->UnGetChars(2);
      if (c2 != u'-' || c3 != u'>') return SetTokenInsert(SplitName(), tkNmToken);
    }
    if (IsRightBracket(FChar)) return SetTokenClosing();
    if (FChar == u'#') {
      // The table holds the keyword in capitals, as it must be written.
      const std::u16string_view keyword = SplitPredefined();
      if (FStrictSyntax) {
        std::u16string capitals(keyword);
        for (char16_t& c : capitals) c = XMLUpCase(c);
        RequireExactKeyword(keyword, capitals);
      }
      return SetTokenLookup(keyword, tkUnknownMarkup);
    }
    if (FChar == u'"' || FChar == u'\'') return SetTokenInsert(SplitLiteral(), tkLiteral);
    if (IsNameChar(FChar))
      return SetTokenInsert(SplitName(), IsFirstNameChar(FChar) ? tkName : tkNmToken);
    if (FChar != 0) return SetTokenChar(FChar);
    return SetTokenEndOfFile();
  }
}

void TDTDParser::ParseDTDContent() {
  for (;;) {
    switch (FToken->GetCode()) {
      case tkCommentStart:
        ParseComment();
        break;
      case tkPIStart:
        ParsePI();
        break;
      case tkElementStart:
        ParseElDecl();
        break;
      case tkAttlistStart:
        ParseAttrDecl();
        break;
      case tkEntityStart:
        ParseEntityDecl();
        break;
      case tkNotationStart:
        ParseNotation();
        break;
      case tkPercent:
        ParseReference();
        break;
      case tkUnknownMarkup:
        if (FToken->GetLexem().substr(0, 3) != u"<![") return;
        ParseConditionalSect();
        break;
      default:
        return;
    }
  }
}

void TDTDParser::ParseConditionalSect() {
  if (FInternalSubset && !ReadingEntityText())
    RaiseError("Conditional sections are not allowed in the internal subset.");
  if (FSectionDepth >= kMaxSectionDepth)
    RaiseError(Format("Conditional sections are nested deeper than %d levels.", kMaxSectionDepth));
  // The characters after "<![" were read again: the keyword is the next token.
  Match(tkUnknownMarkup);
  // The keyword may stand in a parameter entity, the usual way to switch a
  // section on or off: <![ %draft; [.
  while (FToken->GetCode() == tkPercent) ParseReference();
  if (!EqualTokens(FToken->GetCode(), tkName)) RaiseUnexpected();
  const std::u16string keyword(FToken->GetLexem());
  const bool include = IsKeyword(keyword, u"INCLUDE");
  if (!include && !IsKeyword(keyword, u"IGNORE")) RaiseUnexpected();
  RequireExactKeyword(keyword, include ? u"INCLUDE" : u"IGNORE");
  if (include) {
    RMatch(tkName);
    if (FToken->GetCode() != '[') RaiseUnexpected();
    MatchString(u"[");
    ++FSectionDepth;
    ParseDTDContent();
    --FSectionDepth;
    Match(tkCDataEnd);
    return;
  }
  // What an ignored section holds is not read as tokens: it need not be
  // declarations at all.
  RMatch(tkName);
  if (FToken->GetCode() != '[') RaiseUnexpected();
  SkipIgnoredSection();
}

void TDTDParser::SkipIgnoredSection() {
  // The "[" is the current token; the buffer stands right after it.
  TInputBuffer* buffer = FBuffer;
  int open = 1;
  for (char16_t c = buffer->GetChar(); open > 0; c = buffer->GetChar()) {
    if (c == 0) RaiseError("Conditional section does not have a matching end.");
    if (c == u'<') {
      if (buffer->GetChar() == u'!') {
        if (buffer->GetChar() == u'[') {
          ++open;
          continue;
        }
        buffer->UnGetChar();
      }
      buffer->UnGetChar();
    } else if (c == u']') {
      if (buffer->GetChar() == u']') {
        if (buffer->GetChar() == u'>') {
          --open;
          if (open == 0) break;
          continue;
        }
        buffer->UnGetChar();
      }
      buffer->UnGetChar();
    }
  }
  // The token after the section; the end of an entity's text ends it too.
  LexAn();
  LeaveEndedEntities();
}

void TDTDParser::ParseElDecl() {
  Match(tkElementStart);
  RequireSpaceBefore();
  RMatch(tkName);
  Emit(acElementDecl, FPrevToken->GetLexem());
  RequireSpaceBefore();
  {
    TContentModelParser models(nullptr);
    models.SetStrictSyntax(FStrictSyntax);
    try {
      models.SwitchParser(GetAnalyzerState(), FDocument);
    } catch (...) {
      SetAnalyzerState(models.GetAnalyzerState());
      throw;
    }
    SetAnalyzerState(models.GetAnalyzerState());
  }
  Emit(acElementDecl, u"");
  // Parameter entities that stand for nothing may follow the model, as
  // DTDs use them for hooks: <!ELEMENT a (b)* %local.exclusion;>.
  while (FToken->GetCode() == tkPercent) ParseReference();
  Match(tkTagEnd);
}

void TDTDParser::ParseAttrDecl() {
  Match(tkAttlistStart);
  RequireSpaceBefore();
  RMatch(tkName);
  Emit(acAttList, FPrevToken->GetLexem());
  while (EqualTokens(FToken->GetCode(), tkName)) {
    RequireSpaceBefore();
    RMatch(tkName);
    Emit(acAttDef, FPrevToken->GetLexem());
    // A reference may stand for the type.
    EqualTokens(FToken->GetCode(), tkName);
    RequireSpaceBefore();
    Emit(acAttType, FToken->GetLexem());
    if (FToken->GetCode() == tkName) {
      if (EqualStrings(FToken->GetLexem(), u"NOTATION"))
        ParseNotationType();
      else
        RMatchString(FToken->GetLexem());
    } else {
      ParseEnumType();
    }
    const int32_t next = FToken->GetCode();
    if (next == tkRequired || next == tkImplied || next == tkFixed || next == tkLiteral)
      RequireSpaceBefore();
    switch (EqualTokens(FToken->GetCode(), tkRequired) ? tkRequired : FToken->GetCode()) {
      case tkRequired:
      case tkImplied:
        RequireExactKeyword(FToken->GetLexem(),
                            FToken->GetCode() == tkRequired ? u"#REQUIRED" : u"#IMPLIED");
        RMatch(FToken->GetCode());
        MEmit(acAttDef, FPrevToken->GetLexem(), u"");
        break;
      case tkFixed: {
        RequireExactKeyword(FToken->GetLexem(), u"#FIXED");
        RMatch(tkFixed);
        const std::u16string keyword(FPrevToken->GetLexem());
        if (FToken->GetCode() != tkPercent) RequireSpaceBefore();
        RMatch(tkLiteral);
        MEmit(acAttDef, keyword, FPrevToken->GetLexem());
        break;
      }
      case tkLiteral:
        RMatch(tkLiteral);
        MEmit(acAttDef, u"", FPrevToken->GetLexem());
        break;
      default:
        RaiseError("Attribute defaults required or incorrect.");
    }
  }
  Match(tkTagEnd);
  Emit(acAttListEnd, u"");
}

void TDTDParser::ParseEnumType() {
  MatchString(u"(");
  RMatchTokens(tkName, tkNmToken);
  Emit(acEnumValue, FPrevToken->GetLexem());
  while (EqualTokens(FToken->GetCode(), '|')) {
    RMatchString(u"|");
    RMatchTokens(tkName, tkNmToken);
    Emit(acEnumValue, FPrevToken->GetLexem());
  }
  RMatchString(u")");
}

void TDTDParser::ParseNotationType() {
  RequireExactKeyword(FToken->GetLexem(), u"NOTATION");
  RMatchString(u"NOTATION");
  RequireSpaceBefore();
  RMatchString(u"(");
  RMatch(tkName);
  Emit(acEnumValue, FPrevToken->GetLexem());
  while (EqualTokens(FToken->GetCode(), '|')) {
    RMatchString(u"|");
    RMatch(tkName);
    Emit(acEnumValue, FPrevToken->GetLexem());
  }
  RMatchString(u")");
}

void TDTDParser::ParseEntityDecl() {
  Match(tkEntityStart);
  RequireSpaceBefore();
  const bool parameter = FToken->GetCode() == tkPercent;
  if (parameter) {
    MatchString(u"%");
    RequireSpaceBefore();
  }
  RMatch(tkName);
  MEmit(acEntityDecl, FPrevToken->GetLexem(), parameter ? u"%" : u"");
  if (FToken->GetCode() == tkLiteral || FToken->GetCode() == tkName) RequireSpaceBefore();
  if (EqualTokens(FToken->GetCode(), tkLiteral)) {
    RMatch(tkLiteral);
    Emit(acEntityValue, FPrevToken->GetLexem());
  } else {
    if (!EqualTokens(FToken->GetCode(), tkName))
      RaiseError(
          Format("Illegal occurence of \"%s\".", WideToSystem(FToken->GetLexem())));
    // An entity's public identifier always comes with a system one.
    ParseExternalId(FStrictSyntax);
    if (EqualStrings(FToken->GetLexem(), u"NDATA")) {
      if (parameter) RaiseError("Illegal occurence of \"NDATA\"");
      RequireSpaceBefore();
      RequireExactKeyword(FToken->GetLexem(), u"NDATA");
      RMatchString(u"NDATA");
      RequireSpaceBefore();
      RMatch(tkName);
      Emit(acNData, FPrevToken->GetLexem());
    }
  }
  Match(tkTagEnd);
  Emit(acEntityEnd, u"");
}

void TDTDParser::ParseNotation() {
  Match(tkNotationStart);
  RequireSpaceBefore();
  RMatch(tkName);
  Emit(acNotation, FPrevToken->GetLexem());
  if (FToken->GetCode() == tkName) RequireSpaceBefore();
  ParseExternalId();
  Match(tkTagEnd);
  Emit(acNotation, u"");
}

}  // namespace lumora
