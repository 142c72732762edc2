#include "package/DriverExtraction.h"

#include "fileops/FileOpEngine.h"
#include "fileops/FolderChain.h"
#include "fileops/ModulePath.h"
#include "fileops/OutOfSpace.h"
#include "package/PackageLayout.h"
#include "run/ResultCodes.h"

int ExtractDrivers(const std::wstring& stagingFolder, const std::wstring& extractionFolder,
                   bool bUsbPackage, CFileOpEngine& engine) {
    std::wstring strStaging = stagingFolder;
    std::wstring strExtraction = extractionFolder;
    ResolveModuleRelative(strStaging);
    ResolveModuleRelative(strExtraction);

    // The folder is rebuilt from nothing, so no driver of an earlier run survives.
    engine.Delete(strExtraction);
    if (!CreateFolderChain(strExtraction, false)) return kResultCannotCreateFolder;

    // The folder copy lands under the source's last component ("32" or "64"); each row then
    // moves it to its own name, which frees the intermediate name for the next row.
    const std::wstring strDrivers = strStaging + L"\\" + kWindowsFolder;
    // A folder the package lacks stays best effort; a drive without room leaves the caller
    // with incomplete drivers, which it must learn of.
    for (const OsDriverRow& row : kOsDriverRows) {
        if (!engine.Copy(strDrivers + OsDriverSource(row, bUsbPackage), strExtraction) &&
            IsOutOfSpace(engine.GetLastErrorCode()))
            return kResultCannotCreateFolder;
        engine.Rename(strExtraction + row.pszIntermediate, strExtraction + row.pszFinal);
    }
    return kResultOk;
}
