#pragma once

#include <string>

#include "fileops/ScopedHandle.h"

// A security descriptor whose protected DACL gives full control to SYSTEM and Administrators,
// inherited by everything made inside, and to nobody else; no entry is inherited from the
// parent. Invalid when the system cannot build it.
LocalMemory AdministratorsOnlyDescriptor();

// Creates the folder with that descriptor. True only when this call created it: an existing
// folder, or anything else at the path, gives false.
bool CreateAdministratorsOnlyFolder(const std::wstring& path);
