#include "fileops/NtRelativeOpen.h"

#include "fileops/HandleIdentity.h"
#include "fileops/NtCalls.h"
#include "fileops/PathText.h"

namespace {

// The values the native create takes for its disposition.
constexpr ULONG kNativeOpen = 1;    // FILE_OPEN
constexpr ULONG kNativeCreate = 2;  // FILE_CREATE
constexpr ULONG kNativeOpenIf = 3;  // FILE_OPEN_IF
// OBJ_DONT_REPARSE, which older SDK headers lack: the open fails rather than follow any reparse
// point on the way. Platforms before it refuse the whole open as an invalid parameter.
constexpr ULONG kObjDontReparse = 0x1000;
constexpr LONG kStatusInvalidParameter = static_cast<LONG>(0xC000000D);
// The options of every create: the new entry is opened as itself, never what a link at its
// name points to (NTFS would otherwise make a dangling link's missing target).
constexpr DWORD kCreateOptions = FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT;

DWORD Fail(DWORD dwError) {
    SetLastError(dwError);
    return dwError;
}

// The native create's report that it made the entry rather than opened it.
constexpr ULONG_PTR kNativeCreated = 2;  // FILE_CREATED

DWORD NativeCreate(HANDLE hFolder, const std::wstring& name, ACCESS_MASK dwAccess, DWORD dwShare, ULONG ulDisposition,
                   DWORD dwOptions, FileHandle& out, ULONG ulObjectFlags = 0, bool* pbCreated = nullptr,
                   PSECURITY_DESCRIPTOR pDescriptor = nullptr) {
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
    // A platform without the flag refuses it: once seen, it is asked for no more.
    static bool s_bDontReparseRefused = false;
    if (s_bDontReparseRefused) ulObjectFlags &= ~kObjDontReparse;
    InitializeObjectAttributes(&attributes, &nativeName, OBJ_CASE_INSENSITIVE | ulObjectFlags, hFolder, pDescriptor);
    IO_STATUS_BLOCK status = {};
    HANDLE hOpened = nullptr;
    const LONG lStatus = calls.pfnCreateFile(&hOpened, dwAccess | SYNCHRONIZE, &attributes, &status, nullptr,
                                         FILE_ATTRIBUTE_NORMAL, dwShare, ulDisposition,
                                         dwOptions | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
    if (lStatus == kStatusInvalidParameter && (ulObjectFlags & kObjDontReparse)) {
        s_bDontReparseRefused = true;
        return NativeCreate(hFolder, name, dwAccess, dwShare, ulDisposition, dwOptions, out,
                            ulObjectFlags & ~kObjDontReparse, pbCreated, pDescriptor);
    }
    if (lStatus < 0) return FailWithStatus(lStatus);
    out.Reset(hOpened);
    if (pbCreated != nullptr) *pbCreated = status.Information == kNativeCreated;
    return ERROR_SUCCESS;
}

}  // namespace

DWORD OpenRelative(HANDLE hFolder, const std::wstring& name, ACCESS_MASK dwAccess, DWORD dwShare, DWORD dwOptions,
                   FileHandle& out) {
    return NativeCreate(hFolder, name, dwAccess, dwShare, kNativeOpen, dwOptions, out);
}

DWORD CreateNewRelative(HANDLE hFolder, const std::wstring& folderName, const std::wstring& name, ACCESS_MASK dwAccess,
                        DWORD dwShare, FileHandle& out) {
    FileHandle made;
    const DWORD dwError = NativeCreate(hFolder, name, dwAccess | FILE_READ_ATTRIBUTES, dwShare, kNativeCreate,
                                       kCreateOptions, made, kObjDontReparse);
    if (dwError != ERROR_SUCCESS) return dwError;
    // Nothing is written before the handle is known to hold the new entry itself.
    HandleDetails details;
    const bool bRead = ReadHandleDetails(made.Get(), details);
    if (bRead && IsEntryItself(details, folderName, name)) {
        out = std::move(made);
        return ERROR_SUCCESS;
    }
    const DWORD dwCheckError = bRead ? ERROR_FILE_INVALID : GetLastError();
    // What was made goes again, through its own handle or, where the caller asked for no
    // deletion, one opened for it from that handle.
    FileHandle forDeletion;
    HANDLE hMade = made.Get();
    if (!(dwAccess & DELETE)) {
        forDeletion.Reset(ReOpenFile(made.Get(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0));
        hMade = forDeletion.Get();
    }
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = TRUE;
    if (hMade != INVALID_HANDLE_VALUE)
        SetFileInformationByHandle(hMade, FileDispositionInfo, &disposition, sizeof disposition);
    return Fail(dwCheckError);
}

DWORD CreateNewRelative(HANDLE hFolder, const std::wstring& name, ACCESS_MASK dwAccess, DWORD dwShare,
                        FileHandle& out) {
    std::wstring folderName;
    if (!ReadHandleName(hFolder, folderName)) return GetLastError();
    return CreateNewRelative(hFolder, folderName, name, dwAccess, dwShare, out);
}

DWORD OpenOrCreateFolderRelative(HANDLE hFolder, const std::wstring& name, ACCESS_MASK dwAccess, DWORD dwShare,
                                 DWORD dwOptions, FileHandle& out, bool* pbCreated) {
    return NativeCreate(hFolder, name, dwAccess, dwShare, kNativeOpenIf, dwOptions | FILE_DIRECTORY_FILE, out, 0,
                        pbCreated);
}

DWORD CreateNewFolderRelative(HANDLE hFolder, const std::wstring& name, ACCESS_MASK dwAccess, DWORD dwShare,
                              FileHandle& out, DWORD dwOptions, void* pDescriptor) {
    return NativeCreate(hFolder, name, dwAccess, dwShare, kNativeCreate,
                        dwOptions | FILE_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT, out, kObjDontReparse, nullptr,
                        pDescriptor);
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
