// The markup scanners and the grammar fragments of TLexAnalyzer.
//
// A scanner starts from FChar, the character LexAn has just read, reads the
// rest of its lexeme from FBuffer and pushes back what it read beyond it (at
// most six characters). Markup is built in FLexeme; names and texts are built
// where the symbol table holds them next, so that they become tokens without
// a copy. Both keep their storage from token to token.
#include <algorithm>
#include <string>

#include "lumora/dom/document.h"
#include "lumora/dtd/document_type.h"
#include "lumora/dtd/expansion_guard.h"
#include "lumora/dtd/name_lookup.h"
#include "lumora/dtd/references.h"
#include "lumora/io/orvane_error.h"
#include "lumora/framework/stream.h"
#include "lumora/framework/sysutils.h"
#include "lumora/lex/lex_analyzer.h"
#include "lumora/text/char_classes.h"
#include "lumora/text/wide_strings.h"

namespace lumora {
namespace {

// The characters that stand for themselves in text: tab, line feed, carriage
// return and the printable ASCII characters, but for one that ends the text.
TInputBuffer::TAsciiSet AsciiSetExcept(char16_t end) {
  TInputBuffer::TAsciiSet set{};
  set[u'\t'] = set[u'\n'] = set[u'\r'] = true;
  for (char16_t c = 0x20; c < 0x7F; ++c) set[c] = c != end;
  return set;
}

// The characters a literal's runs take: all but its quote, and the '&' of a
// reference, which the scanner notes.
TInputBuffer::TAsciiSet LiteralSet(char16_t quote) {
  TInputBuffer::TAsciiSet set = AsciiSetExcept(quote);
  set[u'&'] = false;
  return set;
}

// A lexeme for a message: look-aheads past the end of the data hold zeros.
std::string MessageText(std::u16string_view text) {
  const size_t zero = text.find(u'\0');
  return WideToSystem(zero == std::u16string_view::npos ? text : text.substr(0, zero));
}

bool SameKeyword(std::u16string_view text, std::u16string_view keyword) {
  return XMLCompareText(text, keyword) == 0;
}

// The characters of character data that the bulk loop leaves to the scanner:
// the '<' that ends it, the '&' of a reference and the '>' that may close a
// forbidden "]]>".
TInputBuffer::TRunSet CharDataSet() {
  TInputBuffer::TAsciiSet set = AsciiSetExcept(u'<');
  set[u'&'] = set[u'>'] = false;
  return {set, true};
}

// The ASCII characters that continue a name.
TInputBuffer::TAsciiSet NameSet() {
  TInputBuffer::TAsciiSet set{};
  for (char16_t c = 0; c < 128; ++c) set[c] = IsNameChar(c);
  return set;
}

}  // namespace

// The replacement text as bytes that an input buffer reads back unchanged:
// UTF-16 with its byte-order mark, whatever the document's encoding.
std::string ReplacementBytes(std::u16string_view text) {
  std::string bytes;
  bytes.reserve(2 + 2 * text.size());
  bytes.push_back(static_cast<char>(0xFF));
  bytes.push_back(static_cast<char>(0xFE));
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return bytes;
}

std::u16string_view TLexAnalyzer::SplitSTag() {
  if (FInContent) FCharData = false;
  // Most often a tag's name follows, which is read as a token of its own.
  const char16_t next = FBuffer->PeekAscii();
  if (StartsTagName(next)) return ScannedKeyword(markup::kTagStart);
  if (next == u'/') {
    FBuffer->GetChar();
    return ScannedKeyword(markup::kEndTagStart);
  }
  FLexeme.assign(1, u'<');
  const char16_t c = FBuffer->GetChar();
  if (c == u'!') {
    FLexeme.push_back(c);
    const char16_t c2 = FBuffer->GetChar();
    if (c2 == u'-') {
      if (FBuffer->GetChar() != u'-') {
        FLexeme.push_back(c2);
        RaiseError(Format("Wrong declaration (comment?): \"%s\".", MessageText(FLexeme)));
      }
      return ScannedKeyword(markup::kCommentStart);
    } else if (c2 == u'[') {
      char16_t section[9] = {u'<', u'!', u'['};
      for (int i = 3; i < 9; ++i) section[i] = FBuffer->GetChar();
      const std::u16string_view written(section, 9);
      // Written exactly as the keyword: nothing to check, nothing to look up.
      if (section[3] == u'C' && section[4] == u'D' && section[5] == u'A' && section[6] == u'T' &&
          section[7] == u'A' && section[8] == u'[')
        return ScannedKeyword(markup::kCDataStart);
      FLexeme.assign(written);
      // Anything but a CDATA section keeps the six characters in its lexeme
      // (which the table does not know) and reads them again.
      if (!SameKeyword(FLexeme, u"<![CDATA[")) {
        FBuffer->UnGetChars(6);
      } else {
        RequireExactKeyword(FLexeme, u"<![CDATA[");
      }
    } else {
      char16_t word[8] = {c2};
      for (int i = 1; i < 6; ++i) word[i] = FBuffer->GetChar();
      int length = 6;
      std::u16string_view keyword = u"ENTITY";
      if (!SameKeyword({word, 6}, keyword)) {
        word[length++] = FBuffer->GetChar();
        const std::u16string_view seven(word, 7);
        keyword = SameKeyword(seven, u"DOCTYPE")   ? u"DOCTYPE"
                  : SameKeyword(seven, u"ELEMENT") ? u"ELEMENT"
                  : SameKeyword(seven, u"ATTLIST") ? u"ATTLIST"
                                                   : u"NOTATION";
        if (keyword == u"NOTATION") {
          word[length++] = FBuffer->GetChar();
          if (!SameKeyword({word, 8}, keyword))
            RaiseError(Format("Wrong declaration: \"%s\".", MessageText(FLexeme)));
        }
      }
      RequireExactKeyword({word, static_cast<size_t>(length)}, keyword);
      FLexeme.append(word, static_cast<size_t>(length));
    }
  } else if (c == u'/') {
    FLexeme.push_back(c);
  } else if (c == u'?') {
    FLexeme.push_back(c);
    char16_t xml[3];
    for (char16_t& x : xml) x = FBuffer->GetChar();
    if (!SameKeyword({xml, 3}, u"xml")) {
      FBuffer->UnGetChars(3);
    } else {
      // "<?xml-stylesheet" and the like are processing instructions.
      const char16_t after = FBuffer->GetChar();
      if (IsNameChar(after)) {
        FBuffer->UnGetChars(4);
      } else {
        // The white space before the first pseudo-attribute stays consumed;
        // anything else is read again.
        if (!IsWhite(after)) FBuffer->UnGetChar();
        if (FStrictSyntax && std::u16string_view(xml, 3) != u"xml")
          RaiseError(
              Format("Processing instruction target \"%s\" is reserved.", MessageText({xml, 3})));
        FLexeme.append(xml, 3);
      }
    }
  } else {
    FBuffer->UnGetChar();
  }
  return FLexeme;
}

std::u16string_view TLexAnalyzer::SplitETag() {
  if (FInContent) FCharData = true;
  if (FChar == u'>') return ScannedKeyword(markup::kTagEnd);
  switch (FChar) {
    case u'-':
      if (FBuffer->GetChar() != u'-' || FBuffer->GetChar() != u'>')
        RaiseError("Illegal occurence of : \"--\".");
      return ScannedKeyword(markup::kCommentEnd);
    case u'/':
      if (FBuffer->GetChar() != u'>') RaiseError("Illegal occurence of : \"/\".");
      return ScannedKeyword(markup::kEmptyTagEnd);
    case u'?':
      if (FBuffer->GetChar() == u'>') return ScannedKeyword(markup::kPIEnd);
      FBuffer->UnGetChar();
      break;
    case u']':
      if (FBuffer->GetChar() == u']') {
        if (FBuffer->GetChar() != u'>') RaiseError("Illegal occurence of : \"]]\".");
        return ScannedKeyword(markup::kCDataEnd);
      }
      FBuffer->UnGetChar();
      break;
    default:
      break;
  }
  FLexeme.assign(1, FChar);
  return FLexeme;
}

std::u16string_view TLexAnalyzer::SplitCharData() {
  static const TInputBuffer::TRunSet kPlain = CharDataSet();
  TLexemeText& lexeme = FSymTab->NextHeld();
  lexeme.clear();
  FTextHasAmp = false;
  for (char16_t c = FChar;; c = FBuffer->GetChar()) {
    if (c == u'<') {
      FBuffer->UnGetChar();
      break;
    }
    if (c == u'&') {
      FTextHasAmp = true;
    } else if (c == u'>' && lexeme.size() >= 2 && lexeme[lexeme.size() - 1] == u']' &&
               lexeme[lexeme.size() - 2] == u']') {
      // Text holding "]]>" would be written back as the end of a section
      // that was never opened.
      RaiseError("\"]]>\" is not allowed in character data.");
    }
    if (c == 0) {
      // White space may end the document; other text may not, except
      // where the data is content on its own (an entity's text).
      if (!FTextMayEnd && !XMLTrim(lexeme).empty()) RaiseError("Unexpected end of file.");
      FBuffer->UnGetChar();
      break;
    }
    lexeme.push_back(c);
    FBuffer->ReadRun(lexeme, kPlain);
    if (FBuffer->PeekAscii() == u'<') break;
  }
  return lexeme;
}

std::u16string_view TLexAnalyzer::SplitCDSec() {
  static const TInputBuffer::TRunSet kPlain(AsciiSetExcept(u']'), true);
  TLexemeText& lexeme = FSymTab->NextHeld();
  lexeme.clear();
  for (char16_t c = FChar;; c = FBuffer->GetChar()) {
    if (c == 0) RaiseError("CDSection does not have a matching end-tag.");
    if (c == u']') {
      const char16_t c2 = FBuffer->GetChar();
      const char16_t c3 = FBuffer->GetChar();
      if (c2 == u']' && c3 == u'>') {
        // "]]>" is the next token.
        FBuffer->UnGetChars(3);
        break;
      }
      FBuffer->UnGetChars(2);
    }
    lexeme.push_back(c);
    FBuffer->ReadRun(lexeme, kPlain);
  }
  return lexeme;
}

std::u16string_view TLexAnalyzer::SplitComment() {
  static const TInputBuffer::TRunSet kPlain(AsciiSetExcept(u'-'), true);
  TLexemeText& lexeme = FSymTab->NextHeld();
  lexeme.clear();
  for (char16_t c = FChar;; c = FBuffer->GetChar()) {
    if (c == 0) RaiseError("Comment does not have a matching end-tag.");
    if (c == u'-') {
      if (FBuffer->GetChar() == u'-') {
        if (FBuffer->GetChar() != u'>') RaiseError("Comment contains wrong entry \"--\"");
        // "-->" is the next token.
        FBuffer->UnGetChars(3);
        break;
      }
      FBuffer->UnGetChar();
    }
    // The text is kept exactly as written, line breaks and blanks included.
    lexeme.push_back(c);
    FBuffer->ReadRun(lexeme, kPlain);
  }
  return lexeme;
}

std::u16string_view TLexAnalyzer::SplitPIData() {
  static const TInputBuffer::TRunSet kPlain(AsciiSetExcept(u'?'), true);
  TLexemeText& lexeme = FSymTab->NextHeld();
  lexeme.clear();
  char16_t c = FChar;
  if (FStrictSyntax && !IsWhite(c)) {
    bool closes = false;
    if (c == u'?') {
      closes = FBuffer->GetChar() == u'>';
      FBuffer->UnGetChar();
    }
    if (!closes)
      RaiseError(Format("White space required after the processing instruction target \"%s\".",
                        MessageText(FPrevToken->GetLexem())));
  }
  if (c == u' ') c = FBuffer->GetChar();
  for (;; c = FBuffer->GetChar()) {
    if (c == 0) RaiseError("PI does not have a matching end-tag.");
    if (c == u'?') {
      if (FBuffer->GetChar() == u'>') {
        // "?>" is the next token.
        FBuffer->UnGetChars(2);
        break;
      }
      FBuffer->UnGetChar();
    }
    lexeme.push_back(c);
    FBuffer->ReadRun(lexeme, kPlain);
  }
  return lexeme;
}

std::u16string_view TLexAnalyzer::SplitLiteral() {
  static const TInputBuffer::TRunSet kInDoubleQuotes(LiteralSet(u'"'), true);
  static const TInputBuffer::TRunSet kInSingleQuotes(LiteralSet(u'\''), true);
  const TInputBuffer::TRunSet& plain = FChar == u'"' ? kInDoubleQuotes : kInSingleQuotes;
  TLexemeText& lexeme = FSymTab->NextHeld();
  lexeme.clear();
  bool amp = false;
  for (;;) {
    FBuffer->ReadRun(lexeme, plain);
    const char16_t c = FBuffer->GetChar();
    if (c == FChar) break;
    if (c == 0) RaiseError("Unexpected end of file.");
    amp = amp || c == u'&';
    lexeme.push_back(c);
  }
  FLiteralWithoutAmp = amp ? nullptr : lexeme.data();
  return lexeme;
}

std::u16string_view TLexAnalyzer::SplitName() {
  static const TInputBuffer::TRunSet kNamePart = NameSet();
  TLexemeText& lexeme = FSymTab->NextHeld();
  lexeme.clear();
  lexeme.push_back(FChar);
  for (;;) {
    FBuffer->ReadRun(lexeme, kNamePart);
    // A run stops at a character that is no part of a name; only one
    // beyond ASCII needs to be read to tell.
    if (const char16_t next = FBuffer->PeekAscii(); next != 0 && !IsNameChar(next)) return lexeme;
    const char16_t c = FBuffer->GetChar();
    if (!IsNameChar(c)) break;
    lexeme.push_back(c);
  }
  FBuffer->UnGetChar();
  return lexeme;
}

std::u16string_view TLexAnalyzer::SplitPredefined() {
  FLexeme.assign(1, FChar);
  const char16_t c = FBuffer->GetChar();
  std::u16string_view keyword;
  switch (XMLUpCase(c)) {
    case u'F':
      keyword = u"#FIXED";
      break;
    case u'I':
      keyword = u"#IMPLIED";
      break;
    case u'P':
      keyword = u"#PCDATA";
      break;
    case u'R':
      keyword = u"#REQUIRED";
      break;
    default:
      RaiseError("Wrong declaration: \"#\".");
  }
  FLexeme.push_back(c);
  while (FLexeme.size() < keyword.size()) FLexeme.push_back(FBuffer->GetChar());
  if (!SameKeyword(FLexeme, keyword))
    RaiseError(Format("Unsupported keyword: \"%s\".", MessageText(FLexeme)));
  return FLexeme;
}

void TLexAnalyzer::ParseComment() {
  Match(tkCommentStart);
  Match(tkText);
  Emit(acComment, FPrevToken->GetLexem());
  Match(tkCommentEnd);
}

void TLexAnalyzer::RequireExactKeyword(std::u16string_view written, std::u16string_view keyword) {
  if (FStrictSyntax && written != keyword)
    RaiseError(Format("Keyword \"%s\" must be written \"%s\".", MessageText(written),
                      WideToSystem(keyword)));
}

void TLexAnalyzer::RequireSpaceBeforeSlow() {
  // "<?xml" takes the white space after it with it.
  if (FPrevToken->GetCode() != tkXMLDeclStart)
    RaiseError(Format("White space required before \"%s\".", MessageText(FToken->GetLexem())));
}

void TLexAnalyzer::RejectSpaceBeforeSlow() {
  RaiseError(Format("No white space allowed before \"%s\".", MessageText(FToken->GetLexem())));
}

void TLexAnalyzer::ParsePI() {
  Match(tkPIStart);
  if (FToken->GetCode() == tkName) RejectSpaceBefore();
  FPIData = true;
  Match(tkName);
  FPIData = false;
  const std::u16string_view target = FPrevToken->GetLexem();
  if (FStrictSyntax && !IsValidPIData(target))
    RaiseErrorAtPrevious(
        Format("Processing instruction target \"%s\" is reserved.", MessageText(target)));
  Match(tkText);
  MEmit(acPI, target, FPrevToken->GetLexem());
  Match(tkPIEnd);
}

void TLexAnalyzer::ParseExternalId(bool systemRequired) {
  const std::u16string_view keyword = FToken->GetLexem();
  if (SameKeyword(keyword, u"SYSTEM")) {
    RequireExactKeyword(keyword, u"SYSTEM");
    MatchString(u"SYSTEM");
    if (FToken->GetCode() == tkLiteral) RequireSpaceBefore();
    Match(tkLiteral);
    Emit(acSystemLiteral, FPrevToken->GetLexem());
  } else if (SameKeyword(keyword, u"PUBLIC")) {
    RequireExactKeyword(keyword, u"PUBLIC");
    MatchString(u"PUBLIC");
    if (FToken->GetCode() == tkLiteral) RequireSpaceBefore();
    Match(tkLiteral);
    if (FStrictSyntax) {
      for (const char16_t c : FPrevToken->GetLexem()) {
        if (!IsPubidChar(c))
          RaiseErrorAtPrevious(
              Format("Illegal character in the public identifier: \"%s\".", MessageText({&c, 1})));
      }
    }
    Emit(acPublicLiteral, FPrevToken->GetLexem());
    // The system literal is optional after a public one, but for where the
    // caller requires it.
    if (FToken->GetCode() == tkLiteral || systemRequired) {
      if (FToken->GetCode() == tkLiteral) RequireSpaceBefore();
      Match(tkLiteral);
      Emit(acSystemLiteral, FPrevToken->GetLexem());
    }
  } else {
    RaiseError(Format("Illegal occurence of \"%s\".", WideToSystem(keyword)));
  }
}

bool TLexAnalyzer::ParseAttribute(std::u16string_view name) {
  if (FToken->GetCode() != tkName) return false;
  // The start tag asks for whatever name comes: the token's own text.
  const std::u16string_view lexeme = FToken->GetLexem();
  const bool itself = lexeme.data() == name.data() && lexeme.size() == name.size();
  if (!itself && (FStrictSyntax ? lexeme != name : XMLCompareText(lexeme, name) != 0)) return false;
  RequireSpaceBefore();
  FAttributeLine = FLine;
  FAttributeColumn = GetColumnNumber();
  // The text of the name token lives in the symbol table until the parse ends.
  const std::u16string_view written = FToken->GetLexem();
  Match(tkName);
  Match(tkEquals);
  if (FToken->GetCode() != tkLiteral) RaiseError("Attribute value required or incorrect");
  Match(tkLiteral);
  MEmit(acPseudoAttribute, written, FPrevToken->GetLexem());
  return true;
}

void TLexAnalyzer::ParseTextDecl() {
  if (FToken->GetCode() != tkXMLDeclStart) return;
  Match(tkXMLDeclStart);
  if (ParseAttribute(u"version")) {
    const std::u16string_view version = FPrevToken->GetLexem();
    if (XMLTrim(version).empty())
      RaiseErrorAtPrevious("Version declaration: version number required");
    if (version != u"1.0")
      RaiseErrorAtPrevious(
          Format("Version declaration: version \"%s\" is not supported.", WideToSystem(version)));
  }
  if (!ParseAttribute(u"encoding")) RaiseError("Encoding declaration required");
  Match(tkPIEnd);
}

void TLexAnalyzer::ParseReference() {
  TSTEntry before;
  before.Copy(*FPrevToken);
  MatchString(u"%");
  Match(tkName);
  const std::u16string name(FPrevToken->GetLexem());
  const TKaDocumentType* doctype = FDocument ? FDocument->GetDocumentType() : nullptr;
  const TKaXMLNode* decl = doctype ? doctype->GetEntityDecl(name) : nullptr;
  if (!decl)
    RaiseErrorAtPrevious(
        Format("Can't retrieve parameter entity value. Entity \"%s\" is not declared.",
               WideToSystem(name)));
  if (FToken->GetLexem() != u";") RaiseUnexpected();

  // The value as it was declared: its character references were expanded
  // then, and what they gave is text, not markup to read again.
  const std::u16string& text = decl->GetValue();
  std::string bytes = ReplacementBytes(text);
  const auto blockSize = static_cast<int32_t>(
      std::clamp<size_t>(bytes.size(), 64, static_cast<size_t>(TInputBuffer::kBlockSize)));
  auto buffer = std::make_unique<TInputBuffer>(blockSize);
  buffer->SetNormalizeLineEnds(false);
  buffer->Init(std::make_unique<TStringStream>(std::move(bytes)));
  try {
    FGuard->Produce(static_cast<int64_t>(text.size()));
    FGuard->Enter(name, std::move(buffer));
  } catch (const EKaOrvaneError& e) {
    RaiseErrorAtPrevious(e.Message());
  }
  FBuffer = FGuard->GetTextBuffer();
  // The ";" is the current token still; this reads the first token of the text.
  MatchString(u";");
  FSpaceBefore = true;
  FPrevToken->Copy(before);
}

}  // namespace lumora
