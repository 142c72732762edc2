#include "package/DriverExtraction.h"

#include <windows.h>

#include <array>
#include <cstddef>
#include <vector>

#include "fileops/FileOpEngine.h"
#include "fileops/FolderChain.h"
#include "fileops/ModulePath.h"
#include "fileops/PathKind.h"
#include "fileops/PathText.h"
#include "package/PackageLayout.h"
#include "package/ResultCodes.h"

namespace {

const wchar_t kCreateStep[] = L"create the driver folder";
const wchar_t kCopyStep[] = L"copy the drivers";

// "\WIN7\32" gives "WIN7" and "32".
std::vector<std::wstring> Components(const wchar_t* pszRelative) {
    std::vector<std::wstring> parts;
    std::wstring part;
    for (const wchar_t* p = pszRelative;; ++p) {
        if (*p == L'\\' || *p == L'\0') {
            if (!part.empty()) parts.push_back(part);
            part.clear();
            if (*p == L'\0') return parts;
        } else {
            part += *p;
        }
    }
}

// Opens the staged folder "Windows" + relative through the handles of each folder on the way.
// True with folder invalid when some folder on the way does not exist.
bool OpenStagedFolder(CFileOpEngine& engine, void* hWindows, const std::wstring& windowsPath,
                      const wchar_t* pszRelative, FileHandle& folder, std::wstring& path) {
    void* hParent = hWindows;
    path = windowsPath;
    FileHandle parent;
    for (const std::wstring& part : Components(pszRelative)) {
        path += L"\\" + part;
        if (!engine.OpenSourceFolder(hParent, part, path, folder)) return false;
        if (!folder) return true;
        parent = std::move(folder);
        hParent = parent.Get();
    }
    folder = std::move(parent);
    return true;
}

// The driver folders the family's rows read, each once, in row order: what a failed search names.
std::wstring DriverFoldersOfFamily(bool bUsbPackage) {
    std::wstring listed;
    for (const OsDriverRow& row : kOsDriverRows) {
        const std::wstring folder = std::wstring(kWindowsFolder) + OsDriverSource(row, bUsbPackage);
        if ((listed + L",").find(folder + L",") != std::wstring::npos) continue;
        listed += (listed.empty() ? L"" : L", ") + folder;
    }
    return listed;
}

}  // namespace

int ExtractDrivers(void* hStaging, const std::wstring& stagingFolder, const std::wstring& extractionFolder,
                   bool bUsbPackage, CFileOpEngine& engine, StepFailure& failure) {
    std::wstring strExtraction = extractionFolder;
    ResolveModuleRelative(strExtraction);

    // The staged driver folders are found first: a package without them leaves an earlier
    // extraction as it is. Rows 5 and 6 read the folders of rows 3 and 4 once more.
    const std::wstring windowsPath = stagingFolder + L"\\" + kWindowsFolder;
    FileHandle windows;
    if (!engine.OpenSourceFolder(hStaging, kWindowsFolder, windowsPath, windows)) {
        SetEngineFailure(failure, kCopyStep, engine);
        return kResultCannotCreateFolder;
    }
    std::array<FileHandle, kOsDriverRows.size()> sources;
    std::array<std::wstring, kOsDriverRows.size()> sourcePaths;
    bool bAnySource = false;
    for (std::size_t nRow = 0; windows && nRow < kOsDriverRows.size(); ++nRow) {
        if (!OpenStagedFolder(engine, windows.Get(), windowsPath, OsDriverSource(kOsDriverRows[nRow], bUsbPackage),
                              sources[nRow], sourcePaths[nRow])) {
            SetEngineFailure(failure, kCopyStep, engine);
            return kResultCannotCreateFolder;
        }
        bAnySource = bAnySource || sources[nRow];
    }
    // An empty extraction folder is no extraction: the profile names the other family, or the
    // package lost its drivers.
    if (!bAnySource) {
        failure.SetFinding(L"find the drivers to extract", windowsPath,
                           std::wstring(L"none of the ") + (bUsbPackage ? L"USB" : L"NIC") +
                               L" family's driver folders exists (" + DriverFoldersOfFamily(bUsbPackage) + L")");
        return kResultNoDriverFolders;
    }

    // The caller's existing folders are the caller's own path, opened as written; the missing
    // ones, "production" and everything below are made through the held folder above them.
    std::wstring given;
    std::wstring name;
    SplitParentAndName(strExtraction, given, name);
    bool bChainMade = true;
    RefusedLink refused;
    const FileHandle givenFolder = CreateHeldFolderChain(given, bChainMade, refused, true);
    if (!givenFolder && !refused.path.empty()) {
        failure.SetFinding(kCreateStep, refused.path, refused.finding);
        return kResultCannotCreateFolder;
    }
    if (!givenFolder) {
        failure.Set(kCreateStep, strExtraction, GetLastError());
        return kResultCannotCreateFolder;
    }

    // The folder is rebuilt from nothing, so no driver of an earlier run survives. Anything that
    // stays (a file kept at the read-only question, a link that cannot be removed as itself, a
    // held file, an entry that vanished under the delete) would mix old drivers with these, or
    // lead the copies wherever a link points. Only a folder that is not there at all is no
    // failure.
    if (!engine.DeleteIn(givenFolder.Get(), name, strExtraction) &&
        !(IsNotFoundError(engine.GetLastErrorCause()) && engine.GetLastErrorPath() == strExtraction)) {
        SetEngineFailure(failure, L"remove the old driver folder", engine);
        return kResultCannotCreateFolder;
    }
    // Made new: a folder that appeared at the name since the removal is someone else's, and
    // whatever was planted in it would lie among these drivers.
    engine.BeginCopy();
    FileHandle production;
    if (!engine.MakeNewFolder(givenFolder.Get(), name, strExtraction, production)) {
        SetEngineFailure(failure, kCreateStep, engine);
        return kResultCannotCreateFolder;
    }

    // Each row is copied straight into its final folder, made in the held extraction folder: no
    // intermediate name, nothing renamed, no path looked up again. A folder the family lacks
    // yields no row; a copy that fails would leave the caller with incomplete drivers.
    for (std::size_t nRow = 0; nRow < kOsDriverRows.size(); ++nRow) {
        if (!sources[nRow]) continue;
        const OsDriverRow& row = kOsDriverRows[nRow];
        const wchar_t* pszFinal = row.pszFinal + 1;  // without its leading backslash
        const std::wstring finalPath = strExtraction + row.pszFinal;
        FileHandle copy;
        if (!engine.MakeFolder(production.Get(), pszFinal, finalPath, copy) ||
            !engine.CopyContents(sources[nRow].Get(), sourcePaths[nRow], copy.Get(), finalPath)) {
            SetEngineFailure(failure, kCopyStep, engine);
            return kResultCannotCreateFolder;
        }
    }
    return kResultOk;
}
