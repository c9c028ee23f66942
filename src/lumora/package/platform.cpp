#include "lumora/package/platform.h"

#include <cstring>

#include "lumora/framework/sysutils.h"

namespace lumora {
namespace {

TVersionAnswer& VersionAnswer() {
  static TVersionAnswer answer;
  return answer;
}

std::vector<TPaletteEntry>& Palette() {
  static std::vector<TPaletteEntry> palette;
  return palette;
}

}  // namespace

bool GetVersionExA(OSVERSIONINFOA* info) {
  if (!info || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) return false;
  if (VersionAnswer()) return VersionAnswer()(*info);
  info->dwMajorVersion = 6;
  info->dwMinorVersion = 2;
  info->dwBuildNumber = 0;
  info->dwPlatformId = VER_PLATFORM_WIN32_NT;
  std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
  return true;
}

void SetVersionAnswer(TVersionAnswer answer) {
  VersionAnswer() = std::move(answer);
}

std::optional<std::array<uint16_t, 4>> ReadFileVersion(const std::string& FileName) {
  const size_t slash = FileName.find_last_of("/\\");
  const std::string base = slash == std::string::npos ? FileName : FileName.substr(slash + 1);
  if (CompareText(base, "lumora.bpl") != 0 || !FileExists(FileName)) return std::nullopt;
  return std::array<uint16_t, 4>{LUMORA_VERSION_MAJOR, LUMORA_VERSION_MINOR, LUMORA_VERSION_PATCH,
                                 0};
}

void RegisterComponents(const std::string& Page, const std::vector<std::string>& ClassNames) {
  for (const std::string& name : ClassNames) Palette().push_back({Page, name});
}

const std::vector<TPaletteEntry>& RegisteredComponents() {
  return Palette();
}

}  // namespace lumora
