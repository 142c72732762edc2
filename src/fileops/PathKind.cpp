#include "fileops/PathKind.h"

#include <windows.h>

#include "fileops/ScopedHandle.h"

PathKind ProbePath(std::wstring path) {
    const DWORD dwAttributes = GetFileAttributesW(path.c_str());
    if (dwAttributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD dwError = GetLastError();
        return IsNotFoundError(dwError) ? PathMissing : PathError;
    }
    return (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) ? PathIsFolder : PathIsFile;
}

bool IsNotFoundError(unsigned long dwError) {
    return dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND;
}

bool FileOpensForRead(std::wstring path) {
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    return file.IsValid();
}
