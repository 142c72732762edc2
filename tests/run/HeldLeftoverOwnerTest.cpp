// A leftover staging folder that someone holds open is an installer of an earlier run only when it
// is exactly what a run makes: one of this program's accounts owns it, its DACL is the protected
// one every run sets, and the removal's probe met that very folder. Anybody who may write in the
// temporary folder could otherwise make the name first, hold it and have every run answer 1618
// for ever.
#include <windows.h>

#include <sddl.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "fileops/FileOpEngine.h"
#include "fileops/HandleIdentity.h"
#include "fileops/NtCalls.h"
#include "fileops/ProtectedFolder.h"
#include "fileops/ScopedHandle.h"
#include "run/LeftoverOwner.h"
#include "run/StagingFolder.h"
#include "support/FileUtil.h"
#include "support/NamedCase.h"
#include "support/TempFolder.h"
#include "support/UnixShell.h"

namespace {

const wchar_t kAnotherUser[] = L"S-1-5-21-1-2-3-1001";
const wchar_t kStagingName[] = L"KVNIC_INST_TEMP";
constexpr LONG kStatusAccessDenied = static_cast<LONG>(0xC0000022);

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

// The owner query refused for the leftover, where a user's DACL denies the run READ_CONTROL; every
// other query (the DACL's included) as the platform answers it.
bool g_bRefuseLeftoverOwner = false;

bool HoldsTheLeftover(HANDLE h) {
    std::wstring name;
    const std::wstring suffix = std::wstring(L"\\") + kStagingName;
    return ReadHandleName(h, name) && name.size() >= suffix.size() &&
           CompareStringOrdinal(name.c_str() + name.size() - suffix.size(), static_cast<int>(suffix.size()),
                                suffix.c_str(), static_cast<int>(suffix.size()), TRUE) == CSTR_EQUAL;
}

LONG WINAPI StandInQuerySecurity(HANDLE h, SECURITY_INFORMATION what, PSECURITY_DESCRIPTOR pDescriptor, ULONG cb,
                                 PULONG pcbNeeded) {
    if (g_bRefuseLeftoverOwner && (what & OWNER_SECURITY_INFORMATION) && HoldsTheLeftover(h))
        return kStatusAccessDenied;
    return PlatformNt().pfnQuerySecurityObject(h, what, pDescriptor, cb, pcbNeeded);
}

// Stands in for the owner query while it lives.
class OwnerQueryStandIn {
public:
    OwnerQueryStandIn() {
        NtCalls calls = PlatformNt();
        calls.pfnQuerySecurityObject = &StandInQuerySecurity;
        m_standIn = std::make_unique<CNtCallsStandIn>(calls);
    }
    ~OwnerQueryStandIn() { g_bRefuseLeftoverOwner = false; }

private:
    std::unique_ptr<CNtCallsStandIn> m_standIn;
};

struct OwnerCase : NamedCase {
    const wchar_t* pszOwner;  // null: the account this process runs as
    bool bRefused;            // the owner query is refused
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
    OwnerQueryStandIn standIn;
    g_bRefuseLeftoverOwner = false;
    std::wstring ownerText;

    EXPECT_EQ(IsOwnedByThisProgramsAccounts(object.Get(), ownerText), c.bOurs);

