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
#include "faults/OpenGate.h"
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
        EXPECT_FALSE(PathExists(log));
        ExpectTraceEndsWith({"failed: remove the old driver folder, path \"" + ConsoleBytes(production + c.pszLink),
                             "run ended: result CannotCreateFolder (8), exit code 1603"});
    }
}

INSTANTIATE_TEST_SUITE_P(
    Link, LinkInProduction,
    // The old folder cannot be removed while the link stays in it: the run stops there.
    ::testing::Values(ProductionLinkCase{"UnderAnotherName", L"\\linked", 1603},
                      ProductionLinkCase{"UnderAFinalName", L"\\Windows7-x86", 1603}),
    CaseName());

// Another user swaps a folder of a tree that the run deletes for a link, at the moment the
// delete is seen to have begun: the first of many files in the folder "a" is gone, so the
// delete has listed the folder that holds "a" and "z" and will come to "z" next. On Windows an
// opportunistic lock stops a delete at such a moment without any luck needed.
class SwapDuringDelete : public LinkRun {
protected:
    static constexpr int kFilesInA = 3000;

    // Folder\a with kFilesInA files (a\f0000 comes first in every listing) and folder\z, which
    // the swap replaces.
    void MakeTreeToSwap(const std::wstring& folder) {
        WriteBytes(folder + L"\\z\\in-z.txt", "the real z");
        const std::string unixFolder = UnixPathOf(folder);
        ASSERT_FALSE(unixFolder.empty());
        UnixScriptOutcome made = RunUnixScript("mkdir -p '" + unixFolder + "/a' && cd '" + unixFolder +
                                               "/a' && for n in $(seq -w 0 " + std::to_string(kFilesInA - 1) +
                                               "); do echo x > f$n; done\n");
        ASSERT_TRUE(made.bRan && made.nExitStatus == 0) << made.output;
        ASSERT_TRUE(PathExists(folder + L"\\a\\f" + std::to_wstring(kFilesInA - 1)));
    }

    // Watches for a\f0000 to go, then renames z away and puts a link to the canary in its place.
    // Returns once the watcher runs, so that the run started next cannot outpace it.
    std::unique_ptr<UnixScriptInBackground> StartSwapper(const std::wstring& folder) {
        return StartWatcher(UnixPathOf(folder) + "/a/f0000", "-e", SwapForLink(UnixPathOf(folder), "z"));
    }

    // Renames folder/name to name.away and links name to the canary.
    std::string SwapForLink(const std::string& folder, const std::string& name) const {
        return "cd '" + folder + "' && mv " + name + " " + name + ".away && ln -s '" + UnixPathOf(Canary()) + "' " +
               name + "\n";
    }

    // Waits while the file `test` reports true for what (-e: exists, ! -e: is missing), then
    // runs action.
    std::unique_ptr<UnixScriptInBackground> StartWatcher(const std::string& what, const std::string& test,
                                                         const std::string& action) {
        const std::wstring ready = m_folder / L"watcher-ready";
        const std::string script = "touch '" + UnixPathOf(ready) + "'\n"
                                   "n=0\n"
                                   "while [ " + test + " '" + what + "' ]; do\n"
                                   "  n=$((n + 1)); [ $n -gt 20000 ] && exit 3\n"
                                   "  sleep 0.002\n"
                                   "done\n" + action;
        auto watcher = std::make_unique<UnixScriptInBackground>(script);
        for (int i = 0; i < 300 && !PathExists(ready); ++i) Sleep(20);
        EXPECT_TRUE(PathExists(ready)) << "the watcher did not start";
        return watcher;
    }

    static void ExpectSwapped(UnixScriptInBackground& watcher) {
        UnixScriptOutcome swapped = watcher.Wait();
        EXPECT_TRUE(swapped.bRan && swapped.nExitStatus == 0) << "the swap did not happen: " << swapped.output;
    }

    // Holds the platform's first open of folder/name until name has been swapped for a link to
    // the canary (OpenGate). Returns once the gate is set.
    std::unique_ptr<UnixScriptInBackground> StartOpenGate(const std::wstring& folder, const std::string& name) {
        return ::StartOpenGate(folder, name, Canary(), m_folder / L"gate-ready");
    }

