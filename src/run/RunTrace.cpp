#include "run/RunTrace.h"

#include <windows.h>

#include <utility>

#include "fileops/ProtectedFolder.h"
#include "run/TraceText.h"

namespace {

const unsigned long long kRollOverBytes = 1024ull * 1024ull;

bool IsReparsePointPath(const std::wstring& path) {
    const DWORD dwAttributes = GetFileAttributesW(path.c_str());
    return dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::wstring TraceFolder() {
    wchar_t szWindows[MAX_PATH] = {};
    const UINT cch = GetSystemWindowsDirectoryW(szWindows, MAX_PATH);
    if (cch == 0 || cch >= MAX_PATH) return std::wstring();
    return std::wstring(szWindows) + L"\\Logs";
}

// Never through a link: the handle is refused when the path or the opened object is one.
FileHandle OpenTraceFile(const std::wstring& path) {
    if (IsReparsePointPath(path)) return FileHandle();
    FileHandle hFile(CreateFileW(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!hFile) return FileHandle();
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!GetFileInformationByHandle(hFile.Get(), &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || IsReparsePointPath(path))
        return FileHandle();
    return hFile;
}

std::wstring UserName() {
    wchar_t szUser[257] = {};
    DWORD cch = 257;
    return GetUserNameW(szUser, &cch) ? szUser : L"(unknown)";
}

bool IsWow64() {
    BOOL bWow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &bWow64) && bWow64;
}

std::wstring TempFolder() {
    wchar_t szTemp[MAX_PATH + 1] = {};
    const DWORD cch = GetTempPathW(MAX_PATH + 1, szTemp);
    return cch == 0 || cch > MAX_PATH ? L"(none)" : szTemp;
}

}  // namespace

void RunTrace::Start(const wchar_t* pszCommandLine) {
    const std::wstring folder = TraceFolder();
    if (folder.empty()) return;
    if (GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) CreateAdministratorsOnlyFolder(folder);
    const std::wstring path = folder + L"\\NicUpdate.log";
    FileHandle hFile = OpenTraceFile(path);
    LARGE_INTEGER size = {};
    if (hFile && GetFileSizeEx(hFile.Get(), &size) && static_cast<unsigned long long>(size.QuadPart) > kRollOverBytes) {
        hFile.Reset();
        MoveFileExW(path.c_str(), (path + L".old").c_str(), MOVEFILE_REPLACE_EXISTING);
        hFile = OpenTraceFile(path);
    }
    if (!hFile) return;
    LARGE_INTEGER end = {};
    if (GetFileSizeEx(hFile.Get(), &end) && end.QuadPart == 0) {
        DWORD dwWritten = 0;
        WriteFile(hFile.Get(), "\xEF\xBB\xBF", 3, &dwWritten, nullptr);
    }
    m_hFile = std::move(hFile);
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    const TraceClock clock{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
    Write(FormatTraceTime(clock) + L" NicUpdate " + NICUPDATE_VERSION_TEXT + L" started: command line " +
          pszCommandLine + L", user " + UserName() + (IsWow64() ? L", 32-bit under WoW64" : L", native") +
          L", temporary folder " + TempFolder());
}

void RunTrace::Write(const std::wstring& text) {
    if (!m_hFile) return;
    const std::string line = ToUtf8(FormatTraceLine(GetCurrentProcessId(), text));
    DWORD dwWritten = 0;
    WriteFile(m_hFile.Get(), line.data(), static_cast<DWORD>(line.size()), &dwWritten, nullptr);
}

void RunTrace::WriteFailure(const std::wstring& step, const std::wstring& path, unsigned long error) {
    if (!m_hFile) return;
    wchar_t szText[512] = {};
    if (!FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, szText, 512,
                        nullptr))
        szText[0] = L'\0';
    Write(FormatStepFailure(step, path, error, szText));
}
