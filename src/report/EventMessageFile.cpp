#include "report/EventMessageFile.h"

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include "fileops/HandleIdentity.h"
#include "fileops/NtRelativeOpen.h"
#include "report/LogsFolder.h"

const wchar_t kKeptMessageFile[] = L"%SystemRoot%\\Logs\\NicUpdateMessages.exe";

namespace {

const wchar_t kKeptName[] = L"NicUpdateMessages.exe";
// The program is a few MiB; anything far larger is not the program and is not copied.
constexpr LONGLONG kLargestProgram = 64ll * 1024 * 1024;

std::wstring RunningProgramPath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD cch = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (cch == 0) return std::wstring();
        if (cch < buffer.size()) return std::wstring(buffer.data(), cch);
        if (buffer.size() >= 32768) return std::wstring();
        buffer.resize(buffer.size() * 2);
    }
}

bool ReadAll(HANDLE hFile, std::vector<char>& bytes) {
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(hFile, &size) || size.QuadPart <= 0 || size.QuadPart > kLargestProgram) return false;
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD dwRead = 0;
        if (!ReadFile(hFile, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &dwRead, nullptr) ||
            dwRead == 0)
            return false;
        done += dwRead;
    }
    return true;
}

bool ReadProgram(const std::wstring& path, std::vector<char>& bytes) {
    const FileHandle hProgram(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
    return hProgram && ReadAll(hProgram.Get(), bytes);
}

// True when the kept copy is a plain file of its own name holding exactly these bytes.
bool KeptCopyHolds(const LogsFolder& logs, const std::vector<char>& program) {
    FileHandle hKept;
    // Shares deletion: another run may rename its own whole copy over this one meanwhile.
    if (OpenRelative(logs.hFolder.Get(), kKeptName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                     FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT, hKept) != ERROR_SUCCESS)
        return false;
    if (!HoldsEntryItself(hKept.Get(), logs.handleName, kKeptName)) return false;
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(hKept.Get(), &size) || static_cast<ULONGLONG>(size.QuadPart) != program.size()) return false;
    std::vector<char> kept;
    return ReadAll(hKept.Get(), kept) && kept == program;
}

bool WriteAll(HANDLE hFile, const std::vector<char>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD dwChunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        DWORD dwWritten = 0;
        if (!WriteFile(hFile, bytes.data() + done, dwChunk, &dwWritten, nullptr) || dwWritten == 0) return false;
        done += dwWritten;
    }
    return true;
}

// Renames the open file to the kept name, replacing whatever entry stands there (a link as
// itself: its target is untouched). The platform takes the new name as a path (relative ones
// from the current folder) and wants no root folder handle; the held folder cannot move
// meanwhile, so the path still leads into it.
bool RenameTo(HANDLE hFile, const std::wstring& path) {
    const std::size_t cbName = path.size() * sizeof(wchar_t);
    std::vector<unsigned char> buffer(offsetof(FILE_RENAME_INFO, FileName) + cbName + sizeof(wchar_t));
    auto* pInfo = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    pInfo->ReplaceIfExists = TRUE;
    pInfo->RootDirectory = nullptr;
    pInfo->FileNameLength = static_cast<DWORD>(cbName);
    std::memcpy(pInfo->FileName, path.c_str(), cbName);
    return SetFileInformationByHandle(hFile, FileRenameInfo, pInfo, static_cast<DWORD>(buffer.size())) != FALSE;
}

// Writes the copy under a name of this run's own and renames it over the kept name only once
// it is whole. A copy that cannot be finished, or that the rename took anywhere but the kept
// name, is removed when its handle closes.
bool ReplaceKeptCopy(const LogsFolder& logs, const std::vector<char>& program) {
    const std::wstring temporaryName = L"NicUpdateMessages." + std::to_wstring(GetCurrentProcessId()) + L"." +
                                       std::to_wstring(GetTickCount()) + L".tmp";
    FileHandle hCopy;
    if (CreateNewRelative(logs.hFolder.Get(), temporaryName, GENERIC_WRITE | DELETE, 0, hCopy) != ERROR_SUCCESS) return false;
    if (WriteAll(hCopy.Get(), program) && FlushFileBuffers(hCopy.Get()) &&
        RenameTo(hCopy.Get(), logs.path + L"\\" + kKeptName) &&
        HandleNameIs(hCopy.Get(), EntryNameIn(logs.handleName, kKeptName)))
        return true;
    FILE_DISPOSITION_INFO dispose = {};
    dispose.DeleteFile = TRUE;
    SetFileInformationByHandle(hCopy.Get(), FileDispositionInfo, &dispose, sizeof dispose);
    return false;
}

}  // namespace

bool KeepEventMessageFile() {
    const std::wstring program = RunningProgramPath();
    std::vector<char> bytes;
    if (program.empty() || !ReadProgram(program, bytes)) return false;
    LogsFolder logs;
    return HoldLogsFolder(logs) && (KeptCopyHolds(logs, bytes) || ReplaceKeptCopy(logs, bytes));
}
