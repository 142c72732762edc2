#include "fileops/FolderChain.h"

#include <windows.h>

#include <io.h>

#include "fileops/ModulePath.h"

bool CreateFolderChain(std::wstring& path, bool bLastIsFile) {
    if (ResolveModuleRelative(path) != 0) return false;
    // Each failure is expected for the drive prefix and for folders that exist already; the last
    // one is what tells why the folder is missing.
    DWORD dwCreateError = ERROR_PATH_NOT_FOUND;
    auto create = [&dwCreateError](const std::wstring& folder) {
        if (!CreateDirectoryW(folder.c_str(), nullptr)) dwCreateError = GetLastError();
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
    SetLastError(dwCreateError);
    return false;
}
