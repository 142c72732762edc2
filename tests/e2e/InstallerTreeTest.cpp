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
// and writes the install log last. Once Setup.exe has ended, the child starts a process of its
// own, which finds whether the run handed it its hold on the package: only a run still waiting
// for the installer's processes sees that process come and hands the hold on.
TEST_P(Bootstrapper, TheRunWaitsForTheChildThenLogsItsInstallLogAndRemovesThePackage) {
    MakePackage();
    const std::wstring childMayEnd = m_folder / L"child-may-end.txt";
    const std::wstring handedOn = m_folder / L"grandchild-held.txt";
    WriteBytes(Root() + L"\\Windows\\child.cfg", "driverlog=" + Narrow(DriverLog(m_bUsbPackage)) + "\r\n" +
                                                     "log=" + kChildLog + "\r\n" +
                                                     "started=" + Narrow(m_folder / L"child-started.txt") + "\r\n" +
                                                     "ended=" + Narrow(m_folder / L"child-ended.txt") + "\r\n" +
                                                     "grandchild=grandchild.cfg\r\n" +
                                                     "waitfor=" + Narrow(childMayEnd) + "\r\n");
    WriteBytes(Root() + L"\\Windows\\grandchild.cfg", "log=\r\nfindhold=" + Narrow(handedOn) + "\r\n");
    ConfigureInstaller(std::string("log=\r\nchild=child.cfg\r\nchildinherit=") + (GetParam().bChildInherits ? "1" : "0") +
                       "\r\nended=" + Narrow(m_folder / L"setup-ended.txt") + "\r\n");
    const std::wstring log = m_folder / L"run.log";
    const std::unique_ptr<BackgroundRun> run = StartInBackground(L"/s /vLOGFILE=" + log, 2 * kProgramRunTimeoutMs);

    // Setup.exe has ended and its child is held at work: a run that did not wait for the child
    // would have read a missing install log, written its record and removed the package by now,
    // and would have handed nothing on.
    const bool bHandedOn = WaitForPath(handedOn, kProgramRunTimeoutMs);
    const bool bRunEndedFirst = run->EndsWithin(0);
    WriteBytes(childMayEnd, "");
    EXPECT_TRUE(PathExists(m_folder / L"setup-ended.txt")) << "Setup.exe never ended";
    ASSERT_TRUE(bHandedOn) << "no process the installer started after Setup.exe's end was handed the run's hold";
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
