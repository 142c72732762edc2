#include "fileops/FolderForRemoval.h"

#include "fileops/HandleIdentity.h"
#include "fileops/NtRelativeOpen.h"

DWORD OpenFolderForRemoval(const std::wstring& path, FileHandle& out) {
    const std::size_t lastSlash = path.find_last_of(L"\\/");
    if (lastSlash == std::wstring::npos || lastSlash + 1 == path.size()) return ERROR_INVALID_NAME;
    std::wstring parent = path.substr(0, lastSlash);
    if (!parent.empty() && parent.back() == L':') parent += L'\\';  // a drive's root keeps its backslash
    const std::wstring name = path.substr(lastSlash + 1);
    FileHandle folder(CreateFileW(parent.c_str(), FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder) return GetLastError();
    std::wstring folderName;
    if (!ReadHandleName(folder.Get(), folderName)) return GetLastError();
    FileHandle opened;
    const DWORD dwError = OpenRelative(folder.Get(), name, DELETE | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE,
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
