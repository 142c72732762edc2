// Many installers are bootstrappers: Setup.exe starts the real installer and ends at once. The
// run must wait for every process of the installer before it reads the install log, writes its
// record and removes the staging folder.
#include <gtest/gtest.h>

#include <string>

#include "support/BackgroundRun.h"
#include "support/FileUtil.h"
#include "support/NamedCase.h"
#include "support/ProgramFixture.h"

namespace {

const char kChildLog[] = "the child's driver install log";

struct BootstrapperCase : NamedCase {
    bool bChildInherits;  // the child is handed Setup.exe's handles
};

class Bootstrapper : public ProgramTest, public ::testing::WithParamInterface<BootstrapperCase> {};

// Setup.exe ends at once; its child works from the staged package until the test lets it end,
// and writes the install log last.
TEST_P(Bootstrapper, TheRunWaitsForTheChildThenLogsItsInstallLogAndRemovesThePackage) {
    MakePackage();
    const std::wstring childMayEnd = m_folder / L"child-may-end.txt";
    WriteBytes(Root() + L"\\Windows\\child.cfg", "driverlog=" + Narrow(DriverLog(m_bUsbPackage)) + "\r\n" +
                                                     "log=" + kChildLog + "\r\n" +
                                                     "started=" + Narrow(m_folder / L"child-started.txt") + "\r\n" +
                                                     "ended=" + Narrow(m_folder / L"child-ended.txt") + "\r\n" +
                                                     "waitfor=" + Narrow(childMayEnd) + "\r\n");
    ConfigureInstaller(std::string("log=\r\nchild=child.cfg\r\nchildinherit=") + (GetParam().bChildInherits ? "1" : "0") +
                       "\r\nended=" + Narrow(m_folder / L"setup-ended.txt") + "\r\n");
    const std::wstring log = m_folder / L"run.log";
    const std::unique_ptr<BackgroundRun> run = StartInBackground(L"/s /vLOGFILE=" + log, 2 * kProgramRunTimeoutMs);

    // Setup.exe has ended and its child is held at work: a run that did not wait for the child
    // would now read a missing install log, write its record and remove the package.
    const bool bSetupEnded = WaitForPath(m_folder / L"setup-ended.txt", kProgramRunTimeoutMs);
    const bool bRunEndedFirst = bSetupEnded && run->EndsWithin(2000);
    WriteBytes(childMayEnd, "");
    ASSERT_TRUE(bSetupEnded) << "Setup.exe never ended";
    EXPECT_FALSE(bRunEndedFirst) << "the run ended while the installer's child worked";
    const ChildOutcome outcome = run->Wait();

    EXPECT_EQ(outcome.dwExitCode, 0u);
    ASSERT_TRUE(PathExists(m_folder / L"child-ended.txt")) << "the run ended before the installer's child";
    EXPECT_EQ(ReadBytes(m_folder / L"child-started.txt"), FilesInPackage());
    EXPECT_EQ(ReadBytes(m_folder / L"child-ended.txt"), FilesInPackage()) << "the package went while the child worked";
    EXPECT_EQ(ReadBytes(log), std::string(kChildLog) + "\r\n" + kLogRecord);
    EXPECT_FALSE(PathExists(Staging()));
    ExpectTraceEndsWith({"installer ended: exit code 0 (recorded only)", "installer processes outlived Setup.exe: 1, waited ",
                         "result log written: ", "staging folder removed: ", "run ended: result Ok (0), exit code 0"});
}

INSTANTIATE_TEST_SUITE_P(Children, Bootstrapper,
                         ::testing::Values(BootstrapperCase{"ThatInheritsSetupsHandles", true},
                                           BootstrapperCase{"ThatInheritsNothing", false}),
                         CaseName());

}  // namespace
