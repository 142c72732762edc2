// A link in a path a caller names (the /extract_all folder, the EXTRACTDRIVERS folder, the result
// log's folder) is followed only where an administrator made it: anybody may make junctions where
// such a path passes, and the run as SYSTEM would otherwise remove and write wherever they point.
// Wine has no reparse points and reads every owner as the process's user, so the link, its owner
// and where it points are stood in for at the native calls, on a plain folder called "link".
#include <windows.h>

#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "fileops/NtCalls.h"
#include "fileops/ScopedHandle.h"
#include "invocation/RunOptions.h"
#include "package/PackageCopy.h"
#include "package/ResultCodes.h"
#include "run/ResultLog.h"
#include "StagedPackage.h"
#include "support/NamedCase.h"

namespace {

constexpr ULONG kFileAllInformation = 18;
constexpr std::size_t kAllInformationAttributes = 32;
constexpr LONG kStatusBufferTooSmall = static_cast<LONG>(0xC0000023);
const wchar_t kLinkName[] = L"link";
const wchar_t kLinkTarget[] = L"C:\\Windows";
const wchar_t kUserSid[] = L"S-1-5-21-1-2-3-1001";

struct SeenOpen {
    std::wstring name;
    ULONG ulOptions;
    bool bRelative;
};

std::vector<SeenOpen> g_opens;
std::set<HANDLE> g_linksAsThemselves;  // handles opened on "link" with FILE_OPEN_REPARSE_POINT
std::wstring g_linkOwner;              // the link's owner, as a string SID

LONG WINAPI StandInCreate(PHANDLE phFile, ACCESS_MASK dwAccess, POBJECT_ATTRIBUTES pAttributes,
                          PIO_STATUS_BLOCK pStatus, PLARGE_INTEGER pSize, ULONG ulAttributes, ULONG ulShare,
                          ULONG ulDisposition, ULONG ulOptions, PVOID pEa, ULONG cbEa) {
    const std::wstring name(pAttributes->ObjectName->Buffer, pAttributes->ObjectName->Length / sizeof(wchar_t));
    g_opens.push_back({name, ulOptions, pAttributes->RootDirectory != nullptr});
    const LONG lStatus = PlatformNt().pfnCreateFile(phFile, dwAccess, pAttributes, pStatus, pSize, ulAttributes,
                                                    ulShare, ulDisposition, ulOptions, pEa, cbEa);
    if (lStatus >= 0) {
        g_linksAsThemselves.erase(*phFile);  // a handle value the platform gives out again
        if (name == kLinkName && (ulOptions & FILE_OPEN_REPARSE_POINT)) g_linksAsThemselves.insert(*phFile);
    }
    return lStatus;
}

LONG WINAPI StandInQuery(HANDLE h, PIO_STATUS_BLOCK pStatus, PVOID pInfo, ULONG cbInfo, ULONG ulClass) {
    const LONG lStatus = PlatformNt().pfnQueryInformationFile(h, pStatus, pInfo, cbInfo, ulClass);
    if (lStatus >= 0 && ulClass == kFileAllInformation && g_linksAsThemselves.count(h) != 0) {
        auto* pAttributes = static_cast<unsigned char*>(pInfo) + kAllInformationAttributes;
        ULONG ulFileAttributes = 0;
        std::memcpy(&ulFileAttributes, pAttributes, sizeof ulFileAttributes);
        ulFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
        std::memcpy(pAttributes, &ulFileAttributes, sizeof ulFileAttributes);
    }
    return lStatus;
}

LONG WINAPI StandInSecurity(HANDLE h, SECURITY_INFORMATION what, PSECURITY_DESCRIPTOR pDescriptor, ULONG cb,
                            PULONG pcbNeeded) {
    if (g_linksAsThemselves.count(h) == 0)
        return PlatformNt().pfnQuerySecurityObject(h, what, pDescriptor, cb, pcbNeeded);
    PSECURITY_DESCRIPTOR pOwned = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW((L"O:" + g_linkOwner).c_str(), SDDL_REVISION_1,
                                                              &pOwned, pcbNeeded))
        return static_cast<LONG>(0xC0000001);
    const LocalMemory owned(pOwned);
    if (*pcbNeeded > cb) return kStatusBufferTooSmall;
    std::memcpy(pDescriptor, pOwned, *pcbNeeded);
    return 0;
}

