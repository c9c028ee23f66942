// Decides whether the child elements of an element follow a content model.
//
// A model compiles once into a position automaton: one state per leaf of the
// model (its position) and a start state, each with the positions that may
// come right after it. Those follow sets are unions of a few shared sets, so
// a repeated choice of n names costs n entries rather than n * n. A run keeps the set of states that the children read
// so far can lead to, so every way of reading the model is followed at once:
// (a*,a) accepts "a a" and (a|b) refuses "a b", in one pass over the
// children without backtracking.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lumora {

class TKaContentModel;
class TKaNodeList;
class TKaXMLNode;

class TContentModelAutomaton {
 public:
  // Compiles the tree below Top. Leaf names compare exactly when Exact,
  // otherwise ASCII letters compare without case. A model whose automaton
  // would outgrow the bounds below is not compiled (see IsCompiled).
  TContentModelAutomaton(const TKaContentModel& Top, bool Exact);

  // At most this many leaves in one model.
  static constexpr size_t kMaxPositions = size_t{1} << 20;
  // The work of compiling, and so the size of the automaton (linear in the
  // leaves for ordinary models, quadratic at worst: (a?,b?,c?,...)), is
  // bounded by kBaseBudget plus kBudgetPerPosition for each leaf.
  // A step of a run costs at most that size too.
  static constexpr size_t kBaseBudget = size_t{1} << 16;
  static constexpr size_t kBudgetPerPosition = 16;

  bool IsExact() const { return FExact; }
  // False for a model too large to check: Match then refuses everything.
  bool IsCompiled() const { return FCompiled; }
  // Whether some leaf of the model names an element called Name.
  bool Names(std::u16string_view Name) const { return Symbol(Name) != kNoSymbol; }
  // Whether the elements of List, in order, form a sequence the model
  // allows; the list's other nodes (attributes, text, comments, ...) are
  // passed over.
  bool Match(const TKaNodeList& List) const;

 private:
  struct TScratch;

 public:
  // One pass of the automaton over a sequence of element names, for callers
  // that look at the other nodes of the list on the same pass. One run at a
  // time per thread: runs share their working sets.
  class TRun {
   public:
    explicit TRun(const TContentModelAutomaton& Automaton);
    // Reads the next element; false (for good) once the elements read so
    // far begin no sequence the model allows.
    bool Step(std::u16string_view Name);
    // Whether the elements read so far form a whole sequence of the model.
    bool Accepted() const;

   private:
    const TContentModelAutomaton& FAutomaton;
    TScratch& FScratch;  // this thread's working sets
    bool FFailed;
  };

 private:
  static constexpr uint32_t kNoSymbol = UINT32_MAX;
  // In FSingleStep: no state follows, or more than one does.
  static constexpr uint32_t kNoStep = UINT32_MAX, kSeveralSteps = UINT32_MAX - 1;
  static constexpr size_t kMaxSingleSteps = 4096;
  static TScratch& ThreadScratch();
  static constexpr size_t kComparedNames = 8;
  // The index of Name in FNames, or kNoSymbol.
  uint32_t Symbol(std::u16string_view Name) const;
  // The same for a name already folded when names compare without case.
  uint32_t SymbolOf(std::u16string_view Key) const;
  void Compile(const TKaContentModel& Top);
  void CompileSingleSteps();

  bool FExact;
  bool FCompiled = false;
  // The distinct leaf names (folded unless exact), sorted: a name's index is
  // its symbol.
  std::vector<std::u16string> FNames;
  size_t FLongestName = 0;
  // Per position (0 is the start state): the symbol of its leaf and whether
  // a sequence may end there.
  std::vector<uint32_t> FSymbolOf;
  std::vector<uint8_t> FAccepting;
  // The sets of positions that follow others, each sorted by symbol so that
  // its positions of one symbol are a contiguous run: set i is
  // FSets[FSetStart[i] .. FSetStart[i + 1]).
  std::vector<uint32_t> FSetStart, FSets;
  // The follow set of state s is the union of the sets
  // FFollow[FFollowStart[s] .. FFollowStart[s + 1]).
  std::vector<uint32_t> FFollowStart, FFollow;
  // For small models: FSingleStep[state * symbols + symbol] is the one state
  // that state goes to by symbol, or kNoStep, or kSeveralSteps; empty for
  // larger models.
  std::vector<uint32_t> FSingleStep;
};

// The matcher's entry point for a model and a list of nodes.
class TContentModelAnalyzer {
 public:
  // Whether the child elements in List match the model whose top node is
  // Top. The automaton cached on Top's element declaration is used when Top
  // is that declaration's model; any other model is compiled for this call.
  bool MatchContentModel(const TKaNodeList& List, const TKaContentModel& Top);
};

}  // namespace lumora
