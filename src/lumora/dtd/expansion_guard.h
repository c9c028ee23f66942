// Bounds on entity expansion, one guard per parse.
//
// The parser component owns the guard and hands it to every parser it
// nests (the DTD parser, the content-model parser) and to the nodes that
// expand references while the parse runs. It holds the stack of entities
// being expanded, so that a reference to one of them is refused instead of
// expanding forever; caps how deep expansions nest; and counts the
// characters expansion produces, so that a few small declarations cannot
// make gigabytes out of nothing. Nothing of it is global: two parses never
// share a guard unless one is nested in the other.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lumora {

class TInputBuffer;
class TStream;

class TExpansionGuard {
 public:
  // Expansions nested deeper than this are refused. Real DTDs nest a few
  // levels; the in-literal expansion recurses once per level.
  static constexpr int kMaxDepth = 64;
  // Expansion may produce this many characters whatever the input's size;
  // past it, at most kAmplification times as many as the input has bytes.
  static constexpr int64_t kFreeCharacters = int64_t{8} << 20;
  static constexpr int64_t kAmplification = 100;
  // Each expansion counts this many characters besides its text, so that
  // empty entities cannot be expanded without end either.
  static constexpr int64_t kExpansionCost = 20;

  explicit TExpansionGuard(int64_t InputSize = 0);
  ~TExpansionGuard();
  TExpansionGuard(const TExpansionGuard&) = delete;
  TExpansionGuard& operator=(const TExpansionGuard&) = delete;

  // Starts the count afresh for an input of this many bytes. An input whose
  // size is not known (a pipe: InputSize negative) is given as Input, and
  // its budget grows with the bytes read from it so far.
  void Reset(int64_t InputSize, TStream* Input = nullptr);
  // The most characters expansion may produce in this parse.
  int64_t GetLimit() const { return FLimit; }
  int64_t GetProduced() const { return FProduced; }
  // References expanded since Reset.
  int64_t GetExpansions() const { return FExpansions; }

  // Opens the expansion of the entity Name, counting kExpansionCost. Raises
  // EKaOrvaneError "Entity \"...\" refers to itself." when it is open
  // already, when the expansions would nest deeper than kMaxDepth, and
  // past the budget.
  void Enter(std::u16string_view Name);
  // The same, for an entity whose text is read through Buffer; the guard
  // keeps the buffer until Leave.
  void Enter(std::u16string_view Name, std::unique_ptr<TInputBuffer> Buffer);
  // Closes the innermost expansion.
  void Leave();
  // Closes expansions until Depth are open: what a failed parse left open.
  void LeaveTo(int Depth);
  bool IsOpen(std::u16string_view Name) const;
  int GetDepth() const { return static_cast<int>(FOpen.size()); }
  // The buffer of the innermost entity read through one; nil when none is.
  TInputBuffer* GetTextBuffer() const;
  // The name of that entity; empty when none is.
  std::u16string_view GetTextEntity() const;

  // Counts Count characters produced by expansion; raises EKaOrvaneError
  // "Entity expansion exceeds the limit of ... characters." past the limit.
  void Produce(int64_t Count);

  // Keeps the entity Name open, as an expansion is, for as long as it
  // lives: while its value is being set, a reference to it is a cycle. It
  // expands nothing and costs nothing.
  class TDeclaring {
   public:
    TDeclaring(TExpansionGuard& Guard, std::u16string_view Name) : FGuard(Guard) {
      Guard.Open(Name, nullptr, false);
    }
    ~TDeclaring() { FGuard.Leave(); }
    TDeclaring(const TDeclaring&) = delete;
    TDeclaring& operator=(const TDeclaring&) = delete;

   private:
    TExpansionGuard& FGuard;
  };

 private:
  struct TOpenEntity {
    std::u16string Name;
    std::unique_ptr<TInputBuffer> Buffer;  // nil for an expansion inside a value
  };
  void Open(std::u16string_view Name, std::unique_ptr<TInputBuffer> Buffer, bool Expansion);

  std::vector<TOpenEntity> FOpen;
  TStream* FInput = nullptr;
  int64_t FLimit = kFreeCharacters;
  int64_t FProduced = 0;
  int64_t FExpansions = 0;
};

}  // namespace lumora
