#include "fileops/FolderChain.h"

#include <windows.h>

#include <io.h>

#include <vector>

#include "fileops/HandleIdentity.h"
#include "fileops/HeldFolder.h"
#include "fileops/ModulePath.h"
#include "fileops/NtRelativeOpen.h"
#include "fileops/PathKind.h"
#include "fileops/PathText.h"

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

FileHandle CreateHeldFolderChain(const std::wstring& folder, bool& bChainMade, bool bNamedFolderAsNamed,
                                 std::vector<FolderIdentity>* pMade) {
    bChainMade = true;
    // The deepest folder of the chain that exists, and the names below it, deepest first.
    std::wstring existing = FolderAsOpened(folder);
    std::vector<std::wstring> missing;
    while (GetFileAttributesW(existing.c_str()) == INVALID_FILE_ATTRIBUTES) {
        const DWORD dwError = GetLastError();
        std::wstring parent;
        std::wstring name;
        SplitParentAndName(existing, parent, name);
        if (!IsNotFoundError(dwError) || name.empty() || parent == existing) {
            bChainMade = false;
            SetLastError(dwError);
            return FileHandle();
        }
        missing.push_back(name);
        existing = parent;
    }
    if (missing.empty()) return bNamedFolderAsNamed ? HoldFolderAsNamed(existing) : HoldFolderForEntries(folder);

    FileHandle parent = HoldFolderAsNamed(existing);
    if (!parent) {
        bChainMade = false;
        return FileHandle();
    }
    for (auto name = missing.rbegin(); name != missing.rend(); ++name) {
        std::wstring parentName;
        FileHandle made;
        bool bCreated = false;
        if (!ReadHandleName(parent.Get(), parentName) ||
            OpenOrCreateFolderRelative(parent.Get(), *name, FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN_REPARSE_POINT, made,
                                       &bCreated) != ERROR_SUCCESS) {
            bChainMade = false;
            return FileHandle();
        }
        // Someone put a link at the name before it was made: what is made inside would land
        // wherever the link's maker chose.
        if (!HoldsEntryItself(made.Get(), parentName, *name)) {
            SetLastError(ERROR_DIRECTORY);
            return FileHandle();
        }
        if (pMade != nullptr && bCreated) {
            FolderIdentity identity;
            if (!ReadFolderIdentity(made.Get(), identity)) return FileHandle();
            pMade->push_back(identity);
        }
        parent = std::move(made);
    }
    return parent;
}
