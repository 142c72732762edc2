#pragma once

#include <string>

enum PathKind : int {
    PathError = -1,   // the attribute query failed for another reason than 2 or 3
    PathMissing = 0,  // file not found or path not found
    PathIsFile = 1,
    PathIsFolder = 2,
};

PathKind ProbePath(std::wstring path);

// True for the errors that say a name is not there at all (file or path not found); any other
// failure, a refused look say, leaves open what is there.
bool IsNotFoundError(unsigned long dwError);

// True when the file opens for reading with read sharing only.
bool FileOpensForRead(std::wstring path);
