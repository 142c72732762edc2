#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "package/InstallControl.h"
#include "StagedPackage.h"
#include "support/HeldOpenFile.h"
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

    EXPECT_EQ(SelectInstallControl(m_staging, c.bUsbPackage, c.bForce, m_failure), SelectionResult::Made);

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

    EXPECT_EQ(SelectInstallControl(m_staging, c.bUsbPackage, c.bForce, m_failure), SelectionResult::NotInPackage);

    EXPECT_FALSE(PathExists(Staged(c.pszControl)));
    EXPECT_EQ(ReadBytes(Staged(c.pszVariant)), ReadBytes(InRoot(c.pszVariant)));
    EXPECT_FALSE(m_failure.IsSet());
}

// A package without the chosen variant keeps its control file, read-only attribute included.
TEST_P(SelectInstallControlCase, MissingVariantLeavesTheControlFileAsItIs) {
    const ControlCase& c = GetParam();
    PackageSpec spec;
    spec.bUsbPackage = c.bUsbPackage;
    spec.bReadOnly = true;
    StagePackage(spec);
    SetReadOnly(Staged(c.pszVariant), false);
    ASSERT_TRUE(DeleteFileW(Staged(c.pszVariant).c_str()));

    EXPECT_EQ(SelectInstallControl(m_staging, c.bUsbPackage, c.bForce, m_failure), SelectionResult::NotInPackage);

    EXPECT_EQ(ReadBytes(Staged(c.pszControl)), ReadBytes(InRoot(c.pszControl)));
    EXPECT_TRUE(GetFileAttributesW(Staged(c.pszControl).c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(m_failure.IsSet());
}

INSTANTIATE_TEST_SUITE_P(FamiliesAndForce, SelectInstallControlCase, ::testing::ValuesIn(kControlCases),
                         CaseName());

namespace {

// The platform's copy as Windows makes it: a read-only target is refused. (Under Wine as root
// the copy replaces a read-only file.)
unsigned long CopyRefusingReadOnly(const wchar_t* source, const wchar_t* target) {
    const DWORD dwAttributes = GetFileAttributesW(target);
    if (dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_READONLY)) return ERROR_ACCESS_DENIED;
    return CopyFileOver(source, target);
}

unsigned long CopyOntoFullDrive(const wchar_t*, const wchar_t*) { return ERROR_DISK_FULL; }

// The USB family's control file and its forced variant, for a package from read-only media or
// a copy that fails.
struct ControlCopyCase : NamedCase {
    bool bReadOnlyPackage;  // every package file read-only, as from a DVD; the staged copy keeps it
    CopyOverFile pfnCopy;
    DWORD dwHeldShare;      // the control file held open with this sharing; ~0u: not held
    DWORD dwError;          // 0: the variant arrives
};

const ControlCopyCase kControlCopies[] = {
    {"ReadOnlyPackage", true, &CopyRefusingReadOnly, ~0u, 0},
    {"ReadOnlyPackageOnPlatformCopy", true, &CopyFileOver, ~0u, 0},
    {"CopyOntoFullDrive", false, &CopyOntoFullDrive, ~0u, ERROR_DISK_FULL},
    {"ControlFileHeldForReading", false, &CopyFileOver, FILE_SHARE_READ, ERROR_SHARING_VIOLATION},
};

class InstallControlCopy : public StagedPackageTest<::testing::TestWithParam<ControlCopyCase>> {};

}  // namespace

TEST_P(InstallControlCopy, VariantArrivesOrTheStepFailsNamingTheControlFile) {
    const ControlCopyCase& c = GetParam();
    PackageSpec spec;
    spec.bReadOnly = c.bReadOnlyPackage;
    StagePackage(spec);
    const std::wstring control = Staged(L"Windows\\InstCtrl.txt");
    const std::string before = ReadBytes(control);
    const std::string variant = ReadBytes(Staged(L"Windows\\InstCtrl_KNDrvDisabled.txt"));
    ASSERT_EQ(c.bReadOnlyPackage, (GetFileAttributesW(control.c_str()) & FILE_ATTRIBUTE_READONLY) != 0);
    HeldOpenFile held(c.dwHeldShare != ~0u ? control : std::wstring(), c.dwHeldShare);

    const SelectionResult result = SelectInstallControl(m_staging, true, true, m_failure, c.pfnCopy);
    held.Release();

    if (c.dwError == 0) {
        EXPECT_EQ(result, SelectionResult::Made);
        EXPECT_EQ(ReadBytes(control), variant);
        EXPECT_FALSE(m_failure.IsSet()) << Narrow(m_failure.path) << " " << m_failure.dwError;
        return;
    }
    EXPECT_EQ(result, SelectionResult::Failed);
    EXPECT_EQ(Narrow(m_failure.step), "choose the install-control variant");
    EXPECT_EQ(m_failure.path, control);
    EXPECT_EQ(m_failure.dwError, c.dwError);
    EXPECT_EQ(ReadBytes(control), before);
}

INSTANTIATE_TEST_SUITE_P(Copies, InstallControlCopy, ::testing::ValuesIn(kControlCopies), CaseName());

// A folder where the control file belongs is no control file the installer could read.
TEST_F(StagedPackage, ControlFileNameHeldByAFolderFailsTheStep) {
    StagePackage(PackageSpec{});
    const std::wstring control = Staged(L"Windows\\InstCtrl.txt");
    ASSERT_TRUE(DeleteFileW(control.c_str()));
    ASSERT_TRUE(CreateDirectoryW(control.c_str(), nullptr));

    EXPECT_EQ(SelectInstallControl(m_staging, true, false, m_failure), SelectionResult::Failed);

    EXPECT_EQ(m_failure.path, control);
    EXPECT_NE(m_failure.dwError, 0u);
    EXPECT_TRUE(ListTree(control).empty()) << "the variant was copied into the folder";
}
