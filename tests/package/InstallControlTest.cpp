#include <gtest/gtest.h>

#include <string>

#include "package/InstallControl.h"
#include "StagedPackage.h"
#include "support/NamedCase.h"

namespace {

struct ControlCase : NamedCase {
    bool bUsbPackage;
    bool bForce;
    const wchar_t* pszControl;  // below the staging folder
    const wchar_t* pszVariant;  // the one that must arrive
    const wchar_t* pszOtherFamilysControl;
};

const ControlCase kControlCases[] = {
    {"UsbForced", true, true, L"Windows\\InstCtrl.txt", L"Windows\\InstCtrl_KNDrvDisabled.txt",
     L"Windows\\InstCtrl\\WINVISTA\\InstCtrl_Ndis6.txt"},
    {"UsbNotForced", true, false, L"Windows\\InstCtrl.txt", L"Windows\\InstCtrl_KNDrvEnabled.txt",
     L"Windows\\InstCtrl\\WINVISTA\\InstCtrl_Ndis6.txt"},
    {"NicForced", false, true, L"Windows\\InstCtrl\\WINVISTA\\InstCtrl_Ndis6.txt",
     L"Windows\\InstCtrl\\WINVISTA\\InstCtrl_Ndis6_KNDrvDisabled.txt", L"Windows\\InstCtrl.txt"},
    {"NicNotForced", false, false, L"Windows\\InstCtrl\\WINVISTA\\InstCtrl_Ndis6.txt",
     L"Windows\\InstCtrl\\WINVISTA\\InstCtrl_Ndis6_KNDrvEnabled.txt", L"Windows\\InstCtrl.txt"},
};

class SelectInstallControlCase : public StagedPackageTest<::testing::TestWithParam<ControlCase>> {};

}  // namespace

TEST_P(SelectInstallControlCase, ChosenVariantArrivesAndStays) {
    const ControlCase& c = GetParam();
    PackageSpec spec;
    spec.bUsbPackage = c.bUsbPackage;
    StagePackage(spec);
    const std::string variant = ReadBytes(InRoot(c.pszVariant));
    ASSERT_NE(variant, ReadBytes(InRoot(c.pszControl)));

    SelectInstallControl(m_staging, c.bUsbPackage, c.bForce, m_engine);

    EXPECT_EQ(ReadBytes(Staged(c.pszControl)), variant);
    EXPECT_EQ(ReadBytes(Staged(c.pszVariant)), variant);
    // The other family's install-control file is not the installer's and keeps its content.
    EXPECT_EQ(ReadBytes(Staged(c.pszOtherFamilysControl)), ReadBytes(InRoot(c.pszOtherFamilysControl)));
}

TEST_P(SelectInstallControlCase, MissingInstallControlFileStaysMissing) {
    const ControlCase& c = GetParam();
    PackageSpec spec;
    spec.bUsbPackage = c.bUsbPackage;
    spec.bInstallControlFiles = false;
    StagePackage(spec);

    SelectInstallControl(m_staging, c.bUsbPackage, c.bForce, m_engine);

    EXPECT_FALSE(PathExists(Staged(c.pszControl)));
    EXPECT_EQ(ReadBytes(Staged(c.pszVariant)), ReadBytes(InRoot(c.pszVariant)));
}

INSTANTIATE_TEST_SUITE_P(FamiliesAndForce, SelectInstallControlCase, ::testing::ValuesIn(kControlCases),
                         CaseName());
