// A leftover staging folder that someone holds open is an installer of an earlier run only when
// one of this program's accounts owns it; anybody who may write in the temporary folder could
// otherwise make the name first, hold it and have every run answer 1618 for ever.
#include <windows.h>

#include <sddl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fileops/FileOpEngine.h"
#include "fileops/ScopedHandle.h"
#include "run/LeftoverOwner.h"
#include "run/StagingFolder.h"
#include "support/FileUtil.h"
#include "support/NamedCase.h"
#include "support/TempFolder.h"

namespace {

const wchar_t kAnotherUser[] = L"S-1-5-21-1-2-3-1001";

std::wstring ThisProcessesUser() {
    HANDLE hToken = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &hToken)) return std::wstring();
    const KernelHandle token(hToken);
    DWORD cb = 0;
    GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &cb);
    std::vector<unsigned char> buffer(cb);
    wchar_t* pszSid = nullptr;
    if (cb == 0 || !GetTokenInformation(token.Get(), TokenUser, buffer.data(), cb, &cb) ||
        !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &pszSid))
        return std::wstring();
    std::wstring sid = pszSid;
    LocalFree(pszSid);
    return sid;
}

// An object owned by the SID the string names. A folder's owner cannot be given here (Wine keeps
// no folder security descriptor), an event's can: Wine keeps object owners as given, where
// Windows lets a token name only its own SIDs as owner.
KernelHandle EventOwnedBy(const std::wstring& sid) {
    PSECURITY_DESCRIPTOR pDescriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW((L"O:" + sid + L"D:(A;;GA;;;WD)").c_str(),
                                                              SDDL_REVISION_1, &pDescriptor, nullptr))
        return KernelHandle();
    const LocalMemory descriptor(pDescriptor);
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, pDescriptor, FALSE};
    return KernelHandle(CreateEventW(&attributes, TRUE, FALSE, nullptr));
}

struct OwnerCase : NamedCase {
    const wchar_t* pszOwner;  // null: the account this process runs as
    bool bOurs;
    const wchar_t* pszNamed;  // what the owner's text holds when it is someone else's
};

class HeldLeftoverOwner : public ::testing::TestWithParam<OwnerCase> {};

TEST_P(HeldLeftoverOwner, OnlyThisProgramsAccountsCountAsOurs) {
    const OwnerCase& c = GetParam();
    const std::wstring owner = c.pszOwner != nullptr ? c.pszOwner : ThisProcessesUser();
    ASSERT_FALSE(owner.empty());
    const KernelHandle object = EventOwnedBy(owner);
    ASSERT_TRUE(object.IsValid()) << GetLastError();
    std::wstring ownerText;

    EXPECT_EQ(IsOwnedByThisProgramsAccounts(object.Get(), SE_KERNEL_OBJECT, ownerText), c.bOurs);

    if (!c.bOurs) {
        EXPECT_NE(ownerText.find(c.pszNamed), std::wstring::npos) << Narrow(ownerText);
    }
}

INSTANTIATE_TEST_SUITE_P(Owners, HeldLeftoverOwner,
                         ::testing::Values(OwnerCase{"System", L"SY", true, nullptr},
                                           OwnerCase{"Administrators", L"BA", true, nullptr},
                                           OwnerCase{"TheRunsOwnAccount", nullptr, true, nullptr},
                                           OwnerCase{"AnotherUser", kAnotherUser, false, kAnotherUser},
                                           OwnerCase{"UsersGroup", L"BU", false, L"S-1-5-32-545"}),
                         CaseName());

// What the run makes of a held leftover, with the owner's answer stood in for.
bool OwnedByUs(HANDLE, SE_OBJECT_TYPE, std::wstring&) { return true; }
bool OwnedByAnotherUser(HANDLE, SE_OBJECT_TYPE, std::wstring& ownerText) {
    ownerText = L"WORKSTATION\\mallory (S-1-5-21-1-2-3-1001)";
    return false;
}

struct HolderCase : NamedCase {
    HeldFolderOwnerReader pfnReadOwner;
    StagingLeftover leftover;
    unsigned long dwError;  // 0: a finding that names the owner
};

class HeldLeftover : public ::testing::TestWithParam<HolderCase> {};

TEST_P(HeldLeftover, StaysWholeAndSaysWhoseItIs) {
    const HolderCase& c = GetParam();
    TempFolder temp;
    const std::wstring staging = temp / L"KVNIC_INST_TEMP";
    WriteBytes(staging + L"\\Windows\\Setup.exe", "planted");
    const FileHandle holder(CreateFileW(staging.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    ASSERT_TRUE(holder.IsValid());
    CFileOpEngine engine(true);
    StagingLeftover leftover = StagingLeftover::None;
    StepFailure failure;

    const FileHandle made = CreateFreshStagingFolder(staging, engine, leftover, failure, c.pfnReadOwner);

    EXPECT_FALSE(made.IsValid());
    EXPECT_EQ(leftover, c.leftover);
    EXPECT_EQ(failure.step, L"remove the leftover staging folder");
    EXPECT_EQ(failure.path, staging);
    EXPECT_EQ(failure.dwError, c.dwError);
    if (c.dwError == 0) {
        EXPECT_NE(failure.finding.find(L"WORKSTATION\\mallory (S-1-5-21-1-2-3-1001)"), std::wstring::npos)
            << Narrow(failure.finding);
    }
    EXPECT_EQ(ReadBytes(staging + L"\\Windows\\Setup.exe"), "planted");
}

INSTANTIATE_TEST_SUITE_P(
    Holders, HeldLeftover,
    ::testing::Values(HolderCase{"AnInstallerOfOurs", &OwnedByUs, StagingLeftover::HeldByInstaller,
                                 ERROR_INSTALL_ALREADY_RUNNING},
                      // Someone else's folder is no run at work: the run fails (1603), never 1618.
                      HolderCase{"SomeoneElses", &OwnedByAnotherUser, StagingLeftover::HeldByAnother, 0}),
    CaseName());

}  // namespace
