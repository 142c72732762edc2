#include "run/ResultLog.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "fileops/FileOpEngine.h"
#include "fileops/FolderChain.h"
#include "fileops/HeldFolder.h"
#include "fileops/ModulePath.h"
#include "fileops/NtRelativeOpen.h"
#include "fileops/PathKind.h"
#include "fileops/PathText.h"
#include "package/ResultCodes.h"

namespace {

// ERROR_DIRECTORY_NOT_SUPPORTED, which older SDK headers lack.
constexpr DWORD kErrorDirectoryNotSupported = 336;

// The platform's own form of a path: "." and ".." resolved, trailing dots and spaces dropped, a
// bare name placed in the current folder (so that it outlives the staging folder).
std::wstring PlatformFullPath(const std::wstring& path) {
    DWORD cch = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (cch == 0) return std::wstring();
    std::vector<wchar_t> buffer(cch + 1);
    DWORD got = GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (got == 0 || got >= buffer.size()) return std::wstring();
    return std::wstring(buffer.data(), got);
}

// Appends the driver's install log to the new log when it is one the rule allows, judged on
// the handle it is read through. The copy's own result is not needed: a log without the
// driver's part still carries the record.
void AppendDriverLog(HANDLE hLog, DriverLogTaking& driverLog) {
    FileHandle source;
    DriverLogNote now;
    switch (OpenDriverLog(driverLog.path, true, source, now, driverLog.refusal)) {
    case DriverLogOpen::Absent: driverLog.outcome = DriverLogTaking::Outcome::Missing; return;
    case DriverLogOpen::Refused: driverLog.outcome = DriverLogTaking::Outcome::Refused; return;
    default: break;
    }
    if (driverLog.bThisRunOnly) {
        // Without a note of what stood there before, no log can be shown to be this run's.
        if (driverLog.before.state == DriverLogNote::State::Unknown) {
            driverLog.outcome = DriverLogTaking::Outcome::Refused;
            driverLog.refusal = L"what stood there before the installer started could not be looked at (Win32 error " +
                                std::to_wstring(driverLog.before.dwError) + L")";
            return;
        }
        if (IsSameLog(driverLog.before, now)) {
            driverLog.outcome = DriverLogTaking::Outcome::Unchanged;
            return;
        }
    }
    driverLog.outcome = DriverLogTaking::Outcome::Copied;
    std::vector<char> buffer(64 * 1024);
    DWORD dwRead = 0;
    while (ReadFile(source.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &dwRead, nullptr) && dwRead > 0) {
        DWORD dwWritten = 0;
        if (!WriteFile(hLog, buffer.data(), dwRead, &dwWritten, nullptr) || dwWritten != dwRead) return;
    }
}

// Where the result log goes: its full path, its folder as opened and its file name. Returns 0,
// or the step's failure code with failure set.
int LocateResultLog(const RunOptions& options, std::wstring& fullPath, std::wstring& folder, std::wstring& name,
                    StepFailure& failure) {
    std::wstring logPath = options.szLogFile;
    int nResult = ResolveModuleRelative(logPath);
    if (nResult != kResultOk) {
        failure.SetFinding(L"place the result log beside the program", logPath,
                           L"the program's own path cannot be read or is too long");
        return nResult;
    }
    if (logPath.empty()) {
        failure.SetFinding(L"name the result log", logPath, L"LOGFILE names no file");
        return kResultNoLogPath;
    }

    fullPath = PlatformFullPath(logPath);
    if (fullPath.empty()) {
        failure.Set(L"read the result log's full path", logPath, GetLastError());
        return kResultCannotCreateLog;
    }

    // A log path that names a folder must never hand that folder tree to the delete.
    if (ProbePath(fullPath) == PathIsFolder) {
        failure.Set(L"create the result log", fullPath, kErrorDirectoryNotSupported);
        return kResultCannotCreateLog;
    }
    const std::size_t nameStart = fullPath.rfind(L'\\') + 1;
    folder = FolderAsOpened(fullPath.substr(0, nameStart));
    name = fullPath.substr(nameStart);
    if (name.empty()) {
        failure.Set(L"create the result log", fullPath, ERROR_INVALID_NAME);
        return kResultCannotCreateLog;
    }
    return kResultOk;
}

}  // namespace

