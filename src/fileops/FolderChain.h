#pragma once

#include <string>

// Creates every folder along path (all but the last component when bLastIsFile) and
// reports whether the folder that path names, or that would hold the file, exists.
bool CreateFolderChain(std::wstring& path, bool bLastIsFile);
