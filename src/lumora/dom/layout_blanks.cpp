#include "lumora/dom/layout_blanks.h"

#include "lumora/dom/character_data.h"
#include "lumora/dom/element.h"

namespace lumora {

void TLayoutBlanks::Open(TKaXMLElement& Element) {
  if (!FLevels.empty()) FLevels.back().HasElement = true;
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
  const TLevel& level = FLevels.back();
  if (FRuns.size() > level.FirstRun) Element.FFlags |= TKaXMLElement::kBlankText;
  // DropsLayoutBlanks, without walking the list for a child element nor
  // up the tree for xml:space.
  if (Element.HoldsOnlyLayoutBlanks() && (level.HasElement || Element.HasChild()) &&
      !Preserves(FLevels.size() - 1))
    Element.DropBlankNodes();
  else
    Insert(FLevels.back());
  Pop();
}

bool TLayoutBlanks::Preserves(size_t index) {
  // An element's attributes are all read before its content, and those of
  // its ancestors before it: an answer, once known, holds until it closes.
  size_t i = index;
  int8_t space;
  for (;; --i) {
    const TLevel& level = FLevels[i];
    if (level.Space != kSpaceUnknown) {
      space = level.Space;
      break;
    }
    if (const int rule = level.Element->OwnSpaceRule(); rule >= 0) {
      space = static_cast<int8_t>(rule);
      break;
    }
    TKaXMLNode* parent = level.Element->GetParent();
    if (i == 0 || FLevels[i - 1].Element != parent) {
      // The parent is not open here (the content of an entity): ask it.
      const TKaXMLElement* element = TKaXMLElement::AsElement(parent);
      space = element && element->PreservesSpace() ? 1 : 0;
      break;
    }
  }
  for (size_t j = i; j <= index; ++j) FLevels[j].Space = space;
  return space == 1;
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
