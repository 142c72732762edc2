// The least a Win32 program does to stage a package and remove it again, for the benchmark to
// hold the real program against: a plain recursive loop of FindFirstFileW and CopyFileW, and of
// DeleteFileW and RemoveDirectoryW, without any check beyond the calls' own results.
//
//   win32_loop stage PACKAGE DEST     copies PACKAGE\Windows and PACKAGE\Others into DEST (made
//                                     anew), then runs DEST\Windows\Setup.exe -s and waits for it
//   win32_loop remove DEST            removes DEST and everything in it
//   win32_loop install PACKAGE DEST   both in one process, as one install does them
// Exit code 0 when every call succeeded, 1 otherwise.
#include <windows.h>

#include <string>

#include "fileops/ScopedHandle.h"

namespace {

// Calls visit(name, bFolder) for each entry of the folder but "." and "..", in listing order,
// until a call fails. False when the folder cannot be listed or a call failed.
template <class Visit>
bool VisitEntries(const std::wstring& folder, Visit visit) {
    WIN32_FIND_DATAW data;
    FindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (!find) return false;
    bool bOk = true;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        bOk = visit(name, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
    } while (bOk && FindNextFileW(find.Get(), &data));
    return bOk;
}

bool CopyTree(const std::wstring& source, const std::wstring& target) {
    if (!CreateDirectoryW(target.c_str(), nullptr)) return false;
    return VisitEntries(source, [&](const std::wstring& name, bool bFolder) {
        const std::wstring from = source + L"\\" + name, to = target + L"\\" + name;
        // Fail-if-exists: the folder is new, and a copy that may replace asks the platform to look
        // for the name first (under Wine a scan of the target folder for every file).
        return bFolder ? CopyTree(from, to) : CopyFileW(from.c_str(), to.c_str(), TRUE) != FALSE;
    });
}

bool RemoveTree(const std::wstring& path) {
    const bool bEmptied = VisitEntries(path, [&](const std::wstring& name, bool bFolder) {
        const std::wstring entry = path + L"\\" + name;
        return bFolder ? RemoveTree(entry) : DeleteFileW(entry.c_str()) != FALSE;
    });
    return bEmptied && RemoveDirectoryW(path.c_str());
}

bool RunAndWait(const std::wstring& program) {
    std::wstring commandLine = L"\"" + program + L"\" -s";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return false;
    KernelHandle process(info.hProcess), thread(info.hThread);
    WaitForSingleObject(process.Get(), INFINITE);
    return true;
}

bool Stage(const std::wstring& package, const std::wstring& dest) {
    return CreateDirectoryW(dest.c_str(), nullptr) && CopyTree(package + L"\\Windows", dest + L"\\Windows") &&
           CopyTree(package + L"\\Others", dest + L"\\Others") && RunAndWait(dest + L"\\Windows\\Setup.exe");
}

}  // namespace

int wmain(int argc, wchar_t* argv[]) {
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"stage" && argc == 4) return Stage(argv[2], argv[3]) ? 0 : 1;
    if (mode == L"remove" && argc == 3) return RemoveTree(argv[2]) ? 0 : 1;
    if (mode == L"install" && argc == 4) return Stage(argv[2], argv[3]) && RemoveTree(argv[3]) ? 0 : 1;
    return 2;
}
