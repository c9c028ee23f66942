#include "lumora/framework/component.h"

#include <algorithm>

namespace lumora {

TComponent::TComponent(TComponent* AOwner) : FOwner(AOwner) {
  if (FOwner) FOwner->Insert(this);
}

TComponent::~TComponent() {
  // Owned components die first, newest first; each one leaves our list itself.
  while (!FComponents.empty()) delete FComponents.back();
  if (FOwner) FOwner->Remove(this);
}

void TComponent::Remove(TComponent* component) {
  auto it = std::find(FComponents.begin(), FComponents.end(), component);
  if (it != FComponents.end()) FComponents.erase(it);
}

}  // namespace lumora
