#include "lumora/parser/content_model_parser.h"

#include <string>

#include "lumora/dom/document.h"
#include "lumora/dom/dom_exception.h"
#include "lumora/dtd/content_model.h"
#include "lumora/dtd/element_decl.h"
#include "lumora/framework/sysutils.h"
#include "lumora/parser/orvane.h"
#include "lumora/text/char_classes.h"
#include "lumora/text/conversions.h"
#include "lumora/text/wide_strings.h"

namespace lumora {
namespace {

uint8_t KindOf(std::u16string_view keyword) {
  if (XMLCompareText(keyword, u"EMPTY") == 0) return cmEmpty;
  if (XMLCompareText(keyword, u"ANY") == 0) return cmAny;
  if (XMLCompareText(keyword, u"#PCDATA") == 0) return cmMixed;
  return cmChildren;
}

uint8_t OccurrenceOf(std::u16string_view mark) {
  if (mark == u"?") return ocOptional;
  if (mark == u"*") return ocZeroOrMore;
  if (mark == u"+") return ocOneOrMore;
  return ocOnce;
}

}  // namespace

void TContentModelParser::ParseFromString(std::u16string_view Text,
                                          std::unique_ptr<TKaContentModel>& Model,
                                          TKaXMLDocument* Document) {
  FDocument = Document;
  Model.reset();
  FRoot.reset();
  FOpen.clear();
  TakeSettings(Document);
  Init();
  try {
    // The text goes to the buffer as UTF-16 behind its byte-order mark, so
    // that every character reads back as it is, whatever the document's
    // encoding.
    if (Text.find(u'\0') != std::u16string_view::npos)
      RaiseError("A content specification cannot hold the character U+0000.");
    FBuffer->Init(std::make_unique<TStringStream>("\xFF\xFE" +
                                                  UnicodeToShort(Text, UTF_16, boLittleEndian)));
    LexAn();
    ParseContentModel();
    // A name other than EMPTY or ANY makes no model; anything after the
    // model text is not part of it.
    if (FToken->GetCode() != tkEndOfFile) RaiseUnexpected();
  } catch (...) {
    Finalize();
    FRoot.reset();
    FOpen.clear();
    throw;
  }
  Finalize();
  Model = std::move(FRoot);
}

void TContentModelParser::SwitchParser(const TAnalyzerState& State, TKaXMLDocument* Document) {
  FDocument = Document;
  SetAnalyzerState(State);
  TakeSettings(Document);
  FRoot.reset();
  FOpen.clear();
  TKaXMLNode* head = FStack ? FStack->GetHead() : nullptr;
  ParseContentModel();
  // A declaration ignored by the DTD parser (a nil head) reads its model
  // all the same, and drops it.
  if (auto* decl = dynamic_cast<TKaElementDecl*>(head); decl && FRoot)
    decl->SetContentModel(std::move(FRoot));
  FRoot.reset();
}

void TContentModelParser::TakeSettings(TKaXMLDocument* Document) {
  const TKaOrvane* parser = Document ? Document->GetParser() : nullptr;
  if (!FStrictSet) FStrictSyntax = parser && parser->GetStandardXML();
  FDepthLimit = FMaxDepth > 0                                       ? FMaxDepth
                : parser && parser->GetMaxNestingDepth() > 0 ? parser->GetMaxNestingDepth()
                                                                    : kDefaultMaxNestingDepth;
}

void TContentModelParser::LexAn() {
  FSpaceBefore = false;
  BeginToken();
  for (;;) {
    FChar = FBuffer->GetChar();
    switch (FChar) {
      case u' ':
      case u'\t':
      case u'\r':
      case u'\n':
        FSpaceBefore = true;
        MarkTokenStart();
        continue;
      case u'>':
        return SetTokenLookup(u">", tkTagEnd);
      case u'#': {
        const std::u16string_view written = SplitPredefined();
        SetTokenLookup(written, tkUnknownMarkup);
        return RequireExactKeyword(written, FToken->GetLexem());
      }
      case 0:
        return SetTokenEndOfFile();
      default:
        break;
    }
    // Each name is the text as read, never an earlier entry of the table:
    // names of other case, comments and literals with the same text are
    // other tokens. A name character that cannot start a name ('-', '.', a
    // digit) starts a name token.
    if (IsNameChar(FChar))
      return SetTokenInsert(SplitName(), IsFirstNameChar(FChar) ? tkName : tkNmToken);
    return SetTokenChar(FChar);
  }
}

void TContentModelParser::Emit(int32_t Action, std::u16string_view Text) {
  switch (Action) {
    case acKind: {
      const uint8_t kind = KindOf(Text);
      if (!FRoot) {
        FRoot = TKaContentModel::CreateCM(kind, FDocument);
        if (kind == cmMixed || kind == cmChildren) FOpen.push_back({FRoot.get()});
      } else if (!FOpen.empty()) {
        if (static_cast<int>(FOpen.size()) >= FDepthLimit)
          RaiseErrorAtPrevious(
              Format("Content model groups nest deeper than %d levels.", FDepthLimit));
        FOpen.push_back(
            {FOpen.back().Group->AddContent(TKaContentModel::CreateCM(cmChildren, FDocument))});
      }
      break;
    }
    case acDelimiter:
      if (!FOpen.empty() && !Text.empty()) FOpen.back().Group->SetDelimiter(Text[0]);
      break;
    case acGroupEnd:
      if (!FOpen.empty()) {
        FOpen.back().Group->SetType(OccurrenceOf(Text));
        FOpen.pop_back();
      }
      break;
    default:
      break;
  }
}

void TContentModelParser::MEmit(int32_t Action, std::u16string_view Text1,
                                std::u16string_view Text2) {
  if (Action != acLeaf || FOpen.empty()) return;
  try {
    FOpen.back().Group->AddElement(Text1, OccurrenceOf(Text2));
  } catch (const EKaDOMException& e) {
    // A name given twice in mixed content: an error of the DTD's text,
    // reported where the name stands.
    RaiseErrorAtPrevious(e.Message());
  }
}

void TContentModelParser::ParseContentModel() {
  if (EqualTokens(FToken->GetCode(), tkName)) {
    const std::u16string_view word = FToken->GetLexem();
    std::u16string_view keyword;
    if (EqualStrings(word, u"EMPTY"))
      keyword = u"EMPTY";
    else if (EqualStrings(word, u"ANY"))
      keyword = u"ANY";
    else
      return;  // no model: the declaration's ">" is missing here
    RequireExactKeyword(word, keyword);
    RMatchString(keyword);
    Emit(acKind, keyword);
    return;
  }
  RMatchString(u"(");
  if (EqualTokens(FToken->GetCode(), tkPCData)) return ParseMixed();
  Emit(acKind, u"(");
  ParseGroups();
}

void TContentModelParser::ParseMixed() {
  RMatch(tkPCData);
  Emit(acKind, u"#PCDATA");
  bool names = false;
  while (EqualTokens(FToken->GetCode(), '|')) {
    RMatchString(u"|");
    Emit(acDelimiter, u"|");
    RMatch(tkName);
    // The table keeps names only for a while: the grammar copies.
    const std::u16string name(FPrevToken->GetLexem());
    MEmit(acLeaf, name, u"");
    names = true;
  }
  RMatchString(u")");
  Emit(acGroupEnd, u")");
  if (FToken->GetCode() == '*') {
    if (FStrictSyntax) RejectSpaceBefore();
    RMatchString(u"*");
  } else if (names && FStrictSyntax) {
    RaiseError("Mixed content that names element types must end with \")*\".");
  }
}

void TContentModelParser::ParseGroups() {
  bool particle = true;  // a particle is expected, else a delimiter or ")"
  while (!FOpen.empty()) {
    if (particle) {
      if (EqualTokens(FToken->GetCode(), tkName)) {
        RMatch(tkName);
        const std::u16string name(FPrevToken->GetLexem());
        MEmit(acLeaf, name, ParseMark());
        particle = false;
      } else if (EqualTokens(FToken->GetCode(), '(')) {
        RMatchString(u"(");
        Emit(acKind, u"(");
      } else {
        // "()" and "(,a)" read as groups with nothing where the particle
        // is missing, but for XML.
        if (FStrictSyntax) RaiseUnexpected();
        particle = false;
      }
      continue;
    }
    TOpenGroup& open = FOpen.back();
    if (!open.DelimiterKnown) {
      open.DelimiterKnown = true;
      // The comparison with ',' expands a reference standing here.
      const bool choice = EqualTokens(FToken->GetCode(), '|');
      if (!choice) EqualTokens(FToken->GetCode(), ',');
      open.Group->SetDelimiter(choice ? u'|' : u',');
    }
    const char16_t delimiter = open.Group->GetDelimiter();
    if (EqualTokens(FToken->GetCode(), delimiter)) {
      RMatchString({&delimiter, 1});
      Emit(acDelimiter, {&delimiter, 1});
      particle = true;
      continue;
    }
    // A group that mixes "," and "|" fails here, at the other delimiter.
    RMatchString(u")");
    Emit(acGroupEnd, ParseMark());
  }
}

std::u16string_view TContentModelParser::ParseMark() {
  for (const std::u16string_view mark : {u"?", u"*", u"+"}) {
    if (EqualTokens(FToken->GetCode(), mark[0])) {
      if (FStrictSyntax) RejectSpaceBefore();
      RMatchString(mark);
      return mark;
    }
  }
  return u"";
}

}  // namespace lumora
