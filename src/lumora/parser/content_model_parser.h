// Reads a content model (EMPTY, ANY, mixed content or a children
// expression) into a TKaContentModel tree. It runs inside the DTD parser,
// on its reading position right after the element name, or on its own over
// a text.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "lumora/lex/lex_analyzer.h"

namespace lumora {

class TKaContentModel;
class TKaXMLDocument;

class TContentModelParser : public TLexAnalyzer {
 public:
  explicit TContentModelParser(TComponent* AOwner) : TLexAnalyzer(AOwner) {}

  // Parses Text, which must hold one content model and nothing
  // after it; Model (emptied first) receives the tree. Raises
  // EKaOrvaneError when Text is not one.
  void ParseFromString(std::u16string_view Text, std::unique_ptr<TKaContentModel>& Model,
                       TKaXMLDocument* Document);
  // Reads the content model from State's position and gives the
  // model to the element declaration on top of State's stack. Stops before
  // the ">" of the declaration. The caller takes the state back with
  // GetAnalyzerState afterwards, also when this raises. Strictness and the
  // nesting bound are those of Document's parser unless set below.
  void SwitchParser(const TAnalyzerState& State, TKaXMLDocument* Document);

  // Keywords in their exact case, names compared exactly.
  void SetStrictSyntax(bool Strict) {
    FStrictSet = true;
    FStrictSyntax = Strict;
  }
  // Groups nest at most this deep.
  void SetMaxNestingDepth(int Depth) { FMaxDepth = Depth; }

  void LexAn() override;
  void Emit(int32_t Action, std::u16string_view Text) override;
  void MEmit(int32_t Action, std::u16string_view Text1, std::u16string_view Text2) override;

  void ParseContentModel();
  void ParseCMExp();
  void ParseCMSeq();

  // Action codes.
  static constexpr int32_t acLeaf = 17;       // MEmit(name, mark)
  static constexpr int32_t acKind = 20;       // Emit("EMPTY" | "ANY" | "#PCDATA" | "(")
  static constexpr int32_t acGroupEnd = 21;   // Emit(mark)
  static constexpr int32_t acDelimiter = 22;  // Emit("," | "|")

 private:
  // A group being read, with whether its delimiter is known yet: the token
  // after its first particle decides it.
  struct TOpenGroup {
    TKaContentModel* Group;
    bool DelimiterKnown = false;
  };

  // Settings from the document's parser, where not set explicitly.
  void TakeSettings(TKaXMLDocument* Document);
  // (#PCDATA ...), with "(" read and "#PCDATA" the current token.
  void ParseMixed();
  // The particles and nested groups of the group just opened, to its ")".
  void ParseGroups();
  // An optional "?", "*" or "+" right after a particle; "" when none.
  std::u16string_view ParseMark();

  bool FStrictSet = false;
  int FMaxDepth = 0;    // 0: the document's parser's, or the default
  int FDepthLimit = 0;  // the bound in force
  // The model being read, until it is complete: a declaration gets no
  // model at all from a model text that does not parse.
  std::unique_ptr<TKaContentModel> FRoot;
  std::vector<TOpenGroup> FOpen;
};

}  // namespace lumora
