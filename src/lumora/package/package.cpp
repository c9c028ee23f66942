#include "lumora/package/package.h"

#include "lumora/package/platform.h"
#include "lumora/text/wide_strings.h"

namespace lumora {
namespace {

int gCodePagesCounter = 0;
int gOrvaneCounter = 0;
int gXMLStringsCounter = 0;

void NoWork() {}

// The slots start filled; starting the unit puts the library's own functions
// back in them, and stopping it empties this thread's buffer of invalid
// characters.
void StartXMLStrings() {
  ResetXMLSlots();
}
void StopXMLStrings() {
  invChars().Clear();
}

// Runs Initialize when the library is loaded and Finalize when it is
// unloaded, so that applications never call them.
struct TLoadHook {
  TLoadHook() { Initialize(); }
  ~TLoadHook() { Finalize(); }
} gLoadHook;

}  // namespace

void Register() {
  RegisterComponents("KaOrvane", {"TKaOrvane"});
}

bool IsWin95() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
  return GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS &&
         info.dwMajorVersion == 4 && info.dwMinorVersion == 0;
}

const std::vector<TPackageUnitInfo>& GetPackageInfoTable() {
  static const std::vector<TPackageUnitInfo> table = {
      {"KaCodePages", NoWork, NoWork, &gCodePagesCounter},
      {"KaOrvane", NoWork, NoWork, &gOrvaneCounter},
      {"KaXMLStrings", StartXMLStrings, StopXMLStrings, &gXMLStringsCounter},
  };
  return table;
}

void Initialize() {
  for (const TPackageUnitInfo& unit : GetPackageInfoTable()) {
    if ((*unit.Counter)-- == 0) unit.Init();
  }
}

void Finalize() {
  const auto& table = GetPackageInfoTable();
  for (auto unit = table.rbegin(); unit != table.rend(); ++unit) {
    if (++*unit->Counter == 0) unit->Finit();
  }
}

std::string LibraryVersion() {
  return std::to_string(LUMORA_VERSION_MAJOR) + "." + std::to_string(LUMORA_VERSION_MINOR) + "." +
         std::to_string(LUMORA_VERSION_PATCH);
}

}  // namespace lumora
