// The security descriptor the staging folder is created with. Wine does not keep a folder's
// descriptor (reading one back gives Wine's default), so the descriptor is checked here, as
// built, rather than on a created folder.
#include <gtest/gtest.h>

#include <windows.h>

#include <iterator>
#include <string>

#include "fileops/ProtectedFolder.h"
#include "support/FileUtil.h"
#include "support/TempFolder.h"

namespace {

struct ExpectedAce {
    const char* pszName;
    WELL_KNOWN_SID_TYPE sidType;
};

const ExpectedAce kExpectedAces[] = {{"LocalSystem", WinLocalSystemSid},
                                     {"Administrators", WinBuiltinAdministratorsSid}};

PACL DaclOf(const LocalMemory& descriptor) {
    BOOL bPresent = FALSE;
    BOOL bDefaulted = TRUE;
    PACL pDacl = nullptr;
    if (!GetSecurityDescriptorDacl(descriptor.Get(), &bPresent, &pDacl, &bDefaulted) || !bPresent) return nullptr;
    return pDacl;
}

}  // namespace

// Inherited entries would let the temporary folder's own rights (anyone may add files) in again.
TEST(AdministratorsOnlyDescriptor, DaclIsPresentExplicitAndProtected) {
    LocalMemory descriptor = AdministratorsOnlyDescriptor();
    ASSERT_TRUE(descriptor.IsValid());

    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD dwRevision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(descriptor.Get(), &control, &dwRevision));
    EXPECT_TRUE(control & SE_DACL_PRESENT);
    EXPECT_TRUE(control & SE_DACL_PROTECTED);
    EXPECT_FALSE(control & SE_DACL_DEFAULTED);
    PACL pDacl = DaclOf(descriptor);
    ASSERT_NE(pDacl, nullptr);
    EXPECT_EQ(pDacl->AceCount, std::size(kExpectedAces)) << "nobody but SYSTEM and Administrators may have access";
}

class AdministratorsOnlyAce : public ::testing::TestWithParam<std::size_t> {};

TEST_P(AdministratorsOnlyAce, AllowsFullControlInheritedByFilesAndFolders) {
    const ExpectedAce& expected = kExpectedAces[GetParam()];
    LocalMemory descriptor = AdministratorsOnlyDescriptor();
    ASSERT_TRUE(descriptor.IsValid());
    PACL pDacl = DaclOf(descriptor);
    ASSERT_NE(pDacl, nullptr);
    ASSERT_LT(GetParam(), pDacl->AceCount);

    void* pAce = nullptr;
    ASSERT_TRUE(GetAce(pDacl, static_cast<DWORD>(GetParam()), &pAce));
    const auto* pAllowed = static_cast<const ACCESS_ALLOWED_ACE*>(pAce);
    EXPECT_EQ(pAllowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(pAllowed->Header.AceFlags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
    EXPECT_EQ(pAllowed->Mask, static_cast<DWORD>(FILE_ALL_ACCESS));
    BYTE sid[SECURITY_MAX_SID_SIZE] = {};
    DWORD cbSid = sizeof sid;
    ASSERT_TRUE(CreateWellKnownSid(expected.sidType, nullptr, sid, &cbSid));
    EXPECT_TRUE(EqualSid(const_cast<DWORD*>(&pAllowed->SidStart), sid)) << expected.pszName;
}

INSTANTIATE_TEST_SUITE_P(Entries, AdministratorsOnlyAce, ::testing::Values(0u, 1u),
                         [](const ::testing::TestParamInfo<std::size_t>& info) {
                             return std::string(kExpectedAces[info.param].pszName);
                         });

// An existing folder means someone else got there first; the run must not take it for its own.
TEST(CreateAdministratorsOnlyFolder, CreatesOnlyWhatDoesNotExistYet) {
    TempFolder temp;
    const std::wstring folder = temp / L"KVNIC_INST_TEMP";

    EXPECT_TRUE(CreateAdministratorsOnlyFolder(folder));
    EXPECT_TRUE(IsFolder(folder));
    EXPECT_FALSE(CreateAdministratorsOnlyFolder(folder));
}
