// Links to a folder elsewhere, met by the real program where it deletes and where it writes: in
// a leftover staging folder, in an existing extraction folder and at the result log, whether
// they are there before the run or put there by another user while it runs. Whatever the
// outcome, the linked folder keeps every file.
//
// Wine 8 differs from Windows: no call removes a link itself there (each one acts on the
// target), so the program leaves the link in place and the run takes its failure path. On
// Windows the link is removed and the run succeeds; the tests assert that outside Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "faults/FolderLink.h"
#include "support/FileUtil.h"
#include "support/MessageBoxAnswerer.h"
#include "support/NamedCase.h"
#include "support/OpenGate.h"
#include "support/ProgramFixture.h"
#include "support/SetUpCheck.h"
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

// A link to the canary where an earlier run's staging folder stands: inside a real leftover (which
// holds a file that the delete meets before the link), or as the staging folder itself.
struct StagingLinkCase : NamedCase {
    const wchar_t* pszLink;    // below the staging folder; empty: the staging folder itself
    const wchar_t* pszTarget;  // below the canary
};

class LinkInLeftover : public LinkRun, public ::testing::WithParamInterface<StagingLinkCase> {};

TEST_P(LinkInLeftover, LinkedFolderSurvivesAndNothingRunsFromIt) {
    const StagingLinkCase& c = GetParam();
    MakePackage();
    MakeCanary();
    const bool bLeftoverItself = *c.pszLink == L'\0';
    const std::wstring before = Staging() + L"\\Windows\\aa_old.txt";
    if (!bLeftoverItself) WriteBytes(before, "from an earlier run");
    const std::wstring linkPath = Staging() + c.pszLink;
    FolderLink link(linkPath, Canary() + c.pszTarget);
    ASSERT_SET_UP_MADE(link.IsMade(), link.Reason());
    const std::wstring log = m_folder / L"run.log";
    MessageBoxAnswerer noBox({});

    ProgramOutcome outcome = Run(L"/s /vLOGFILE=" + log);

    ExpectCanaryIntact();
    EXPECT_EQ(noBox.UnexpectedCount(), 0u) << noBox.DescribeUnexpected();
    if (!IsRunningUnderWine()) {
        // Windows removes the link as itself, and the run installs.
        EXPECT_EQ(outcome.dwExitCode, 0u);
        EXPECT_TRUE(InstallerRan());
        EXPECT_EQ(ReadBytes(log), std::string(kStandinLogText) + kLogRecord);
        EXPECT_FALSE(PathExists(Staging()));
        return;
    }
    // Wine removes no link as itself (the removal of the link's reparse point fails): the run
    // stops at the link, and says so.
    EXPECT_EQ(outcome.dwExitCode, 1603u);
    EXPECT_FALSE(InstallerRan());
    EXPECT_FALSE(PathExists(log));
    ExpectTraceEndsWithFailure("remove the leftover staging folder", linkPath, ERROR_NOT_A_REPARSE_POINT,
                               "run ended: result CannotCreateFolder (8), exit code 1603");
    if (!bLeftoverItself) {
        EXPECT_FALSE(PathExists(before)) << "the delete never reached the leftover's files";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Link, LinkInLeftover,
    ::testing::Values(StagingLinkCase{"InsideTheLeftover", L"\\Windows\\linked", L""},
                      StagingLinkCase{"TheLeftoverItself", L"", L""},
                      // Only an empty folder could be removed through the link.
                      StagingLinkCase{"InsideTheLeftoverToAnEmptyFolder", L"\\Windows\\linked", L"\\empty"},
                      StagingLinkCase{"TheLeftoverItselfToAnEmptyFolder", L"", L"\\empty"}),
    CaseName());

struct ProductionLinkCase : NamedCase {
    const wchar_t* pszLink;  // below the production folder
};

class LinkInProduction : public LinkRun, public ::testing::WithParamInterface<ProductionLinkCase> {};

TEST_P(LinkInProduction, LinkedFolderSurvivesAndTheDriversLandUnderTheirNames) {
    const ProductionLinkCase& c = GetParam();
    MakePackage();
    MakeCanary();
    const std::wstring drivers = m_folder / L"Drivers";
    const std::wstring production = drivers + L"\\production";
    // Listed before the link: the delete removes it on its way there.
    WriteBytes(production + L"\\aa_old.txt", "from an earlier extraction");
    FolderLink link(production + c.pszLink, Canary());
    ASSERT_SET_UP_MADE(link.IsMade(), link.Reason());
    const std::wstring log = m_folder / L"extract.log";

    ProgramOutcome outcome = Run(L"/s \"/vEXTRACTDRIVERS=" + drivers + L" LOGFILE=" + log + L"\"");

    ExpectCanaryIntact();
    EXPECT_FALSE(InstallerRan());
    EXPECT_FALSE(PathExists(production + L"\\aa_old.txt")) << "the delete never reached the link";
    if (!IsRunningUnderWine()) {
        // Windows removes the link as itself, and the drivers land under their own names.
        EXPECT_EQ(outcome.dwExitCode, 0u);
        ExpectUsbDriversLaidOut(production);
        EXPECT_EQ(ReadBytes(log), kLogRecord);
        return;
    }
    // Wine removes no link as itself (the removal of its reparse point fails): the old folder
    // cannot go while the link stays in it, and the run stops there.
    EXPECT_EQ(outcome.dwExitCode, 1603u);
    EXPECT_FALSE(PathExists(log));
    ExpectTraceEndsWithFailure("remove the old driver folder", production + c.pszLink, ERROR_NOT_A_REPARSE_POINT,
                               "run ended: result CannotCreateFolder (8), exit code 1603");
}

INSTANTIATE_TEST_SUITE_P(Link, LinkInProduction,
                         ::testing::Values(ProductionLinkCase{"UnderAnotherName", L"\\linked"},
                                           ProductionLinkCase{"UnderAFinalName", L"\\Windows7-x86"}),
                         CaseName());

// Another user swaps a folder of a tree that the run deletes for a link, at the moment the
// delete has begun inside the folder "a": the delete has listed the folder that holds "a" and "z"
// and will come to "z" next. On Windows an opportunistic lock stops a delete at such a moment;
// here a fanotify gate on the Linux side holds the run's open of a\f0 until the swap is done.
class SwapDuringDelete : public LinkRun {
protected:
    // Folder\a with a few files (a\f0 first in every listing) and folder\z, which the swap
    // replaces.
    void MakeTreeToSwap(const std::wstring& folder) {
        for (const wchar_t* pszName : {L"f0", L"f1", L"f2"}) WriteBytes(folder + L"\\a\\" + pszName, "x");
        WriteBytes(folder + L"\\z\\in-z.txt", "the real z");
    }

    // Holds the platform's first open of base\trigger with a fanotify permission event on the
    // Linux side until a link to the canary stands at base\place: with bSwap, place is first
    // renamed to place.away. base must exist; folders between it and the trigger may be made by
    // the run, and are watched from the moment it opens them. The link lands between what the
    // run did before that open and whatever it does next, every time. Returns once the gate
    // is set.
    std::unique_ptr<UnixScriptInBackground> StartOpenGate(const std::wstring& base, const std::string& trigger,
                                                          const std::string& place, bool bSwap = true) {
        // Beside the test folder: the gate's own open of a watched folder's child would wait on itself.
        return ::StartOpenGate(base, trigger, place, bSwap, Canary(), m_folder.Path() + L"-gate-ready");
    }

    static void ExpectSwapped(UnixScriptInBackground& gate) {
        UnixScriptOutcome swapped = gate.Wait();
        EXPECT_TRUE(swapped.bRan && swapped.nExitStatus == 0) << "the link was not made: " << swapped.output;
    }

    // The link the gate made is the test's to remove; rm never follows it.
    static void RemoveLink(const std::wstring& link) { RunUnixScript("rm -f '" + UnixPathOf(link) + "'\n"); }
};

// Under Wine the link opens as the canary, which is not the "z" the delete listed: the delete
// stops there and says so.
TEST_F(SwapDuringDelete, LeftoverStagingFolderNeverLeadsTheDeleteIntoTheLinkedFolder) {
    if (!IsRunningUnderWine()) GTEST_SKIP() << "the swap is made on the Linux side of Wine";
    MakePackage();
    MakeCanary();
    ASSERT_NO_FATAL_FAILURE(MakeTreeToSwap(Staging()));
    const std::wstring log = m_folder / L"run.log";
    auto gate = StartOpenGate(Staging(), "a/f0", "z");

    ProgramOutcome outcome = Run(L"/s /vLOGFILE=" + log);

    ExpectSwapped(*gate);
    ExpectCanaryIntact();
    EXPECT_EQ(ReadBytes(Staging() + L"\\z.away\\in-z.txt"), "the real z");
    EXPECT_FALSE(PathExists(Staging() + L"\\a")) << "the delete never went through a";
    EXPECT_EQ(outcome.dwExitCode, 1603u);
    EXPECT_FALSE(InstallerRan());
    EXPECT_FALSE(PathExists(log));
    ExpectTraceEndsWithFailure("remove the leftover staging folder", Staging() + L"\\z", ERROR_FILE_INVALID,
                               "run ended: result CannotCreateFolder (8), exit code 1603");
    RemoveLink(Staging() + L"\\z");
}

TEST_F(SwapDuringDelete, ExtractionFolderNeverLeadsTheDeleteIntoTheLinkedFolder) {
    if (!IsRunningUnderWine()) GTEST_SKIP() << "the swap is made on the Linux side of Wine";
    MakePackage();
    MakeCanary();
    const std::wstring drivers = m_folder / L"Drivers";
    const std::wstring production = drivers + L"\\production";
    ASSERT_NO_FATAL_FAILURE(MakeTreeToSwap(production));
    const std::wstring log = m_folder / L"extract.log";
    auto gate = StartOpenGate(production, "a/f0", "z");

    ProgramOutcome outcome = Run(L"/s \"/vEXTRACTDRIVERS=" + drivers + L" LOGFILE=" + log + L"\"");

    ExpectSwapped(*gate);
    ExpectCanaryIntact();
    EXPECT_FALSE(PathExists(production + L"\\a")) << "the delete never went through a";
    // An old folder that cannot be removed ends the run: no drivers land beside what stayed.
    EXPECT_EQ(outcome.dwExitCode, 1603u);
    EXPECT_FALSE(InstallerRan());
    EXPECT_FALSE(PathExists(log));
    EXPECT_FALSE(PathExists(production + L"\\Windows7-x86"));
    ExpectTraceEndsWithFailure("remove the old driver folder", production + L"\\z", ERROR_FILE_INVALID,
                               "run ended: result CannotCreateFolder (8), exit code 1603");
    RemoveLink(production + L"\\z");
}

// The result log's place is taken over by a link to the canary: the log's folder while the
// installer runs, or the log's own name before the run. The log is named like a canary file, so
// any write or delete through the link would show there.
struct LogLinkCase : NamedCase {
    bool bSwapFolderDuringRun;  // false: a link at the log's own name from the start
    // Under Wine, where the link stays: the failure, its path below the test folder and its error.
    const char* pszStep;
    const wchar_t* pszFailedPath;
    DWORD dwError;
};

class LinkAtTheResultLog : public SwapDuringDelete, public ::testing::WithParamInterface<LogLinkCase> {};

TEST_P(LinkAtTheResultLog, NothingOutsideTheNamedPlaceChanges) {
    const LogLinkCase& c = GetParam();
    if (!IsRunningUnderWine()) GTEST_SKIP() << "the links are made on the Linux side of Wine";
    MakePackage();
    MakeCanary();
    const std::wstring logs = m_folder / L"logs";
    const std::string oldLog = "result log of an earlier run\r\n";
    std::unique_ptr<UnixScriptInBackground> swapper;
    if (c.bSwapFolderDuringRun) {
        WriteBytes(logs + L"\\keep.txt", oldLog);
        // The installer waits until the swap is done: it lands while the installer works, every time.
        const std::wstring swapped = m_folder / L"swapped.txt";
        ConfigureInstaller("waitfor=" + Narrow(swapped) + "\r\n");
        const std::string folder = UnixPathOf(m_folder.Path());
        swapper = std::make_unique<UnixScriptInBackground>(
            "cd '" + folder + "' || exit 1\n"
            "n=0\nwhile [ ! -e installer-record.txt ]; do\n"
            "  n=$((n + 1)); [ $n -gt 3000 ] && { touch swapped.txt; echo the installer never ran; exit 3; }\n"
            "  sleep 0.02\ndone\n"
            "mv logs logs.away && ln -s '" + UnixPathOf(Canary()) + "' logs\nrc=$?\ntouch swapped.txt\nexit $rc\n");
        ASSERT_TRUE(swapper->IsStarted());
    } else {
        MakeFolders(logs);
        UnixScriptOutcome linked = RunUnixScript("ln -s '" + UnixPathOf(Canary() + L"\\keep.txt") + "' '" +
                                                 UnixPathOf(logs) + "/keep.txt'\n");
        ASSERT_TRUE(linked.bRan && linked.nExitStatus == 0) << linked.output;
    }

    ProgramOutcome outcome = Run(L"/s /vLOGFILE=" + logs + L"\\keep.txt");

    if (swapper) {
        ExpectSwapped(*swapper);
        // The earlier run's log went before the installer started, while its folder was still
        // the caller's: a run that fails later leaves no earlier record.
        EXPECT_FALSE(PathExists(m_folder / L"logs.away\\keep.txt"));
        EXPECT_TRUE(IsFolder(m_folder / L"logs.away"));
    }
    ExpectCanaryIntact();
    EXPECT_TRUE(InstallerRan());
    // Only a link at the log's own name may go (as itself) to make room for the log; Wine removes
    // no link as itself, so the run stops there too.
    EXPECT_EQ(outcome.dwExitCode, 1603u);
    ExpectTraceEndsWithFailure(c.pszStep, m_folder / c.pszFailedPath, c.dwError,
                               "run ended: result CannotCreateLog (11), exit code 1603");
    if (swapper) RemoveLink(logs);
}

INSTANTIATE_TEST_SUITE_P(
    Log, LinkAtTheResultLog,
    ::testing::Values(LogLinkCase{"FolderSwappedWhileTheInstallerRuns", true, "open the result log's folder", L"logs",
                                  ERROR_DIRECTORY},
                      LogLinkCase{"LinkAtTheLogsOwnName", false, "remove the old result log", L"logs\\keep.txt",
                                  ERROR_FILE_INVALID}),
    CaseName());

// Another user swaps a folder of the result log's chain for a link to the canary in the instant
// after the run made it and before the run makes the next folder inside it. Made by its path,
// the next folder and the log would land in the canary; made relative to the held new folder,
// nothing is made outside the folder the run made.
TEST_F(SwapDuringDelete, ResultLogChainNeverLeadsIntoALinkSwappedInAsAFolderIsMade) {
    if (!IsRunningUnderWine()) GTEST_SKIP() << "the swap is made on the Linux side of Wine";
    MakePackage();
    MakeCanary();
    const std::wstring logs = m_folder / L"logs";
    MakeFolders(logs);
    // In capitals: the text after /v is upper-cased, and the Linux name must match.
    const std::wstring log = logs + L"\\MADE\\BELOW\\RUN.LOG";
    auto gate = StartOpenGate(logs, "MADE", "MADE");

    ProgramOutcome outcome = Run(L"/s /vLOGFILE=" + log);

    ExpectSwapped(*gate);
    ExpectCanaryIntact();
    // Under Wine the new folder's handle names the folder renamed away, not the one the run
    // made at its name: the run stops there and makes nothing in it. On Windows a folder is
    // held from the instant it is made, and the swap cannot happen.
    EXPECT_EQ(outcome.dwExitCode, 1603u);
    EXPECT_TRUE(ListTree(logs + L"\\MADE.away").empty());
    ExpectTraceEndsWithFailure("open the result log's folder", logs + L"\\MADE\\BELOW", ERROR_DIRECTORY,
                               "run ended: result CannotCreateLog (11), exit code 1603");
    RemoveLink(logs + L"\\MADE");
}

// Links met where the run writes its copies, put there before the run: a link at the name of a
// file or folder that /extract_all copies, and an extraction folder that is a link. The file or
// folder linked keeps every byte; on Windows the link itself is replaced by the copy.
struct TargetLinkCase : NamedCase {
    const wchar_t* pszLink;    // below the folder the run is given
    const wchar_t* pszTarget;  // below the canary
    bool bToFolder;
    bool bExtraction;     // EXTRACTDRIVERS=<folder> rather than /extract_all <folder>
    // What the run writes whole before it comes to the link, below the folder given and below the
    // package root (null: the link is the first place the run writes).
    const wchar_t* pszWrittenBefore;
    const wchar_t* pszWrittenBeforeSource;
    // Where the link stays (Wine): the failed step and its Win32 error. Wine lists a link to a
    // file as the file itself; the name its handle holds (the target's) tells it apart.
    const char* pszStep;
    DWORD dwError;
};

// A folder's tree, or a file's bytes.
std::string ContentOf(const std::wstring& path) { return IsFolder(path) ? TreeDigest(path) : ReadBytes(path); }

class LinkWhereTheRunWrites : public LinkRun, public ::testing::WithParamInterface<TargetLinkCase> {};

TEST_P(LinkWhereTheRunWrites, LinkedPlaceKeepsEveryByte) {
    const TargetLinkCase& c = GetParam();
    MakePackage();
    MakeCanary();
    const std::wstring given = m_folder / L"Out";
    const std::wstring link = given + c.pszLink;
    MakeFolders(link.substr(0, link.rfind(L'\\')));
    FolderLink planted(link, Canary() + c.pszTarget, c.bToFolder);
    ASSERT_SET_UP_MADE(planted.IsMade(), planted.Reason());
    const std::wstring log = m_folder / L"extract.log";

    ProgramOutcome outcome = Run(c.bExtraction ? L"/s \"/vEXTRACTDRIVERS=" + given + L" LOGFILE=" + log + L"\""
                                               : L"/extract_all \"" + given + L"\"");

    ExpectCanaryIntact();
    if (c.pszWrittenBefore != nullptr) {
        ASSERT_TRUE(PathExists(given + c.pszWrittenBefore)) << "the run never came as far as the link";
        EXPECT_EQ(ContentOf(given + c.pszWrittenBefore), ContentOf(Root() + c.pszWrittenBeforeSource));
    }
    if (!IsRunningUnderWine()) {
        // Windows removes the link itself, and the copy takes its place.
        EXPECT_EQ(outcome.dwExitCode, 0u);
        if (c.bExtraction) {
            ExpectUsbDriversLaidOut(given + L"\\production");
        } else {
            EXPECT_EQ(TreeDigest(given + L"\\Windows"), TreeDigest(Root() + L"\\Windows"));
            EXPECT_EQ(TreeDigest(given + L"\\Others"), TreeDigest(Root() + L"\\Others"));
        }
        return;
    }
    // Wine removes no link as itself: the run stops at it and says where and why.
    EXPECT_EQ(outcome.dwExitCode, 1603u);
    EXPECT_FALSE(PathExists(log));
    ExpectTraceEndsWithFailure(c.pszStep, link, c.dwError, "run ended: result CannotCreateFolder (8), exit code 1603");
}

INSTANTIATE_TEST_SUITE_P(
    Link, LinkWhereTheRunWrites,
    ::testing::Values(
        // Setup.exe comes before setup.ini, WIN10 before WIN7, and Windows before Others.
        TargetLinkCase{"FileAtACopiedFilesName", L"\\Windows\\setup.ini", L"\\keep.txt", false, false,
                       L"\\Windows\\Setup.exe", L"\\Windows\\Setup.exe", "copy the package", ERROR_FILE_INVALID},
        TargetLinkCase{"FolderAtACopiedFoldersName", L"\\Others", L"", true, false, L"\\Windows", L"\\Windows",
                       "copy the package", ERROR_NOT_A_REPARSE_POINT},
        TargetLinkCase{"FolderAtADriverFoldersName", L"\\Windows\\WIN7", L"\\sub", true, false,
                       L"\\Windows\\WIN10", L"\\Windows\\WIN10", "copy the package", ERROR_NOT_A_REPARSE_POINT},
        TargetLinkCase{"TheExtractionFolderItself", L"\\production", L"", true, true, nullptr, nullptr,
                       "remove the old driver folder", ERROR_NOT_A_REPARSE_POINT}),
    CaseName());

// A package that holds a link to a file or folder outside it, as someone who could change the
// package left it: the copy refuses the link, on every platform, and nothing of the linked place
// reaches the copy.
struct PackageLinkCase : NamedCase {
    const wchar_t* pszLink;    // below the package root
    const wchar_t* pszTarget;  // below the canary
    bool bToFolder;
    const wchar_t* pszCopiedBefore;  // below the package root: what the copy takes whole before the link
};

class LinkInThePackage : public LinkRun, public ::testing::WithParamInterface<PackageLinkCase> {};

TEST_P(LinkInThePackage, ExtractAllFailsAndCopiesNothingOfTheLinkedPlace) {
    const PackageLinkCase& c = GetParam();
    MakePackage();
    MakeCanary();
    FolderLink planted(Root() + c.pszLink, Canary() + c.pszTarget, c.bToFolder);
    ASSERT_SET_UP_MADE(planted.IsMade(), planted.Reason());
    const std::wstring out = m_folder / L"Out";

    ProgramOutcome outcome = Run(L"/extract_all \"" + out + L"\"");

    ExpectCanaryIntact();
    EXPECT_EQ(outcome.dwExitCode, 1603u);
    EXPECT_FALSE(PathExists(out + c.pszLink));
    ASSERT_TRUE(PathExists(out + c.pszCopiedBefore)) << "the copy never came as far as the link";
    EXPECT_EQ(TreeDigest(out + c.pszCopiedBefore), TreeDigest(Root() + c.pszCopiedBefore));
    // Wine lists a link to a file as the file itself: the name its handle holds (the target's)
    // shows it is another file than the one listed.
    const DWORD dwError = IsRunningUnderWine() && !c.bToFolder ? ERROR_FILE_INVALID : ERROR_CANT_ACCESS_FILE;
    ExpectTraceEndsWithFailure("copy the package", Root() + c.pszLink, dwError,
                               "run ended: result CannotCreateFolder (8), exit code 1603");
}

INSTANTIATE_TEST_SUITE_P(
    Link, LinkInThePackage,
    // WIN8 comes before zz_linked.txt, Docs before linked.
    ::testing::Values(PackageLinkCase{"ToAFileOutside", L"\\Windows\\zz_linked.txt", L"\\keep.txt", false,
                                      L"\\Windows\\WIN8"},
                      PackageLinkCase{"ToAFolderOutside", L"\\Others\\linked", L"\\sub", true, L"\\Others\\Docs"}),
    CaseName());

// Another user plants a link where the run is about to write, at the moment the folder the run
// writes just before it is made: /extract_all's Others once Windows is made, the next driver
// folder once the first is made. The gate holds the run's first open of the folder just made
// until the link stands.
struct PlantedLinkCase : NamedCase {
    bool bExtraction;
    const char* pszMade;  // below the folder the run is given: when the run opens it, the link is planted
    const wchar_t* pszLink;     // below the same folder
    const wchar_t* pszWhole;    // below the same folder: what the run then writes whole before the link
    const wchar_t* pszWholeSource;  // below the package root: what it holds
    const char* pszStep;
    DWORD dwError;
};

class LinkPlantedWhileTheRunWrites : public SwapDuringDelete, public ::testing::WithParamInterface<PlantedLinkCase> {};

TEST_P(LinkPlantedWhileTheRunWrites, LinkedFolderKeepsEveryByte) {
    const PlantedLinkCase& c = GetParam();
    if (!IsRunningUnderWine()) GTEST_SKIP() << "the link is planted on the Linux side of Wine";
    MakePackage();
    MakeCanary();
    // In capitals: the text after /v is upper-cased, and the Linux name must match.
    const std::wstring given = m_folder / L"OUT";
    const std::wstring link = given + c.pszLink;
    const std::wstring log = m_folder / L"extract.log";
    std::string place = "OUT" + Narrow(c.pszLink);
    std::replace(place.begin(), place.end(), '\\', '/');
    auto gate = StartOpenGate(m_folder.Path(), std::string("OUT/") + c.pszMade, place, false);

    ProgramOutcome outcome = Run(c.bExtraction ? L"/s \"/vEXTRACTDRIVERS=" + given + L" LOGFILE=" + log + L"\""
                                               : L"/extract_all \"" + given + L"\"");

    ExpectSwapped(*gate);
    ExpectCanaryIntact();
    EXPECT_EQ(TreeDigest(given + c.pszWhole), TreeDigest(Root() + c.pszWholeSource)) << "the run went on from the moment";
    // Under Wine the link opens as the canary, which is not the folder the run made: the run stops.
    EXPECT_EQ(outcome.dwExitCode, 1603u);
    EXPECT_FALSE(PathExists(log));
    ExpectTraceEndsWithFailure(c.pszStep, link, c.dwError, "run ended: result CannotCreateFolder (8), exit code 1603");
    RemoveLink(link);
}

INSTANTIATE_TEST_SUITE_P(
    Link, LinkPlantedWhileTheRunWrites,
    ::testing::Values(PlantedLinkCase{"OthersOnceWindowsIsMade", false, "Windows", L"\\Others", L"\\Windows",
                                      L"\\Windows", "copy the package", ERROR_NOT_A_REPARSE_POINT},
                      PlantedLinkCase{"NextDriverFolderOnceTheFirstIsMade", true, "production/Windows7-x86",
                                      L"\\production\\Windows7-x64", L"\\production\\Windows7-x86",
                                      L"\\Windows\\WIN7\\32", "copy the drivers", ERROR_NOT_A_REPARSE_POINT}),
    CaseName());

// A caller's path that runs through a link an administrator made works as through any folder:
// the work lands where the link points. Wine reads every link as owned by the run's own account,
// which made it here; the refusal of a link another user made is shown at the native calls
// (CallerPathLinkTest).
enum class CallerPath { ExtractAll, ExtractDrivers, ResultLog };

struct CallerLinkCase : NamedCase {
    CallerPath callerPath;
};

class LinkInACallersPathRun : public LinkRun, public ::testing::WithParamInterface<CallerLinkCase> {};

TEST_P(LinkInACallersPathRun, WorksAsBeforeAndLandsWhereTheLinkPoints) {
    MakePackage();
    const std::wstring linked = m_folder / L"linked";
    MakeFolders(linked);
    const std::wstring via = m_folder / L"via";
    FolderLink link(via, linked);
    ASSERT_SET_UP_MADE(link.IsMade(), link.Reason());
    const std::wstring log = m_folder / L"run.log";

    switch (GetParam().callerPath) {
        case CallerPath::ExtractAll:
            ASSERT_EQ(Run(L"/extract_all \"" + via + L"\\out\"").dwExitCode, 0u);
            EXPECT_EQ(TreeDigest(linked + L"\\out\\Windows"), TreeDigest(Root() + L"\\Windows"));
            EXPECT_EQ(TreeDigest(linked + L"\\out\\Others"), TreeDigest(Root() + L"\\Others"));
            break;
        case CallerPath::ExtractDrivers:
            ASSERT_EQ(Run(L"/s \"/vEXTRACTDRIVERS=" + via + L"\\DRIVERS LOGFILE=" + log + L"\"").dwExitCode, 0u);
            ExpectUsbDriversLaidOut(linked + L"\\DRIVERS\\production");
            break;
        case CallerPath::ResultLog:
            ASSERT_EQ(Run(L"/s \"/vEXTRACTDRIVERS=" + (m_folder / L"drivers") + L" LOGFILE=" + via +
                          L"\\LOGS\\RUN.LOG\"")
                          .dwExitCode,
                      0u);
            EXPECT_NE(ReadBytes(linked + L"\\LOGS\\RUN.LOG").find(kLogRecord), std::string::npos);
            break;
    }
}

INSTANTIATE_TEST_SUITE_P(CallerPath, LinkInACallersPathRun,
                         ::testing::Values(CallerLinkCase{"ExtractAllFolder", CallerPath::ExtractAll},
                                           CallerLinkCase{"ExtractDriversFolder", CallerPath::ExtractDrivers},
                                           CallerLinkCase{"ResultLogsFolder", CallerPath::ResultLog}),
                         CaseName());

}  // namespace
