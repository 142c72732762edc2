#pragma once

#include <string>

// Creates every folder along path (all but the last component when bLastIsFile) and
// reports whether the folder that path names, or that would hold the file, exists. When it does
// not, the thread's last error is the last folder creation's error.
bool CreateFolderChain(std::wstring& path, bool bLastIsFile);

#include "fileops/ScopedHandle.h"

// The folder that folder (a full path) names, held without delete sharing for making entries in
// it through the handle, with every missing folder of its chain made relative to its held
// parent and checked to be itself, never a link's target. The folders that exist are the
// caller's own path and are opened as written, except that the folder named itself must be no
// link (HoldFolderForEntries). Invalid with the thread's last error set when a folder of the
// chain cannot be made (bChainMade false) or the folder is a link or no folder (bChainMade true).
FileHandle CreateHeldFolderChain(const std::wstring& folder, bool& bChainMade);
