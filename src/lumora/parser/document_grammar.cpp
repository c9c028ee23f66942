// The document grammar of TKaOrvane: its lexer, its matching operations, its
// semantic actions and the recursive-descent operations for the prolog, the
// document type declaration, elements and their content.
#include <algorithm>
#include <array>

#include "lumora/dom/document.h"
#include "lumora/dtd/document_type.h"
#include "lumora/dtd/expansion_guard.h"
#include "lumora/dtd/name_lookup.h"
#include "lumora/dtd/references.h"
#include "lumora/framework/sysutils.h"
#include "lumora/framework/utf8.h"
#include "lumora/io/orvane_error.h"
#include "lumora/parser/dtd_parser.h"
#include "lumora/parser/orvane.h"
#include "lumora/text/char_classes.h"
#include "lumora/text/wide_strings.h"

namespace lumora {
namespace {

// Semantic actions of the document grammar.
constexpr int32_t acElement = 1;
constexpr int32_t acText = 3;
constexpr int32_t acCData = 4;
constexpr int32_t acDocType = 12;
constexpr int32_t acEndElement = 15;

bool EndsMarkup(int32_t token) {
  return token == tkTagEnd || token == tkEmptyTagEnd || token == tkCommentEnd || token == tkPIEnd ||
         token == tkCDataEnd;
}

// EncName: a Latin letter, then Latin letters, digits, '.', '_' and '-'.
bool IsEncodingName(std::u16string_view name) {
  const auto letter = [](char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
  };
  if (name.empty() || !letter(name[0])) return false;
  for (const char16_t c : name.substr(1)) {
    if (!letter(c) && !(c >= u'0' && c <= u'9') && c != u'.' && c != u'_' && c != u'-')
      return false;
  }
  return true;
}

// What the framework's Trim would leave: anything above the space.
bool HasVisibleText(std::u16string_view text) {
  for (char16_t c : text) {
    if (c > u' ') return true;
  }
  return false;
}

// How the document's lexer goes on from the first character of a token
// outside character data, for the ASCII characters.
enum TLead : uint8_t {
  kOtherLead,
  kBlankLead,
  kMarkupLead,
  kClosingLead,
  kHashLead,
  kQuoteLead,
  kNameLead,
  kEndLead
};

// The class table is constant data: it is ready before this is made.
const std::array<TLead, 128> kLead = [] {
  std::array<TLead, 128> built{};
  for (char16_t c = 0; c < 128; ++c) {
    TLead lead = kOtherLead;
    if (c == 0)
      lead = kEndLead;
    else if (c == u' ' || c == u'\t' || c == u'\r' || c == u'\n')
      lead = kBlankLead;
    else if (c == u'<')
      lead = kMarkupLead;
    else if (IsRightBracket(c))
      lead = kClosingLead;
    else if (c == u'#')
      lead = kHashLead;
    else if (c == u'"' || c == u'\'')
      lead = kQuoteLead;
    else if (IsFirstNameChar(c))
      lead = kNameLead;
    built[c] = lead;
  }
  return built;
}();

// The text of the '=' token, which stands between every attribute's name
// and value.
constexpr char16_t kEqualsText[] = u"=";

}  // namespace

void TKaOrvane::LexAn() {
  BeginToken();
  const int32_t previous = FPrevToken->GetCode();
  FSpaceBefore = false;
  FChar = FBuffer->GetChar();
  // A processing instruction's data, a section's and a comment's text run
  // to their closing markup, whatever they hold.
  if (FPIData) return SetTokenHeld(SplitPIData(), tkText);
  if (previous == tkCDataStart) return SetTokenHeld(SplitCDSec(), tkText);
  if (previous == tkCommentStart) return SetTokenHeld(SplitComment(), tkText);
  if (FCharData) {
    if (FChar == u'<') {
      // Most markup in content is a start tag's '<' or an end tag's '</',
      // taken without a scan.
      const char16_t next = FBuffer->PeekAscii();
      if (StartsTagName(next)) {
        if (FInContent) FCharData = false;
        return FToken->SetText(tkTagStart, markup::kTagStart.Lexem, 1);
      }
      if (next == u'/') {
        FBuffer->GetChar();
        if (FInContent) FCharData = false;
        return FToken->SetText(tkEndTagStart, markup::kEndTagStart.Lexem, 2);
      }
      return SetTokenMarkup(SplitSTag());
    }
    // Characters above U+FFFF arrive as surrogate pairs and are data too.
    if ((IsDataChar(FChar) || IsHighSurrogate(FChar)) && EndsMarkup(previous))
      return SetTokenHeld(SplitCharData(), tkText);
    return LexContent(previous);
  }
  for (;; FChar = FBuffer->GetChar()) {
    if (FChar >= 128) {
      if (IsFirstNameChar(FChar)) return SetTokenHeld(SplitName(), tkName);
      return SetTokenChar(FChar);
    }
    // Tests in the order of their frequency in tags, where most tokens are
    // read: a well predicted branch each rather than one jump through a table.
    const TLead lead = kLead[FChar];
    if (lead == kNameLead) return SetTokenHeld(SplitName(), tkName);
    if (lead == kClosingLead) {
      // A tag's end, the most frequent, as SetTokenClosing takes it.
      if (FChar != u'>') return SetTokenClosing();
      if (FInContent) FCharData = true;
      return FToken->SetText(tkTagEnd, markup::kTagEnd.Lexem, 1);
    }
    if (lead == kBlankLead) {
      FSpaceBefore = true;
      MarkTokenStart();
      continue;
    }
    if (lead == kQuoteLead) return SetTokenHeld(SplitLiteral(), tkLiteral);
    switch (lead) {
      case kMarkupLead:
        return SetTokenMarkup(SplitSTag());
      case kHashLead:
        return SetTokenLookup(SplitPredefined(), tkUnknownMarkup);
      case kEndLead:
        return SetTokenEndOfFile();
      default:
        // The '=' of an attribute, as SetTokenChar takes it when the
        // character codes are the library's own.
        if (FChar == u'=' && XMLOrd == static_cast<TXMLOrdFunc>(UOrd))
          return FToken->SetText(tkEquals, kEqualsText, 1);
        return SetTokenChar(FChar);
    }
  }
}

void TKaOrvane::LexContent(int32_t previous) {
  // White space is character data here; it is passed over only where no
  // text may begin (a line feed after a token that closes no markup).
  for (;; FChar = FBuffer->GetChar()) {
    if (FChar == u'<') return SetTokenMarkup(SplitSTag());
    // Characters above U+FFFF arrive as surrogate pairs and are data too.
    if ((IsDataChar(FChar) || IsHighSurrogate(FChar)) && EndsMarkup(previous))
      return SetTokenHeld(SplitCharData(), tkText);
    if (IsRightBracket(FChar)) return SetTokenClosing();
    if (FChar == u'#') return SetTokenLookup(SplitPredefined(), tkUnknownMarkup);
    if (FChar == u'"' || FChar == u'\'') return SetTokenHeld(SplitLiteral(), tkLiteral);
    if (IsFirstNameChar(FChar)) return SetTokenHeld(SplitName(), tkName);
    if (FChar == u'\n') {
      FSpaceBefore = true;
      MarkTokenStart();
      continue;
    }
    if (FChar != 0) return SetTokenChar(FChar);
    return SetTokenEndOfFile();
  }
}

void TKaOrvane::CheckReferences(std::u16string_view text, bool inPreviousToken) {
  // An attribute's value that the lexer read without an '&' holds no reference.
  if (inPreviousToken && text.data() == FLiteralWithoutAmp) return;
  const int32_t line = inPreviousToken ? FPrevLine : FLine;
  const int32_t column = inPreviousToken ? GetPrevColumn() : GetColumnNumber();
  const size_t n = text.size();
  for (size_t amp = FindUnit(text, u'&'); amp != std::u16string_view::npos;) {
    size_t i = amp + 1;
    bool wellFormed;
    if (i < n && text[i] == u'#') {
      // The lenient grammar also takes "&#X..;", as the values' resolution does.
      int base = 10;
      if (++i < n && (text[i] == u'x' || (!FStrictSyntax && text[i] == u'X'))) {
        base = 16;
        ++i;
      }
      const size_t digits = i;
      uint32_t code = 0;
      for (int d; i < n && (d = DigitValue(text[i], base)) >= 0; ++i)
        code = std::min<uint32_t>(code * static_cast<uint32_t>(base) + static_cast<uint32_t>(d),
                                  0x110000);
      wellFormed = i > digits && i < n && text[i] == u';';
      // A reference to what is no character would be written back as a
      // character no parser reads: an error in either grammar.
      if (wellFormed && !IsXmlCharacter(static_cast<int32_t>(code)))
        RaiseErrorAt(Format("Character reference \"%s\" does not refer to a character.",
                            WideToSystem(text.substr(amp, i + 1 - amp))),
                     line, column);
    } else {
      if (i < n && IsFirstNameChar(text[i])) {
        while (++i < n && IsNameChar(text[i])) {
        }
      }
      wellFormed = i > amp + 1 && i < n && text[i] == u';';
      if (wellFormed && FStrictSyntax && !IsEntityDeclared(text.substr(amp + 1, i - amp - 1)))
        RaiseErrorAt(Format("Entity \"%s\" is not declared.",
                            WideToSystem(text.substr(amp + 1, i - amp - 1))),
                     line, column);
    }
    if (!wellFormed && FStrictSyntax)
      RaiseErrorAt(Format("Malformed reference \"%s\".",
                          WideToSystem(text.substr(amp, std::min<size_t>(i + 1, n) - amp))),
                   line, column);
    const size_t next = FindUnit(text.substr(amp + 1), u'&');
    amp = next == std::u16string_view::npos ? next : amp + 1 + next;
  }
}

bool TKaOrvane::IsEntityDeclared(std::u16string_view name) const {
  if (PredefinedEntityText(name)) return true;
  const TKaDocumentType* doctype = FDocument->GetDocumentType();
  // The lookup ignores case; entity names do not.
  if (const TKaXMLNode* decl = doctype ? doctype->GetEntityDecl(name) : nullptr;
      decl && decl->GetName() == name)
    return true;
  // Declarations this parser has not read (an external subset, or those a
  // parameter entity brings) may declare it; unless the document says it
  // stands alone, whether they do is a matter of validity, not of syntax.
  const bool unread = doctype && (!doctype->GetSystemLiteral().empty() || FSubsetHasPEReferences);
  return unread && !FDocument->GetStandalone();
}

// The document's matching operations never switch buffers: parameter
// entities are expanded only inside the DTD.
void TKaOrvane::Match(int32_t Token) {
  if (FToken->GetCode() != Token) RaiseUnexpected();
  LexAn();
}

void TKaOrvane::MatchString(std::u16string_view Text) {
  if (CompareText(WideToSystem(FToken->GetLexem()), WideToSystem(Text)) != 0) RaiseUnexpected();
  LexAn();
}

void TKaOrvane::MatchTokens(int32_t Token1, int32_t Token2) {
  if (FToken->GetCode() != Token1 && FToken->GetCode() != Token2) RaiseUnexpected();
  LexAn();
}

namespace {

// The node the parser is in as an element (nil for anything else). Most of
// the time it is the innermost element open, known without asking the node.
TKaXMLElement* AsElement(TKaXMLNode* head, const TLayoutBlanks& blanks) {
  TKaXMLElement* open = blanks.Innermost();
  if (head && head == open) return open;
  return head ? head->ToElement() : nullptr;
}

}  // namespace

void TKaOrvane::Emit(int32_t Action, std::u16string_view Text) {
  TKaXMLNode* head = FStack->GetHead();
  switch (Action) {
    case acElement: {
      if (FDepth >= FMaxNestingDepth)
        RaiseErrorAtPrevious(Format("Element nesting is deeper than %d levels.", FMaxNestingDepth));
      auto element = TKaXMLElement::CreateElement(Text, FDocument);
      TKaXMLElement* added;
      if (head) {
        TKaXMLElement* parent = AsElement(head, FBlanks);
        if (!parent)
          RaiseErrorAtPrevious(Format("Illegal occurence of \"%s\"", WideToSystem(Text)));
        added = static_cast<TKaXMLElement*>(parent->GetNodeList().AppendNew(std::move(element)));
      } else {
        added = FDocument->SetDocumentElement(std::move(element));
      }
      FStack->Push(added);
      // An entity's content ends without end tags: its white space stays text.
      if (FParserMode == 'd') FBlanks.Open(*added);
      ++FDepth;
      if (!FStartTagNames.empty()) FStartTagNames.clear();  // clearing costs even when empty
      break;
    }
    case acText:
      // White space waits until the element ends: only then is it known
      // whether it is content or the layout of element content.
      if (TKaXMLElement* parent = AsElement(head, FBlanks)) {
        if (FBlanks.Hold(*parent, Text)) break;
        try {
          parent->AppendWrittenText(Text);
        } catch (const EKaOrvaneError& e) {
          // The expansion of a reference in the text failed: the error is
          // the text's, with the line inside the entity when it has one.
          if (e.GetLine() > 0) throw;
          EKaOrvaneError placed = EKaOrvaneError::CreateWithExtFileName(e.Message(), FFileName,
                                                                        FPrevLine, e.GetExtLine());
          placed.SetColumn(GetPrevColumn());
          throw placed;
        }
      }
      break;
    case acCData:
      if (TKaXMLElement* parent = AsElement(head, FBlanks))
        parent->SetCData(TKaXMLCData::CreateCData(Text, FDocument));
      break;
    case acComment: {
      auto comment = TKaXMLComment::CreateComment(Text, FDocument);
      if (auto* container = (head ? head->ToContainer() : nullptr))
        container->SetComment(std::move(comment));
      else if (auto* doctype = dynamic_cast<TKaDocumentType*>(head))
        doctype->GetNodeList().AppendChild(std::move(comment));
      else
        FDocument->SetComment(std::move(comment));
      break;
    }
    case acDocType:
      if (Text.empty()) {
        FStack->Pop();
      } else if (TKaDocumentType* doctype = FDocument->GetDocumentType()) {
        doctype->SetName(Text);
        FStack->Push(doctype);
      } else {
        FStack->Push(FDocument->SetDocumentType(TKaDocumentType::CreateDTD(Text, FDocument)));
      }
      break;
    case acEndElement:
      if (TKaXMLElement* element = AsElement(head, FBlanks)) FBlanks.Close(*element);
      FStack->Pop();
      --FDepth;
      break;
    case acSystemLiteral:
      if (auto* doctype = dynamic_cast<TKaDocumentType*>(head)) doctype->StoreSystemLiteral(Text);
      break;
    case acPublicLiteral:
      if (auto* doctype = dynamic_cast<TKaDocumentType*>(head)) doctype->SetPublicLiteral(Text);
      break;
    default:
      break;
  }
}

void TKaOrvane::MEmit(int32_t Action, std::u16string_view Text1, std::u16string_view Text2) {
  TKaXMLNode* head = FStack->GetHead();
  switch (Action) {
    case acPseudoAttribute:
      if (TKaXMLElement* element = AsElement(head, FBlanks)) {
        AddParsedAttribute(*element, Text1, Text2);
      } else if (auto* container = (head ? head->ToContainer() : nullptr)) {
        container->FSetAttribute(Text1, Text2);
      } else if (!head && XMLCompareText(Text1, u"encoding") == 0) {
        if (FStrictSyntax && !IsEncodingName(Text2))
          RaiseErrorAtPrevious(
              Format("Encoding declaration: \"%s\" is not an encoding name.", WideToSystem(Text2)));
        const std::string name = WideToSystem(Text2);
        try {
          FDocument->SetEncoding(name);
        } catch (const EKaOrvaneError& e) {
          if (e.GetColumn() == 0) RaiseErrorAtPrevious(e.Message());
          throw;
        }
        FBuffer->DeclareEncoding(name);
      } else if (!head) {
        FDocument->FSetAttribute(Text1, Text2);
      }
      break;
    case acPI: {
      auto pi = TKaXMLPi::CreatePI(Text1, Text2, FDocument);
      if (auto* container = (head ? head->ToContainer() : nullptr))
        container->SetPI(std::move(pi));
      else if (auto* doctype = dynamic_cast<TKaDocumentType*>(head))
        doctype->GetNodeList().AppendChild(std::move(pi));
      else
        FDocument->SetPI(std::move(pi));
      break;
    }
    default:
      break;
  }
}

void TKaOrvane::AddParsedAttribute(TKaXMLElement& element, std::u16string_view name,
                                   std::u16string_view value) {
  // Names are compared exactly, as XML does: x and X are two attributes, and
  // neither may take the other's place. A short list is walked; a long one
  // is looked up, so that a tag with thousands of attributes stays linear.
  constexpr int kWalkedAttributes = 8;
  int count = 0;
  bool repeated = false;
  for (TKaXMLNode* a = element.GetNodeList().GetRoot(ATTRIBUTE_NODE); a && !repeated;
       a = a->NextSibling()) {
    if (++count > kWalkedAttributes) break;
    repeated = a->GetName() == name;
  }
  if (count > kWalkedAttributes) {
    if (FStartTagNames.empty()) {
      for (TKaXMLNode* a = element.GetNodeList().GetRoot(ATTRIBUTE_NODE); a; a = a->NextSibling())
        FStartTagNames.emplace(a->GetName());
    }
    repeated = !FStartTagNames.emplace(name).second;
  }
  if (repeated)
    RaiseErrorAt(Format("Attribute \"%s\" is specified more than once.", WideToSystem(name)),
                 FAttributeLine, FAttributeColumn);
  CheckReferences(value, true);
  std::unique_ptr<TKaXMLAttr> attribute;
  try {
    attribute = MakeNode<TKaXMLAttr>(FDocument, name, value, FDocument, false);
  } catch (const EKaOrvaneError& e) {
    // The value's normalization knows no position: that of the value.
    if (e.GetColumn() == 0) RaiseErrorAtPrevious(e.Message());
    throw;
  }
  attribute->SetPosition(FAttributeLine, FAttributeColumn);
  element.GetNodeList().AppendNew(std::move(attribute));
}

void TKaOrvane::ParseProlog() {
  ParseXMLDecl();
  ParseMisc();
  ParseDTDStag();
}

void TKaOrvane::ParseXMLDecl() {
  if (FToken->GetCode() != tkXMLDeclStart) return;
  Match(tkXMLDeclStart);
  if (!ParseAttribute(u"version")) RaiseError("XML declaration: version declaration required");
  const std::u16string version(FPrevToken->GetLexem());
  if (XMLTrim(version).empty())
    RaiseErrorAtPrevious("Version declaration: version number required");
  if (version != u"1.0")
    RaiseErrorAtPrevious(
        Format("Version declaration: version \"%s\" is not supported.", WideToSystem(version)));
  if (FStandardXML) {
    ParseAttribute(u"encoding");
    if (ParseAttribute(u"standalone")) {
      const std::u16string_view value = FPrevToken->GetLexem();
      if (value != u"yes" && value != u"no")
        RaiseErrorAtPrevious("Standalone declaration: incorrect attribute value");
    }
  } else {
    // The lexeme lives in the symbol table until the parse ends.
    while (ParseAttribute(FToken->GetLexem())) {
    }
  }
  Match(tkPIEnd);
}

void TKaOrvane::ParseMisc() {
  for (;;) {
    if (FToken->GetCode() == tkCommentStart)
      ParseComment();
    else if (FToken->GetCode() == tkPIStart)
      ParsePI();
    else
      return;
  }
}

void TKaOrvane::ParseEpilog() {
  for (;;) {
    ParseMisc();
    const int32_t code = FToken->GetCode();
    if (code == tkEndOfFile) return;
    if (code == tkText && !HasVisibleText(FToken->GetLexem())) {
      Match(tkText);
      continue;
    }
    RaiseUnexpected();
  }
}

void TKaOrvane::ParseDTDStag() {
  if (FToken->GetCode() != tkDocTypeStart) return;
  Match(tkDocTypeStart);
  if (FToken->GetCode() == tkName) RequireSpaceBefore();
  Match(tkName);
  Emit(acDocType, FPrevToken->GetLexem());
  if (FToken->GetCode() == tkName) {
    RequireSpaceBefore();
    // A document's public identifier always comes with a system one.
    ParseExternalId(FStrictSyntax);
  }
  if (FToken->GetCode() == '[') {
    MatchString(u"[");
    ParseInternalSubset();
    MatchString(u"]");
  }
  // The external subset is read after the internal one, so that the
  // internal subset's declarations bind first and its parameter entities
  // reach the external subset.
  if (TKaDocumentType* doctype = FDocument->GetDocumentType();
      doctype && !doctype->GetSystemLiteral().empty())
    doctype->Retrieve();
  Emit(acDocType, u"");
  Match(tkTagEnd);
  ParseMisc();
}

void TKaOrvane::ParseInternalSubset() {
  // The DTD parser reads on from this parser's position and hands it back.
  TDTDParser dtd(nullptr);
  dtd.SetStrictSyntax(FStrictSyntax);
  dtd.SetInternalSubset(true);
  const int64_t expanded = FGuard->GetExpansions();
  try {
    dtd.SwitchParser(GetAnalyzerState(), FDocument);
  } catch (...) {
    SetAnalyzerState(dtd.GetAnalyzerState());
    throw;
  }
  SetAnalyzerState(dtd.GetAnalyzerState());
  if (FGuard->GetExpansions() > expanded) FSubsetHasPEReferences = true;
}

void TKaOrvane::ParseElement() {
  if (ParseStartTag()) ParseContent(1);
}

bool TKaOrvane::ParseStartTag() {
  Match(tkTagStart);
  const int32_t line = FPrevLine, column = GetPrevColumn();
  RejectSpaceBefore();
  Match(tkName);
  Emit(acElement, FPrevToken->GetLexem());
  TKaXMLElement& element = *FStack->GetHead()->ToElement();
  element.SetPosition(line, column);
  while (ParseAttribute(FToken->GetLexem())) {
  }
  ApplyAttributeDeclarations(element);
  if (FToken->GetCode() == tkEmptyTagEnd) {
    Match(tkEmptyTagEnd);
    Emit(acEndElement, u"");
    return false;
  }
  if (FToken->GetCode() != tkTagEnd)
    RaiseError(Format("Illegal occurence of \"%s\"", WideToSystem(FToken->GetLexem())));
  Match(tkTagEnd);
  return true;
}

void TKaOrvane::ParseEndTag() {
  // The element being closed is the head of the stack until acEndElement.
  const std::u16string& name = FStack->GetHead()->ToElement()->GetName();
  Match(tkEndTagStart);
  RejectSpaceBefore();
  if (FToken->GetCode() == tkName || FStandardXML) {
    Match(tkName);
    // Equal names match under any comparison; only others need it.
    if (!SameName(name, FPrevToken->GetLexem()) && XMLCompareStr(name, FPrevToken->GetLexem()) != 0)
      RaiseErrorAtPrevious(Format("Start-tag name \"%s\" does not match end-tag name \"%s\"",
                                  WideToSystem(name), WideToSystem(FPrevToken->GetLexem())));
  }
  Emit(acEndElement, u"");
  Match(tkTagEnd);
}

void TKaOrvane::ParseCDSec() {
  if (FToken->GetCode() != tkCDataStart) return;
  Match(tkCDataStart);
  Match(tkText);
  Emit(acCData, FPrevToken->GetLexem());
  Match(tkCDataEnd);
}

void TKaOrvane::ParseElCont() {
  ParseContent(0);
}

void TKaOrvane::ParseContent(int open) {
  // Elements nest without recursion, so that the depth of a document is
  // bounded by the nesting limit and not by the stack: open counts the
  // elements this loop has open, whose end tags it reads too.
  const bool untilClosed = open > 0;
  for (;;) {
    switch (FToken->GetCode()) {
      case tkCommentStart:
        ParseComment();
        break;
      case tkPIStart:
        ParsePI();
        break;
      case tkCDataStart:
        ParseCDSec();
        break;
      case tkTagStart:
        if (ParseStartTag()) ++open;
        break;
      case tkText:
        if (FTextHasAmp) CheckReferences(FToken->GetLexem(), false);
        Match(tkText);
        Emit(acText, FPrevToken->GetLexem());
        break;
      default:
        if (open == 0) return;
        ParseEndTag();
        if (--open == 0 && untilClosed) return;
    }
  }
}

}  // namespace lumora
