// White space that breaks the line, read between the tags of the elements
// the parser has open. Whether it is content or the layout of element
// content is known only when its element ends (see
// TKaXMLElement::EndContent), and in an indented document it is mostly
// layout: it waits here as characters instead of becoming text nodes that
// are made, linked, unlinked and destroyed again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lumora {

class TKaXMLElement;
class TKaXMLNode;

class TLayoutBlanks {
 public:
  // Element, just made by the parser, collects its white space here.
  void Open(TKaXMLElement& Element);
  // Text read in Element's content. White space that breaks the line waits
  // here when Element is the innermost element open; false when the caller
  // adds the text itself.
  bool Hold(TKaXMLElement& Element, std::u16string_view Text);
  // Element's content is complete: its white space is dropped or becomes
  // text nodes at the places it was read, as EndContent decides.
  void Close(TKaXMLElement& Element);
  // The parse stops early: all white space still waiting becomes text
  // nodes, so that the tree read so far is what it would have been.
  void Flush() noexcept;
  // The innermost element open here; nil when none is.
  TKaXMLElement* Innermost() const { return FLevels.empty() ? nullptr : FLevels.back().Element; }

 private:
  struct TRun {
    TKaXMLNode* After;  // the node before the run; nil at the list's start
    size_t Start;
    size_t Length;
  };
  struct TLevel {
    TKaXMLElement* Element;
    size_t FirstRun;
    size_t FirstChar;
    bool HasElement = false;  // a child element was opened here
    int8_t Space = kSpaceUnknown;  // whether xml:space preserves, once asked
  };
  static constexpr int8_t kSpaceUnknown = -1;
  // PreservesSpace of the element of FLevels[index], answered once per
  // level: the answers of the levels below it are reused.
  bool Preserves(size_t index);
  void Insert(const TLevel& level);
  void Pop();

  std::vector<TLevel> FLevels;
  std::vector<TRun> FRuns;
  std::u16string FChars;
};

}  // namespace lumora
