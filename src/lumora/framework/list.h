// An ordered list of object references. It does not own what it holds:
// `Clear` forgets the references without destroying the objects.
#pragma once

#include <vector>

#include "lumora/framework/object.h"

namespace lumora {

template <class T>
class TList : public TObject {
 public:
  int Add(T* item) {
    FItems.push_back(item);
    return static_cast<int>(FItems.size()) - 1;
  }
  T* Get(int index) const { return FItems.at(static_cast<size_t>(index)); }
  T* operator[](int index) const { return Get(index); }
  int Count() const { return static_cast<int>(FItems.size()); }
  virtual void Clear() { FItems.clear(); }

  auto begin() const { return FItems.begin(); }
  auto end() const { return FItems.end(); }

 protected:
  std::vector<T*>& Items() { return FItems; }

 private:
  std::vector<T*> FItems;
};

}  // namespace lumora
