// Folders the run makes in a caller's path, met by the real program: another user swaps a folder
// the run has just made for a link.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "faults/OpenGate.h"
#include "support/FileUtil.h"
#include "support/NamedCase.h"
#include "support/ProgramFixture.h"
#include "support/UnixShell.h"

namespace {

// A folder outside everything the run works on; anything written through a link shows there.
class CallerFolderRun : public ProgramTest {
protected:
    std::wstring Canary() const { return m_folder / L"canary"; }
    void MakeCanary() {
        WriteBytes(Canary() + L"\\keep.txt", "must survive");
        m_canaryDigest = TreeDigest(Canary());
    }
    void ExpectCanaryIntact() const {
        EXPECT_EQ(ListTree(Canary()), std::vector<std::wstring>{L"keep.txt"});
        EXPECT_EQ(TreeDigest(Canary()), m_canaryDigest);
    }

    std::string m_canaryDigest;
};

// The first folder the run makes below the caller's existing folder "OUT" is renamed away and
// replaced by a link to the canary in the instant it is made. Made by its path, the next folder
// and everything below would land in the canary; made relative to the held new folder, nothing
// is made outside the folder the run made.
struct SwapCase : NamedCase {
    bool bExtraction;  // EXTRACTDRIVERS=<folder> rather than /extract_all <folder>
    const char* pszStep;
    const wchar_t* pszFailedBelowGiven;  // the path the failure names, below the folder given
};

class MadeFolderSwappedForALink : public CallerFolderRun, public ::testing::WithParamInterface<SwapCase> {};

TEST_P(MadeFolderSwappedForALink, NothingLandsInTheLinkedFolder) {
    const SwapCase& c = GetParam();
    if (!IsRunningUnderWine()) GTEST_SKIP() << "the swap is made on the Linux side of Wine";
    MakePackage();
    MakeCanary();
    // In capitals: the text after /v is upper-cased, and the Linux names must match.
    const std::wstring out = m_folder / L"OUT";
    MakeFolders(out);
    const std::wstring given = out + L"\\MADE\\BELOW";
    const std::wstring log = m_folder / L"EXTRACT.LOG";
    auto gate = StartOpenGate(out, "MADE", Canary(), m_folder / L"gate-ready");

    ProgramOutcome outcome = Run(c.bExtraction ? L"/s \"/vEXTRACTDRIVERS=" + given + L" LOGFILE=" + log + L"\""
                                               : L"/extract_all \"" + given + L"\"");

    UnixScriptOutcome swapped = gate->Wait();
    EXPECT_TRUE(swapped.bRan && swapped.nExitStatus == 0) << "the swap did not happen: " << swapped.output;
    ExpectCanaryIntact();
    // Under Wine the new folder's handle names the folder renamed away, not the one at the name
    // the run made: the run stops there and makes nothing in it. On Windows a folder is held
    // from the instant it is made, and the swap cannot happen.
    EXPECT_EQ(outcome.dwExitCode, 1603u);
    EXPECT_TRUE(ListTree(out + L"\\MADE.away").empty());
    EXPECT_FALSE(InstallerRan());
    EXPECT_FALSE(PathExists(log));
    ExpectTraceEndsWithFailure(c.pszStep, given + c.pszFailedBelowGiven, ERROR_DIRECTORY,
                               "run ended: result CannotCreateFolder (8), exit code 1603");
    RunUnixScript("rm -f '" + UnixPathOf(out + L"\\MADE") + "'\n");
}

INSTANTIATE_TEST_SUITE_P(Swap, MadeFolderSwappedForALink,
                         ::testing::Values(SwapCase{"DriverExtraction", true, "create the driver folder",
                                                    L"\\production"},
                                           SwapCase{"ExtractAll", false, "copy the package", L""}),
                         CaseName());

}  // namespace
