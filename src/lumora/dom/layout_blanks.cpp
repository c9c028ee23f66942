#include "lumora/dom/layout_blanks.h"

#include "lumora/dom/character_data.h"
#include "lumora/dom/element.h"

namespace lumora {

void TLayoutBlanks::Open(TKaXMLElement& Element) {
  FLevels.push_back({&Element, FRuns.size(), FChars.size()});
}

bool TLayoutBlanks::Hold(TKaXMLElement& Element, std::u16string_view Text) {
  if (FLevels.empty() || FLevels.back().Element != &Element ||
      !TKaXMLElement::IsLayoutBlank(Text))
    return false;
  FRuns.push_back({Element.FNodeList.GetLast(), FChars.size(), Text.size()});
  FChars.append(Text);
  // The element learns of it when it ends (see Close): an element with much
  // content is long out of the cache by then.
  return true;
}

void TLayoutBlanks::Close(TKaXMLElement& Element) {
  if (FLevels.empty() || FLevels.back().Element != &Element) {
    Element.EndContent();
    return;
  }
  if (FRuns.size() > FLevels.back().FirstRun) Element.FFlags |= TKaXMLElement::kBlankText;
  if (Element.DropsLayoutBlanks())
    Element.DropBlankNodes();
  else
    Insert(FLevels.back());
  Pop();
}

void TLayoutBlanks::Flush() noexcept {
  try {
    while (!FLevels.empty()) {
      Insert(FLevels.back());
      Pop();
    }
  } catch (...) {
    // Out of memory while the parse is failing anyway: the white space is lost.
  }
  FLevels.clear();
  FRuns.clear();
  FChars.clear();
}

void TLayoutBlanks::Insert(const TLevel& level) {
  TKaXMLElement& element = *level.Element;
  TKaNodeList& list = element.FNodeList;
  TKaXMLNode* previousAfter = nullptr;
  TKaXMLNode* previousNode = nullptr;
  for (size_t i = level.FirstRun; i < FRuns.size(); ++i) {
    const TRun& run = FRuns[i];
    auto text = TKaXMLText::CreateText(std::u16string_view(FChars).substr(run.Start, run.Length),
                                       element.GetOwnerDocument());
    // Runs read one after another, with no node between them, follow each other.
    TKaXMLNode* after = previousNode && run.After == previousAfter ? previousNode : run.After;
    previousAfter = run.After;
    previousNode = after ? list.InsertAfter(std::move(text), after)
                         : list.InsertBefore(std::move(text), list.GetFirst());
  }
  if (FRuns.size() > level.FirstRun)
    element.FFlags |= TKaXMLElement::kBlankText | TKaXMLElement::kBlankNodes;
}

void TLayoutBlanks::Pop() {
  const TLevel& level = FLevels.back();
  FRuns.resize(level.FirstRun);
  FChars.resize(level.FirstChar);
  FLevels.pop_back();
}

}  // namespace lumora
