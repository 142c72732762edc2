// Another process tries to move the staging folder away while the installer works in it, as a
// program of the same user could in a temporary folder inside the user's profile, to put a
// folder of its own in its place before the installer starts.
#include <gtest/gtest.h>

#include <windows.h>

#include "support/FileUtil.h"
#include "support/NamedCase.h"
#include "support/WorkingInstallerFixture.h"

namespace {

struct MoveCase : NamedCase {
    const wchar_t* pszTarget;  // below the test folder
    DWORD dwFlags;
};

class MovedStagingFolder : public WorkingInstallerTest, public ::testing::WithParamInterface<MoveCase> {};

// Windows also refuses to rename the temporary folder above a held folder; Wine 8 allows that,
// so only the staging folder itself is tried here.
TEST_P(MovedStagingFolder, IsRefusedAndTheInstallersPackageStaysWhole) {
    const MoveCase& c = GetParam();
    StartRunWithWorkingInstaller();
    const std::wstring target = m_folder / c.pszTarget;

    const BOOL bMoved = MoveFileExW(Staging().c_str(), target.c_str(), c.dwFlags);
    const DWORD dwError = GetLastError();

    EXPECT_FALSE(bMoved);
    EXPECT_EQ(dwError, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    ChildOutcome outcome = FinishRun();
    EXPECT_EQ(outcome.dwExitCode, 0u);
    EXPECT_EQ(FilesAtInstallerStart(), FilesInPackage());
    EXPECT_EQ(FilesAtInstallerEnd(), FilesInPackage());
    EXPECT_EQ(ReadBytes(FirstLog()), std::string(kStandinLogText) + kLogRecord);
    EXPECT_FALSE(PathExists(Staging())) << "the run removes its staging folder at the end";
}

INSTANTIATE_TEST_SUITE_P(
    Moves, MovedStagingFolder,
    ::testing::Values(MoveCase{"RenamedInPlace", L"temp\\KVNIC_INST_TEMP.old", 0},
                      MoveCase{"MovedOutOfTheTemporaryFolder", L"elsewhere", MOVEFILE_COPY_ALLOWED}),
    CaseName());

}  // namespace
