#include "package/PackageLayout.h"

const wchar_t kWindowsFolder[] = L"Windows";
const wchar_t kOthersFolder[] = L"Others";
const wchar_t kProfileFile[] = L"setup.ini";
const wchar_t kInstallerFile[] = L"\\Setup.exe";
const wchar_t kStagingFolderName[] = L"KVNIC_INST_TEMP";
const wchar_t kExtractionSubfolder[] = L"\\production";

// Windows 8.1 has no folder of its own: its rows read the WIN8 folders.
const std::array<OsDriverRow, 8> kOsDriverRows = {{
    {L"\\WIN7\\32", L"\\WIN7\\NDIS6\\32", L"\\Windows7-x86"},
    {L"\\WIN7\\64", L"\\WIN7\\NDIS6\\64", L"\\Windows7-x64"},
    {L"\\WIN8\\32", L"\\WIN8\\NDIS6\\32", L"\\Windows8-x86"},
    {L"\\WIN8\\64", L"\\WIN8\\NDIS6\\64", L"\\Windows8-x64"},
    {L"\\WIN8\\32", L"\\WIN8\\NDIS6\\32", L"\\Windows8.1-x86"},
    {L"\\WIN8\\64", L"\\WIN8\\NDIS6\\64", L"\\Windows8.1-x64"},
    {L"\\WIN10\\32", L"\\WIN10\\NDIS6\\32", L"\\Windows10-x86"},
    {L"\\WIN10\\64", L"\\WIN10\\NDIS6\\64", L"\\Windows10-x64"},
}};

const wchar_t* OsDriverSource(const OsDriverRow& row, bool bUsbPackage) {
    return bUsbPackage ? row.pszUsbSource : row.pszNicSource;
}

const std::array<InfPairFolder, 6> kInfPairFolders = {{
    {L"WIN7", L"32", L"kvux86w7"},
    {L"WIN7", L"64", L"kvux64w7"},
    {L"WIN8", L"32", L"kvux86w8"},
    {L"WIN8", L"64", L"kvux64w8"},
    {L"WIN10", L"32", L"kvux86w10"},
    {L"WIN10", L"64", L"kvux64w10"},
}};

const wchar_t kAuxMacInfMark[] = L"m";
const wchar_t kActiveInfSuffix[] = L".INF";
const wchar_t kInactiveInfSuffix[] = L"_";

std::wstring InfPairFolderPath(const std::wstring& root, const InfPairFolder& folder) {
    return root + L"\\" + kWindowsFolder + L"\\" + folder.pszOsKey + L"\\" + folder.pszArch + L"\\";
}

std::wstring AuxMacInfName(const InfPairFolder& folder) {
    return std::wstring(folder.pszBaseName) + kAuxMacInfMark;
}

namespace {
const InstallControlFiles kUsbInstallControl = {
    L"\\", L"InstCtrl.txt", L"InstCtrl_KNDrvDisabled.txt", L"InstCtrl_KNDrvEnabled.txt"};
const InstallControlFiles kNicInstallControl = {
    L"\\InstCtrl\\WINVISTA\\", L"InstCtrl_Ndis6.txt", L"InstCtrl_Ndis6_KNDrvDisabled.txt",
    L"InstCtrl_Ndis6_KNDrvEnabled.txt"};
}  // namespace

const InstallControlFiles& InstallControlFor(bool bUsbPackage) {
    return bUsbPackage ? kUsbInstallControl : kNicInstallControl;
}

std::wstring InstallControlPath(const std::wstring& root, bool bUsbPackage, const wchar_t* pszFile) {
    return root + L"\\" + kWindowsFolder + InstallControlFor(bUsbPackage).pszFolder + pszFile;
}

const wchar_t kDriverInstallLogFile[] = L"InstallLog.txt";

std::wstring DriverInstallLogFolder(bool bUsbPackage, bool b64BitWindows) {
    // Fixed text, drive letter included: the installer writes there whatever the system's
    // program folder is called.
    static const char* const kFolders[2][2] = {
        {"C:\\Program Files\\Corvane\\Corvane Windows NIC Driver\\",
         "C:\\Program Files (x86)\\Corvane\\Corvane Windows NIC Driver\\"},
        {"C:\\Program Files\\Corvane\\Corvane Velmora USB Windows Driver\\",
         "C:\\Program Files (x86)\\Corvane\\Corvane Velmora USB Windows Driver\\"},
    };
    const char* pszFolder = kFolders[bUsbPackage ? 1 : 0][b64BitWindows ? 1 : 0];
    return std::wstring(pszFolder, pszFolder + std::char_traits<char>::length(pszFolder));
}