    if (!c.bOurs) {
        EXPECT_NE(ownerText.find(c.pszNamed), std::wstring::npos) << Narrow(ownerText);
    }
}

INSTANTIATE_TEST_SUITE_P(Owners, HeldLeftoverOwner,
                         ::testing::Values(OwnerCase{"System", L"SY", false, true, nullptr},
                                           OwnerCase{"Administrators", L"BA", false, true, nullptr},
                                           OwnerCase{"TheRunsOwnAccount", nullptr, false, true, nullptr},
                                           OwnerCase{"AnotherUser", kAnotherUser, false, false, kAnotherUser},
                                           OwnerCase{"UsersGroup", L"BU", false, false, L"S-1-5-32-545"}),
                         CaseName());

// An owner that cannot be read shows nothing of ours, even on a folder made as a run makes it.
TEST(HeldLeftoverOwnerUnread, IsNoneOfOurs) {
    TempFolder temp;
    const std::wstring leftover = temp / kStagingName;
    ASSERT_TRUE(CreateAdministratorsOnlyFolder(leftover));
    const FileHandle folder(CreateFileW(leftover.c_str(), READ_CONTROL,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    ASSERT_TRUE(folder.IsValid()) << GetLastError();
    OwnerQueryStandIn standIn;
    g_bRefuseLeftoverOwner = true;
    std::wstring ownerText;

    EXPECT_FALSE(IsOwnedByThisProgramsAccounts(folder.Get(), ownerText));

    EXPECT_NE(ownerText.find(L"an account that cannot be read (Win32 error 5: "), std::wstring::npos)
        << Narrow(ownerText);
}

// What stands at the staging name, and what happens to it before the run looks.
enum class Leftover {
    OfARun,                 // made as a run makes it
    OfARunGivenAway,        // the same, then given to another Unix user (chown)
    PlainFolder,            // made with the DACL it inherits
    OfARunOwnerUnreadable,  // the owner query refused
    SwappedBeforeTheProbe,  // another folder of the same making takes the name after the first read
};

// The swap: the leftover goes aside and another folder, held open, takes its name just before the
// probe opens it for removal.
std::wstring g_swapFrom;
std::wstring g_swapAside;
std::wstring g_swapIn;
FileHandle* g_pSwapHolder = nullptr;
constexpr ULONG kNativeOpen = 1;

LONG WINAPI SwapBeforeTheProbe(PHANDLE phFile, ACCESS_MASK dwAccess, POBJECT_ATTRIBUTES pAttributes,
                               PIO_STATUS_BLOCK pStatus, PLARGE_INTEGER pSize, ULONG ulAttributes, ULONG ulShare,
                               ULONG ulDisposition, ULONG ulOptions, PVOID pEa, ULONG cbEa) {
    const std::wstring name(pAttributes->ObjectName->Buffer, pAttributes->ObjectName->Length / sizeof(wchar_t));
    if (g_pSwapHolder != nullptr && name == kStagingName && (dwAccess & DELETE) && ulDisposition == kNativeOpen) {
        MoveFileW(g_swapFrom.c_str(), g_swapAside.c_str());
        MoveFileW(g_swapIn.c_str(), g_swapFrom.c_str());
        g_pSwapHolder->Reset(CreateFileW(g_swapFrom.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        g_pSwapHolder = nullptr;
    }
    return PlatformNt().pfnCreateFile(phFile, dwAccess, pAttributes, pStatus, pSize, ulAttributes, ulShare,
                                      ulDisposition, ulOptions, pEa, cbEa);
}

struct HolderCase : NamedCase {
    Leftover made;
    StagingLeftover leftover;
    unsigned long dwError;  // 0: a finding that says what differs
    const wchar_t* pszFinding;
};

class HeldLeftover : public ::testing::TestWithParam<HolderCase> {
protected:
    void TearDown() override {
        g_bRefuseLeftoverOwner = false;
        g_pSwapHolder = nullptr;
    }
};

TEST_P(HeldLeftover, StaysWholeAndSaysWhoseItIs) {
    const HolderCase& c = GetParam();
    TempFolder temp;
    const std::wstring staging = temp / kStagingName;
    if (c.made == Leftover::PlainFolder)
        ASSERT_TRUE(CreateDirectoryW(staging.c_str(), nullptr));
    else
        ASSERT_TRUE(CreateAdministratorsOnlyFolder(staging));
    WriteBytes(staging + L"\\Windows\\Setup.exe", "planted");
    if (c.made == Leftover::OfARunGivenAway) {
        // Wine reads a folder of another Unix user as owned by ANONYMOUS LOGON (S-1-5-7).
        const UnixScriptOutcome given = RunUnixScript("chown 4321 '" + UnixPathOf(staging) + "'\n");
        ASSERT_TRUE(given.bRan && given.nExitStatus == 0) << given.output;
    }
    FileHandle holder;
    const std::wstring other = temp / L"other";
    NtCalls calls = PlatformNt();
    calls.pfnQuerySecurityObject = &StandInQuerySecurity;
    if (c.made == Leftover::SwappedBeforeTheProbe) {
        ASSERT_TRUE(CreateAdministratorsOnlyFolder(other));
        WriteBytes(other + L"\\Windows\\Setup.exe", "swapped in");
        g_swapFrom = staging;
        g_swapAside = temp / L"aside";
        g_swapIn = other;
        g_pSwapHolder = &holder;
        calls.pfnCreateFile = &SwapBeforeTheProbe;
    } else {
        holder.Reset(CreateFileW(staging.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        ASSERT_TRUE(holder.IsValid());
    }
    g_bRefuseLeftoverOwner = c.made == Leftover::OfARunOwnerUnreadable;
    const CNtCallsStandIn standIn(calls);
    CFileOpEngine engine(true);
    StagingLeftover leftover = StagingLeftover::None;
    StepFailure failure;

    const FileHandle made = CreateFreshStagingFolder(staging, engine, leftover, failure);

    EXPECT_FALSE(made.IsValid());
    EXPECT_EQ(leftover, c.leftover);
    EXPECT_EQ(failure.step, L"remove the leftover staging folder");
    EXPECT_EQ(failure.path, staging);
    EXPECT_EQ(failure.dwError, c.dwError);
    if (c.dwError == 0) {
        EXPECT_EQ(failure.finding.rfind(L"held open by a program and ", 0), 0u) << Narrow(failure.finding);
        const std::wstring ending = L": someone else's folder";
        EXPECT_EQ(failure.finding.rfind(ending), failure.finding.size() - ending.size()) << Narrow(failure.finding);
        EXPECT_NE(failure.finding.find(c.pszFinding), std::wstring::npos) << Narrow(failure.finding);
    }
    if (c.made == Leftover::SwappedBeforeTheProbe) {
        EXPECT_EQ(ReadBytes(staging + L"\\Windows\\Setup.exe"), "swapped in");
        EXPECT_EQ(ReadBytes(temp / L"aside\\Windows\\Setup.exe"), "planted");
    } else {
        EXPECT_EQ(ReadBytes(staging + L"\\Windows\\Setup.exe"), "planted");
    }
    // Nothing of the comparison's own folder stays beside the leftover.
    const std::vector<std::wstring> beside = ListTree(temp.Path());
    for (const std::wstring& entry : beside)
        EXPECT_EQ(entry.find(std::wstring(kStagingName) + L"."), std::wstring::npos) << Narrow(entry);
}

INSTANTIATE_TEST_SUITE_P(
    Holders, HeldLeftover,
    ::testing::Values(HolderCase{"AnInstallerOfOurs", Leftover::OfARun, StagingLeftover::HeldByInstaller,
                                 ERROR_INSTALL_ALREADY_RUNNING, nullptr},
                      // Someone else's folder is no run at work: the run fails (1603), never 1618.
                      HolderCase{"AnotherUsersFolder", Leftover::OfARunGivenAway, StagingLeftover::HeldByAnother, 0,
                                 L"S-1-5-7"},
                      HolderCase{"OwnerThatCannotBeRead", Leftover::OfARunOwnerUnreadable,
                                 StagingLeftover::HeldByAnother, 0,
                                 L"owned by an account that cannot be read (Win32 error 5: "},
                      HolderCase{"DaclNotTheProtectedOne", Leftover::PlainFolder, StagingLeftover::HeldByAnother, 0,
                                 L"with the DACL \""},
                      HolderCase{"SwappedBetweenTheReadAndTheProbe", Leftover::SwappedBeforeTheProbe,
                                 StagingLeftover::HeldByAnother, 0,
                                 L"replaced at its name between the read of its owner and the removal's probe"}),
    CaseName());

}  // namespace
