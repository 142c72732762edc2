#pragma once

#include <string>

enum PathKind : int {
    PathError = -1,   // the attribute query failed for another reason than 2 or 3
    PathMissing = 0,  // file not found or path not found
    PathIsFile = 1,
    PathIsFolder = 2,
};

PathKind ProbePath(std::wstring path);

// True when the file opens for reading with read sharing only.
bool FileOpensForRead(std::wstring path);
