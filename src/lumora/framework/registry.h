// Read access to the host's configuration registry. On this platform no host
// keeps one, so the registry answers as an empty one unless a host (or a
// test) fills it through `HostSetString`.
#pragma once

#include <cstdint>
#include <string>

#include "lumora/framework/object.h"

namespace lumora {

constexpr uint32_t HKEY_CURRENT_USER = 0x80000001;
constexpr uint32_t HKEY_LOCAL_MACHINE = 0x80000002;

class TRegistry : public TObject {
 public:
  void SetRootKey(uint32_t rootKey) { FRootKey = rootKey; }
  // Opens an existing key; returns false when it does not exist (or when
  // canCreate asks for a key the host never filled: nothing is created).
  bool OpenKey(const std::string& key, bool canCreate);
  void CloseKey() { FCurrentKey.clear(); }
  // The value's text; empty when the value or the key is missing.
  std::string ReadString(const std::string& name) const;

  static void HostSetString(uint32_t rootKey, const std::string& key, const std::string& name,
                            const std::string& value);
  static void HostClear();

 private:
  uint32_t FRootKey = HKEY_CURRENT_USER;
  std::string FCurrentKey;
};

}  // namespace lumora
