#include <gtest/gtest.h>

#include "package/AuxMacInf.h"
#include "package/InstallControl.h"
#include "StagedPackage.h"

// A NIC-family package has no INF pairs to switch: whatever ENAUXMAC says, every driver file
// keeps its name and content, and only the install-control file takes a variant's content.
TEST_F(StagedPackage, NicPackageKeepsEveryDriverFile) {
    PackageSpec spec;
    spec.bUsbPackage = false;
    StagePackage(spec);
    const std::string drivers[] = {TreeDigest(Staged(L"Windows\\WIN7")), TreeDigest(Staged(L"Windows\\WIN8")),
                                   TreeDigest(Staged(L"Windows\\WIN10"))};

    for (bool bEnableAuxMac : {true, false})
        EXPECT_EQ(SelectAuxMacInf(m_staging, bEnableAuxMac, m_engine, m_failure), SelectionResult::NotInPackage);
    EXPECT_EQ(SelectInstallControl(m_staging, false, false, m_failure), SelectionResult::Made);

    EXPECT_EQ(ListTree(Staged(L"Windows")), ListTree(InRoot(L"Windows")));
    EXPECT_EQ(TreeDigest(Staged(L"Windows\\WIN7")), drivers[0]);
    EXPECT_EQ(TreeDigest(Staged(L"Windows\\WIN8")), drivers[1]);
    EXPECT_EQ(TreeDigest(Staged(L"Windows\\WIN10")), drivers[2]);
    EXPECT_EQ(ReadBytes(Staged(L"Windows\\InstCtrl\\WINVISTA\\InstCtrl_Ndis6.txt")),
              ReadBytes(InRoot(L"Windows\\InstCtrl\\WINVISTA\\InstCtrl_Ndis6_KNDrvEnabled.txt")));
}
