// Links to a folder elsewhere, met by the real program where it deletes: in a leftover staging
// folder and in an existing extraction folder. Whatever the outcome, the linked folder keeps
// every file.
//
// Wine 8 differs from Windows: no call removes a link itself there (each one acts on the
// target), so the program leaves the link in place and the run takes its failure path. On
// Windows the link is removed and the run succeeds; the tests assert that outside Wine.
#include <gtest/gtest.h>

#include <string>

#include "faults/FolderLink.h"
#include "support/FileUtil.h"
#include "support/MessageBoxAnswerer.h"
#include "support/NamedCase.h"
#include "support/ProgramFixture.h"
#include "support/UnixShell.h"

namespace {

class LinkRun : public ProgramTest {
protected:
    // A folder outside everything the run works on, with files at two levels and an empty
    // folder: a delete through a link would empty a folder, or remove an empty one.
    void MakeCanary() {
        WriteBytes(Canary() + L"\\keep.txt", "must survive");
        WriteBytes(Canary() + L"\\sub\\keep2.txt", "must survive too");
        MakeFolders(Canary() + L"\\empty");
        m_canaryDigest = TreeDigest(Canary());
    }
    std::wstring Canary() const { return m_folder / L"canary"; }
    void ExpectCanaryIntact() const {
        EXPECT_EQ(ListTree(Canary()),
                  (std::vector<std::wstring>{L"empty\\", L"keep.txt", L"sub\\", L"sub\\keep2.txt"}));
        EXPECT_EQ(TreeDigest(Canary()), m_canaryDigest);
    }

    std::string m_canaryDigest;
};

struct StagingLinkCase : NamedCase {
    const wchar_t* pszLink;    // below the temporary folder
    const wchar_t* pszTarget;  // below the canary
};

class LinkInLeftover : public LinkRun, public ::testing::WithParamInterface<StagingLinkCase> {};

TEST_P(LinkInLeftover, LinkedFolderSurvivesAndNothingRunsFromIt) {
    MakePackage();
    MakeCanary();
    WriteBytes(Staging() + L"\\Windows\\aa_old.txt", "from an earlier run");
    FolderLink link(Temp() + GetParam().pszLink, Canary() + GetParam().pszTarget);
    if (!link.IsMade()) GTEST_SKIP() << link.Reason();
    const std::wstring log = m_folder / L"run.log";
    MessageBoxAnswerer noBox({});

    ProgramOutcome outcome = Run(L"/s /vLOGFILE=" + log);

    ExpectCanaryIntact();
    if (!IsRunningUnderWine()) {
        EXPECT_EQ(outcome.dwExitCode, 0u) << "Windows removes the link itself";
    }
    if (outcome.dwExitCode == 0) {
        EXPECT_TRUE(InstallerRan());
        EXPECT_EQ(ReadBytes(log), std::string(kStandinLogText) + kLogRecord);
        EXPECT_FALSE(PathExists(Staging()));
    } else {
        EXPECT_EQ(outcome.dwExitCode, 1603u);
        EXPECT_FALSE(InstallerRan());
        EXPECT_FALSE(PathExists(log));
    }
    EXPECT_EQ(noBox.UnexpectedCount(), 0u) << noBox.DescribeUnexpected();
}

INSTANTIATE_TEST_SUITE_P(
    Link, LinkInLeftover,
    ::testing::Values(StagingLinkCase{"InsideTheLeftover", L"\\KVNIC_INST_TEMP\\Windows\\linked", L""},
                      StagingLinkCase{"TheLeftoverItself", L"\\KVNIC_INST_TEMP", L""},
                      // Only an empty folder could be removed through the link.
                      StagingLinkCase{"InsideTheLeftoverToAnEmptyFolder", L"\\KVNIC_INST_TEMP\\Windows\\linked",
                                      L"\\empty"},
                      StagingLinkCase{"TheLeftoverItselfToAnEmptyFolder", L"\\KVNIC_INST_TEMP", L"\\empty"}),
    CaseName());

struct ProductionLinkCase : NamedCase {
    const wchar_t* pszLink;     // below the production folder
    DWORD dwExitCodeUnderWine;  // where the link stays
};

class LinkInProduction : public LinkRun, public ::testing::WithParamInterface<ProductionLinkCase> {};

TEST_P(LinkInProduction, LinkedFolderSurvivesAndTheDriversLandUnderTheirNames) {
    const ProductionLinkCase& c = GetParam();
    MakePackage();
    MakeCanary();
    const std::wstring drivers = m_folder / L"Drivers";
    const std::wstring production = drivers + L"\\production";
    WriteBytes(production + L"\\aa_old.txt", "from an earlier extraction");
    FolderLink link(production + c.pszLink, Canary());
    if (!link.IsMade()) GTEST_SKIP() << link.Reason();
    const std::wstring log = m_folder / L"extract.log";

    ProgramOutcome outcome = Run(L"/s \"/vEXTRACTDRIVERS=" + drivers + L" LOGFILE=" + log + L"\"");

    ExpectCanaryIntact();
    EXPECT_EQ(outcome.dwExitCode, IsRunningUnderWine() ? c.dwExitCodeUnderWine : 0u);
    EXPECT_FALSE(InstallerRan());
    if (outcome.dwExitCode == 0) {
        ExpectUsbDriversLaidOut(production);
        EXPECT_NE(ReadBytes(log).find(kLogRecord), std::string::npos);
    } else {
        // The move to a final name that the link still holds fails: no drivers under a wrong name pass.
        EXPECT_FALSE(PathExists(log));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Link, LinkInProduction,
    ::testing::Values(ProductionLinkCase{"UnderAnotherName", L"\\linked", 0},
                      ProductionLinkCase{"UnderAFinalName", L"\\Windows7-x86", 1603}),
    CaseName());

}  // namespace
