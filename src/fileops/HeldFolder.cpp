#include "fileops/HeldFolder.h"

#include <windows.h>

#include <utility>

namespace {
// Opens with listing (data) access: the system records a handle's sharing only when the handle
// has data or delete access, and a handle with attribute access alone would stop nobody. No
// DELETE: every later open that does not share deletion (Wine lists a folder so) would fail.
constexpr DWORD kHeldFolderAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
}  // namespace

FileHandle HoldFolder(const std::wstring& path) {
    FileHandle folder(CreateFileW(path.c_str(), kHeldFolderAccess, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!folder) return FileHandle();
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!GetFileInformationByHandle(folder.Get(), &info)) return FileHandle();
    const bool bPlainFolder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                              (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
    if (bPlainFolder) return folder;
    SetLastError(ERROR_DIRECTORY);
    return FileHandle();
}

FileHandle HoldFolderForEntries(const std::wstring& folder) {
    const DWORD dwSeen = GetFileAttributesW(folder.c_str());
    if (dwSeen == INVALID_FILE_ATTRIBUTES) return FileHandle();
    if ((dwSeen & FILE_ATTRIBUTE_REPARSE_POINT) || !(dwSeen & FILE_ATTRIBUTE_DIRECTORY)) {
        SetLastError(ERROR_DIRECTORY);
        return FileHandle();
    }
    FileHandle opened(CreateFileW(folder.c_str(), FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    if (!opened || !GetFileInformationByHandleEx(opened.Get(), FileAttributeTagInfo, &tag, sizeof tag))
        return FileHandle();
    if ((tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || !(tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetLastError(ERROR_DIRECTORY);
        return FileHandle();
    }
    return opened;
}

FileHandle HoldFolderAsNamed(const std::wstring& path) {
    FileHandle folder(CreateFileW(path.c_str(), kHeldFolderAccess | FILE_TRAVERSE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    if (!folder || !GetFileInformationByHandleEx(folder.Get(), FileAttributeTagInfo, &tag, sizeof tag))
        return FileHandle();
    if (!(tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetLastError(ERROR_DIRECTORY);
        return FileHandle();
    }
    return folder;
}
