// Files that another process holds open, met by the real program: a file of the package it
// copies, a file of an earlier run's staging folder it must delete, and a file in the way of
// the per-OS driver folders.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "support/HeldOpenFile.h"
#include "support/FileUtil.h"
#include "support/MessageBoxAnswerer.h"
#include "support/NamedCase.h"
#include "support/ProgramFixture.h"

namespace {

// Listings come in name order with case ignored, under Wine as on NTFS: in Windows\ the
// folder WIN10 comes before WIN7 and WIN8, and in WIN7\32 driver.cat before the INF files.
const wchar_t kHeldDriverFile[] = L"\\Windows\\WIN7\\32\\driver.cat";

class HeldPackageFile : public ProgramTest {};

// The installer must never run on a package that was only partly staged.
TEST_F(HeldPackageFile, StagingStopsThereAndTheInstallerNeverStarts) {
    MakePackage();
    const std::string before = TreeDigest(Root());
    const std::wstring log = m_folder / L"run.log";
    HeldOpenFile held(Root() + kHeldDriverFile);
    ASSERT_TRUE(held.IsHeld());
    MessageBoxAnswerer noBox({});

    ProgramOutcome outcome = Run(L"/s /vLOGFILE=" + log);
    held.Release();

    EXPECT_EQ(outcome.dwExitCode, 1603u);
    EXPECT_FALSE(InstallerRan());
    EXPECT_FALSE(PathExists(log));
    ExpectTraceEndsWithFailure("copy the package", Root() + kHeldDriverFile, ERROR_SHARING_VIOLATION,
                               "run ended: result CannotCreateFolder (8), exit code 1603");
    // The failed run keeps what it staged up to the held file, and copies nothing after it.
    EXPECT_EQ(TreeDigest(Staging() + L"\\Windows\\WIN10"), TreeDigest(Root() + L"\\Windows\\WIN10"));
    EXPECT_FALSE(PathExists(Staging() + kHeldDriverFile));
    EXPECT_FALSE(PathExists(Staging() + L"\\Windows\\WIN8"));
    EXPECT_FALSE(PathExists(Staging() + L"\\Others"));
    EXPECT_EQ(TreeDigest(Root()), before) << "the package itself must stay untouched";
    EXPECT_EQ(noBox.UnexpectedCount(), 0u) << noBox.DescribeUnexpected();
}

// A staging folder left by an earlier run, or prepared by another user, with one file that
// another process holds open.
struct LeftoverCase : NamedCase {
    const wchar_t* pszHeld;              // below the staging folder
    DWORD dwShareMode;                   // how the holder shares it
    bool bPlantedProgram;                // the held file is a program that records when it runs
    std::vector<std::wstring> remaining;  // the staging folder after the run
};

class HeldLeftover : public ProgramTest, public ::testing::WithParamInterface<LeftoverCase> {};

TEST_P(HeldLeftover, RunEndsBeforeCopyingAndNothingInTheLeftoverRuns) {
    const LeftoverCase& c = GetParam();
    MakePackage();
    const std::string before = TreeDigest(Root());
    const std::wstring log = m_folder / L"run.log";
    const std::wstring planted = m_folder / L"planted-ran.txt";
    WriteBytes(Staging() + L"\\Others\\old.txt", "from an earlier run");
    WriteBytes(Staging() + L"\\Windows\\aa_old.txt", "from an earlier run");
    if (c.bPlantedProgram) {
        ASSERT_TRUE(CopyFileW(BuiltToolPath(L"standin_installer.exe").c_str(), (Staging() + c.pszHeld).c_str(), FALSE));
        WriteBytes(Staging() + L"\\Windows\\standin.cfg", "record=" + Narrow(planted) + "\r\nlog=\r\n");
    } else {
        WriteBytes(Staging() + c.pszHeld, "held by another process");
    }
    const std::string heldBytes = ReadBytes(Staging() + c.pszHeld);
    HeldOpenFile held(Staging() + c.pszHeld, c.dwShareMode);
    ASSERT_TRUE(held.IsHeld());

    ProgramOutcome outcome = Run(L"/s /vLOGFILE=" + log);
    held.Release();

    // A leftover that cannot be removed entirely is no folder this run made.
    EXPECT_EQ(outcome.dwExitCode, 1603u);
    EXPECT_FALSE(InstallerRan());
    EXPECT_FALSE(PathExists(planted)) << "a program in the leftover was started";
    ExpectTraceEndsWithFailure("remove the leftover staging folder", Staging() + c.pszHeld, ERROR_SHARING_VIOLATION,
                               "run ended: result CannotCreateFolder (8), exit code 1603");
    EXPECT_FALSE(PathExists(log));
    // The delete ends at the held file: what came before it is gone, nothing is copied in.
    EXPECT_EQ(ListTree(Staging()), c.remaining);
    EXPECT_EQ(ReadBytes(Staging() + c.pszHeld), heldBytes);
    EXPECT_EQ(TreeDigest(Root()), before);
}

INSTANTIATE_TEST_SUITE_P(
    HeldFile, HeldLeftover,
    ::testing::Values(
        LeftoverCase{"FileOfNoPackageName", L"\\Windows\\zz_held.txt", 0, false,
                     {L"Windows\\", L"Windows\\zz_held.txt"}},
        LeftoverCase{"FileThePackageCopyWouldReplace", kHeldDriverFile, 0, false,
                     {L"Windows\\", L"Windows\\WIN7\\", L"Windows\\WIN7\\32\\", L"Windows\\WIN7\\32\\driver.cat"}},
        // Readable and startable by the run, yet neither deletable nor replaceable.
        LeftoverCase{"PlantedInstallerSharedForReading", L"\\Windows\\Setup.exe", FILE_SHARE_READ, true,
                     {L"Windows\\", L"Windows\\Setup.exe", L"Windows\\standin.cfg"}}),
    CaseName());

// An earlier extraction in the folder the run is given: the run removes the old "production"
// folder whole before it lays out the new drivers. A file of it that another process holds open
// cannot go, so the run fails at that file; the same earlier extraction with nothing held is
// replaced, so an extraction over an existing folder is no failure in itself.
struct EarlierExtractionCase : NamedCase {
    bool bHeld;
};

class HeldExtractionFile : public ProgramTest, public ::testing::WithParamInterface<EarlierExtractionCase> {};

TEST_P(HeldExtractionFile, OldDriverFolderGoesWholeOrTheRunFailsAtTheHeldFile) {
    MakePackage();
    const std::wstring production = m_folder / L"Drivers\\production";
    const std::wstring oldDriver = production + L"\\Windows7-x86\\old.sys";
    const std::wstring log = m_folder / L"extract.log";
    WriteBytes(oldDriver, "driver of an earlier extraction");
    std::optional<HeldOpenFile> held;
    if (GetParam().bHeld) {
        held.emplace(oldDriver);
        ASSERT_TRUE(held->IsHeld());
    }

    ProgramOutcome outcome = Run(L"/s \"/vEXTRACTDRIVERS=" + (m_folder / L"Drivers") + L" LOGFILE=" + log + L"\"");
    held.reset();

    EXPECT_FALSE(InstallerRan());
    if (!GetParam().bHeld) {
        EXPECT_EQ(outcome.dwExitCode, 0u);
        EXPECT_FALSE(PathExists(oldDriver)) << "the earlier extraction's driver stayed among the new ones";
        ExpectUsbDriversLaidOut(production);
        EXPECT_EQ(ReadBytes(log), kLogRecord);
        EXPECT_FALSE(PathExists(Staging()));
        return;
    }
    EXPECT_EQ(outcome.dwExitCode, 1603u);
    ExpectTraceEndsWithFailure("remove the old driver folder", oldDriver, ERROR_SHARING_VIOLATION,
                               "run ended: result CannotCreateFolder (8), exit code 1603");
    EXPECT_FALSE(PathExists(log));
    EXPECT_EQ(ReadBytes(oldDriver), "driver of an earlier extraction");
    EXPECT_FALSE(PathExists(production + L"\\Windows10-x64")) << "new drivers were laid out next to old ones";
    EXPECT_TRUE(IsFolder(Staging() + L"\\Windows")) << "a failed run leaves the staging folder";
}

INSTANTIATE_TEST_SUITE_P(Earlier, HeldExtractionFile,
                         ::testing::Values(EarlierExtractionCase{"DriverHeldOpen", true},
                                           EarlierExtractionCase{"NothingHeld", false}),
                         CaseName());

}  // namespace
