// Folders the run makes in a caller's path, and a caller's path inside the package itself, met by
// the real program: another user swaps a folder the run has just made for a link, and
// /extract_all is pointed into the package it copies.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/FileUtil.h"
#include "support/NamedCase.h"
#include "support/OpenGate.h"
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
    auto gate = StartOpenGate(out, "MADE", "MADE", true, Canary(), m_folder.Path() + L"-gate-ready");

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

// /extract_all into a folder of the package itself. The copy lists the folders it copies as it
// goes, so a target inside them would be met again and again; it is never entered, and the copy
// holds the package as it was. A target that is the package's own folder would have every file
// removed to make room for its copy: refused before anything is written.
struct InsideCase : NamedCase {
    const wchar_t* pszTarget;  // below the package root; empty: the root itself
    DWORD dwExitCode;
};

class ExtractAllIntoThePackage : public CallerFolderRun, public ::testing::WithParamInterface<InsideCase> {
protected:
    // Every file of the package's Windows and Others folders, by path below the root.
    std::map<std::wstring, std::string> PackageFiles(const std::wstring& leaveOut) const {
        std::map<std::wstring, std::string> files;
        for (const wchar_t* pszFolder : {L"Windows", L"Others"}) {
            for (const std::wstring& entry : ListTree(Root() + L"\\" + pszFolder)) {
                const std::wstring relative = std::wstring(pszFolder) + L"\\" + entry;
                if (!leaveOut.empty() && relative.compare(0, leaveOut.size(), leaveOut) == 0) continue;
                files[relative] = entry.back() == L'\\' ? "" : ReadBytes(Root() + L"\\" + relative);
            }
        }
        return files;
    }
};

TEST_P(ExtractAllIntoThePackage, EndsPromptlyAndTheCopyHoldsThePackageAsItWas) {
    const InsideCase& c = GetParam();
    MakePackage();
    const std::wstring target = Root() + c.pszTarget;
    // The part of the package the copy lands in, as its listing shows it.
    const std::wstring copyBelowRoot = c.pszTarget[0] ? std::wstring(c.pszTarget + 1) + L"\\" : L"";
    const std::map<std::wstring, std::string> before = PackageFiles(L"");
    const std::string windowsDigest = TreeDigest(Root() + L"\\Windows");
    const std::string othersDigest = TreeDigest(Root() + L"\\Others");

    // The run's own time-out fails the test when the copy feeds on itself.
    ProgramOutcome outcome = Run(L"/extract_all \"" + target + L"\"");

    EXPECT_EQ(outcome.dwExitCode, c.dwExitCode);
    EXPECT_EQ(PackageFiles(copyBelowRoot), before) << "the package changed";
    if (c.dwExitCode == 0) {
        EXPECT_EQ(TreeDigest(target + L"\\Windows"), windowsDigest);
        EXPECT_EQ(TreeDigest(target + L"\\Others"), othersDigest);
    } else {
        const std::string failed = TraceFailureLine();
        EXPECT_NE(failed.find("failed: copy the package, path \"" + ConsoleBytes(Root() + L"\\Windows") + "\""),
                  std::string::npos)
            << failed;
        EXPECT_NE(failed.find("the folder to copy into is the folder copied from"), std::string::npos) << failed;
        ExpectTraceEndsWith({"failed: copy the package", "run ended: result CannotCreateFolder (8), exit code 1603"});
    }
}

INSTANTIATE_TEST_SUITE_P(Inside, ExtractAllIntoThePackage,
                         ::testing::Values(InsideCase{"AFolderInOthers", L"\\Others\\copy", 0},
                                           InsideCase{"ADriverFolder", L"\\Windows\\WIN7\\copy", 0},
                                           InsideCase{"ThePackageRootItself", L"", 1603}),
                         CaseName());

}  // namespace