    // The link the watcher made is the test's to remove; rm never follows it.
    static void RemoveLink(const std::wstring& link) { RunUnixScript("rm -f '" + UnixPathOf(link) + "'\n"); }
};

TEST_F(SwapDuringDelete, LeftoverStagingFolderNeverLeadsTheDeleteIntoTheLinkedFolder) {
    if (!IsRunningUnderWine()) GTEST_SKIP() << "the swap is made on the Linux side of Wine";
    MakePackage();
    MakeCanary();
    ASSERT_NO_FATAL_FAILURE(MakeTreeToSwap(Staging()));
    const std::wstring log = m_folder / L"run.log";
    auto watcher = StartSwapper(Staging());

    ProgramOutcome outcome = Run(L"/s /vLOGFILE=" + log);

    ExpectSwapped(*watcher);
    ExpectCanaryIntact();
    EXPECT_EQ(ReadBytes(Staging() + L"\\z.away\\in-z.txt"), "the real z");
    if (outcome.dwExitCode == 0) {
        EXPECT_TRUE(InstallerRan());
        EXPECT_EQ(ReadBytes(log), std::string(kStandinLogText) + kLogRecord);
    } else {
        // Under Wine the link opens as the canary, which is not the "z" the delete listed.
        EXPECT_EQ(outcome.dwExitCode, 1603u);
        EXPECT_FALSE(InstallerRan());
        EXPECT_FALSE(PathExists(log));
    }
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
    auto watcher = StartSwapper(production);

    ProgramOutcome outcome = Run(L"/s \"/vEXTRACTDRIVERS=" + drivers + L" LOGFILE=" + log + L"\"");

    ExpectSwapped(*watcher);
    ExpectCanaryIntact();
    EXPECT_FALSE(InstallerRan());
    // An old folder that cannot be removed ends the run: no drivers land beside what stayed.
    if (outcome.dwExitCode == 0) {
        ExpectUsbDriversLaidOut(production);
        EXPECT_NE(ReadBytes(log).find(kLogRecord), std::string::npos);
    } else {
        EXPECT_EQ(outcome.dwExitCode, 1603u);
        EXPECT_FALSE(PathExists(log));
    }
    RemoveLink(production + L"\\z");
}

// The result log's place is taken over by a link to the canary: the log's folder while the
// installer runs, or the log's own name before the run. The log is named like a canary file, so
// any write or delete through the link would show there.
struct LogLinkCase : NamedCase {
    bool bSwapFolderDuringRun;  // false: a link at the log's own name from the start
};

class LinkAtTheResultLog : public SwapDuringDelete, public ::testing::WithParamInterface<LogLinkCase> {};

TEST_P(LinkAtTheResultLog, NothingOutsideTheNamedPlaceChanges) {
    const LogLinkCase& c = GetParam();
    if (!IsRunningUnderWine()) GTEST_SKIP() << "the links are made on the Linux side of Wine";
    MakePackage();
    MakeCanary();
    const std::wstring logs = m_folder / L"logs";
    const std::string oldLog = "result log of an earlier run\r\n";
    std::unique_ptr<UnixScriptInBackground> watcher;
    if (c.bSwapFolderDuringRun) {
        WriteBytes(logs + L"\\keep.txt", oldLog);
        ConfigureInstaller("wait=1500\r\n");
        watcher = StartWatcher(UnixPathOf(m_folder / L"installer-record.txt"), "! -e",
                               SwapForLink(UnixPathOf(m_folder.Path()), "logs"));
    } else {
        MakeFolders(logs);
        UnixScriptOutcome linked = RunUnixScript("ln -s '" + UnixPathOf(Canary() + L"\\keep.txt") + "' '" +
                                                 UnixPathOf(logs) + "/keep.txt'\n");
        ASSERT_TRUE(linked.bRan && linked.nExitStatus == 0) << linked.output;
    }

    ProgramOutcome outcome = Run(L"/s /vLOGFILE=" + logs + L"\\keep.txt");

    if (watcher) {
        ExpectSwapped(*watcher);
    }
    ExpectCanaryIntact();
    EXPECT_TRUE(InstallerRan());
    if (c.bSwapFolderDuringRun) {
        EXPECT_EQ(ReadBytes(m_folder / L"logs.away\\keep.txt"), oldLog);
    }
    if (outcome.dwExitCode == 0) {
        // Only a link at the log's own name may go (as itself) to make room for the log.
        EXPECT_FALSE(c.bSwapFolderDuringRun) << "the log was written into a folder that is a link";
        EXPECT_EQ(ReadBytes(logs + L"\\keep.txt"), std::string(kStandinLogText) + kLogRecord);
    } else {
        EXPECT_EQ(outcome.dwExitCode, 1603u);
    }
    if (c.bSwapFolderDuringRun) RemoveLink(logs);
}

