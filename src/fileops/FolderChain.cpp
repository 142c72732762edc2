#include "fileops/FolderChain.h"

#include <windows.h>

#include <io.h>

#include "fileops/ModulePath.h"

bool CreateFolderChain(std::wstring& path, bool bLastIsFile) {
    if (ResolveModuleRelative(path) != 0) return false;
    // Each failure is expected for the drive prefix and for folders that exist already; the
    // first folder that could not be made says why the chain is missing.
    DWORD dwCreateError = ERROR_SUCCESS;
    auto create = [&dwCreateError](const std::wstring& folder) {
        if (CreateDirectoryW(folder.c_str(), nullptr) || dwCreateError != ERROR_SUCCESS) return;
        const DWORD dwError = GetLastError();
        if (GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) dwCreateError = dwError;
    };
    for (std::size_t pos = path.find(L'\\'); pos != std::wstring::npos; pos = path.find(L'\\', pos + 1))
        create(path.substr(0, pos));
    if (!bLastIsFile) create(path);

    std::wstring checked = path;
    if (bLastIsFile) {
        std::size_t lastSlash = path.rfind(L'\\');
        checked = (lastSlash == std::wstring::npos) ? std::wstring() : path.substr(0, lastSlash);
    }
    if (_waccess(checked.c_str(), 0) == 0) return true;
    SetLastError(dwCreateError != ERROR_SUCCESS ? dwCreateError : ERROR_PATH_NOT_FOUND);
    return false;
}
