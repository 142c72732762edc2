// Files that another process holds open without sharing, met by the real program: a file of
// the package it copies, and a file of an earlier run's staging folder it must delete.
#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "faults/HeldOpenFile.h"
#include "package/PackageLayout.h"
#include "support/FileUtil.h"
#include "support/MessageBoxAnswerer.h"
#include "support/ProgramFixture.h"

namespace {

// Listings come in name order with case ignored, under Wine as on NTFS: in Windows\ the
// folder WIN10 comes before WIN7 and WIN8, and in WIN7\32 driver.cat before the INF files.
const wchar_t kHeldDriverFile[] = L"\\Windows\\WIN7\\32\\driver.cat";

// The INF folders that the installer found in the staged copy, by "WIN10\32" and so on.
std::vector<std::string> InfFoldersSeen(const std::map<std::string, std::string>& record) {
    std::vector<std::string> seen;
    for (const InfPairFolder& folder : kInfPairFolders) {
        const std::string key = Narrow(folder.pszOsKey) + "\\" + Narrow(folder.pszArch);
        auto found = record.find("inf." + key);
        if (found != record.end() && !found->second.empty()) seen.push_back(key);
    }
    return seen;
}

const std::vector<std::string> kAllInfFolders = {"WIN7\\32", "WIN7\\64", "WIN8\\32", "WIN8\\64", "WIN10\\32", "WIN10\\64"};
const std::vector<std::string> kWin10InfFolders = {"WIN10\\32", "WIN10\\64"};

class HeldPackageFile : public ProgramTest {};

TEST_F(HeldPackageFile, StagedCopyStopsThereAndTheRunStillInstallsAndLogs) {
    MakePackage();
    const std::string before = TreeDigest(Root());
    const std::wstring log = m_folder / L"run.log";
    HeldOpenFile held(Root() + kHeldDriverFile);
    ASSERT_TRUE(held.IsHeld());
    MessageBoxAnswerer noBox({});

    ProgramOutcome outcome = Run(L"/s /vLOGFILE=" + log);
    held.Release();

    // A package file that cannot be copied is not one of the results the run reports.
    EXPECT_EQ(outcome.dwExitCode, 0u);
    ASSERT_TRUE(InstallerRan());
    EXPECT_EQ(InfFoldersSeen(InstallerRecord()), kWin10InfFolders)
        << "the Windows copy ends at the held file: WIN10 before it is staged, WIN7 and WIN8 after it are not";
    EXPECT_EQ(ReadBytes(log), std::string(kStandinLogText) + kLogRecord);
    EXPECT_FALSE(PathExists(Staging()));
    EXPECT_EQ(TreeDigest(Root()), before) << "the package itself must stay untouched";
    EXPECT_EQ(noBox.UnexpectedCount(), 0u) << noBox.DescribeUnexpected();
}

TEST_F(HeldPackageFile, OthersIsStillStagedAfterTheWindowsCopyStopped) {
    MakePackage();
    const std::string before = TreeDigest(Root());
    HeldOpenFile held(Root() + kHeldDriverFile);
    ASSERT_TRUE(held.IsHeld());

    // Without a log path the run fails at the result log and leaves the staging folder to be seen.
    ProgramOutcome outcome = Run(L"/s");
    held.Release();

    EXPECT_EQ(outcome.dwExitCode, 1603u);
    EXPECT_TRUE(InstallerRan());
    EXPECT_EQ(TreeDigest(Staging() + L"\\Others"), TreeDigest(Root() + L"\\Others"));
    EXPECT_EQ(TreeDigest(Staging() + L"\\Windows\\WIN10"), TreeDigest(Root() + L"\\Windows\\WIN10"));
    EXPECT_FALSE(PathExists(Staging() + kHeldDriverFile));
    EXPECT_FALSE(PathExists(Staging() + L"\\Windows\\WIN7\\64"));
    EXPECT_FALSE(PathExists(Staging() + L"\\Windows\\WIN8"));
    EXPECT_EQ(TreeDigest(Root()), before);
}

// A staging folder left by an earlier run, with one file that another process holds open.
struct LeftoverCase {
    const char* pszName;
    const wchar_t* pszHeld;                 // below the staging folder
    std::vector<std::string> infFolders;    // what the installer finds staged
    std::vector<std::wstring> remaining;    // the staging folder after the run
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const LeftoverCase& c, std::ostream* os) { *os << c.pszName; }

class HeldLeftover : public ProgramTest, public ::testing::WithParamInterface<LeftoverCase> {};

TEST_P(HeldLeftover, DeletionsStopAtItAndTheRunGoesOn) {
    const LeftoverCase& c = GetParam();
    MakePackage();
    const std::string before = TreeDigest(Root());
    const std::wstring log = m_folder / L"run.log";
    WriteBytes(Staging() + L"\\Others\\old.txt", "from an earlier run");
    WriteBytes(Staging() + L"\\Windows\\aa_old.txt", "from an earlier run");
    WriteBytes(Staging() + c.pszHeld, "held by another process");
    HeldOpenFile held(Staging() + c.pszHeld);
    ASSERT_TRUE(held.IsHeld());

    ProgramOutcome outcome = Run(L"/s /vLOGFILE=" + log);
    held.Release();

    // Neither deletion of the staging folder is one of the results the run reports.
    EXPECT_EQ(outcome.dwExitCode, 0u);
    ASSERT_TRUE(InstallerRan());
    EXPECT_EQ(InfFoldersSeen(InstallerRecord()), c.infFolders);
    EXPECT_EQ(ReadBytes(log), std::string(kStandinLogText) + kLogRecord);
    // Both deletions end at the held file: what came before it is gone, the file stays unchanged.
    EXPECT_EQ(ListTree(Staging()), c.remaining);
    EXPECT_EQ(ReadBytes(Staging() + c.pszHeld), "held by another process");
    EXPECT_EQ(TreeDigest(Root()), before);
}

INSTANTIATE_TEST_SUITE_P(
    HeldFile, HeldLeftover,
    ::testing::Values(
        // Not a package name: the copy meets no obstacle and the whole package is staged.
        LeftoverCase{"FileTheCopyLeavesAlone", L"\\Windows\\zz_held.txt", kAllInfFolders,
                     {L"Windows\\", L"Windows\\zz_held.txt"}},
        // A package name: the copy cannot replace it, so the Windows copy ends there as well.
        LeftoverCase{"FileTheCopyMustReplace", kHeldDriverFile, kWin10InfFolders,
                     {L"Windows\\", L"Windows\\WIN7\\", L"Windows\\WIN7\\32\\", L"Windows\\WIN7\\32\\driver.cat"}}),
    [](const ::testing::TestParamInfo<LeftoverCase>& info) { return std::string(info.param.pszName); });

}  // namespace
