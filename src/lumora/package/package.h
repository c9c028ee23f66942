// The package frame: registration of the component, the platform check, and
// the start and stop of the package's units, which run by themselves when
// the shared library is loaded and unloaded.
#pragma once

#include <string>
#include <vector>

namespace lumora {

// Registers TKaOrvane on the palette page "KaOrvane".
void Register();
// True only on Windows 95 (not 98 or Me, not the NT family): never here.
bool IsWin95();

// One unit of the package with its start and stop sections. Its counter
// makes only the first start and the matching last stop do the work.
struct TPackageUnitInfo {
  const char* Name;
  void (*Init)();
  void (*Finit)();
  int* Counter;
};

// The units in start order; they stop in the reverse order.
const std::vector<TPackageUnitInfo>& GetPackageInfoTable();
void Initialize();
void Finalize();

// The version of this library, "major.minor.patch".
std::string LibraryVersion();

}  // namespace lumora
