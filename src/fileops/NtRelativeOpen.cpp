#include "fileops/NtRelativeOpen.h"

#include "fileops/NtCalls.h"
#include "fileops/PathText.h"

namespace {

// The values the native create takes for its disposition.
constexpr ULONG kNativeOpen = 1;    // FILE_OPEN
constexpr ULONG kNativeCreate = 2;  // FILE_CREATE
constexpr ULONG kNativeOpenIf = 3;  // FILE_OPEN_IF

DWORD Fail(DWORD dwError) {
    SetLastError(dwError);
    return dwError;
}

DWORD NativeCreate(HANDLE hFolder, const std::wstring& name, ACCESS_MASK dwAccess, DWORD dwShare, ULONG ulDisposition,
                   DWORD dwOptions, FileHandle& out) {
    const NtCalls& calls = Nt();
    if (calls.pfnCreateFile == nullptr) return Fail(ERROR_CALL_NOT_IMPLEMENTED);
    // One component only: a separator would let the name leave the folder again.
    if (name.empty() || name.find_first_of(L"\\/") != std::wstring::npos ||
        name.size() * sizeof(wchar_t) > 0xFFFE)
        return Fail(ERROR_INVALID_NAME);
    UNICODE_STRING nativeName;
    nativeName.Buffer = const_cast<PWSTR>(name.c_str());
    nativeName.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    nativeName.MaximumLength = nativeName.Length;
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &nativeName, OBJ_CASE_INSENSITIVE, hFolder, nullptr);
    IO_STATUS_BLOCK status = {};
    HANDLE hOpened = nullptr;
    const LONG lStatus = calls.pfnCreateFile(&hOpened, dwAccess | SYNCHRONIZE, &attributes, &status, nullptr,
                                         FILE_ATTRIBUTE_NORMAL, dwShare, ulDisposition,
                                         dwOptions | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
    if (lStatus < 0) return FailWithStatus(lStatus);
    out.Reset(hOpened);
    return ERROR_SUCCESS;
}

}  // namespace

DWORD OpenRelative(HANDLE hFolder, const std::wstring& name, ACCESS_MASK dwAccess, DWORD dwShare, DWORD dwOptions,
                   FileHandle& out) {
    return NativeCreate(hFolder, name, dwAccess, dwShare, kNativeOpen, dwOptions, out);
}

DWORD CreateNewRelative(HANDLE hFolder, const std::wstring& name, ACCESS_MASK dwAccess, DWORD dwShare,
                        FileHandle& out) {
    return NativeCreate(hFolder, name, dwAccess, dwShare, kNativeCreate, FILE_NON_DIRECTORY_FILE, out);
}

DWORD OpenOrCreateFolderRelative(HANDLE hFolder, const std::wstring& name, ACCESS_MASK dwAccess, DWORD dwShare,
                                 DWORD dwOptions, FileHandle& out) {
    return NativeCreate(hFolder, name, dwAccess, dwShare, kNativeOpenIf, dwOptions | FILE_DIRECTORY_FILE, out);
}

FileHandle OpenParentFolder(const std::wstring& path, std::wstring& name) {
    std::wstring parent;
    SplitParentAndName(path, parent, name);
    if (name.empty()) {
        SetLastError(ERROR_INVALID_NAME);
        return FileHandle();
    }
    return FileHandle(CreateFileW(parent.c_str(), FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}
