// Where the result log goes and what it holds, through the real program.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "support/NamedCase.h"
#include "support/ProgramFixture.h"
#include "support/FileUtil.h"

namespace {

class ResultLog : public ProgramTest {};

// Where a log path lands: <pkg> is the program's folder, <test> the test's own folder.
struct PlacementCase : NamedCase {
    const wchar_t* pszLogPath;
    const wchar_t* pszLandsAt;
};

class LogPathPlacement : public ResultLog, public ::testing::WithParamInterface<PlacementCase> {
protected:
    std::wstring Expand(std::wstring path) const {
        for (const auto& [name, value] : {std::make_pair(std::wstring(L"<pkg>"), Root()),
                                          std::make_pair(std::wstring(L"<test>"), m_folder.Path())})
            if (path.compare(0, name.size(), name) == 0) path.replace(0, name.size(), value);
        return path;
    }
};

TEST_P(LogPathPlacement, LogLandsThereWithTheRecord) {
    MakePackage();
    MakeFolders(m_folder / L"sub");

    EXPECT_EQ(Run(L"/s /vLOGFILE=" + Expand(GetParam().pszLogPath)).dwExitCode, 0u);

    EXPECT_EQ(ReadBytes(Expand(GetParam().pszLandsAt)), std::string(kStandinLogText) + kLogRecord);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, LogPathPlacement,
    ::testing::Values(
        PlacementCase{"DotBackslashLiesBesideTheProgram", L".\\RUN.TXT", L"<pkg>\\RUN.TXT"},
        // Every leading dot and backslash is dropped: ".." does not go up a level.
        PlacementCase{"DotDotBackslashLiesBesideTheProgramToo", L"..\\RUN.TXT", L"<pkg>\\RUN.TXT"},
        // Inside an absolute path the platform resolves "." and "..".
        PlacementCase{"AbsoluteWithDotDotInside", L"<test>\\sub\\..\\r.txt", L"<test>\\r.txt"},
        PlacementCase{"AbsoluteWithDotInside", L"<test>\\.\\sub\\r.txt", L"<test>\\sub\\r.txt"}),
    CaseName());

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
