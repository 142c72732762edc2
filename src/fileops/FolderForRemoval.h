#pragma once

#include <windows.h>

#include <string>

#include "fileops/ScopedHandle.h"

// Opens the folder called name in the folder hParent holds for its removal, the way the delete
// holds a folder it empties (DELETE and list access, no delete sharing), relative to that parent
// and never through a link. Returns ERROR_SUCCESS with the handle in out (for
// CFileOpEngine::DeleteOpenFolder); ERROR_SHARING_VIOLATION when someone holds the folder without
// sharing its deletion, before anything of it is touched; ERROR_DIRECTORY when the handle holds a
// link, a link's target or no folder; otherwise the Win32 error of the open.
DWORD OpenFolderForRemovalIn(HANDLE hParent, const std::wstring& name, FileHandle& out);
