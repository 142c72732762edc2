#include "run/ResultLog.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "fileops/FileOpEngine.h"
#include "fileops/FolderChain.h"
#include "fileops/ModulePath.h"
#include "fileops/PathKind.h"
#include "package/PackageLayout.h"
#include "package/ResultCodes.h"

namespace {

using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);

// A name without any folder is made in the current folder, so it outlives the staging folder.
std::wstring FullPathOfBareName(const std::wstring& name) {
    DWORD cch = GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
    if (cch == 0) return std::wstring();
    std::vector<wchar_t> buffer(cch + 1);
    DWORD got = GetFullPathNameW(name.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (got == 0 || got >= buffer.size()) return std::wstring();
    return std::wstring(buffer.data(), got);
}

FileHandle OpenForAppend(const std::wstring& path, DWORD dwDisposition) {
    return FileHandle(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_WRITE, nullptr, dwDisposition,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace

bool IsRunningUnderWow64() {
#ifdef _WIN64
    // A 64-bit build runs on 64-bit Windows by definition.
    return true;
#else
    static IsWow64ProcessFn pfnIsWow64Process = nullptr;
    pfnIsWow64Process = reinterpret_cast<IsWow64ProcessFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "IsWow64Process")));
    if (pfnIsWow64Process == nullptr) return false;
    BOOL bWow64 = FALSE;
    pfnIsWow64Process(GetCurrentProcess(), &bWow64);
    return bWow64 != FALSE;
#endif
}

int PrepareResultLog(FileHandle& hLog, const RunOptions& options, CFileOpEngine& engine, bool bUsbPackage) {
    hLog.Reset();
    const std::wstring driverLog = DriverInstallLogFolder(bUsbPackage, IsRunningUnderWow64()) + kDriverInstallLogFile;

    std::wstring logPath = options.szLogFile;
    int nResult = ResolveModuleRelative(logPath);
    if (nResult != kResultOk) return nResult;
    if (logPath.empty()) return kResultNoLogPath;

    std::wstring fullPath;
    std::size_t k = logPath.rfind(L'\\');
    if (k == std::wstring::npos) {
        fullPath = FullPathOfBareName(logPath);
        if (fullPath.empty()) return kResultCannotCreateLog;
    } else {
        // The folders are made for a copy, so the split below always matches the path it came from.
        std::wstring chain = logPath;
        if (!CreateFolderChain(chain, true)) return kResultCannotCreateFolder;
        fullPath = logPath.substr(0, k) + L"\\" + logPath.substr(k + 1);
    }

    // A log path that names a folder must never hand that folder tree to the delete.
    if (ProbePath(fullPath) == PathIsFolder) return kResultCannotCreateLog;
    engine.Delete(fullPath);

    {
        FileHandle created = OpenForAppend(fullPath, CREATE_NEW);
        if (!created) return kResultCannotCreateLog;
    }

    if (FileOpensForRead(driverLog)) {
        engine.Copy(driverLog, fullPath);
        // The copy carries the driver log's attributes over; a read-only one would refuse the append.
        DWORD dwAttributes = GetFileAttributesW(fullPath.c_str());
        if (dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_READONLY))
            SetFileAttributesW(fullPath.c_str(), dwAttributes & ~FILE_ATTRIBUTE_READONLY);
    }

    // Without this handle no record could be written, and the run would report a success that
    // the caller cannot see in the log.
    FileHandle reopened = OpenForAppend(fullPath, OPEN_EXISTING);
    if (!reopened) return kResultCannotCreateLog;
    hLog = std::move(reopened);
    return kResultOk;
}

bool AppendLogRecord(FileHandle hLog, int nRetCode) {
    char szRecord[256];
    int cch = std::snprintf(szRecord, sizeof szRecord, "==QVP log file==\r\nnRetCode=%d\r\n", nRetCode);
    if (!hLog || cch <= 0) return false;
    DWORD dwWritten = 0;
    BOOL bWritten = WriteFile(hLog.Get(), szRecord, static_cast<DWORD>(cch), &dwWritten, nullptr);
    return bWritten && dwWritten == static_cast<DWORD>(cch);
}
