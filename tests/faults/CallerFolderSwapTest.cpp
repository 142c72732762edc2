// Folders the run makes in a caller's path, and a caller's path inside the package itself, met by
// the real program: another user swaps a folder the run has just made for a link, and
// /extract_all is pointed into the package it copies.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "faults/FolderLink.h"
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
// goes, so a target inside them would be met again and again; the folders the copy made (those
// of the target's path it had to make, and everything below) are never entered, and the copy holds
// the package as it was when it began. A target that was a folder of the package is part of it,
// and is copied with everything it held. A target that is the package's own folder would have
// every file removed to make room for its copy: refused before anything is written. The target is
// also spelled otherwise than the package's own path (letter case, "." and ".." components, the
// short name, a link): what the copy made is known by what it is, not by how a path spells it.
enum class Spelling { AsTheProgramsPath, OtherCase, DotComponents, ShortName, ThroughALink };

struct InsideCase : NamedCase {
    const wchar_t* pszTarget;  // below the package root; empty: the root itself
    bool bFolderOfThePackage;  // the target exists before the run
    Spelling spelling;
    DWORD dwExitCode;
};

class ExtractAllIntoThePackage : public CallerFolderRun, public ::testing::WithParamInterface<InsideCase> {
protected:
    // Every file and folder of the package's Windows and Others folders, by path below the root,
    // but for those below any of leaveOut.
    std::map<std::wstring, std::string> PackageFiles(const std::vector<std::wstring>& leaveOut) const {
        std::map<std::wstring, std::string> files;
        for (const wchar_t* pszFolder : {L"Windows", L"Others"}) {
            for (const std::wstring& entry : ListTree(Root() + L"\\" + pszFolder)) {
                const std::wstring relative = std::wstring(pszFolder) + L"\\" + entry;
                // Letter case aside: the run makes a missing folder as the caller spelled it.
                bool bLeftOut = false;
                for (const std::wstring& prefix : leaveOut)
                    bLeftOut = bLeftOut || _wcsnicmp(relative.c_str(), prefix.c_str(), prefix.size()) == 0;
                if (bLeftOut) continue;
                files[relative] = entry.back() == L'\\' ? "" : ReadBytes(Root() + L"\\" + relative);
            }
        }
        return files;
    }

    // The target as the case spells it; empty when this platform cannot spell it so.
    std::wstring SpelledTarget(const InsideCase& c) {
        switch (c.spelling) {
        case Spelling::AsTheProgramsPath:
            return Root() + c.pszTarget;
        case Spelling::OtherCase: {
            std::wstring upper = Root() + c.pszTarget;
            CharUpperBuffW(&upper[0], static_cast<DWORD>(upper.size()));
            return upper;
        }
        case Spelling::DotComponents:
            return Root() + L"\\Windows\\..\\.\\Others\\.." + c.pszTarget;
        case Spelling::ShortName: {
            // The test folder's own name is longer than 8.3 and has a short name of its own.
            wchar_t szShort[MAX_PATH] = {};
            const DWORD cch = GetShortPathNameW(Root().c_str(), szShort, MAX_PATH);
            if (cch == 0 || cch >= MAX_PATH || Root() == szShort) return L"";
            return szShort + std::wstring(c.pszTarget);
        }
        case Spelling::ThroughALink:
            m_link = std::make_unique<FolderLink>(m_folder / L"link-to-the-package", Root());
            if (!m_link->IsMade()) return L"";
            return (m_folder / L"link-to-the-package") + c.pszTarget;
        }
        return L"";
    }

    std::unique_ptr<FolderLink> m_link;
};

TEST_P(ExtractAllIntoThePackage, EndsPromptlyAndTheCopyHoldsThePackageAsItWas) {
    const InsideCase& c = GetParam();
    MakePackage();
    const std::wstring spelled = SpelledTarget(c);
    if (spelled.empty()) GTEST_SKIP() << "this platform cannot spell the target so";
    const std::wstring target = Root() + c.pszTarget;
    // What the copy made, as the package's listing shows it: the target's own folders when it
    // was a folder of the package, else the target with everything in it; nothing when refused.
    std::vector<std::wstring> copyMade;
    if (c.pszTarget[0]) {
        ASSERT_EQ(IsFolder(target), c.bFolderOfThePackage);
        const std::wstring copyBelowRoot = std::wstring(c.pszTarget + 1) + L"\\";
        copyMade = c.bFolderOfThePackage
                       ? std::vector<std::wstring>{copyBelowRoot + L"Windows\\", copyBelowRoot + L"Others\\"}
                       : std::vector<std::wstring>{copyBelowRoot};
    }
    const std::map<std::wstring, std::string> before = PackageFiles({});
    const std::string windowsDigest = TreeDigest(Root() + L"\\Windows");
    const std::string othersDigest = TreeDigest(Root() + L"\\Others");

    // The run's own time-out fails the test when the copy feeds on itself.
    ProgramOutcome outcome = Run(L"/extract_all \"" + spelled + L"\"");

    EXPECT_EQ(outcome.dwExitCode, c.dwExitCode);
    EXPECT_EQ(PackageFiles(copyMade), before) << "the package changed";
    if (c.dwExitCode == 0) {
        EXPECT_EQ(TreeDigest(target + L"\\Windows"), windowsDigest);
        EXPECT_EQ(TreeDigest(target + L"\\Others"), othersDigest);
    } else {
        // The failure names the copy as the caller spelled it, and the package folder it is.
        const std::string failed = TraceFailureLine();
        EXPECT_NE(failed.find("failed: copy the package, path \"" + ConsoleBytes(spelled + L"\\Windows") + "\""),
                  std::string::npos)
            << failed;
        EXPECT_NE(failed.find("the folder to copy into is the folder copied from, " +
                              ConsoleBytes(Root() + L"\\Windows")),
                  std::string::npos)
            << failed;
        ExpectTraceEndsWith({"failed: copy the package", "run ended: result CannotCreateFolder (8), exit code 1603"});
    }
}

INSTANTIATE_TEST_SUITE_P(
    Inside, ExtractAllIntoThePackage,
    ::testing::Values(
        InsideCase{"AFolderInOthers", L"\\Others\\copy", false, Spelling::AsTheProgramsPath, 0},
        InsideCase{"ADriverFolder", L"\\Windows\\WIN7\\copy", false, Spelling::AsTheProgramsPath, 0},
        InsideCase{"AnExistingDriverFolder", L"\\Windows\\WIN10", true, Spelling::AsTheProgramsPath, 0},
        InsideCase{"AnExistingFolderInOthers", L"\\Others\\Docs", true, Spelling::AsTheProgramsPath, 0},
        InsideCase{"AnExistingDriverFolderInOtherCase", L"\\Windows\\WIN10", true, Spelling::OtherCase, 0},
        InsideCase{"AFolderInOthersInOtherCase", L"\\Others\\copy", false, Spelling::OtherCase, 0},
        InsideCase{"AFolderInOthersThroughDotComponents", L"\\Others\\copy", false, Spelling::DotComponents, 0},
        InsideCase{"AnExistingFolderInOthersThroughAShortName", L"\\Others\\Docs", true, Spelling::ShortName, 0},
        InsideCase{"ADriverFolderThroughALink", L"\\Windows\\WIN7\\copy", false, Spelling::ThroughALink, 0},
        InsideCase{"ThePackageRootItself", L"", true, Spelling::AsTheProgramsPath, 1603},
        InsideCase{"ThePackageRootThroughALink", L"", true, Spelling::ThroughALink, 1603}),
    CaseName());

}  // namespace
