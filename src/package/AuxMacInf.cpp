#include "package/AuxMacInf.h"

#include "fileops/FileOpEngine.h"
#include "package/PackageLayout.h"

void SelectAuxMacInf(const std::wstring& stagingFolder, bool bEnableAuxMac, CFileOpEngine& engine) {
    // All activations come before the first deactivation; a rename never replaces a file, so
    // a name that is already taken keeps both files as they are.
    for (const InfPairFolder& folder : kInfPairFolders) {
        const std::wstring strFolder = InfPairFolderPath(stagingFolder, folder);
        const std::wstring strChosen = bEnableAuxMac ? folder.pszBaseName : AuxMacInfName(folder);
        engine.Rename(strFolder + strChosen + kInactiveInfSuffix, strFolder + strChosen + kActiveInfSuffix);
    }
    for (const InfPairFolder& folder : kInfPairFolders) {
        const std::wstring strFolder = InfPairFolderPath(stagingFolder, folder);
        const std::wstring strOther = bEnableAuxMac ? AuxMacInfName(folder) : folder.pszBaseName;
        engine.Rename(strFolder + strOther + kActiveInfSuffix, strFolder + strOther + kInactiveInfSuffix);
    }
}
