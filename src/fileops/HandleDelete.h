#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "fileops/FolderHandleListing.h"
#include "fileops/HandleIdentity.h"
#include "fileops/ScopedHandle.h"

// What the caller of a delete decides while it runs.
struct DeleteDecisions {
    // Asked before a file goes, with its path (for messages), its open handle (with the right to
    // change its attributes) and the handle's attributes: true lets it go, false keeps it. May
    // throw to end the whole delete. A kept file keeps the folders above it; the delete goes on
    // with the rest, and whether the delete failed is the caller's to say.
    std::function<bool(const std::wstring& path, HANDLE hFile, DWORD dwAttributes)> mayDeleteFile;
};

// Removes files, links and folder trees through handles, never by looking a path up again: the
// top is opened once, relative to its folder and without following a link, every entry below
// is opened relative to its folder's handle, and each is removed through its own handle. A folder being emptied is held
// open without delete sharing, so nobody can rename or replace it meanwhile. A link is removed
// as itself; an entry whose handle turns out not to be the entry listed (a link the platform
// followed, or an entry swapped after the listing) is refused and left alone.
// Failures are thrown as CFExeption pointers carrying the Win32 error.
class CHandleDelete {
public:
    explicit CHandleDelete(DeleteDecisions decisions) : m_decisions(std::move(decisions)) {}

    // Whatever path names.
    void RemovePath(const std::wstring& path);
    // The entry called name inside the folder that hFolder holds; path names it for messages.
    void RemoveEntryIn(HANDLE hFolder, const std::wstring& name, const std::wstring& path);
    // The same for an entry that must be a file or a link (as itself): a real folder there is
    // refused with ERROR_DIRECTORY_NOT_SUPPORTED and left as it is.
    void RemoveFileOrLinkIn(HANDLE hFolder, const std::wstring& name, const std::wstring& path);
    // Everything inside the folder that hFolder holds, then the folder itself: it goes when the
    // last handle to it closes. hFolder needs DELETE and list access and synchronous I/O; it
    // stays the caller's to close.
    void RemoveOpenFolder(HANDLE hFolder, const std::wstring& path);

    // The entry the delete was at when it stopped: what a failure names.
    const std::wstring& WorkingPath() const { return m_workingPath; }

private:
    struct Frame;
    // The path's attributes; throws when they cannot be read, a missing path included.
    DWORD SeenAttributes(const std::wstring& path);
    void RemoveNamed(HANDLE hFolder, const std::wstring& name, const std::wstring& path, DWORD dwSeen,
                     bool bFolderToo);
    void RemoveFolderTree(FileHandle ownedTop, HANDLE hTop, const std::wstring& path, const std::wstring& name);
    void MarkForDeletion(HANDLE h);
    bool TryMarkForDeletion(HANDLE h);

    DeleteDecisions m_decisions;
    std::wstring m_workingPath;
    bool m_bDispositionExMissing = false;  // the platform refused the extended call once
};

// Clears the attributes of the file hFile holds (opened with FILE_WRITE_ATTRIBUTES), read-only
// included, so that its deletion is not refused; its times stay as they are. False with the
// thread's last error set when the platform refuses.
bool ClearAttributesForDeletion(HANDLE hFile);

// The handle opened for an entry that a listing of a folder showed, checked against that listing:
// ERROR_SUCCESS, ERROR_NOT_A_REPARSE_POINT when the entry was listed as a link and the handle is
// not one (the platform opened what the link points to), or ERROR_FILE_INVALID when the handle
// is another file or folder than the one listed (another file ID), or holds another name than
// the entry's in that folder. opened: what hOpened reports; folderName: what the folder's handle
// reports as its name.
DWORD CheckListedEntry(HANDLE hOpened, const HandleFacts& opened, const std::wstring& folderName,
                       const ListedEntry& listed);
// The same for a handle whose facts and name were read in one query (ReadHandleDetails).
DWORD CheckListedEntry(const HandleDetails& opened, const std::wstring& folderName, const ListedEntry& listed);
