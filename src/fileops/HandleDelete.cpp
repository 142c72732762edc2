#include "fileops/HandleDelete.h"

#include <cstddef>
#include <utility>
#include <vector>

#include "fileops/FExeption.h"
#include "fileops/NtRelativeOpen.h"

namespace {

// The extended disposition and its flags, which the platform headers here do not name.
constexpr auto kFileDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
constexpr DWORD kDispositionDelete = 0x1;
// The name goes at once even while others still hold the file, so its folder can go right after.
constexpr DWORD kDispositionPosixSemantics = 0x2;
struct DispositionInfoEx {
    DWORD dwFlags;
};

// How an entry is opened follows what was seen of it before: a folder is held for listing and
// shares no delete, a file may have its attributes changed, a link is only removed. An entry
// that turns into something else meanwhile fails to open or fails the checks after the open.
enum class EntryKind { File, Folder, Link };

EntryKind KindOf(DWORD dwAttributes) {
    if (dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return EntryKind::Link;
    return (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) ? EntryKind::Folder : EntryKind::File;
}

ACCESS_MASK AccessFor(EntryKind kind) {
    switch (kind) {
    case EntryKind::Folder:
        return DELETE | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
    case EntryKind::File:
        return DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE;
    default:
        return DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
    }
}

DWORD ShareFor(EntryKind kind) {
    return kind == EntryKind::Folder ? FILE_SHARE_READ | FILE_SHARE_WRITE
                                     : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
}

DWORD NativeOptionsFor(EntryKind kind) {
    DWORD dwOptions = FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT;
    if (kind == EntryKind::Folder) dwOptions |= FILE_DIRECTORY_FILE;
    if (kind == EntryKind::File) dwOptions |= FILE_NON_DIRECTORY_FILE;
    return dwOptions;
}

// ERROR_DIRECTORY_NOT_SUPPORTED, which older SDK headers lack.
constexpr DWORD kErrorDirectoryNotSupported = 336;


}  // namespace

bool ClearAttributesForDeletion(HANDLE hFile) {
    FILE_BASIC_INFO basic = {};  // zero times leave the file's times as they are
    basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(hFile, FileBasicInfo, &basic, sizeof basic) != FALSE;
}

DWORD CheckListedEntry(HANDLE hOpened, const HandleFacts& opened, const std::wstring& folderName,
                       const ListedEntry& listed) {
    HandleDetails details;
    details.facts = opened;
    // A name that cannot be read proves nothing: the entry is taken for another.
    if (!ReadHandleName(hOpened, details.name)) details.name.clear();
    return CheckListedEntry(details, folderName, listed);
}

DWORD CheckListedEntry(const HandleDetails& opened, const std::wstring& folderName, const ListedEntry& listed) {
    if ((listed.dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
        !(opened.facts.dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return ERROR_NOT_A_REPARSE_POINT;
    const std::wstring expected = EntryNameIn(folderName, listed.name);
    if (!IsListedEntry(opened.facts, listed.ullFileId) ||
        CompareStringOrdinal(opened.name.c_str(), static_cast<int>(opened.name.size()), expected.c_str(),
                             static_cast<int>(expected.size()), TRUE) != CSTR_EQUAL)
        return ERROR_FILE_INVALID;
    return ERROR_SUCCESS;
}

struct CHandleDelete::Frame {
    FileHandle owned;  // empty for a folder handle that stays the caller's
    HANDLE hFolder = INVALID_HANDLE_VALUE;
    std::wstring path;  // for messages
    std::wstring name;  // as the folder's handle holds it
    FolderIdentity identity;  // its volume: the delete never leaves the volume it began on
    std::vector<ListedEntry> entries;
    std::size_t nNext = 0;
    bool bHoldsKept = false;  // a kept file lies below: the folder cannot go, and that is known
};

void CHandleDelete::RemovePath(const std::wstring& path) {
    m_workingPath = path;
    const DWORD dwSeen = SeenAttributes(path);
    // The top is opened like every entry below it: relative to its folder, whose name its handle
    // must then carry.
    std::wstring name;
    const FileHandle folder = OpenParentFolder(path, name);
    if (!folder) ThrowLastSystemError();
    RemoveNamed(folder.Get(), name, path, dwSeen, true);
}

void CHandleDelete::RemoveEntryIn(HANDLE hFolder, const std::wstring& name, const std::wstring& path) {
    m_workingPath = path;
    const DWORD dwSeen = SeenAttributes(path);
    RemoveNamed(hFolder, name, path, dwSeen, true);
}

void CHandleDelete::RemoveFileOrLinkIn(HANDLE hFolder, const std::wstring& name, const std::wstring& path) {
    m_workingPath = path;
    const DWORD dwSeen = SeenAttributes(path);
    RemoveNamed(hFolder, name, path, dwSeen, false);
}

void CHandleDelete::RemoveOpenFolder(HANDLE hFolder, const std::wstring& path) {
    m_workingPath = path;
    std::wstring name;
    if (!ReadHandleName(hFolder, name)) ThrowLastSystemError();
    RemoveFolderTree(FileHandle(), hFolder, path, name);
}

DWORD CHandleDelete::SeenAttributes(const std::wstring& path) {
    // The path's own attributes are the one place where some platforms still show a link to a
    // folder that an open with "do not follow" follows anyway.
    const DWORD dwSeen = GetFileAttributesW(path.c_str());
    if (dwSeen != INVALID_FILE_ATTRIBUTES) return dwSeen;
    ThrowLastSystemError();
}

void CHandleDelete::RemoveNamed(HANDLE hFolder, const std::wstring& name, const std::wstring& path, DWORD dwSeen,
                                bool bFolderToo) {
    std::wstring folderName;
    if (!ReadHandleName(hFolder, folderName)) ThrowLastSystemError();
    const EntryKind kind = KindOf(dwSeen);
    if (kind == EntryKind::Folder && !bFolderToo) ThrowSystemError(kErrorDirectoryNotSupported);
    FileHandle opened;
    if (OpenRelative(hFolder, name, AccessFor(kind), ShareFor(kind), NativeOptionsFor(kind), opened) != ERROR_SUCCESS)
        ThrowLastSystemError();
    HandleFacts facts;
    if (!ReadHandleFacts(opened.Get(), facts)) ThrowLastSystemError();
    if (dwSeen & FILE_ATTRIBUTE_REPARSE_POINT) {
        // The path shows a link and the handle holds something else: the platform followed it.
        if (!(facts.dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) ThrowSystemError(ERROR_NOT_A_REPARSE_POINT);
        MarkForDeletion(opened.Get());
        return;
    }
    const std::wstring entryName = EntryNameIn(folderName, name);
    if (!HandleNameIs(opened.Get(), entryName)) ThrowSystemError(ERROR_FILE_INVALID);
    // A link put there after the look at the path: the handle holds the link itself.
    if (facts.dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        MarkForDeletion(opened.Get());
        return;
    }
    if ((facts.dwAttributes ^ dwSeen) & FILE_ATTRIBUTE_DIRECTORY) ThrowSystemError(ERROR_FILE_INVALID);
    if (facts.dwAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        const HANDLE hOpened = opened.Get();
        RemoveFolderTree(std::move(opened), hOpened, path, entryName);
        return;
    }
    if (m_decisions.mayDeleteFile(path, opened.Get(), facts.dwAttributes)) MarkForDeletion(opened.Get());
}

void CHandleDelete::RemoveFolderTree(FileHandle ownedTop, HANDLE hTop, const std::wstring& path,
                                     const std::wstring& name) {
    // A stack of open folders rather than recursion: a tree made through relative names can be
    // deeper than any path, and the thread's stack must not be what limits the delete.
    std::vector<Frame> stack;
    // A folder lies on the volume of the folder that listed it; the volume is read once a folder.
    auto push = [this, &stack](FileHandle owned, HANDLE hFolder, const std::wstring& folderPath,
                         const std::wstring& folderName) {
        m_workingPath = folderPath;
        Frame frame;
        frame.owned = std::move(owned);
        frame.hFolder = hFolder;
        frame.path = folderPath;
        frame.name = folderName;
        if (!ReadFolderIdentity(hFolder, frame.identity)) ThrowLastSystemError();
        if (!stack.empty() && !IsSameVolume(stack.back().identity, frame.identity))
            ThrowSystemError(ERROR_FILE_INVALID);
        const DWORD dwError = ListFolderByHandle(hFolder, frame.entries);
        if (dwError != ERROR_SUCCESS) ThrowSystemError(dwError);
        stack.push_back(std::move(frame));
    };
    push(std::move(ownedTop), hTop, path, name);

    while (!stack.empty()) {
        Frame& folder = stack.back();
        if (folder.nNext == folder.entries.size()) {
            m_workingPath = folder.path;
            // A folder above a kept file stays; any other folder that does not go is a failure.
            const bool bHoldsKept = folder.bHoldsKept;
            if (!bHoldsKept) MarkForDeletion(folder.hFolder);
            stack.pop_back();  // closing the folder's handle removes it
            if (bHoldsKept && !stack.empty()) stack.back().bHoldsKept = true;
            continue;
        }
        const ListedEntry& entry = folder.entries[folder.nNext++];
        const std::wstring entryPath = folder.path + L"\\" + entry.name;
        m_workingPath = entryPath;
        const EntryKind kind = KindOf(entry.dwAttributes);
        FileHandle opened;
        if (OpenRelative(folder.hFolder, entry.name, AccessFor(kind), ShareFor(kind), NativeOptionsFor(kind), opened) !=
            ERROR_SUCCESS)
            ThrowLastSystemError();
        HandleFacts facts;
        if (!ReadHandleFacts(opened.Get(), facts)) ThrowLastSystemError();
        const DWORD dwCheck = CheckListedEntry(opened.Get(), facts, folder.name, entry);
        if (dwCheck != ERROR_SUCCESS) ThrowSystemError(dwCheck);

        if (facts.dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            MarkForDeletion(opened.Get());
        } else if (facts.dwAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            const HANDLE hOpened = opened.Get();
            // folder and entry are not to be used after this: the stack may move.
            push(std::move(opened), hOpened, entryPath, EntryNameIn(folder.name, entry.name));
        } else if (m_decisions.mayDeleteFile(entryPath, opened.Get(), facts.dwAttributes)) {
            MarkForDeletion(opened.Get());
        } else {
            folder.bHoldsKept = true;
        }
    }
}

void CHandleDelete::MarkForDeletion(HANDLE h) {
    if (!TryMarkForDeletion(h)) ThrowLastSystemError();
}

bool CHandleDelete::TryMarkForDeletion(HANDLE h) {
    if (!m_bDispositionExMissing) {
        DispositionInfoEx ex = {kDispositionDelete | kDispositionPosixSemantics};
        if (SetFileInformationByHandle(h, kFileDispositionInfoEx, &ex, sizeof ex)) return true;
        const DWORD dwError = GetLastError();
        if (dwError != ERROR_INVALID_PARAMETER && dwError != ERROR_INVALID_FUNCTION && dwError != ERROR_NOT_SUPPORTED)
            return false;
        m_bDispositionExMissing = true;
    }
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = TRUE;
    return SetFileInformationByHandle(h, FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}
