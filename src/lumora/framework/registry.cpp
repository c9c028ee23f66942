#include "lumora/framework/registry.h"

#include <map>
#include <tuple>

#include "lumora/framework/sysutils.h"

namespace lumora {
namespace {

// Key paths compare without regard to case and leading or trailing
// backslashes, as the host's registry does.
std::string NormalKey(const std::string& key) {
  size_t first = key.find_first_not_of('\\');
  size_t last = key.find_last_not_of('\\');
  if (first == std::string::npos) return {};
  return LowerCase(key.substr(first, last - first + 1));
}

using ValueKey = std::tuple<uint32_t, std::string, std::string>;

std::map<ValueKey, std::string>& HostValues() {
  static std::map<ValueKey, std::string> values;
  return values;
}

}  // namespace

bool TRegistry::OpenKey(const std::string& key, bool /*canCreate*/) {
  const std::string wanted = NormalKey(key);
  for (const auto& [valueKey, value] : HostValues()) {
    const auto& [root, path, name] = valueKey;
    if (root == FRootKey && path == wanted) {
      FCurrentKey = wanted;
      return true;
    }
  }
  return false;
}

std::string TRegistry::ReadString(const std::string& name) const {
  if (FCurrentKey.empty()) return {};
  auto it = HostValues().find({FRootKey, FCurrentKey, LowerCase(name)});
  return it == HostValues().end() ? std::string() : it->second;
}

void TRegistry::HostSetString(uint32_t rootKey, const std::string& key, const std::string& name,
                              const std::string& value) {
  HostValues()[{rootKey, NormalKey(key), LowerCase(name)}] = value;
}

void TRegistry::HostClear() {
  HostValues().clear();
}

}  // namespace lumora
