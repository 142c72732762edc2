#pragma once

#include <string>

// Creates every folder along path (all but the last component when bLastIsFile) and
// reports whether the folder that path names, or that would hold the file, exists. When it does
// not, the thread's last error is the last folder creation's error.
bool CreateFolderChain(std::wstring& path, bool bLastIsFile);

#include <vector>

#include "fileops/HandleIdentity.h"
#include "fileops/ScopedHandle.h"

// The folder that folder names, held without delete sharing for making entries in it through the
// handle, with every missing folder of its chain made relative to its held parent and checked
// to be itself, never a link's target: nobody can redirect what the run makes below the
// deepest folder that existed. The folders that exist are the caller's own path and are opened
// as written; the folder named itself, when it exists, must be no link (HoldFolderForEntries)
// unless bNamedFolderAsNamed (HoldFolderAsNamed). Invalid with the thread's last error set when a
// folder of the chain cannot be made or an existing one is no folder (bChainMade false), or the
// folder named is refused or a made folder turns out not to be itself (bChainMade true).
// *pMade, when given, receives the identity of each folder this call made.
FileHandle CreateHeldFolderChain(const std::wstring& folder, bool& bChainMade, bool bNamedFolderAsNamed = false,
                                 std::vector<FolderIdentity>* pMade = nullptr);