bool RemoveOldResultLog(const RunOptions& options, CFileOpEngine& engine, std::wstring& path) {
    std::wstring folder;
    std::wstring name;
    StepFailure ignored;
    if (LocateResultLog(options, path, folder, name, ignored) != kResultOk) return false;
    // A read-only log is asked about where it has always been asked about, once the installer
    // has run; whoever answers sees the question once.
    const DWORD dwAttributes = GetFileAttributesW(path.c_str());
    if (!engine.IsUnattended() && dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_READONLY))
        return false;
    // The same hold as the one the log is made in: a folder that is a link is not touched.
    const FileHandle logFolder = HoldFolderForEntries(folder);
    return logFolder && engine.DeleteFileOrLinkIn(logFolder.Get(), name, path);
}

int PrepareResultLog(FileHandle& hLog, const RunOptions& options, CFileOpEngine& engine, bool bUsbPackage,
                     DriverLogTaking& driverLog, StepFailure& failure) {
    hLog.Reset();
    if (driverLog.path.empty()) driverLog.path = DriverInstallLogPath(bUsbPackage);

    std::wstring fullPath;
    std::wstring folder;
    std::wstring name;
    const int nResult = LocateResultLog(options, fullPath, folder, name, failure);
    if (nResult != kResultOk) return nResult;
    std::wstring logPath = options.szLogFile;
    ResolveModuleRelative(logPath);  // as LocateResultLog resolved it
    // The missing folders are made relative to their held parents, and the log's own folder is
    // held from then on without delete sharing, so that nobody can swap it for a link while the
    // log is replaced in it; a folder that is a link already is refused: the log would land
    // wherever the link's maker chose.
    bool bChainMade = true;
    RefusedLink refused;
    const FileHandle logFolder = CreateHeldFolderChain(folder, bChainMade, refused);
    if (!logFolder && !refused.path.empty()) {
        failure.SetFinding(L"open the result log's folder", refused.path, refused.finding);
        return kResultCannotCreateLog;
    }
    if (!logFolder) {
        if (!bChainMade) {
            failure.Set(L"create the result log's folder", logPath, GetLastError());
            return kResultCannotCreateFolder;
        }
        failure.Set(L"open the result log's folder", folder, GetLastError());
        return kResultCannotCreateLog;
    }

    // Everything below happens inside the held folder and on the one handle of the new file:
    // whatever stands at the name goes first (a file, or a link as itself; never a folder, which
    // may have taken the name since the look above), and the file is made anew. A name with
    // nothing at it is no failure of the removal.
    const bool bOldLogGone = engine.DeleteFileOrLinkIn(logFolder.Get(), name, fullPath) ||
                             IsNotFoundError(engine.GetLastErrorCause());
    FileHandle created;
    // DELETE: a create whose handle turns out to hold another entry removes it again; the log
    // shares no deletion, so no other handle could.
    const DWORD dwCreateError =
        CreateNewRelative(logFolder.Get(), name, FILE_APPEND_DATA | DELETE, FILE_SHARE_WRITE, created);
    if (dwCreateError != ERROR_SUCCESS) {
        // What stands at the name and could not be removed is the cause, not the collision.
        if (!bOldLogGone)
            SetEngineFailure(failure, L"remove the old result log", engine);
        else
            failure.Set(L"create the result log", fullPath, dwCreateError);
        return kResultCannotCreateLog;
    }
    AppendDriverLog(created.Get(), driverLog);
    hLog = std::move(created);
    return kResultOk;
}

bool AppendLogRecord(FileHandle hLog, int nRetCode) {
    char szRecord[256];
    int cch = std::snprintf(szRecord, sizeof szRecord, "==QVP log file==\r\nnRetCode=%d\r\n", nRetCode);
    if (!hLog || cch <= 0) return false;
    DWORD dwWritten = 0;
    if (!WriteFile(hLog.Get(), szRecord, static_cast<DWORD>(cch), &dwWritten, nullptr)) return false;
    if (dwWritten == static_cast<DWORD>(cch)) return true;
    // A short write to a disk file is what a full disk gives.
    SetLastError(ERROR_DISK_FULL);
    return false;
}
