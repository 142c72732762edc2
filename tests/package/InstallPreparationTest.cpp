#include <gtest/gtest.h>

#include <string>

#include "package/InstallPreparation.h"
#include "StagedPackage.h"

// The NIC family has no INF pairs to switch: whatever ENAUXMAC says, no file changes its name.
TEST_F(StagedPackage, NicPackageKeepsEveryDriverFile) {
    PackageSpec spec;
    spec.bUsbPackage = false;
    StagePackage(spec);
    const std::string drivers = TreeDigest(Staged(L"Windows\\WIN7"));

    PrepareStagedInstall(m_staging, false, false, false, m_engine);

    EXPECT_EQ(ListTree(m_staging + L"\\Windows"), ListTree(InRoot(L"Windows")));
    EXPECT_EQ(TreeDigest(Staged(L"Windows\\WIN7")), drivers);
    EXPECT_EQ(ReadBytes(Staged(L"Windows\\InstCtrl\\WINVISTA\\InstCtrl_Ndis6.txt")),
              ReadBytes(InRoot(L"Windows\\InstCtrl\\WINVISTA\\InstCtrl_Ndis6_KNDrvEnabled.txt")));
}

// The family decides, not the folders found: INF pairs in a NIC-family run keep their names.
TEST_F(StagedPackage, NicRunLeavesUsbStyleInfPairsAlone) {
    StagePackage(PackageSpec{});

    PrepareStagedInstall(m_staging, false, false, true, m_engine);

    EXPECT_EQ(ListTree(m_staging + L"\\Windows"), ListTree(InRoot(L"Windows")));
    EXPECT_TRUE(PathExists(Staged(L"Windows\\WIN7\\32\\kvux86w7.INF")));
}

TEST_F(StagedPackage, UsbRunSwitchesInfsAndInstallControl) {
    StagePackage(PackageSpec{});

    PrepareStagedInstall(m_staging, true, false, true, m_engine);

    EXPECT_TRUE(PathExists(Staged(L"Windows\\WIN7\\32\\kvux86w7m.INF")));
    EXPECT_TRUE(PathExists(Staged(L"Windows\\WIN7\\32\\kvux86w7_")));
    EXPECT_EQ(ReadBytes(Staged(L"Windows\\InstCtrl.txt")),
              ReadBytes(InRoot(L"Windows\\InstCtrl_KNDrvDisabled.txt")));
}
