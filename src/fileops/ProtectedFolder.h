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

// The DACL of that descriptor as the volume of the folder hFolder holds keeps it (DaclText): read
// back from a new folder called scratchName made with it there, which goes again with its handle.
// Where the volume keeps the descriptor as given, this is the descriptor's own DACL; where it
// keeps no descriptor of its own (Wine maps it to file modes), what any folder made so shows.
// ERROR_SUCCESS, or the Win32 error of the make or the read.
unsigned long ReadProtectedDaclAsKept(void* hFolder, const std::wstring& scratchName, std::wstring& daclText);
