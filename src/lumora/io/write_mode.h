// Where a written document puts its DTD and its external entities.
#pragma once

#include <cstdint>

namespace lumora {

enum TWriteMode : uint8_t {
  wmStandard = 0,     // as read: internal subset inline, external parts by reference
  wmStandalone = 1,   // everything inside the document
  wmLinkedDTD = 2,    // the DTD by reference only; no DTD file is written
  wmExternalDTD = 3,  // the DTD by reference, its declarations into the DTD file
  wmAllExternal = 4,  // as wmExternalDTD, and every entity into a file of its own
};

}  // namespace lumora
