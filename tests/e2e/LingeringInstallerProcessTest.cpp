// An installer that leaves a process running (a tray or monitor program) must not keep the run
// waiting without end, nor, through the staging folder's hold it was handed, make every later
// run answer 1618. With LINGER=1 the run waits one minute after Setup.exe has ended, takes its
// hold back, names the process in the trace and the event, removes the staging folder and ends
// with the steps' result; a run started right after installs.
#include <gtest/gtest.h>

#include <string>

#include "fileops/ScopedHandle.h"
#include "support/EventLogChannel.h"
#include "support/FileUtil.h"
#include "support/ProgramFixture.h"
#include "support/ProgramRun.h"
#include "support/UnixShell.h"

namespace {

class LingeringTrayProgram : public ProgramTest {
protected:
    void TearDown() override {
        // The tray program would work for ten minutes more.
        KernelHandle tray(OpenProcess(PROCESS_TERMINATE, FALSE, m_dwTrayId));
        if (m_dwTrayId != 0 && tray) TerminateProcess(tray.Get(), 1);
        ProgramTest::TearDown();
    }

    DWORD m_dwTrayId = 0;
};

TEST_F(LingeringTrayProgram, RunEndsAMinuteAfterSetupAndTheNextRunInstalls) {
    if (!IsRunningUnderWine()) GTEST_SKIP() << "the event's strings are read on Wine's debug channel";
    MakePackage();
    // The tray program runs from outside the package for ten minutes, as such programs do.
    const std::wstring trayFolder = m_folder / L"tray";
    const std::wstring tray = trayFolder + L"\\Tray.exe";
    MakeFolders(trayFolder);
    ASSERT_TRUE(CopyFileW(BuiltToolPath(L"standin_installer.exe").c_str(), tray.c_str(), TRUE));
    WriteBytes(trayFolder + L"\\tray.cfg", "log=\r\nwait=600000\r\n");
    ConfigureInstaller("child=tray.cfg\r\nchildexe=" + Narrow(tray) + "\r\n");
    const std::wstring log = m_folder / L"run.log";
    NoteTraceStart();

    const DWORD dwStart = GetTickCount();
    const EventLogRun run =
        RunWithEventLogChannel(L"\"" + Program() + L"\" /s \"/vLINGER=1 LOGFILE=" + log + L"\"", Temp(), 4 * 60000);
    const DWORD dwTook = GetTickCount() - dwStart;

    ASSERT_TRUE(run.bRan) << run.output;
    ASSERT_EQ(run.strings.size(), 8u) << run.output;
    const std::wstring trayName = tray + L" (process id ";
    ASSERT_EQ(run.strings[7].rfind(trayName, 0), 0u) << Narrow(run.strings[7]);
    m_dwTrayId = std::stoul(run.strings[7].substr(trayName.size()));
    EXPECT_EQ(run.dwExitCode, 0u);
    EXPECT_EQ(run.strings[1], L"Ok (0)");
    EXPECT_GE(dwTook, 60000u) << "the run did not wait its minute";
    EXPECT_LT(dwTook, 150000u) << "the run waited far beyond its minute";
    {
        KernelHandle trayProcess(OpenProcess(SYNCHRONIZE, FALSE, m_dwTrayId));
        ASSERT_TRUE(trayProcess);
        EXPECT_EQ(WaitForSingleObject(trayProcess.Get(), 0), static_cast<DWORD>(WAIT_TIMEOUT))
            << "the tray program was ended, not left to itself";
    }
    EXPECT_FALSE(PathExists(Staging()));
    EXPECT_EQ(ReadBytes(log), std::string(kStandinLogText) + kLogRecord);
    const std::string trayText = Narrow(tray) + " (process id " + std::to_string(m_dwTrayId) + ")";
    ExpectTraceEndsWith({"still waiting for installer processes that outlived Setup.exe, 1 min so far: " + trayText,
                         "installer ended: exit code 0 (recorded only)", ", the bound of 1 min (LINGER=); 1 still running",
                         "still running when the wait ended, left to itself: " + trayText +
                             "; its hold on the staging folder taken back",
                         "result log written: ", "staging folder removed: ", "run ended: result Ok (0), exit code 0"});

    // The tray program still runs; it holds nothing of the staging folder any more.
    ConfigureInstaller("");
    DeleteFileW((m_folder / L"installer-record.txt").c_str());
    const std::wstring nextLog = m_folder / L"next.log";
    EXPECT_EQ(Run(L"/s /vLOGFILE=" + nextLog).dwExitCode, 0u);
    EXPECT_TRUE(InstallerRan());
    EXPECT_EQ(ReadBytes(nextLog), std::string(kStandinLogText) + kLogRecord);
    EXPECT_FALSE(PathExists(Staging()));
}

}  // namespace
