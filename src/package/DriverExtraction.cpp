#include "package/DriverExtraction.h"

#include <windows.h>

#include "fileops/FileOpEngine.h"
#include "fileops/FolderChain.h"
#include "fileops/ModulePath.h"
#include "fileops/PathKind.h"
#include "package/PackageLayout.h"
#include "package/ResultCodes.h"

int ExtractDrivers(const std::wstring& stagingFolder, const std::wstring& extractionFolder,
                   bool bUsbPackage, CFileOpEngine& engine, StepFailure& failure) {
    std::wstring strStaging = stagingFolder;
    std::wstring strExtraction = extractionFolder;
    ResolveModuleRelative(strStaging);
    ResolveModuleRelative(strExtraction);

    // The folder is rebuilt from nothing, so no driver of an earlier run survives.
    engine.Delete(strExtraction);
    if (!CreateFolderChain(strExtraction, false)) {
        failure.Set(L"create the driver folder", strExtraction, GetLastError());
        return kResultCannotCreateFolder;
    }

    // The folder copy lands under the source's last component ("32" or "64"); each row then
    // moves it to its own name, which frees the intermediate name for the next row.
    const std::wstring strDrivers = strStaging + L"\\" + kWindowsFolder;
    // A folder the family lacks yields no row. A copy or a move that fails would leave the
    // caller with incomplete drivers, or drivers under a name nobody looks for.
    for (const OsDriverRow& row : kOsDriverRows) {
        const std::wstring source = strDrivers + OsDriverSource(row, bUsbPackage);
        if (ProbePath(source) == PathMissing) continue;
        if (!engine.Copy(source, strExtraction)) {
            SetEngineFailure(failure, L"copy the drivers", engine);
            return kResultCannotCreateFolder;
        }
        if (!engine.Rename(strExtraction + row.pszIntermediate, strExtraction + row.pszFinal)) {
            SetEngineFailure(failure, L"name the drivers' folder for its Windows version", engine);
            return kResultCannotCreateFolder;
        }
    }
    return kResultOk;
}
