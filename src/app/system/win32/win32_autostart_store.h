#pragma once

#include "app/system/system_services.h"

#include <memory>

namespace lantorvix {

// The machine-wide Run key (HKLM\software\microsoft\windows\currentversion\run): read-only,
// or for full access and created when missing; nothing when it cannot be opened so.
std::unique_ptr<AutostartStore> OpenRunKey(AutostartAccess access);

} // namespace lantorvix
