#include "package/InstallControl.h"

#include "fileops/FileOpEngine.h"
#include "package/PackageLayout.h"

void SelectInstallControl(const std::wstring& stagingFolder, bool bUsbPackage, bool bForce,
                          CFileOpEngine& engine) {
    // A file onto a file replaces the content only; an install-control file that the package
    // lacks is not created.
    const InstallControlFiles& files = InstallControlFor(bUsbPackage);
    const wchar_t* pszVariant = bForce ? files.pszForcedVariant : files.pszUnforcedVariant;
    engine.Copy(InstallControlPath(stagingFolder, bUsbPackage, pszVariant),
                InstallControlPath(stagingFolder, bUsbPackage, files.pszControlFile));
}
