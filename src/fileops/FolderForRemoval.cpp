#include "fileops/FolderForRemoval.h"

#include "fileops/HandleIdentity.h"
#include "fileops/NtRelativeOpen.h"

DWORD OpenFolderForRemovalIn(HANDLE hParent, const std::wstring& name, FileHandle& out) {
    std::wstring folderName;
    if (!ReadHandleName(hParent, folderName)) return GetLastError();
    FileHandle opened;
    const DWORD dwError =
        OpenRelative(hParent, name, DELETE | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                     FILE_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT, opened);
    if (dwError != ERROR_SUCCESS) return dwError;
    HandleFacts facts;
    if (!ReadHandleFacts(opened.Get(), facts)) return GetLastError();
    // Some platforms open a link's target in spite of the option; the handle's name shows it.
    if ((facts.dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || !(facts.dwAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        !HoldsEntryItself(opened.Get(), folderName, name))
        return ERROR_DIRECTORY;
    out = std::move(opened);
    return ERROR_SUCCESS;
}
