// Expansion of general entities in content and in attribute values.
//
// A reference to a declared parsed entity stands for the entity's stored
// value: in an attribute value that text is normalized in turn (see
// AppendResolvedReference); in content it is text when it holds no markup,
// and is parsed as content, in the document's own terms, when it does. Every
// expansion goes through the guard of the parse, which refuses cycles and
// bounds how deep expansions nest and how much they produce.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "lumora/dom/node.h"

namespace lumora {

class TKaCustomEntityDecl;
class TKaOrvane;
class TKaXMLElement;

// What the text of entities expanded to, kept while declarations cannot
// change (the content of one parse, or one change of a tree), so that each
// further reference copies the result instead of expanding the same text
// again: the nodes parsed from text with markup, and the text that text
// with references expands to. Nested parses share it through their parser.
// A copy counts against the guard what the first expansion counted.
class TParsedEntities {
 public:
  // Each node that markup in replacement text makes counts against the
  // parse's expansion budget as this many characters (about what it takes
  // in memory), so that a few references to a small element cannot fill the
  // memory with nodes.
  static constexpr int64_t kNodeCost = 64;

  struct TEntry {
    std::unique_ptr<TKaXMLElement> Holder;  // the nodes, under a free element
    int Depth = 0;                          // the elements open where it was parsed
    int64_t Produced = 0;                   // what the expansions inside it produced
    int64_t Nodes = 0;                      // how many nodes a copy makes
  };
  struct TText {
    std::u16string Text;
    int64_t Produced = 0;  // what the expansions inside it produced
  };
  // Text as content holds it, and as an attribute value does.
  enum class TForm { Content, AttributeValue };

  // What the text of an entity holds, as bits; found once per text.
  static constexpr uint8_t kMarkup = 1;     // '<'
  static constexpr uint8_t kReference = 2;  // '&'
  static constexpr uint8_t kControl = 4;    // tab, line feed, carriage return

  TParsedEntities();
  ~TParsedEntities();
  uint8_t KindOf(std::u16string_view Name, std::u16string_view Text);
  TEntry* Find(std::u16string_view Name);
  void Keep(std::u16string_view Name, TEntry Entry);
  const TText* FindText(TForm Form, std::u16string_view Name) const;
  void KeepText(TForm Form, std::u16string_view Name, TText Text);

 private:
  std::unordered_map<std::u16string, TEntry> FEntries;
  std::unordered_map<std::u16string, TText> FTexts[2];
  std::unordered_map<std::u16string, uint8_t> FKinds;
};

// Lends Parsed to Parser for as long as it lives, when Parser has none.
class TLentParsedEntities {
 public:
  TLentParsedEntities(TKaOrvane& Parser, TParsedEntities* Parsed);
  ~TLentParsedEntities();
  TLentParsedEntities(const TLentParsedEntities&) = delete;
  TLentParsedEntities& operator=(const TLentParsedEntities&) = delete;

 private:
  TKaOrvane& FParser;
  bool FLent = false;
};

// The entity declared under exactly Name whose text can be expanded: an
// internal one, or an external one whose text was read. Nil for none (an
// undeclared name, external text that was not read); raises Unparsed for
// an unparsed entity.
const TKaCustomEntityDecl* ExpandableEntity(const TKaXMLDocument* Doc, std::u16string_view Name,
                                            const char* UnparsedMessage);

// One expansion of the entity Name, whose text has Length characters, for as
// long as it lives: counted against the guard of the parse running. Outside
// a parse (in a tree being changed) the outermost expansion brings a parser
// of its own, with the document parser's settings, whose guard starts afresh
// and bounds the expansions nested in it. Raises EKaOrvaneError for a cycle,
// nesting too deep and a budget exceeded.
class TEntityExpansion {
 public:
  TEntityExpansion(TKaXMLDocument* Doc, std::u16string_view Name, size_t Length);
  ~TEntityExpansion();
  TEntityExpansion(const TEntityExpansion&) = delete;
  TEntityExpansion& operator=(const TEntityExpansion&) = delete;

 private:
  std::unique_ptr<TKaOrvane> FStandIn;  // outside a parse
  TKaOrvane* FRestored = nullptr;        // the document's parser meanwhile
  TKaXMLDocument* FDoc;
  int FDepth = 0;
};

// What text as written (references included) stands for in content: the
// text before the first node, then nodes in order (elements and the rest
// that entities with markup hold, entity-reference nodes for references
// kept as written, text nodes between them).
class TContentExpansion {
 public:
  // Without MakeNodes (text that belongs to no element) references that
  // would make nodes stay in the text as written.
  TContentExpansion(TKaXMLDocument* Doc, bool MakeNodes);
  ~TContentExpansion();

  void Append(std::u16string_view Written);
  std::u16string TakeLeading() { return std::move(FLeading); }
  // The nodes that follow the leading text; call once, after the last Append.
  std::vector<std::unique_ptr<TKaXMLNode>> TakeNodes();

 private:
  std::u16string& Current() { return FNodes.empty() ? FLeading : FTail; }
  void AddNode(std::unique_ptr<TKaXMLNode> Node);
  // The store of the parse, or one of this expansion's own.
  TParsedEntities& Parsed(TKaOrvane& Parser);
  TParsedEntities& Parsed();
  void AppendText(std::u16string_view Name, std::u16string_view Text, uint8_t Kind);
  void AppendMarkup(std::u16string_view Name, std::u16string_view Text);

  TKaXMLDocument* FDoc;
  bool FMakeNodes;
  std::unique_ptr<TParsedEntities> FParsed;  // when no outer expansion has one
  std::u16string FLeading;
  std::u16string FTail;  // text after the last node so far
  std::vector<std::unique_ptr<TKaXMLNode>> FNodes;
};

}  // namespace lumora
