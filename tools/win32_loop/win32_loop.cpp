// The least a Win32 program does to stage a package and remove it again, for the benchmark to
// hold the real program against: a plain recursive loop of FindFirstFileW and CopyFileW, and of
// DeleteFileW and RemoveDirectoryW, without any check beyond the calls' own results.
//
//   win32_loop stage PACKAGE DEST   copies PACKAGE\Windows and PACKAGE\Others into DEST (made
//                                   anew), then runs DEST\Windows\Setup.exe -s and waits for it
//   win32_loop remove DEST          removes DEST and everything in it
// Exit code 0 when every call succeeded, 1 otherwise.
#include <windows.h>

#include <string>

namespace {

bool CopyTree(const std::wstring& source, const std::wstring& target) {
    if (!CreateDirectoryW(target.c_str(), nullptr)) return false;
    WIN32_FIND_DATAW data;
    HANDLE hFind = FindFirstFileW((source + L"\\*").c_str(), &data);
    if (hFind == INVALID_HANDLE_VALUE) return false;
    bool bOk = true;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            bOk = CopyTree(source + L"\\" + name, target + L"\\" + name);
        else
            bOk = CopyFileW((source + L"\\" + name).c_str(), (target + L"\\" + name).c_str(), FALSE) != FALSE;
    } while (bOk && FindNextFileW(hFind, &data));
    FindClose(hFind);
    return bOk;
}

bool RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    HANDLE hFind = FindFirstFileW((path + L"\\*").c_str(), &data);
    if (hFind == INVALID_HANDLE_VALUE) return false;
    bool bOk = true;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            bOk = RemoveTree(path + L"\\" + name);
        else
            bOk = DeleteFileW((path + L"\\" + name).c_str()) != FALSE;
    } while (bOk && FindNextFileW(hFind, &data));
    FindClose(hFind);
    return bOk && RemoveDirectoryW(path.c_str());
}

bool RunAndWait(const std::wstring& program) {
    std::wstring commandLine = L"\"" + program + L"\" -s";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return false;
    WaitForSingleObject(info.hProcess, INFINITE);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return true;
}

}  // namespace

int wmain(int argc, wchar_t* argv[]) {
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"stage" && argc == 4) {
        const std::wstring package = argv[2];
        const std::wstring dest = argv[3];
        const bool bOk = CreateDirectoryW(dest.c_str(), nullptr) &&
                         CopyTree(package + L"\\Windows", dest + L"\\Windows") &&
                         CopyTree(package + L"\\Others", dest + L"\\Others") && RunAndWait(dest + L"\\Windows\\Setup.exe");
        return bOk ? 0 : 1;
    }
    if (mode == L"remove" && argc == 3) return RemoveTree(argv[2]) ? 0 : 1;
    return 2;
}
