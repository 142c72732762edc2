#pragma once

#include <string>

#include "fileops/ScopedHandle.h"

// Opens an existing folder, never a link, so that nobody can rename, move or delete it while
// the handle is open: the handle shares reading and writing but not deletion. The files inside
// stay free to create, change and remove. Invalid when the path is not a plain folder or
// cannot be opened so.
FileHandle HoldFolder(const std::wstring& path);
