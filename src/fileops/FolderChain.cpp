#include "fileops/FolderChain.h"

#include <windows.h>

#include <io.h>

#include <vector>

#include "fileops/CallerPathLink.h"
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

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The caller's full path, as the platform forms it from a relative one; empty with the thread's
// last error set when it cannot.
std::wstring FullPath(const std::wstring& path) {
    const DWORD cch = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (cch == 0) return std::wstring();
    std::wstring full(cch, L'\0');
    const DWORD cchWritten = GetFullPathNameW(path.c_str(), cch, &full[0], nullptr);
    if (cchWritten == 0 || cchWritten >= cch) return std::wstring();
    full.resize(cchWritten);
    return full;
}

// True when a handle opened as the entry called entryName of a folder whose handle holds
// folderName holds that entry, under that name or under its long name where the caller gave a
// short one (the same folder above it): no link, and no link's target, which some platforms open
// in spite of FILE_OPEN_REPARSE_POINT and show only through the handle's name.
bool IsComponentItself(const HandleDetails& details, const std::wstring& folderName, const std::wstring& entryName) {
    if (details.facts.dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return false;
    if (IsEntryItself(details, folderName, entryName)) return true;
    std::wstring heldParent;
    std::wstring heldName;
    SplitParentAndName(details.name, heldParent, heldName);
    std::wstring expectedParent;
    std::wstring expectedName;
    SplitParentAndName(EntryNameIn(folderName, entryName), expectedParent, expectedName);
    return SamePathText(heldParent, expectedParent) && entryName.find(L'~') != std::wstring::npos;
}

}  // namespace

FileHandle CreateHeldFolderChain(const std::wstring& folder, bool& bChainMade, RefusedLink& refused,
                                 bool bNamedFolderAsNamed, std::vector<FolderIdentity>* pMade) {
    bChainMade = true;
    refused = RefusedLink();
    auto notMade = [&bChainMade](DWORD dwError) {
        bChainMade = false;
        SetLastError(dwError);
        return FileHandle();
    };
    const std::wstring full = FullPath(FolderAsOpened(folder));
    if (full.empty()) return notMade(GetLastError());
    std::wstring root;
    std::vector<std::wstring> components;
    if (!SplitRootAndComponents(full, root, components)) return notMade(ERROR_BAD_PATHNAME);
    // The drive's root or the share, as given; everything below is opened relative to it.
    if (components.empty()) return bNamedFolderAsNamed ? HoldFolderAsNamed(root) : HoldFolderForEntries(root);
    FileHandle parent(CreateFileW(root.c_str(), FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShareAll, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!parent) return notMade(GetLastError());

    // The existing components, each opened as itself relative to the one above it. Only the last
    // is held without delete sharing: the caller's folder, which the run works in.
    std::wstring walked = root;
    std::size_t nComponent = 0;
    for (; nComponent < components.size(); ++nComponent) {
        const std::wstring& name = components[nComponent];
        const bool bLast = nComponent + 1 == components.size();
        const ACCESS_MASK dwAccess =
            FILE_TRAVERSE | FILE_READ_ATTRIBUTES | (bLast && bNamedFolderAsNamed ? FILE_LIST_DIRECTORY : 0);
        const DWORD dwShare = bLast ? FILE_SHARE_READ | FILE_SHARE_WRITE : kShareAll;
        std::wstring parentName;
        if (!ReadHandleName(parent.Get(), parentName)) return notMade(GetLastError());
        FileHandle opened;
        const DWORD dwOpenError = OpenRelative(parent.Get(), name, dwAccess, dwShare, FILE_OPEN_REPARSE_POINT, opened);
        if (IsNotFoundError(dwOpenError)) break;
        if (dwOpenError != ERROR_SUCCESS) return notMade(dwOpenError);
        HandleDetails details;
        if (!ReadHandleDetails(opened.Get(), details)) return notMade(GetLastError());
        const std::wstring path = JoinedPath(walked, name);
        if (!IsComponentItself(details, parentName, name)) {
            // The folder the run makes entries in must be no link at all: what it makes would
            // land wherever the link's maker chose.
            if (bLast && !bNamedFolderAsNamed) {
                SetLastError(ERROR_DIRECTORY);
                return FileHandle();
            }
            std::wstring refusal;
            if (!IsLinkAnAdministratorsChoice(parent.Get(), name, refusal)) {
                refused.path = path;
                refused.finding = refusal;
                SetLastError(ERROR_ACCESS_DENIED);
                return FileHandle();
            }
            opened.Reset();
            const DWORD dwFollowError = OpenRelative(parent.Get(), name, dwAccess, dwShare, 0, opened);
            if (dwFollowError != ERROR_SUCCESS) return notMade(dwFollowError);
            if (!ReadHandleDetails(opened.Get(), details)) return notMade(GetLastError());
        }
        if (!(details.facts.dwAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            // A file where the chain needs a folder; at the end, the folder named is no folder.
            if (!bLast) return notMade(ERROR_DIRECTORY);
            SetLastError(ERROR_DIRECTORY);
            return FileHandle();
        }
        parent = std::move(opened);
        walked = path;
    }
    if (nComponent == components.size()) return parent;

    // The missing folders, each made relative to its held parent and checked to be itself.
    for (; nComponent < components.size(); ++nComponent) {
        const std::wstring& name = components[nComponent];
        std::wstring parentName;
        FileHandle made;
        bool bCreated = false;
        if (!ReadHandleName(parent.Get(), parentName)) return notMade(GetLastError());
        const DWORD dwMakeError =
            OpenOrCreateFolderRelative(parent.Get(), name, FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN_REPARSE_POINT, made, &bCreated);
        if (dwMakeError != ERROR_SUCCESS) return notMade(dwMakeError);
        // Someone put a link at the name before it was made: what is made inside would land
        // wherever the link's maker chose.
        if (!HoldsEntryItself(made.Get(), parentName, name)) {
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
