#include "fileops/FolderHandleListing.h"

#include <cstddef>
#include <cstring>
#include <utility>

namespace {
// Room for some hundred entries a call; whole 8-byte units keep the records aligned.
constexpr std::size_t kBufferUnits = 8192;
}  // namespace

DWORD ListFolderByHandle(HANDLE hFolder, std::vector<ListedEntry>& entries) {
    entries.clear();
    std::vector<std::uint64_t> buffer(kBufferUnits);
    const DWORD cbBuffer = static_cast<DWORD>(buffer.size() * sizeof(std::uint64_t));
    for (bool bFirst = true;; bFirst = false) {
        if (!GetFileInformationByHandleEx(hFolder, FileIdBothDirectoryInfo, buffer.data(), cbBuffer)) {
            const DWORD dwError = GetLastError();
            if (dwError == ERROR_NO_MORE_FILES) return ERROR_SUCCESS;
            // Only a folder without even "." and ".." (a drive's root) has nothing to give at first.
            if (bFirst && dwError == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
            return dwError;
        }
        const unsigned char* pRecord = reinterpret_cast<const unsigned char*>(buffer.data());
        for (;;) {
            FILE_ID_BOTH_DIR_INFO info;
            std::memcpy(&info, pRecord, offsetof(FILE_ID_BOTH_DIR_INFO, FileName));
            std::wstring name(info.FileNameLength / sizeof(wchar_t), L'\0');
            std::memcpy(&name[0], pRecord + offsetof(FILE_ID_BOTH_DIR_INFO, FileName), info.FileNameLength);
            if (name != L"." && name != L"..") {
                ListedEntry entry;
                entry.name = std::move(name);
                entry.dwAttributes = info.FileAttributes;
                entry.ullFileId = static_cast<std::uint64_t>(info.FileId.QuadPart);
                entries.push_back(std::move(entry));
            }
            if (info.NextEntryOffset == 0) break;
            pRecord += info.NextEntryOffset;
        }
    }
}
