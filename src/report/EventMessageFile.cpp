#include "report/EventMessageFile.h"

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>
#include <vector>

#include "fileops/FExeption.h"
#include "fileops/HandleDelete.h"
#include "fileops/HandleIdentity.h"
#include "fileops/NtRelativeOpen.h"
#include "report/LogsFolder.h"

const wchar_t kKeptMessageFile[] = L"%SystemRoot%\\Logs\\NicUpdateMessages.dll";
const wchar_t kMessageFileResource[] = L"NICUPDATEMESSAGES";

namespace {

const wchar_t kKeptName[] = L"NicUpdateMessages.dll";
// Earlier versions kept a whole copy of the program as the message file.
const wchar_t kRetiredName[] = L"NicUpdateMessages.exe";

// The message file this module carries: its bytes stay mapped while the module is loaded.
bool CarriedMessageFile(const char*& pBytes, std::size_t& cbBytes) {
    const HRSRC hFound = FindResourceW(nullptr, kMessageFileResource, RT_RCDATA);
    if (hFound == nullptr) return false;
    const HGLOBAL hLoaded = LoadResource(nullptr, hFound);
    cbBytes = SizeofResource(nullptr, hFound);
    pBytes = hLoaded == nullptr ? nullptr : static_cast<const char*>(LockResource(hLoaded));
    return pBytes != nullptr && cbBytes > 0;
}

bool ReadAll(HANDLE hFile, std::vector<char>& bytes) {
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

// True when the kept file is a plain file of its own name holding exactly these bytes.
bool KeptFileHolds(const LogsFolder& logs, const std::vector<char>& messageFile) {
    FileHandle hKept;
    // Shares deletion: another run may rename its own whole file over this one meanwhile.
    if (OpenRelative(logs.hFolder.Get(), kKeptName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                     FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT, hKept) != ERROR_SUCCESS)
        return false;
    if (!HoldsEntryItself(hKept.Get(), logs.handleName, kKeptName)) return false;
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(hKept.Get(), &size) || static_cast<ULONGLONG>(size.QuadPart) != messageFile.size()) return false;
    std::vector<char> kept(messageFile.size());
    return ReadAll(hKept.Get(), kept) && kept == messageFile;
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

// Writes the file under a name of this run's own and renames it over the kept name only once
// it is whole. A file that cannot be finished, or that the rename took anywhere but the kept
// name, is removed when its handle closes.
bool ReplaceKeptFile(const LogsFolder& logs, const std::vector<char>& messageFile) {
    const std::wstring temporaryName = L"NicUpdateMessages." + std::to_wstring(GetCurrentProcessId()) + L"." +
                                       std::to_wstring(GetTickCount()) + L".tmp";
    FileHandle hCopy;
    if (CreateNewRelative(logs.hFolder.Get(), temporaryName, GENERIC_WRITE | DELETE, 0, hCopy) != ERROR_SUCCESS) return false;
    if (WriteAll(hCopy.Get(), messageFile) && FlushFileBuffers(hCopy.Get()) &&
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
    const char* pBytes = nullptr;
    std::size_t cbBytes = 0;
    if (!CarriedMessageFile(pBytes, cbBytes)) return false;
    const std::vector<char> messageFile(pBytes, pBytes + cbBytes);
    LogsFolder logs;
    return HoldLogsFolder(logs) && (KeptFileHolds(logs, messageFile) || ReplaceKeptFile(logs, messageFile));
}

void RemoveRetiredMessageFile() {
    LogsFolder logs;
    if (!HoldLogsFolder(logs)) return;
    DeleteDecisions decisions;
    decisions.mayDeleteFile = [](const std::wstring&, HANDLE, DWORD) { return true; };
    CHandleDelete deletion(std::move(decisions));
    // Never a folder, and a link goes as itself. A copy that cannot go (Event Viewer may have it
    // loaded) goes at a later run.
    try {
        deletion.RemoveFileOrLinkIn(logs.hFolder.Get(), kRetiredName, logs.path + L"\\" + kRetiredName);
    } catch (CFExeption* pCaught) {
        delete pCaught;
    }
}
