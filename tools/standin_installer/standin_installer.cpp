// Stand-in for the package's driver installer, for tests and the demo. Placed as
// Windows\Setup.exe of a package, it records what it was given and what it sees, writes the
// family's InstallLog.txt and exits with a chosen code.
//
// It reads standin.cfg beside itself (key=value lines, all optional):
//   exit=N        its exit code (default 0)
//   record=PATH   where to write the record of what it saw (default: nowhere)
//   log=TEXT      InstallLog.txt holds TEXT and a line break; "log=" alone writes no install log
//   driverlog=PATH  where InstallLog.txt goes (default: the family's product folder as the
//                 program's layout table names it; tests give the folder literally)
//   logtimeplus=MS  rewrites an existing InstallLog.txt in place and dates it MS milliseconds after
//                 the last-write time it had, as an installer does within the same second as an
//                 earlier log (the file ID stays, and the size when the text is as long)
//   wait=MS       sleeps before it writes the install log and ends
//   waitfor=PATH  then waits until PATH exists (at most a minute)
//   started=PATH  written at its start, before anything else: "files=N" with N the number of
//                 files in its package (the folder above its own), so a test knows it runs
//   ended=PATH    written last, after the wait: the package's file count again
//   child=NAME    right after "started", starts a copy of itself that reads the file NAME beside
//                 it instead of standin.cfg, the way a bootstrapper hands its work on, and does
//                 not wait for it
//   childinherit=1  the copy inherits its inheritable handles (default: none)
//   childexe=PATH   the copy to start instead of itself, as a tray program some installers leave
//                 running from outside the package; NAME is read beside it
//   grandchild=NAME  (in a copy started by "child=") once the process that started it has ended,
//                 starts a copy of itself in turn, with the file NAME, inheriting nothing
//   findhold=PATH written once this process holds a handle to its package's folder that someone
//                 else gave it (a front end that still waits for it hands its hold on); it looks
//                 for half a minute at most
#include <windows.h>
#include <tlhelp32.h>

#include <map>
#include <string>

#include "fileops/FolderChain.h"
#include "fileops/ScopedHandle.h"
#include "invocation/PackageProfile.h"
#include "package/PackageLayout.h"

namespace {

const wchar_t kConfigSwitch[] = L"--config";

std::string ReadFileBytes(const std::wstring& path, bool& bFound) {
    std::string bytes;
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    bFound = file.IsValid();
    char buffer[4096];
    DWORD got = 0;
    while (file && ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    return bytes;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (file) WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    int cb = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(cb, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], cb, nullptr, nullptr);
    return out;
}

std::wstring Wide(const std::string& text) {
    if (text.empty()) return std::wstring();
    int cch = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(cch, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], cch);
    return out;
}

std::map<std::string, std::string> ReadConfig(const std::wstring& path, std::map<std::string, bool>& present) {
    std::map<std::string, std::string> config;
    bool bFound = false;
    std::string text = ReadFileBytes(path, bFound);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::size_t eq = line.find('=');
        if (eq != std::string::npos) {
            config[line.substr(0, eq)] = line.substr(eq + 1);
            present[line.substr(0, eq)] = true;
        }
        start = end + 1;
    }
    return config;
}

bool ReadLastWrite(const std::wstring& path, FILETIME& lastWrite) {
    FileHandle file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    return file && GetFileTime(file.Get(), nullptr, nullptr, &lastWrite);
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::size_t CountFiles(const std::wstring& folder) {
    std::size_t nFiles = 0;
    WIN32_FIND_DATAW data;
    FindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &data));
    for (bool bMore = find.IsValid(); bMore; bMore = FindNextFileW(find.Get(), &data) != FALSE) {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        nFiles += (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? CountFiles(folder + L"\\" + name) : 1;
    }
    return nFiles;
}

void WriteFileCount(const std::string& path, const std::wstring& root) {
    WriteFileBytes(Wide(path), "files=" + std::to_string(CountFiles(root)) + "\r\n");
}

void StartCopy(const std::wstring& program, const std::wstring& configName, bool bInherit) {
    std::wstring commandLine = L"\"" + program + L"\" " + kConfigSwitch + L" " + configName;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, bInherit, 0, nullptr, nullptr, &startup, &info))
        return;
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
}

// Waits until the process that started this one has ended (at most a minute); found by its id
// while this one starts, so an end before that is already an end.
void WaitForParentEnd() {
    DWORD dwParentId = 0;
    {
        FileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));  // fails as INVALID_HANDLE_VALUE
        PROCESSENTRY32W entry = {};
        entry.dwSize = sizeof entry;
        for (BOOL bMore = snapshot && Process32FirstW(snapshot.Get(), &entry); bMore;
             bMore = Process32NextW(snapshot.Get(), &entry))
            if (entry.th32ProcessID == GetCurrentProcessId()) dwParentId = entry.th32ParentProcessID;
    }
    KernelHandle parent(OpenProcess(SYNCHRONIZE, FALSE, dwParentId));
    if (parent) WaitForSingleObject(parent.Get(), 60000);
}

