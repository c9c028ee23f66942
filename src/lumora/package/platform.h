// The few operating-system services the package frame asks for, as a layer
// that answers here as the host platform would: the version of the operating
// system, the version block of a package file, and the design-time palette.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace lumora {

constexpr uint32_t VER_PLATFORM_WIN32_WINDOWS = 1;  // the Windows 9x family
constexpr uint32_t VER_PLATFORM_WIN32_NT = 2;

struct OSVERSIONINFOA {
  uint32_t dwOSVersionInfoSize;
  uint32_t dwMajorVersion;
  uint32_t dwMinorVersion;
  uint32_t dwBuildNumber;
  uint32_t dwPlatformId;
  char szCSDVersion[128];
};
static_assert(sizeof(OSVERSIONINFOA) == 148);

// Fills info when its size field is right. This platform belongs to the NT
// family of the classic interface; a test may answer for another system.
bool GetVersionExA(OSVERSIONINFOA* info);
using TVersionAnswer = std::function<bool(OSVERSIONINFOA&)>;
void SetVersionAnswer(TVersionAnswer answer);  // empty: this platform again

// The four parts of the file version that a package file's version block
// holds; none when the file has no version block. The package's own file
// answers with the version of this library.
std::optional<std::array<uint16_t, 4>> ReadFileVersion(const std::string& FileName);

// The design-time palette: which component classes are registered on which
// page. Without a host IDE nothing reads it but the application itself.
struct TPaletteEntry {
  std::string Page;
  std::string ClassName;
};
void RegisterComponents(const std::string& Page, const std::vector<std::string>& ClassNames);
const std::vector<TPaletteEntry>& RegisteredComponents();

}  // namespace lumora
