// String lists given by applications. The library only appends to them.
#pragma once

#include <string>
#include <vector>

#include "lumora/framework/object.h"

namespace lumora {

class TStrings : public TObject {
 public:
  virtual int Add(const std::string& text) = 0;
};

// The plain in-memory string list.
class TStringList : public TStrings {
 public:
  int Add(const std::string& text) override {
    FLines.push_back(text);
    return static_cast<int>(FLines.size()) - 1;
  }
  int Count() const { return static_cast<int>(FLines.size()); }
  const std::string& operator[](int index) const { return FLines.at(static_cast<size_t>(index)); }
  const std::vector<std::string>& Lines() const { return FLines; }
  void Clear() { FLines.clear(); }

 private:
  std::vector<std::string> FLines;
};

}  // namespace lumora
