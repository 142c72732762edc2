// The install modes of the real program, end to end under Wine.
#include <gtest/gtest.h>

#include "support/ProgramFixture.h"
#include "package/PackageLayout.h"
#include "support/FileUtil.h"
#include "support/MessageBoxAnswerer.h"

namespace {

std::string Quoted(const std::wstring& path) { return "\"" + Narrow(path) + "\""; }

class InstallRun : public ProgramTest {};

TEST_F(InstallRun, SilentInstallFollowsTheWholeRoad) {
    MakePackage();
    ConfigureInstaller("log=driver log: 6 drivers installed\r\n");
    // Where a 32-bit Windows keeps the driver log: the program runs under WoW64 here and must
    // take the one from the WoW64 product folder instead.
    WriteBytes(kUsbDriverLogOn32BitWindows, "the wrong driver log\r\n");
    const std::string before = TreeDigest(Root());
    const std::wstring log = m_folder / L"Logs\\nic.log";
    MessageBoxAnswerer noBox({});

    ProgramOutcome outcome = Run(L"/s \"/vFORCE=TRUE ENAUXMAC=FALSE\" LOGFILE=" + log);

    EXPECT_EQ(outcome.dwExitCode, 0u);
    ExpectInstallerSawSilentAuxMacOffForceOn();
    EXPECT_EQ(ReadBytes(log), std::string("driver log: 6 drivers installed\r\n") + kLogRecord);
    EXPECT_FALSE(PathExists(Staging()));
    EXPECT_EQ(TreeDigest(Root()), before) << "the package itself must stay untouched";
    EXPECT_EQ(noBox.UnexpectedCount(), 0u) << noBox.DescribeUnexpected();
}

TEST_F(InstallRun, InteractiveInstallPassesNoSwitchAndKeepsTheDefaults) {
    MakePackage();
    const std::wstring log = m_folder / L"run.log";

    ProgramOutcome outcome = Run(L"\"/vLOGFILE=" + log + L"\"");

    EXPECT_EQ(outcome.dwExitCode, 0u);
    auto record = InstallerRecord();
    EXPECT_EQ(record["commandline"], Quoted(Staging() + L"\\Windows\\Setup.exe"));
    for (const InfPairFolder& folder : kInfPairFolders) {
        std::string base = Narrow(folder.pszBaseName);
        EXPECT_EQ(record["inf." + Narrow(folder.pszOsKey) + "\\" + Narrow(folder.pszArch)], base + ".INF," + base + "m_");
    }
    EXPECT_EQ(record["instctrl"], ReadBytes(InstallControlPath(Root(), true, InstallControlFor(true).pszUnforcedVariant)));
    EXPECT_EQ(ReadBytes(log), std::string(kStandinLogText) + kLogRecord);
    EXPECT_FALSE(PathExists(Staging()));
}

TEST_F(InstallRun, NicFamilyUsesItsOwnInstallControlAndDriverLog) {
    PackageSpec spec;
    spec.bUsbPackage = false;
    MakePackage(spec);
    ConfigureInstaller("log=nic driver log\r\n");
    WriteBytes(DriverLog(true), "the USB family's driver log\r\n");
    const std::wstring log = m_folder / L"nic.log";

    ProgramOutcome outcome = Run(L"/s /vFORCE=TRUE LOGFILE=" + log);

    EXPECT_EQ(outcome.dwExitCode, 0u);
    auto record = InstallerRecord();
    EXPECT_EQ(record["family"], "nic");
    EXPECT_EQ(record["instctrl"], ReadBytes(InstallControlPath(Root(), false, InstallControlFor(false).pszForcedVariant)));
    EXPECT_EQ(ReadBytes(log), std::string("nic driver log\r\n") + kLogRecord);
}

TEST_F(InstallRun, InstallerExitCodeDoesNotChangeTheResult) {
    MakePackage();
    ConfigureInstaller("exit=3\r\n");
    const std::wstring log = m_folder / L"run.log";

    EXPECT_EQ(Run(L"/s /vLOGFILE=" + log).dwExitCode, 0u);
    EXPECT_TRUE(InstallerRan());
    EXPECT_EQ(ReadBytes(log), std::string(kStandinLogText) + kLogRecord);
}

TEST_F(InstallRun, SetupThatCannotBeStartedFailsTheRun) {
    MakePackage();
    WriteBytes(Root() + L"\\Windows\\Setup.exe", "not a program\r\n");
    const std::wstring log = m_folder / L"run.log";

    EXPECT_EQ(Run(L"/s /vLOGFILE=" + log).dwExitCode, 1603u);
    EXPECT_FALSE(InstallerRan());
    EXPECT_FALSE(PathExists(log)) << "no success record for an installer that never ran";
    EXPECT_TRUE(IsFolder(Staging() + L"\\Windows")) << "a failed run leaves the staging folder";
    ExpectTraceEndsWith({"installer started: ", "failed: start the installer, path \"" + ConsoleBytes(Staging()) +
                                                    "\\Windows\\Setup.exe\", Win32 error ",
                         "run ended: result InstallerNotStarted (12), exit code 1603"});
}

TEST_F(InstallRun, WithoutLogFileTheRunSucceedsWithoutAResultLog) {
    MakePackage();

    EXPECT_EQ(Run(L"/s").dwExitCode, 0u);
    EXPECT_TRUE(InstallerRan());
    EXPECT_FALSE(PathExists(Staging()));
    ExpectTraceEndsWith({"installer started: ", "installer ended: exit code 0",
                         "no result log asked for (no LOGFILE=): none written", "staging folder removed: ",
                         "run ended: result Ok (0), exit code 0"});
}

TEST_F(InstallRun, LeftoverStagingFolderIsReplaced) {
    MakePackage();
    WriteBytes(Staging() + L"\\Windows\\stale.txt", "from an earlier run");
    WriteBytes(Staging() + L"\\Leftover\\x.txt", "x");

    // A log path that is a folder fails the run at its end, so the staging folder stays to be seen.
    EXPECT_EQ(Run(L"/s /vLOGFILE=" + m_folder.Path()).dwExitCode, 1603u);
    EXPECT_FALSE(PathExists(Staging() + L"\\Windows\\stale.txt"));
    EXPECT_FALSE(PathExists(Staging() + L"\\Leftover"));
    EXPECT_TRUE(PathExists(Staging() + L"\\Others"));
}

TEST_F(InstallRun, PlantedProgramBesideATemporaryFolderWithABlankIsNotStarted) {
    MakePackage();
    // TEMP = ...\Documents and Settings\Temp: unquoted, the platform would try ...\Documents.exe first.
    const std::wstring blankTemp = m_folder / L"Documents and Settings\\Temp";
    MakeFolders(blankTemp);
    CopyFileW(BuiltToolPath(L"standin_installer.exe").c_str(), (m_folder / L"Documents.exe").c_str(), FALSE);
    WriteBytes(m_folder / L"standin.cfg", "record=" + Narrow(m_folder / L"planted-ran.txt") + "\r\nlog=\r\n");

    ProgramOutcome outcome = RunProgram(Program(), L"/s /vLOGFILE=" + (m_folder / L"run.log"), blankTemp, m_folder.Path());

    EXPECT_EQ(outcome.dwExitCode, 0u);
    EXPECT_FALSE(PathExists(m_folder / L"planted-ran.txt")) << "the planted program was started";
    ASSERT_TRUE(InstallerRan());
    EXPECT_EQ(InstallerRecord()["commandline"],
              Quoted(blankTemp + L"\\KVNIC_INST_TEMP\\Windows\\Setup.exe") + " -s");
}

TEST_F(InstallRun, TemporaryFolderTooLongEndsBeforeAnythingIsStaged) {
    MakePackage();
    std::wstring longTemp = m_folder / L"";
    while (longTemp.size() < 250) longTemp += L"t";
    MakeFolders(longTemp);

    ProgramOutcome outcome = RunProgram(Program(), L"/s /vLOGFILE=" + (m_folder / L"run.log"), longTemp, m_folder.Path());

    EXPECT_EQ(outcome.dwExitCode, 1603u);
    EXPECT_TRUE(ListTree(longTemp).empty());
    EXPECT_FALSE(InstallerRan());
    EXPECT_FALSE(PathExists(m_folder / L"RUN.LOG"));
}

}  // namespace
