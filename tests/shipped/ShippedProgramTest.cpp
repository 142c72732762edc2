// The file administrators get: the 32-bit release build, run as a WoW64 process under Wine.
// A launch costs about a minute of CPU under qemu, so each test checks all it can of one run.
#include <gtest/gtest.h>

#include "support/FileUtil.h"
#include "support/HeldOpenFile.h"
#include "support/MessageBoxAnswerer.h"
#include "support/ProgramFixture.h"

namespace {

constexpr DWORD kShippedRunTimeoutMs = 10 * 60 * 1000;

class ShippedProgram : public ProgramTest {
protected:
    // A staging folder that someone prepared: a program of theirs as Windows\Setup.exe that
    // records into planted-ran.txt when it is started, and a read-only file beside it.
    std::wstring PlantLeftover() {
        const std::wstring planted = m_folder / L"planted-ran.txt";
        MakeFolders(Staging() + L"\\Windows");
        EXPECT_TRUE(CopyFileW(BuiltToolPath(L"standin_installer.exe").c_str(),
                              (Staging() + L"\\Windows\\Setup.exe").c_str(), FALSE));
        WriteBytes(Staging() + L"\\Windows\\standin.cfg", "record=" + Narrow(planted) + "\r\nlog=\r\n");
        WriteBytes(Staging() + L"\\Windows\\stale.txt", "from an earlier run");
        SetReadOnly(Staging() + L"\\Windows\\stale.txt", true);
        return planted;
    }

    ShippedProgram() {
        m_programBuild = ShippedProgramPath();
        m_dwRunTimeoutMs = kShippedRunTimeoutMs;
    }
    void SetUp() override {
        ASSERT_TRUE(PathExists(m_programBuild))
            << Narrow(m_programBuild) << " does not exist: build the win32 preset first";
        ProgramTest::SetUp();
        RemoveTree(kUsbDriverLogOn32BitWindows);
    }
    void TearDown() override {
        RemoveTree(kUsbDriverLogOn32BitWindows);
        ProgramTest::TearDown();
    }
};

TEST_F(ShippedProgram, UsagePageOnStandardOutputAndInABox) {
    MakePackage();
    MessageBoxAnswerer answerer({MessageBoxAnswerer::Answer::Cancel}, L"QVP tool help page");

    ProgramOutcome outcome = Run(L"/?");

    ExpectUsagePageShown(outcome, answerer);
}

TEST_F(ShippedProgram, SilentUsbInstallTakesTheDriverLogFromTheWow64ProductFolder) {
    MakePackage();
    ConfigureInstaller("log=driver log: 6 drivers installed\r\n");
    // A log where a 32-bit Windows keeps it: the WoW64 program must not take this one.
    WriteBytes(kUsbDriverLogOn32BitWindows, "the wrong driver log\r\n");
    // A leftover that can be removed: silently, read-only file included, and replaced by a
    // staging folder of the run's own.
    const std::wstring planted = PlantLeftover();
    const std::string before = TreeDigest(Root());
    const std::wstring log = m_folder / L"Logs\\nic.log";
    MessageBoxAnswerer noBox({});

    ProgramOutcome outcome = Run(L"/s \"/vFORCE=TRUE ENAUXMAC=FALSE\" LOGFILE=" + log);

    EXPECT_EQ(outcome.dwExitCode, 0u);
    EXPECT_FALSE(PathExists(planted)) << "the program in the leftover was started";
    ExpectInstallerSawSilentAuxMacOffForceOn();
    EXPECT_EQ(ReadBytes(kUsbDriverLog), "driver log: 6 drivers installed\r\n");
    EXPECT_EQ(ReadBytes(log), std::string("driver log: 6 drivers installed\r\n") + kLogRecord);
    EXPECT_FALSE(PathExists(Staging()));
    EXPECT_EQ(TreeDigest(Root()), before) << "the package itself stays untouched";
    EXPECT_EQ(noBox.UnexpectedCount(), 0u) << noBox.DescribeUnexpected();
}

TEST_F(ShippedProgram, LeftoverWithAHeldPlantedInstallerEndsTheRunBeforeAnythingStarts) {
    MakePackage();
    const std::wstring planted = PlantLeftover();
    // Others may still read and start it, but the run can neither delete nor replace it.
    HeldOpenFile held(Staging() + L"\\Windows\\Setup.exe", FILE_SHARE_READ);
    ASSERT_TRUE(held.IsHeld());
    const std::wstring log = m_folder / L"run.log";
    MessageBoxAnswerer noBox({});

    ProgramOutcome outcome = Run(L"/s /vLOGFILE=" + log);
    held.Release();

    EXPECT_EQ(outcome.dwExitCode, 1603u);
    EXPECT_FALSE(PathExists(planted)) << "the program in the leftover was started";
    EXPECT_FALSE(InstallerRan());
    EXPECT_FALSE(PathExists(log)) << "no result log, so no success record";
    EXPECT_FALSE(PathExists(Staging() + L"\\Windows\\setup.ini")) << "nothing is copied into the leftover";
    EXPECT_EQ(noBox.UnexpectedCount(), 0u) << noBox.DescribeUnexpected();
}

TEST_F(ShippedProgram, DriverExtractionLaysOutEightFolders) {
    MakePackage();
    const std::wstring drivers = m_folder / L"Drivers";
    const std::wstring log = m_folder / L"extract.log";

    ProgramOutcome outcome = Run(L"/s \"/vEXTRACTDRIVERS=" + drivers + L" LOGFILE=" + log + L"\"");

    EXPECT_EQ(outcome.dwExitCode, 0u);
    EXPECT_FALSE(InstallerRan());
    ExpectUsbDriversLaidOut(drivers + L"\\production");
    // No installation ran on this machine, so the log holds the record alone.
    EXPECT_EQ(ReadBytes(log), kLogRecord);
    EXPECT_FALSE(PathExists(Staging()));
}

TEST_F(ShippedProgram, RejectedCommandLineEndsWithTheFullExitCode1603) {
    MakePackage();
    const std::string before = TreeDigest(m_folder.Path());
    MessageBoxAnswerer noBox({}, L"QVP tool help page");

    ProgramOutcome outcome = Run(L"/? /h");

    EXPECT_EQ(outcome.dwExitCode, 1603u);
    EXPECT_EQ(outcome.stdoutBytes, "");
    EXPECT_EQ(TreeDigest(m_folder.Path()), before);
    EXPECT_EQ(noBox.UnexpectedCount(), 0u) << noBox.DescribeUnexpected();
}

}  // namespace
