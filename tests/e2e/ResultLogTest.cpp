// Where the result log goes and what it holds, through the real program.
#include <gtest/gtest.h>

#include "support/ProgramFixture.h"
#include "support/FileUtil.h"

namespace {

class ResultLog : public ProgramTest {};

TEST_F(ResultLog, ModuleRelativeLogPathLandsBesideTheProgram) {
    MakePackage();
    EXPECT_EQ(Run(L"/s /vLOGFILE=.\\RUN.TXT").dwExitCode, 0u);
    EXPECT_EQ(ReadBytes(Root() + L"\\RUN.TXT"), std::string(kStandinLogText) + kLogRecord);
}

TEST_F(ResultLog, ExistingLogIsReplacedNotExtended) {
    MakePackage();
    const std::wstring log = m_folder / L"run.log";
    WriteBytes(log, "old content of an earlier run\r\n");
    EXPECT_EQ(Run(L"/s /vLOGFILE=" + log).dwExitCode, 0u);
    EXPECT_EQ(ReadBytes(log), std::string(kStandinLogText) + kLogRecord);
}

TEST_F(ResultLog, WithoutDriverInstallLogOnlyTheRecordIsWritten) {
    MakePackage();
    ConfigureInstaller("log=\r\n");
    const std::wstring log = m_folder / L"run.log";
    EXPECT_EQ(Run(L"/s /vLOGFILE=" + log).dwExitCode, 0u);
    EXPECT_EQ(ReadBytes(log), kLogRecord);
}

TEST_F(ResultLog, LogPathNamingAFolderDeletesNothing) {
    MakePackage();
    const std::wstring folder = m_folder / L"Important";
    WriteBytes(folder + L"\\keep.txt", "keep");
    WriteBytes(folder + L"\\sub\\keep2.txt", "keep too");
    const std::string before = TreeDigest(folder);

    EXPECT_EQ(Run(L"/s /vLOGFILE=" + folder).dwExitCode, 1603u);
    EXPECT_EQ(TreeDigest(folder), before);
    EXPECT_TRUE(IsFolder(Staging())) << "a failed run leaves the staging folder";
}

TEST_F(ResultLog, BareLogNameIsMadeInTheCurrentFolderAndSurvives) {
    MakePackage();
    const std::wstring current = m_folder / L"cwd";
    MakeFolders(current);
    EXPECT_EQ(Run(L"/s /vLOGFILE=RUN.TXT", current).dwExitCode, 0u);
    EXPECT_EQ(ReadBytes(current + L"\\RUN.TXT"), std::string(kStandinLogText) + kLogRecord);
    EXPECT_FALSE(PathExists(Staging()));
}

TEST_F(ResultLog, ReadOnlyExistingLogInASilentRunIsReplaced) {
    MakePackage();
    const std::wstring log = m_folder / L"run.log";
    WriteBytes(log, "old");
    SetReadOnly(log, true);
    EXPECT_EQ(Run(L"/s /vLOGFILE=" + log).dwExitCode, 0u);
    EXPECT_EQ(ReadBytes(log), std::string(kStandinLogText) + kLogRecord);
}

}  // namespace
