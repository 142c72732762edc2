#pragma once

#include <array>
#include <string>

// Every folder and file name of the update package, of the folders the program writes and of
// the driver installer's log. Other code builds its paths from these names only.

// Top-level folders of the package root, copied whole into the staging folder.
extern const wchar_t kWindowsFolder[];  // "Windows"
extern const wchar_t kOthersFolder[];   // "Others"

// The package profile inside "Windows", read for the package family.
extern const wchar_t kProfileFile[];  // "setup.ini"

// The driver installer inside "Windows": staging folder, "\", kWindowsFolder, kInstallerFile.
extern const wchar_t kInstallerFile[];  // "\Setup.exe"

// Appended directly to the user's temporary folder path.
extern const wchar_t kStagingFolderName[];  // "KVNIC_INST_TEMP"

// Appended to the EXTRACTDRIVERS value.
extern const wchar_t kExtractionSubfolder[];  // "\production"

// One Windows version and architecture of the per-OS driver extraction, in extraction order.
// The source literals follow "Windows"; the final name follows the extraction folder.
struct OsDriverRow {
    const wchar_t* pszUsbSource;  // "\WIN7\32"
    const wchar_t* pszNicSource;  // "\WIN7\NDIS6\32"
    const wchar_t* pszFinal;      // "\Windows7-x86"
};
extern const std::array<OsDriverRow, 8> kOsDriverRows;

const wchar_t* OsDriverSource(const OsDriverRow& row, bool bUsbPackage);

// One USB-family driver folder with its INF pair: folder Windows\<OS key>\<architecture>\,
// the INF named by the base name and the one named by the base name and kAuxMacInfMark.
struct InfPairFolder {
    const wchar_t* pszOsKey;     // "WIN7"
    const wchar_t* pszArch;      // "32"
    const wchar_t* pszBaseName;  // "kvux86w7"
};
extern const std::array<InfPairFolder, 6> kInfPairFolders;

extern const wchar_t kAuxMacInfMark[];      // "m"
extern const wchar_t kActiveInfSuffix[];    // ".INF"
extern const wchar_t kInactiveInfSuffix[];  // "_"

// root, "\", "Windows", "\", OS key, "\", architecture, "\".
std::wstring InfPairFolderPath(const std::wstring& root, const InfPairFolder& folder);
std::wstring AuxMacInfName(const InfPairFolder& folder);  // base name + "m"

// The install-control file of one family and the two variants beside it. The folder follows
// "Windows" and ends with a backslash.
struct InstallControlFiles {
    const wchar_t* pszFolder;            // "\" or "\InstCtrl\WINVISTA\"
    const wchar_t* pszControlFile;       // "InstCtrl.txt"
    const wchar_t* pszForcedVariant;     // chosen when FORCE is on
    const wchar_t* pszUnforcedVariant;   // chosen otherwise
};
const InstallControlFiles& InstallControlFor(bool bUsbPackage);

// root, "\", "Windows", the family's folder, file name.
std::wstring InstallControlPath(const std::wstring& root, bool bUsbPackage, const wchar_t* pszFile);

// The driver installer's own log, in the product install folder of the family.
extern const wchar_t kDriverInstallLogFile[];  // "InstallLog.txt"

// The product install folder, ending with a backslash; the log's file name follows directly.
std::wstring DriverInstallLogFolder(bool bUsbPackage, bool b64BitWindows);
