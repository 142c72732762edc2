#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// One entry of a folder as its listing showed it.
struct ListedEntry {
    std::wstring name;
    DWORD dwAttributes = 0;
    std::uint64_t ullFileId = 0;
};

// Reads every entry of the folder that hFolder holds (opened with list access, synchronous),
// "." and ".." left out, in the file system's order. The whole listing is read before anything
// is changed in the folder, so that removing entries cannot make the listing skip others.
// Returns ERROR_SUCCESS, or the error that ended the listing before its end.
DWORD ListFolderByHandle(HANDLE hFolder, std::vector<ListedEntry>& entries);
