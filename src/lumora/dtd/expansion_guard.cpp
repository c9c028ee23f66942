#include "lumora/dtd/expansion_guard.h"

#include <algorithm>

#include "lumora/framework/stream.h"
#include "lumora/framework/sysutils.h"
#include "lumora/io/orvane_error.h"
#include "lumora/lex/input_buffer.h"
#include "lumora/text/wide_strings.h"

namespace lumora {

TExpansionGuard::TExpansionGuard(int64_t InputSize) {
  Reset(InputSize);
}

TExpansionGuard::~TExpansionGuard() = default;

void TExpansionGuard::Reset(int64_t InputSize, TStream* Input) {
  FInput = InputSize < 0 ? Input : nullptr;
  FOpen.clear();
  FProduced = 0;
  FExpansions = 0;
  const int64_t scaled = std::max<int64_t>(InputSize, 0) * kAmplification;
  FLimit = std::max(kFreeCharacters, scaled);
}

void TExpansionGuard::Open(std::u16string_view Name, std::unique_ptr<TInputBuffer> Buffer,
                           bool Expansion) {
  if (IsOpen(Name))
    throw EKaOrvaneError(Format("Entity \"%s\" refers to itself.", WideToSystem(Name)));
  if (GetDepth() >= kMaxDepth)
    throw EKaOrvaneError(Format("Entity \"%s\" is nested deeper than %d levels.",
                                WideToSystem(Name), kMaxDepth));
  if (Expansion) {
    Produce(kExpansionCost);
    ++FExpansions;
  }
  FOpen.push_back({std::u16string(Name), std::move(Buffer)});
}

void TExpansionGuard::Enter(std::u16string_view Name) {
  Open(Name, nullptr, true);
}

void TExpansionGuard::Enter(std::u16string_view Name, std::unique_ptr<TInputBuffer> Buffer) {
  Open(Name, std::move(Buffer), true);
}

void TExpansionGuard::Leave() {
  if (!FOpen.empty()) FOpen.pop_back();
}

void TExpansionGuard::LeaveTo(int Depth) {
  while (GetDepth() > std::max(Depth, 0)) FOpen.pop_back();
}

bool TExpansionGuard::IsOpen(std::u16string_view Name) const {
  return std::any_of(FOpen.begin(), FOpen.end(),
                     [Name](const TOpenEntity& e) { return e.Name == Name; });
}

TInputBuffer* TExpansionGuard::GetTextBuffer() const {
  for (auto it = FOpen.rbegin(); it != FOpen.rend(); ++it) {
    if (it->Buffer) return it->Buffer.get();
  }
  return nullptr;
}

std::u16string_view TExpansionGuard::GetTextEntity() const {
  for (auto it = FOpen.rbegin(); it != FOpen.rend(); ++it) {
    if (it->Buffer) return it->Name;
  }
  return {};
}

void TExpansionGuard::Produce(int64_t Count) {
  FProduced += Count;
  if (FProduced > FLimit && FInput) {
    const int64_t read = std::max<int64_t>(FInput->GetPosition(), 0);
    FLimit = std::max(FLimit, read * kAmplification);
  }
  if (FProduced > FLimit)
    throw EKaOrvaneError(
        Format("Entity expansion exceeds the limit of %d characters.", static_cast<long long>(FLimit)));
}

}  // namespace lumora