// Whether a handle of this process, other than its own, names the folder: handle values are
// multiples of 4, and a handle given from outside takes the lowest free one.
bool HoldsHandleTo(const std::wstring& folder) {
    FileHandle own(CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION wanted = {};
    if (!own || !GetFileInformationByHandle(own.Get(), &wanted)) return false;
    for (ULONG_PTR value = 4; value < 0x1000; value += 4) {
        const HANDLE h = reinterpret_cast<HANDLE>(value);
        BY_HANDLE_FILE_INFORMATION info = {};
        if (h == own.Get() || GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info)) continue;
        if (info.dwVolumeSerialNumber == wanted.dwVolumeSerialNumber && info.nFileIndexHigh == wanted.nFileIndexHigh &&
            info.nFileIndexLow == wanted.nFileIndexLow)
            return true;
    }
    return false;
}

}  // namespace

// The arguments as the C runtime splits them: the stand-in stays clear of the shell's library, whose
// load, with the windowing libraries it brings along, is a third of a launch under Wine and qemu.
int wmain(int argc, wchar_t** argv) {
    wchar_t szModule[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, szModule, MAX_PATH);
    std::wstring ownFolder = szModule;
    ownFolder.erase(ownFolder.rfind(L'\\'));                        // ...\Windows
    std::wstring root = ownFolder.substr(0, ownFolder.rfind(L'\\'));  // the staged package root

    // A copy started by "child=" is told its configuration on its command line.
    const bool bCopy = argc == 3 && std::wstring(argv[1]) == kConfigSwitch;
    const std::wstring configName = bCopy ? argv[2] : L"standin.cfg";
    std::map<std::string, bool> present;
    std::map<std::string, std::string> config = ReadConfig(ownFolder + L"\\" + configName, present);
    if (present["started"]) WriteFileCount(config["started"], root);
    if (present["child"])
        StartCopy(present["childexe"] ? Wide(config["childexe"]) : std::wstring(szModule), Wide(config["child"]),
                  config["childinherit"] == "1");
    if (present["grandchild"]) {
        WaitForParentEnd();
        StartCopy(szModule, Wide(config["grandchild"]), false);
    }
    if (present["findhold"]) {
        const DWORD dwStart = GetTickCount();
        bool bHeld = HoldsHandleTo(root);
        while (!bHeld && GetTickCount() - dwStart < 30000) {
            Sleep(20);
            bHeld = HoldsHandleTo(root);
        }
        if (bHeld) WriteFileBytes(Wide(config["findhold"]), "held\r\n");
    }
    bool bFound = false;
    const bool bUsbPackage = ProfileNamesUsb(ReadFileBytes(ownFolder + L"\\" + kProfileFile, bFound));

    std::string record;
    record += "commandline=" + Utf8(GetCommandLineW()) + "\r\n";
    wchar_t szCurrent[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, szCurrent);
    record += "cwd=" + Utf8(szCurrent) + "\r\n";
    record += std::string("family=") + (bUsbPackage ? "usb" : "nic") + "\r\n";
    for (const InfPairFolder& folder : kInfPairFolders) {
        std::wstring path = InfPairFolderPath(root, folder);
        std::wstring names[] = {std::wstring(folder.pszBaseName) + kActiveInfSuffix,
                                std::wstring(folder.pszBaseName) + kInactiveInfSuffix,
                                AuxMacInfName(folder) + kActiveInfSuffix, AuxMacInfName(folder) + kInactiveInfSuffix};
        std::string seen;
        for (const std::wstring& name : names)
            if (Exists(path + name)) seen += (seen.empty() ? "" : ",") + Utf8(name);
        record += "inf." + Utf8(folder.pszOsKey) + "\\" + Utf8(folder.pszArch) + "=" + seen + "\r\n";
    }
    std::string control = ReadFileBytes(InstallControlPath(root, bUsbPackage, InstallControlFor(bUsbPackage).pszControlFile), bFound);
    record += "instctrl=" + (bFound ? control : std::string("MISSING")) + "\r\n";
    if (present["record"]) WriteFileBytes(Wide(config["record"]), record);

    if (present["wait"]) Sleep(static_cast<DWORD>(std::stoul(config["wait"])));
    for (int nPolls = 0; present["waitfor"] && !Exists(Wide(config["waitfor"])) && nPolls < 3000; ++nPolls) Sleep(20);
    std::string logText = present["log"] ? config["log"] : std::string("stand-in driver install log");
    if (!logText.empty()) {
        logText += "\r\n";
        std::wstring logPath = present["driverlog"] ? Wide(config["driverlog"])
                                                    : DriverInstallLogFolder(bUsbPackage, true) + kDriverInstallLogFile;
        std::wstring chain = logPath;
        CreateFolderChain(chain, true);
        FILETIME earlier = {};
        const bool bRedate = present["logtimeplus"] && ReadLastWrite(logPath, earlier);
        WriteFileBytes(logPath, logText);
        if (bRedate) {
            ULARGE_INTEGER time;
            time.LowPart = earlier.dwLowDateTime;
            time.HighPart = earlier.dwHighDateTime;
            time.QuadPart += std::stoull(config["logtimeplus"]) * 10000ull;
            FILETIME later = {time.LowPart, time.HighPart};
            FileHandle file(CreateFileW(logPath.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
            if (file) SetFileTime(file.Get(), nullptr, nullptr, &later);
        }
    }
    if (present["ended"]) WriteFileCount(config["ended"], root);
    return present["exit"] ? std::stoi(config["exit"]) : 0;
}
