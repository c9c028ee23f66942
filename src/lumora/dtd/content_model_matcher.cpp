#include "lumora/dtd/content_model_matcher.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "lumora/dom/node_list.h"
#include "lumora/dtd/content_model.h"
#include "lumora/dtd/document_type.h"
#include "lumora/dtd/element_decl.h"
#include "lumora/dtd/name_lookup.h"

namespace lumora {
namespace {

// What a finished subtree of the model contributes to its parent: whether
// it can match nothing at all, the positions it can start and end with.
// Positions of different subtrees never overlap, so unions are appends.
struct TPart {
  bool Nullable = true;
  std::vector<uint32_t> First, Last;
};

void Append(std::vector<uint32_t>& to, const std::vector<uint32_t>& from) {
  to.insert(to.end(), from.begin(), from.end());
}

// A group being compiled: its parts so far, combined as its children finish.
struct TFrame {
  const TKaContentModel* Node;
  const TKaXMLNode* NextChild;
  TPart Acc;
  bool HasChild = false;
};

}  // namespace

TContentModelAutomaton::TContentModelAutomaton(const TKaContentModel& Top, bool Exact)
    : FExact(Exact) {
  Compile(Top);
}

void TContentModelAutomaton::Compile(const TKaContentModel& Top) {
  std::vector<std::u16string> keys{u""};  // the leaf name of each position
  // The follow set of each position as the sets of positions it is made
  // of: a set that follows many positions (the leaves of a repeated choice,
  // say) is kept once.
  std::vector<std::vector<uint32_t>> follow(1);
  std::vector<std::vector<uint32_t>> sets;
  size_t work = 0;
  bool overflow = false;
  // Charges n steps of work; false once the budget is spent.
  auto charge = [&](size_t n) {
    work += n;
    const size_t budget = kBaseBudget + kBudgetPerPosition * keys.size();
    if (work > budget || keys.size() > kMaxPositions) overflow = true;
    return !overflow;
  };
  // Every position of last is followed by every one of first.
  auto link = [&](const std::vector<uint32_t>& last, const std::vector<uint32_t>& first) {
    if (last.empty() || first.empty() || !charge(last.size() + first.size())) return;
    const auto set = static_cast<uint32_t>(sets.size());
    sets.push_back(first);
    for (uint32_t p : last) follow[p].push_back(set);
  };

  // The occurrence of node applied to the part it matches once.
  auto repeat = [&](const TKaContentModel& node, TPart& part) {
    switch (node.GetOccurrence()) {
      case ocOptional:
        part.Nullable = true;
        break;
      case ocZeroOrMore:
        part.Nullable = true;
        link(part.Last, part.First);
        break;
      case ocOneOrMore:
        link(part.Last, part.First);
        break;
      default:
        break;
    }
  };
  // What a group makes of the part of its next child.
  auto combine = [&](TFrame& frame, TPart&& part) {
    if (!charge(part.First.size() + part.Last.size())) return;
    TPart& acc = frame.Acc;
    if (!frame.HasChild) {
      frame.HasChild = true;
      acc = std::move(part);
      return;
    }
    if (frame.Node->GetDelimiter() == u'|') {
      acc.Nullable = acc.Nullable || part.Nullable;
      Append(acc.First, part.First);
      Append(acc.Last, part.Last);
      return;
    }
    link(acc.Last, part.First);
    if (acc.Nullable) Append(acc.First, part.First);
    if (part.Nullable)
      Append(acc.Last, part.Last);
    else
      acc.Last = std::move(part.Last);
    acc.Nullable = acc.Nullable && part.Nullable;
  };
  // The part of a leaf, or nil for a group, which is pushed instead.
  std::vector<TFrame> open;
  auto enter = [&](const TKaContentModel& node) -> std::unique_ptr<TPart> {
    if (!node.GetName().empty()) {
      auto part = std::make_unique<TPart>();
      part->Nullable = false;
      const auto p = static_cast<uint32_t>(keys.size());
      keys.push_back(FExact ? node.GetName() : FoldedName(node.GetName()));
      follow.emplace_back();
      charge(1);
      part->First.push_back(p);
      part->Last.push_back(p);
      repeat(node, *part);
      return part;
    }
    const char16_t delimiter = node.GetDelimiter();
    if (delimiter != u',' && delimiter != u'|') {
      // A group of no known kind matches nothing; its occurrence can still
      // make it optional.
      auto part = std::make_unique<TPart>();
      part->Nullable = false;
      repeat(node, *part);
      return part;
    }
    open.push_back({&node, node.GetChildList().GetFirst(), {}, false});
    return nullptr;
  };

  TPart top;
  auto finish = [&](TPart&& part) {
    if (open.empty())
      top = std::move(part);
    else
      combine(open.back(), std::move(part));
  };
  if (auto part = enter(Top)) finish(std::move(*part));
  while (!open.empty() && !overflow) {
    TFrame& frame = open.back();
    const TKaXMLNode* child = frame.NextChild;
    if (!child) {
      // An empty group matches the empty sequence.
      TPart part = std::move(frame.Acc);
      const TKaContentModel& node = *frame.Node;
      open.pop_back();
      repeat(node, part);
      finish(std::move(part));
      continue;
    }
    frame.NextChild = child->Next();
    if (const auto* model = dynamic_cast<const TKaContentModel*>(child))
      if (auto part = enter(*model)) finish(std::move(*part));
  }
  if (overflow) return;

  link({0}, top.First);
  if (overflow) return;
  const size_t states = keys.size();
  FAccepting.assign(states, 0);
  FAccepting[0] = top.Nullable;
  for (uint32_t p : top.Last) FAccepting[p] = 1;

  // Symbols: the distinct names, sorted.
  FNames = keys;
  FNames.erase(FNames.begin());
  std::sort(FNames.begin(), FNames.end());
  FNames.erase(std::unique(FNames.begin(), FNames.end()), FNames.end());
  for (const std::u16string& name : FNames) FLongestName = std::max(FLongestName, name.size());
  FSymbolOf.assign(states, kNoSymbol);
  for (size_t p = 1; p < states; ++p)
    FSymbolOf[p] = static_cast<uint32_t>(
        std::lower_bound(FNames.begin(), FNames.end(), keys[p]) - FNames.begin());

  // Each set sorted by symbol, so that the positions of one symbol are a
  // contiguous run; then the sets each state is followed by.
  FSetStart.reserve(sets.size() + 1);
  for (std::vector<uint32_t>& set : sets) {
    std::sort(set.begin(), set.end(), [&](uint32_t a, uint32_t b) {
      return std::pair(FSymbolOf[a], a) < std::pair(FSymbolOf[b], b);
    });
    FSetStart.push_back(static_cast<uint32_t>(FSets.size()));
    Append(FSets, set);
    std::vector<uint32_t>().swap(set);
  }
  FSetStart.push_back(static_cast<uint32_t>(FSets.size()));
  FFollowStart.reserve(states + 1);
  for (std::vector<uint32_t>& next : follow) {
    std::sort(next.begin(), next.end());
    next.erase(std::unique(next.begin(), next.end()), next.end());
    FFollowStart.push_back(static_cast<uint32_t>(FFollow.size()));
    Append(FFollow, next);
    std::vector<uint32_t>().swap(next);
  }
  FFollowStart.push_back(static_cast<uint32_t>(FFollow.size()));
  FCompiled = true;
  CompileSingleSteps();
}

void TContentModelAutomaton::CompileSingleSteps() {
  // Models ask for a deterministic reading, so a run is mostly in one state,
  // and a small model gets a table of where one state goes by each symbol.
  // Its work is bounded like that of compiling: follow sets are shared, and
  // reading each one for every state it follows could be quadratic.
  const size_t states = FSymbolOf.size(), symbols = FNames.size();
  if (states * symbols > kMaxSingleSteps) return;
  FSingleStep.assign(states * symbols, kNoStep);
  size_t work = 0;
  for (size_t s = 0; s < states; ++s) {
    uint32_t* row = FSingleStep.data() + s * symbols;
    for (uint32_t f = FFollowStart[s]; f < FFollowStart[s + 1]; ++f) {
      const uint32_t set = FFollow[f];
      work += FSetStart[set + 1] - FSetStart[set];
      if (work > kMaxSingleSteps) {
        std::vector<uint32_t>().swap(FSingleStep);
        return;
      }
      for (uint32_t i = FSetStart[set]; i < FSetStart[set + 1]; ++i) {
        const uint32_t p = FSets[i];
        uint32_t& step = row[FSymbolOf[p]];
        step = step == kNoStep || step == p ? p : kSeveralSteps;
      }
    }
  }
}

uint32_t TContentModelAutomaton::Symbol(std::u16string_view Name) const {
  // A name longer than any leaf's is none of them.
  if (Name.size() > FLongestName) return kNoSymbol;
  if (!FExact) {
    const TFoldedKey folded(Name);
    return SymbolOf(folded.View());
  }
  return SymbolOf(Name);
}

uint32_t TContentModelAutomaton::SymbolOf(std::u16string_view Key) const {
  // Most models name a few elements: comparing lengths first rules most out.
  if (FNames.size() <= kComparedNames) {
    for (size_t i = 0; i < FNames.size(); ++i)
      if (SameName(FNames[i], Key)) return static_cast<uint32_t>(i);
    return kNoSymbol;
  }
  const auto it = std::lower_bound(FNames.begin(), FNames.end(), Key);
  return it != FNames.end() && *it == Key ? static_cast<uint32_t>(it - FNames.begin())
                                          : kNoSymbol;
}

bool TContentModelAutomaton::Match(const TKaNodeList& List) const {
  TRun run(*this);
  for (const TKaXMLNode* node = List.GetFirst(); node; node = node->Next())
    if (node->GetType() == ELEMENT_NODE && !run.Step(node->GetName())) return false;
  return run.Accepted();
}

// The state sets of a run, reused from run to run: the set being built is
// kept free of duplicates by stamping each state with the step it joined in.
// A set that follows several states of the current set adds the same
// positions each time: it is read once a step, stamped like the states.
struct TContentModelAutomaton::TScratch {
  std::vector<uint32_t> Current, Next, Stamp, SetStamp;
  uint32_t Step = 0;
};

TContentModelAutomaton::TScratch& TContentModelAutomaton::ThreadScratch() {
  thread_local TScratch scratch;
  return scratch;
}

TContentModelAutomaton::TRun::TRun(const TContentModelAutomaton& Automaton)
    : FAutomaton(Automaton), FScratch(ThreadScratch()), FFailed(!Automaton.FCompiled) {
  TScratch& run = FScratch;
  if (run.Stamp.size() < FAutomaton.FSymbolOf.size())
    run.Stamp.resize(FAutomaton.FSymbolOf.size(), 0);
  if (run.SetStamp.size() + 1 < FAutomaton.FSetStart.size())
    run.SetStamp.resize(FAutomaton.FSetStart.size() - 1, 0);
  run.Current.assign(1, 0);
}

bool TContentModelAutomaton::TRun::Step(std::u16string_view Name) {
  if (FFailed) return false;
  const TContentModelAutomaton& a = FAutomaton;
  const uint32_t symbol = a.Symbol(Name);
  if (symbol == kNoSymbol) {
    FFailed = true;
    return false;
  }
  TScratch& run = FScratch;
  if (run.Current.size() == 1 && !a.FSingleStep.empty()) {
    const uint32_t step = a.FSingleStep[run.Current[0] * a.FNames.size() + symbol];
    if (step == kNoStep) {
      run.Current.clear();
      FFailed = true;
      return false;
    }
    if (step != kSeveralSteps) {
      run.Current[0] = step;
      return true;
    }
  }
  if (++run.Step == 0) {
    std::fill(run.Stamp.begin(), run.Stamp.end(), 0);
    std::fill(run.SetStamp.begin(), run.SetStamp.end(), 0);
    run.Step = 1;
  }
  run.Next.clear();
  for (uint32_t state : run.Current) {
    for (uint32_t f = a.FFollowStart[state]; f < a.FFollowStart[state + 1]; ++f) {
      const uint32_t set = a.FFollow[f];
      if (run.SetStamp[set] == run.Step) continue;
      run.SetStamp[set] = run.Step;
      const uint32_t* begin = a.FSets.data() + a.FSetStart[set];
      const uint32_t* end = a.FSets.data() + a.FSetStart[set + 1];
      const uint32_t* from = std::lower_bound(
          begin, end, symbol, [&](uint32_t p, uint32_t s) { return a.FSymbolOf[p] < s; });
      for (; from != end && a.FSymbolOf[*from] == symbol; ++from) {
        if (run.Stamp[*from] == run.Step) continue;
        run.Stamp[*from] = run.Step;
        run.Next.push_back(*from);
      }
    }
  }
  run.Current.swap(run.Next);
  FFailed = run.Current.empty();
  return !FFailed;
}

bool TContentModelAutomaton::TRun::Accepted() const {
  if (FFailed) return false;
  for (uint32_t state : FScratch.Current)
    if (FAutomaton.FAccepting[state]) return true;
  return false;
}

bool TContentModelAnalyzer::MatchContentModel(const TKaNodeList& List,
                                              const TKaContentModel& Top) {
  const bool exact = ExactDeclarationNames(Top.GetOwnerDocument());
  if (const auto* decl = dynamic_cast<const TKaElementDecl*>(Top.GetParent());
      decl && decl->GetContentModel() == &Top)
    return decl->GetMatcher(exact).Match(List);
  return TContentModelAutomaton(Top, exact).Match(List);
}

}  // namespace lumora