INSTANTIATE_TEST_SUITE_P(Log, LinkAtTheResultLog,
                         ::testing::Values(LogLinkCase{"FolderSwappedWhileTheInstallerRuns", true},
                                           LogLinkCase{"LinkAtTheLogsOwnName", false}),
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
    auto gate = StartOpenGate(logs, "MADE");

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
    const char* pszStep;  // the failed step where the link stays (Wine)
};

class LinkWhereTheRunWrites : public LinkRun, public ::testing::WithParamInterface<TargetLinkCase> {};

TEST_P(LinkWhereTheRunWrites, LinkedPlaceKeepsEveryByte) {
    const TargetLinkCase& c = GetParam();
    MakePackage();
    MakeCanary();
    const std::wstring given = m_folder / L"Out";
    const std::wstring link = given + c.pszLink;
    MakeFolders(link.substr(0, link.rfind(L'\\')));
    FolderLink planted(link, Canary() + c.pszTarget, c.bToFolder);
    if (!planted.IsMade()) GTEST_SKIP() << planted.Reason();
    const std::wstring log = m_folder / L"extract.log";

    ProgramOutcome outcome = Run(c.bExtraction ? L"/s \"/vEXTRACTDRIVERS=" + given + L" LOGFILE=" + log + L"\""
                                               : L"/extract_all \"" + given + L"\"");

    ExpectCanaryIntact();
    if (!IsRunningUnderWine()) {
        EXPECT_EQ(outcome.dwExitCode, 0u) << "Windows removes the link itself";
    }
    if (outcome.dwExitCode == 0) {
        if (c.bExtraction) {
            ExpectUsbDriversLaidOut(given + L"\\production");
        } else {
            EXPECT_EQ(TreeDigest(given + L"\\Windows"), TreeDigest(Root() + L"\\Windows"));
            EXPECT_EQ(TreeDigest(given + L"\\Others"), TreeDigest(Root() + L"\\Others"));
        }
    } else {
        // Under Wine no call removes the link as itself: the run stops at it and says where.
        EXPECT_EQ(outcome.dwExitCode, 1603u);
        EXPECT_FALSE(PathExists(log));
        ExpectTraceEndsWith({std::string("failed: ") + c.pszStep + ", path \"" + ConsoleBytes(link) + "\"",
                             "run ended: result CannotCreateFolder (8), exit code 1603"});
    }
}

INSTANTIATE_TEST_SUITE_P(
    Link, LinkWhereTheRunWrites,
    ::testing::Values(
        TargetLinkCase{"FileAtACopiedFilesName", L"\\Windows\\setup.ini", L"\\keep.txt", false, false,
                       "copy the package"},
        TargetLinkCase{"FolderAtACopiedFoldersName", L"\\Others", L"", true, false, "copy the package"},
        TargetLinkCase{"FolderAtADriverFoldersName", L"\\Windows\\WIN7", L"\\sub", true, false,
                       "copy the package"},
        TargetLinkCase{"TheExtractionFolderItself", L"\\production", L"", true, true, "remove the old driver folder"}),
    CaseName());

// A package that holds a link to a file or folder outside it, as someone who could change the
// package left it: the copy refuses the link, on every platform, and nothing of the linked place
// reaches the copy.
struct PackageLinkCase : NamedCase {
    const wchar_t* pszLink;    // below the package root
    const wchar_t* pszTarget;  // below the canary
    bool bToFolder;
};

class LinkInThePackage : public LinkRun, public ::testing::WithParamInterface<PackageLinkCase> {};

