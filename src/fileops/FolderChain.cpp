#include "fileops/FolderChain.h"

#include <windows.h>

#include <io.h>

#include "fileops/ModulePath.h"

bool CreateFolderChain(std::wstring& path, bool bLastIsFile) {
    if (ResolveModuleRelative(path) != 0) return false;
    // Each failure is expected for the drive prefix and for folders that exist already.
    for (std::size_t pos = path.find(L'\\'); pos != std::wstring::npos; pos = path.find(L'\\', pos + 1))
        CreateDirectoryW(path.substr(0, pos).c_str(), nullptr);
    if (!bLastIsFile) CreateDirectoryW(path.c_str(), nullptr);

    std::wstring checked = path;
    if (bLastIsFile) {
        std::size_t lastSlash = path.rfind(L'\\');
        checked = (lastSlash == std::wstring::npos) ? std::wstring() : path.substr(0, lastSlash);
    }
    return _waccess(checked.c_str(), 0) == 0;
}
