// Components form an ownership tree: a component created with an owner is
// destroyed by it, and a component destroyed first leaves its owner's list.
#pragma once

#include <vector>

#include "lumora/framework/object.h"

namespace lumora {

class TComponent : public TObject {
 public:
  explicit TComponent(TComponent* AOwner);
  ~TComponent() override;

  TComponent* GetOwner() const { return FOwner; }
  int ComponentCount() const { return static_cast<int>(FComponents.size()); }
  TComponent* GetComponent(int index) const { return FComponents.at(index); }

 private:
  void Insert(TComponent* component) { FComponents.push_back(component); }
  void Remove(TComponent* component);

  TComponent* FOwner;
  std::vector<TComponent*> FComponents;
};

}  // namespace lumora