TEST_P(LinkInThePackage, ExtractAllFailsAndCopiesNothingOfTheLinkedPlace) {
    const PackageLinkCase& c = GetParam();
    MakePackage();
    MakeCanary();
    FolderLink planted(Root() + c.pszLink, Canary() + c.pszTarget, c.bToFolder);
    if (!planted.IsMade()) GTEST_SKIP() << planted.Reason();
    const std::wstring out = m_folder / L"Out";

    ProgramOutcome outcome = Run(L"/extract_all \"" + out + L"\"");

    ExpectCanaryIntact();
    EXPECT_EQ(outcome.dwExitCode, 1603u);
    EXPECT_FALSE(PathExists(out + c.pszLink));
    ExpectTraceEndsWith({"failed: copy the package, path \"" + ConsoleBytes(Root() + c.pszLink) + "\"",
                         "run ended: result CannotCreateFolder (8), exit code 1603"});
}

INSTANTIATE_TEST_SUITE_P(
    Link, LinkInThePackage,
    ::testing::Values(PackageLinkCase{"ToAFileOutside", L"\\Windows\\zz_linked.txt", L"\\keep.txt", false},
                      PackageLinkCase{"ToAFolderOutside", L"\\Others\\linked", L"\\sub", true}),
    CaseName());

// Another user plants a link where the run is about to write, at the moment the folder the run
// writes just before it appears: /extract_all's Others once Windows is made, the next driver
// folder once the first is made. Many files in each driver folder keep the run busy long after
// the watcher (which looks every 2 ms) has planted the link.
struct PlantedLinkCase : NamedCase {
    bool bExtraction;
    const wchar_t* pszSeen;  // below the folder the run is given: when it appears, the link is planted
    const wchar_t* pszLink;  // below the same folder
    const char* pszStep;
};

class LinkPlantedWhileTheRunWrites : public SwapDuringDelete, public ::testing::WithParamInterface<PlantedLinkCase> {};

TEST_P(LinkPlantedWhileTheRunWrites, LinkedFolderKeepsEveryByte) {
    const PlantedLinkCase& c = GetParam();
    if (!IsRunningUnderWine()) GTEST_SKIP() << "the link is planted on the Linux side of Wine";
    PackageSpec spec;
    spec.nSmallFiles = 300;
    MakePackage(spec);
    MakeCanary();
    // In capitals: the text after /v is upper-cased, and the Linux name must match.
    const std::wstring given = m_folder / L"OUT";
    const std::wstring link = given + c.pszLink;
    const std::wstring log = m_folder / L"extract.log";
    // Neither path exists yet, so their Linux names are made from the test folder's.
    auto unixBelowGiven = [this](std::wstring relative) {
        std::replace(relative.begin(), relative.end(), L'\\', L'/');
        return UnixPathOf(m_folder.Path()) + "/OUT" + Narrow(relative);
    };
    auto watcher = StartWatcher(unixBelowGiven(c.pszSeen), "! -e",
                                "ln -s '" + UnixPathOf(Canary()) + "' '" + unixBelowGiven(c.pszLink) + "'\n");

    ProgramOutcome outcome = Run(c.bExtraction ? L"/s \"/vEXTRACTDRIVERS=" + given + L" LOGFILE=" + log + L"\""
                                               : L"/extract_all \"" + given + L"\"");

    ExpectSwapped(*watcher);
    ExpectCanaryIntact();
    // Under Wine the link opens as the canary, which is not the folder the run made: the run stops.
    EXPECT_EQ(outcome.dwExitCode, 1603u);
    EXPECT_FALSE(PathExists(log));
    ExpectTraceEndsWith({std::string("failed: ") + c.pszStep + ", path \"" + ConsoleBytes(link) + "\"",
                         "run ended: result CannotCreateFolder (8), exit code 1603"});
    RemoveLink(link);
}

INSTANTIATE_TEST_SUITE_P(
    Link, LinkPlantedWhileTheRunWrites,
    ::testing::Values(PlantedLinkCase{"OthersOnceWindowsIsCopied", false, L"\\Windows", L"\\Others",
                                      "copy the package"},
                      PlantedLinkCase{"NextDriverFolderOnceTheFirstIsMade", true, L"\\production\\Windows7-x86",
                                      L"\\production\\Windows7-x64", "copy the drivers"}),
    CaseName());

}  // namespace
