#include "lumora/parser/content_model_parser.h"

#include "lumora/dtd/content_model.h"

namespace lumora {

void TContentModelParser::ParseFromString(std::u16string_view, std::unique_ptr<TKaContentModel>& Model,
                                          TKaXMLDocument* Document) {
  FDocument = Document;
  Model.reset();
}

void TContentModelParser::SwitchParser(const TAnalyzerState& State, TKaXMLDocument* Document) {
  FDocument = Document;
  SetAnalyzerState(State);
  TakeSettings(Document);
  ParseContentModel();
}

void TContentModelParser::TakeSettings(TKaXMLDocument*) {}

void TContentModelParser::LexAn() {}
void TContentModelParser::Emit(int32_t, std::u16string_view) {}
void TContentModelParser::MEmit(int32_t, std::u16string_view, std::u16string_view) {}
void TContentModelParser::ParseContentModel() {}
void TContentModelParser::ParseCMExp() {}
void TContentModelParser::ParseCMSeq() {}

}  // namespace lumora
