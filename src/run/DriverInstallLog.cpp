#include "run/DriverInstallLog.h"

#include <windows.h>

#include "fileops/HandleIdentity.h"
#include "fileops/HeldFolder.h"
#include "fileops/NtRelativeOpen.h"
#include "fileops/PathKind.h"
#include "fileops/PathText.h"
#include "fileops/WindowsBitness.h"
#include "package/PackageLayout.h"

namespace {

std::uint64_t Joined(DWORD dwHigh, DWORD dwLow) { return (static_cast<std::uint64_t>(dwHigh) << 32) | dwLow; }

DriverLogOpen Refuse(std::wstring& why, const std::wstring& text) {
    why = text;
    return DriverLogOpen::Refused;
}

std::wstring ErrorText(DWORD dwError) { return L"(Win32 error " + std::to_wstring(dwError) + L")"; }

}  // namespace

std::wstring DriverInstallLogPath(bool bUsbPackage) {
    return DriverInstallLogFolder(bUsbPackage, IsRunningUnderWow64()) + kDriverInstallLogFile;
}

bool IsSameLog(const DriverLogNote& first, const DriverLogNote& second) {
    if (first.state != second.state) return false;
    if (first.state != DriverLogNote::State::Present) return true;
    return first.ullFileId == second.ullFileId && first.ullSize == second.ullSize &&
           first.ullLastWrite == second.ullLastWrite;
}

DriverLogOpen OpenDriverLog(const std::wstring& path, bool bRead, FileHandle& file, DriverLogNote& note,
                            std::wstring& why) {
    file.Reset();
    note = DriverLogNote();
    std::wstring folderPath;
    std::wstring name;
    SplitParentAndName(path, folderPath, name);
    const FileHandle folder = HoldFolderForEntries(folderPath);
    if (!folder) {
        const DWORD dwError = GetLastError();
        if (IsNotFoundError(dwError)) return DriverLogOpen::Absent;
        note.state = DriverLogNote::State::Unknown;
        note.dwError = dwError;
        return Refuse(why, L"its folder is a link or cannot be held " + ErrorText(dwError));
    }
    std::wstring folderName;
    if (!ReadHandleName(folder.Get(), folderName)) {
        note.state = DriverLogNote::State::Unknown;
        note.dwError = GetLastError();
        return Refuse(why, L"its folder's name cannot be read " + ErrorText(note.dwError));
    }
    // Read access shares reading only: a process that still writes the log keeps it out.
    const ACCESS_MASK dwAccess = bRead ? FILE_GENERIC_READ : FILE_READ_ATTRIBUTES;
    const DWORD dwShare = bRead ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    FileHandle opened;
    const DWORD dwOpenError =
        OpenRelative(folder.Get(), name, dwAccess, dwShare, FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT, opened);
    if (dwOpenError != ERROR_SUCCESS) {
        if (IsNotFoundError(dwOpenError)) return DriverLogOpen::Absent;
        note.state = DriverLogNote::State::Unknown;
        note.dwError = dwOpenError;
        return Refuse(why, L"it cannot be opened " + ErrorText(dwOpenError));
    }
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!GetFileInformationByHandle(opened.Get(), &info)) {
        note.state = DriverLogNote::State::Unknown;
        note.dwError = GetLastError();
        return Refuse(why, L"its file ID cannot be read " + ErrorText(note.dwError));
    }
    note.state = DriverLogNote::State::Present;
    note.ullFileId = Joined(info.nFileIndexHigh, info.nFileIndexLow);
    note.ullSize = Joined(info.nFileSizeHigh, info.nFileSizeLow);
    note.ullLastWrite = Joined(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime);
    // A link opened as itself is a reparse point; where the platform follows it anyway, the
    // handle holds the target's name.
    if (!HoldsEntryItself(opened.Get(), folderName, name)) return Refuse(why, L"it is a link");
    if (info.nNumberOfLinks > 1)
        return Refuse(why, L"it has " + std::to_wstring(info.nNumberOfLinks) + L" hard links: it may be any file");
    file = std::move(opened);
    return DriverLogOpen::Opened;
}

DriverLogNote NoteDriverLog(const std::wstring& path) {
    FileHandle file;
    DriverLogNote note;
    std::wstring why;
    OpenDriverLog(path, false, file, note, why);
    return note;
}
