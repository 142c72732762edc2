#include "report/RunTrace.h"

#include <windows.h>

#include <utility>

#include "fileops/HandleIdentity.h"
#include "fileops/NtRelativeOpen.h"
#include "fileops/WindowsBitness.h"
#include "report/LogsFolder.h"

namespace {

const wchar_t kTraceFileName[] = L"NicUpdate.log";
const wchar_t kOldTraceFileName[] = L"NicUpdate.log.old";
const unsigned long long kRollOverBytes = 1024ull * 1024ull;
const char kUtf8ByteOrderMark[] = "\xEF\xBB\xBF";
// Appends only, so each write lands whole at the end whoever else appends; every sharing, so
// that an administrator can read it and overlapping runs can write it at the same time.
constexpr ACCESS_MASK kAppendAccess = FILE_APPEND_DATA | FILE_READ_ATTRIBUTES;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kFileOptions = FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT;

// The trace file opened for appending, made (with its byte-order mark) when missing; never
// what a link at its name points to.
FileHandle OpenForAppending(HANDLE hFolder, const std::wstring& folderName) {
    FileHandle file;
    DWORD dwError = OpenRelative(hFolder, kTraceFileName, kAppendAccess, kShareAll, kFileOptions, file);
    if (dwError == ERROR_FILE_NOT_FOUND &&
        CreateNewRelative(hFolder, kTraceFileName, kAppendAccess, kShareAll, file) == ERROR_SUCCESS) {
        DWORD dwWritten = 0;
        WriteFile(file.Get(), kUtf8ByteOrderMark, 3, &dwWritten, nullptr);
        dwError = ERROR_SUCCESS;
    } else if (dwError == ERROR_FILE_NOT_FOUND) {
        // Another run made it in between.
        dwError = OpenRelative(hFolder, kTraceFileName, kAppendAccess, kShareAll, kFileOptions, file);
    }
    if (dwError != ERROR_SUCCESS || !HoldsEntryItself(file.Get(), folderName, kTraceFileName)) return FileHandle();
    return file;
}

// Renames the trace to its .old name, replacing an older one. A rename moves the entry itself,
// a link included, and writes nothing through it; the folder is held, so its path names the
// folder the trace was opened in. A reader that shares no deletion makes it fail: the trace
// then rolls over at a later run.
void RollOver(const std::wstring& folder) {
    MoveFileExW((folder + L"\\" + kTraceFileName).c_str(), (folder + L"\\" + kOldTraceFileName).c_str(),
                MOVEFILE_REPLACE_EXISTING);
}

std::wstring UserName() {
    wchar_t szUser[257] = {};
    DWORD cch = 257;
    return GetUserNameW(szUser, &cch) ? szUser : L"(unknown)";
}

}  // namespace

void RunTrace::Start(const TraceClock& started, const wchar_t* pszCommandLine, const std::wstring& tempFolder) {
    LogsFolder logs;
    if (!HoldLogsFolder(logs)) return;
    FileHandle file = OpenForAppending(logs.hFolder.Get(), logs.handleName);
    LARGE_INTEGER size = {};
    if (file && GetFileSizeEx(file.Get(), &size) && static_cast<unsigned long long>(size.QuadPart) > kRollOverBytes) {
        file.Reset();
        RollOver(logs.path);
        file = OpenForAppending(logs.hFolder.Get(), logs.handleName);
    }
    m_hFile = std::move(file);
    Write(FormatTraceTime(started) + L" NicUpdate " + NICUPDATE_VERSION_TEXT + L" started: command line " +
          pszCommandLine + L", user " + UserName() + (IsRunningUnderWow64() ? L", 32-bit under WoW64" : L", not under WoW64") +
          L", temporary folder " + (tempFolder.empty() ? std::wstring(L"(none)") : tempFolder));
}

void RunTrace::Write(const std::wstring& text) {
    if (!m_hFile) return;
    const std::string line = ToUtf8(FormatTraceLine(GetCurrentProcessId(), text));
    DWORD dwWritten = 0;
    WriteFile(m_hFile.Get(), line.data(), static_cast<DWORD>(line.size()), &dwWritten, nullptr);
}
