#include "fileops/NtRelativeOpen.h"

#include <winternl.h>

namespace {

using NtCreateFileFn = LONG(WINAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK, PLARGE_INTEGER,
                                     ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
using RtlNtStatusToDosErrorFn = ULONG(WINAPI*)(LONG);

// The values the native create takes for its disposition.
constexpr ULONG kNativeOpen = 1;    // FILE_OPEN
constexpr ULONG kNativeCreate = 2;  // FILE_CREATE

struct NativeCalls {
    NtCreateFileFn pfnCreate = nullptr;
    RtlNtStatusToDosErrorFn pfnToWin32 = nullptr;
};

const NativeCalls& Native() {
    static const NativeCalls calls = [] {
        NativeCalls found;
        HMODULE hNtdll = GetModuleHandleW(L"ntdll");
        if (hNtdll == nullptr) return found;
        found.pfnCreate =
            reinterpret_cast<NtCreateFileFn>(reinterpret_cast<void*>(GetProcAddress(hNtdll, "NtCreateFile")));
        found.pfnToWin32 = reinterpret_cast<RtlNtStatusToDosErrorFn>(
            reinterpret_cast<void*>(GetProcAddress(hNtdll, "RtlNtStatusToDosError")));
        return found;
    }();
    return calls;
}

DWORD Fail(DWORD dwError) {
    SetLastError(dwError);
    return dwError;
}

DWORD NativeCreate(HANDLE hFolder, const std::wstring& name, ACCESS_MASK dwAccess, DWORD dwShare, ULONG ulDisposition,
                   DWORD dwOptions, FileHandle& out) {
    const NativeCalls& calls = Native();
    if (calls.pfnCreate == nullptr || calls.pfnToWin32 == nullptr) return Fail(ERROR_CALL_NOT_IMPLEMENTED);
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
    const LONG lStatus = calls.pfnCreate(&hOpened, dwAccess | SYNCHRONIZE, &attributes, &status, nullptr,
                                         FILE_ATTRIBUTE_NORMAL, dwShare, ulDisposition,
                                         dwOptions | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
    if (lStatus < 0) return Fail(calls.pfnToWin32(lStatus));
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
