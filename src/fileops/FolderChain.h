#pragma once

#include <string>

// Creates every folder along path (all but the last component when bLastIsFile) and
// reports whether the folder that path names, or that would hold the file, exists. When it does
// not, the thread's last error is the last folder creation's error.
bool CreateFolderChain(std::wstring& path, bool bLastIsFile);
