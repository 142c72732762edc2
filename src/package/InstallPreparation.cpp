#include "package/InstallPreparation.h"

#include "package/AuxMacInf.h"
#include "package/InstallControl.h"

void PrepareStagedInstall(const std::wstring& stagingFolder, bool bUsbPackage, bool bEnableAuxMac,
                          bool bForce, CFileOpEngine& engine) {
    if (bUsbPackage) SelectAuxMacInf(stagingFolder, bEnableAuxMac, engine);
    SelectInstallControl(stagingFolder, bUsbPackage, bForce, engine);
}
