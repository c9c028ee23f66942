#include "lumora/parser/external_text.h"

#include "lumora/dom/document.h"
#include "lumora/parser/dtd_parser.h"
#include "lumora/parser/orvane.h"

namespace lumora {
namespace {

// Reads a text declaration with the DTD parser's lexer and stops right
// after its "?>": what follows is content, not tokens of a DTD.
class TTextDeclReader final : public TDTDParser {
 public:
  TTextDeclReader() : TDTDParser(nullptr) {}

  std::u16string Read(TStream& Stream, const std::string& Location, TKaXMLDocument* Document) {
    SetFileName(Location);
    SetDocument(Document);
    const bool strict = Document && Document->GetParser() && Document->GetParser()->GetStandardXML();
    SetStrictSyntax(strict);
    Init();
    std::u16string text;
    try {
      FDocBuffer->InitExternal(Stream, Location);
      if (StartsWithTextDecl()) {
        LexAn();
        ParseTextDecl();
      }
      for (char16_t c = FDocBuffer->GetChar(); c != 0; c = FDocBuffer->GetChar()) text.push_back(c);
    } catch (...) {
      Finalize();
      throw;
    }
    Finalize();
    return text;
  }

  void Match(int32_t Token) override {
    if (Token != tkPIEnd) return TDTDParser::Match(Token);
    if (FToken->GetCode() != tkPIEnd) RaiseUnexpected();
  }

 private:
  // "<?xml" and white space: a processing instruction named otherwise
  // (xml-stylesheet, say) is content.
  bool StartsWithTextDecl() {
    const std::u16string head = FDocBuffer->GetChars(6);
    FDocBuffer->UnGetChars(6);
    return head.starts_with(u"<?xml") &&
           (head[5] == u' ' || head[5] == u'\t' || head[5] == u'\n' || head[5] == u'\r');
  }
};

}  // namespace

std::u16string ReadExternalText(TStream& Stream, const std::string& Location,
                                TKaXMLDocument* Document) {
  TTextDeclReader reader;
  return reader.Read(Stream, Location, Document);
}

}  // namespace lumora
