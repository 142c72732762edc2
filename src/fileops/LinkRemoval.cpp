#include "fileops/LinkRemoval.h"

#include <windows.h>

#include "fileops/ScopedHandle.h"

bool RemoveLinkItself(const std::wstring& path) {
    FileHandle link(CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!link) return false;
    // RemoveDirectoryW looks into a link's target on some platforms; the handle must be the
    // link itself before it is marked for deletion, or the target would go instead.
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    if (!GetFileInformationByHandleEx(link.Get(), FileAttributeTagInfo, &tag, sizeof tag)) return false;
    if (!(tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        SetLastError(ERROR_NOT_A_REPARSE_POINT);
        return false;
    }
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = TRUE;
    return SetFileInformationByHandle(link.Get(), FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}