// A junction to C:\Windows, as FSCTL_GET_REPARSE_POINT gives it.
LONG WINAPI StandInFsControl(HANDLE h, HANDLE hEvent, PVOID pApc, PVOID pApcContext, PIO_STATUS_BLOCK pStatus,
                             ULONG ulCode, PVOID pIn, ULONG cbIn, PVOID pOut, ULONG cbOut) {
    if (g_linksAsThemselves.count(h) == 0)
        return PlatformNt().pfnFsControlFile(h, hEvent, pApc, pApcContext, pStatus, ulCode, pIn, cbIn, pOut, cbOut);
    const std::wstring substitute = std::wstring(L"\\??\\") + kLinkTarget;
    const std::wstring print = kLinkTarget;
    const USHORT cbSubstitute = static_cast<USHORT>(substitute.size() * sizeof(wchar_t));
    const USHORT cbPrint = static_cast<USHORT>(print.size() * sizeof(wchar_t));
    std::vector<unsigned char> data(16 + cbSubstitute + 2 + cbPrint + 2, 0);
    const ULONG ulTag = 0xA0000003;
    const USHORT cbData = static_cast<USHORT>(data.size() - 8);
    const USHORT names[4] = {0, cbSubstitute, static_cast<USHORT>(cbSubstitute + 2), cbPrint};
    std::memcpy(&data[0], &ulTag, 4);
    std::memcpy(&data[4], &cbData, 2);
    std::memcpy(&data[8], names, sizeof names);
    std::memcpy(&data[16], substitute.c_str(), cbSubstitute);
    std::memcpy(&data[16 + cbSubstitute + 2], print.c_str(), cbPrint);
    if (data.size() > cbOut) return static_cast<LONG>(0x80000005);
    std::memcpy(pOut, data.data(), data.size());
    return 0;
}

enum class CallerPath { ExtractAll, ExtractDrivers, ResultLog };

struct LinkCase : NamedCase {
    CallerPath callerPath;
    const wchar_t* pszOwner;  // the link's owner
    bool bFollowed;
};

class LinkInACallersPath : public StagedPackageTest<::testing::TestWithParam<LinkCase>> {
protected:
    void SetUp() override {
        g_opens.clear();
        g_linksAsThemselves.clear();
        g_linkOwner = GetParam().pszOwner;
        NtCalls calls = PlatformNt();
        calls.pfnCreateFile = &StandInCreate;
        calls.pfnQueryInformationFile = &StandInQuery;
        calls.pfnQuerySecurityObject = &StandInSecurity;
        calls.pfnFsControlFile = &StandInFsControl;
        m_standIn = std::make_unique<CNtCallsStandIn>(calls);
    }
    void TearDown() override {
        m_standIn.reset();
        StagedPackageTest<::testing::TestWithParam<LinkCase>>::TearDown();
    }

    // Where the caller's path runs through the link, and what stands there already.
    const std::wstring m_link = m_temp / kLinkName;
    std::unique_ptr<CNtCallsStandIn> m_standIn;
};

