#pragma once

#include <string>

// Creates every folder along path (all but the last component when bLastIsFile) and
// reports whether the folder that path names, or that would hold the file, exists. When it does
// not, the thread's last error is the last folder creation's error.
bool CreateFolderChain(std::wstring& path, bool bLastIsFile);

#include <vector>

#include "fileops/HandleIdentity.h"
#include "fileops/ScopedHandle.h"

// A link in a caller's path that the run does not follow: the path up to it as the caller wrote it
// (made full), and what it is (where it points, its owner). Empty when no link was refused.
struct RefusedLink {
    std::wstring path;
    std::wstring finding;
};

// The folder that folder names, held without delete sharing for making entries in it through the
// handle. Every existing component of the path is opened from the root down (the drive's root or
// the share as given), each relative to the handle of the one above it and as itself: a link is
// followed only where an administrator made it (IsLinkAnAdministratorsChoice), and refused
// otherwise before anything is touched (refused set, the thread's last error
// ERROR_ACCESS_DENIED). Every missing folder is made relative to its held parent and checked to
// be itself, never a link's target. The folder named itself, when it exists, must be no link at
// all (refused with ERROR_DIRECTORY) unless bNamedFolderAsNamed, where it is a component like the
// others. Invalid with the thread's last error set when a folder of the chain cannot be opened or
// made or an existing one is no folder (bChainMade false), or the folder named or a link is
// refused or a made folder turns out not to be itself (bChainMade true). *pMade, when given,
// receives the identity of each folder this call made.
FileHandle CreateHeldFolderChain(const std::wstring& folder, bool& bChainMade, RefusedLink& refused,
                                 bool bNamedFolderAsNamed = false, std::vector<FolderIdentity>* pMade = nullptr);
