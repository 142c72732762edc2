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
    return bPlainFolder ? std::move(folder) : FileHandle();
}