TEST_P(LinkInACallersPath, IsFollowedOnlyWhenAnAdministratorMadeIt) {
    const LinkCase& c = GetParam();
    PackageSpec spec;
    StagePackage(spec);
    WriteBytes(m_link + L"\\drivers\\production\\old.inf", "an earlier extraction");
    WriteBytes(m_link + L"\\logs\\run.log", "an earlier log");
    const std::vector<std::wstring> before = ListTree(m_link);
    int nResult = -1;
    int nRefused = -1;
    std::wstring step;
    switch (c.callerPath) {
        case CallerPath::ExtractAll: {
            CopiedAmount copied;
            nResult = CopyPackage(m_link + L"\\out", copied, m_failure);
            nRefused = kResultCannotCreateFolder;
            step = L"copy the package";
            break;
        }
        case CallerPath::ExtractDrivers:
            nResult = Extract(m_link + L"\\drivers\\production", spec.bUsbPackage);
            nRefused = kResultCannotCreateFolder;
            step = L"create the driver folder";
            break;
        case CallerPath::ResultLog: {
            auto options = std::make_unique<RunOptions>();
            wcscpy_s(options->szLogFile, (m_link + L"\\logs\\run.log").c_str());
            FileHandle hLog;
            DriverLogTaking driverLog;
            nResult = PrepareResultLog(hLog, *options, m_engine, spec.bUsbPackage, driverLog, m_failure);
            nRefused = kResultCannotCreateLog;
            step = L"open the result log's folder";
            break;
        }
    }

    if (c.bFollowed) {
        EXPECT_EQ(nResult, kResultOk) << Narrow(m_failure.step) << " " << Narrow(m_failure.finding);
        // Opened as itself first, then once more following it.
        bool bFollowedOpen = false;
        for (const SeenOpen& open : g_opens)
            bFollowedOpen = bFollowedOpen || (open.name == kLinkName && !(open.ulOptions & FILE_OPEN_REPARSE_POINT));
        EXPECT_TRUE(bFollowedOpen);
        switch (c.callerPath) {
            case CallerPath::ExtractAll:
                // The test program's folder holds no package: the target is made, and stays empty.
                EXPECT_TRUE(IsFolder(m_link + L"\\out"));
                break;
            case CallerPath::ExtractDrivers:
                EXPECT_TRUE(IsFolder(m_link + L"\\drivers\\production\\Windows10-x64"));
                EXPECT_EQ(GetFileAttributesW((m_link + L"\\drivers\\production\\old.inf").c_str()),
                          INVALID_FILE_ATTRIBUTES);
                break;
            case CallerPath::ResultLog:
                EXPECT_NE(ReadBytes(m_link + L"\\logs\\run.log"), "an earlier log");
                break;
        }
        return;
    }
    EXPECT_EQ(nResult, nRefused);
    EXPECT_EQ(m_failure.step, step);
    EXPECT_EQ(m_failure.path, m_link);
    EXPECT_EQ(m_failure.dwError, 0u);
    EXPECT_NE(m_failure.finding.find(L"a link to \"C:\\Windows\" owned by "), std::wstring::npos)
        << Narrow(m_failure.finding);
    EXPECT_NE(m_failure.finding.find(kUserSid), std::wstring::npos) << Narrow(m_failure.finding);
    // Refused before anything was touched: nothing made, removed or replaced behind the link.
    EXPECT_EQ(ListTree(m_link), before);
    EXPECT_EQ(ReadBytes(m_link + L"\\drivers\\production\\old.inf"), "an earlier extraction");
    EXPECT_EQ(ReadBytes(m_link + L"\\logs\\run.log"), "an earlier log");
    for (const SeenOpen& open : g_opens)
        EXPECT_FALSE(open.name == kLinkName && !(open.ulOptions & FILE_OPEN_REPARSE_POINT)) << "the link was followed";
}

INSTANTIATE_TEST_SUITE_P(
    Owners, LinkInACallersPath,
    ::testing::Values(LinkCase{"ExtractAllThroughAUsersLink", CallerPath::ExtractAll, kUserSid, false},
                      LinkCase{"ExtractDriversThroughAUsersLink", CallerPath::ExtractDrivers, kUserSid, false},
                      LinkCase{"ResultLogThroughAUsersLink", CallerPath::ResultLog, kUserSid, false},
                      LinkCase{"ExtractAllThroughAnAdministratorsLink", CallerPath::ExtractAll, L"BA", true},
                      LinkCase{"ExtractDriversThroughAnAdministratorsLink", CallerPath::ExtractDrivers, L"BA", true},
                      LinkCase{"ResultLogThroughAnAdministratorsLink", CallerPath::ResultLog, L"BA", true}),
    CaseName());

// Every existing component of the caller's path, from the root down, is opened relative to the
// one above it and as itself, never by a path that the platform would resolve through links.
TEST(CallerPathWalk, OpensEachComponentAsItselfRelativeToItsParent) {
    TempFolder temp;
    MakeFolders(temp / L"a\\b");
    g_opens.clear();
    g_linksAsThemselves.clear();
    NtCalls calls = PlatformNt();
    calls.pfnCreateFile = &StandInCreate;
    const CNtCallsStandIn standIn(calls);
    CopiedAmount copied;
    StepFailure failure;

    ASSERT_EQ(CopyPackage(temp / L"a\\b\\c", copied, failure), kResultOk) << Narrow(failure.finding);

    wchar_t szFull[MAX_PATH] = {};
    ASSERT_NE(GetFullPathNameW((temp / L"a\\b\\c").c_str(), MAX_PATH, szFull, nullptr), 0u);
    std::vector<std::wstring> components;
    const std::wstring full = szFull;
    for (std::size_t nStart = 3; nStart < full.size();) {
        const std::size_t nEnd = std::min(full.find(L'\\', nStart), full.size());
        if (nEnd > nStart) components.push_back(full.substr(nStart, nEnd - nStart));
        nStart = nEnd + 1;
    }
    std::size_t nNext = 0;
    for (const SeenOpen& open : g_opens) {
        if (nNext == components.size() || open.name != components[nNext]) continue;
        EXPECT_TRUE(open.bRelative) << Narrow(open.name);
        EXPECT_NE(open.ulOptions & FILE_OPEN_REPARSE_POINT, 0u) << Narrow(open.name);
        ++nNext;
    }
    EXPECT_EQ(nNext, components.size()) << "components opened in order: " << nNext;
}

}  // namespace
