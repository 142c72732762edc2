// A deployment tool ends a run that passes its time limit by killing the process it started,
// the front end, and retries. Whatever the front end started goes on: a retry must leave a
// still working installer's package whole and answer 1618, and once nothing of the killed run
// works any more the next run installs as usual.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/BackgroundRun.h"
#include "support/FileUtil.h"
#include "support/MessageBoxAnswerer.h"
#include "support/NamedCase.h"
#include "support/OpenGate.h"
#include "support/Placeholder.h"
#include "support/ProgramFixture.h"
#include "support/UnixShell.h"

namespace {

constexpr DWORD kStepMs = 60000;

// A watcher's wait for its path, at most a minute, then the kill of every front end whose Unix
// command line holds the marker. Wine runs a Windows program as "wine <program> <arguments>",
// so the test's own paths on the command line find exactly this test's run.
std::string KillScript(const std::wstring& marker, const std::string& appears) {
    std::string script;
    if (!appears.empty())
        script += "i=0\nwhile [ ! -e '" + appears + "' ]; do\n"
                  "  i=$((i+1)); [ $i -gt 6000 ] && { echo never appeared; exit 3; }\n  sleep 0.01\ndone\n";
    script += "n=0\nfor d in /proc/[0-9]*; do\n"
              "  c=$( { tr '\\0' ' ' <\"$d/cmdline\"; } 2>/dev/null) || continue\n"
              "  case \"$c\" in *wine*NicUpdate.exe*'" + Narrow(marker) + "'*) kill -KILL \"${d#/proc/}\" && n=$((n+1));; esac\n"
              "done\necho killed=$n\n";
    return script;
}

// The staging folder is free once no process of the killed run holds it any more.
bool WaitUntilNobodyHolds(const std::wstring& folder, DWORD dwTimeoutMs) {
    const DWORD dwStart = GetTickCount();
    for (;;) {
        HANDLE h = CreateFileW(folder.c_str(), DELETE | FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION) return true;
        if (GetTickCount() - dwStart > dwTimeoutMs) return false;
        Sleep(50);
    }
}

class KilledRun : public ProgramTest {
protected:
    void TearDown() override {
        WriteBytes(m_folder / L"installer-may-end.txt", "");
        if (m_run) m_run->Wait();
        WaitUntilNobodyHolds(Staging(), kStepMs);
        ProgramTest::TearDown();
    }

    void StartFrontEnd(const std::wstring& arguments) {
        m_run = StartInBackground(arguments, 3 * kStepMs);
    }

    // The front end is gone, as the platform reports it, before the retry starts.
    void ExpectKilled(const UnixScriptOutcome& kill) {
        EXPECT_TRUE(kill.bRan);
        EXPECT_EQ(kill.output, "killed=1\n");
        ChildOutcome killed = m_run->Wait();
        m_run.reset();
        EXPECT_FALSE(killed.bTimedOut) << "the front end outlived its kill";
    }

    std::wstring FirstLog() const { return m_folder / L"first.log"; }

    std::unique_ptr<BackgroundRun> m_run;
};

// Who does the installer's work: Setup.exe itself, or a child it starts before it ends at once,
// with or without handing on its handles.
struct InstallerCase : NamedCase {
    bool bBootstrapper;
    bool bChildInherits;
};

class KilledWhileItsInstallerWorks : public KilledRun, public ::testing::WithParamInterface<InstallerCase> {
protected:
    // The installer that works until the test lets it end and counts its package's files at its
    // start and end.
    std::string WorkerLines() const {
        return "started=" + Narrow(m_folder / L"installer-started.txt") + "\r\n" +
               "ended=" + Narrow(m_folder / L"installer-ended.txt") + "\r\n" +
               "waitfor=" + Narrow(m_folder / L"installer-may-end.txt") + "\r\n";
    }
};

TEST_P(KilledWhileItsInstallerWorks, RetryAnswers1618AndTheInstallersPackageStaysWhole) {
    if (!IsRunningUnderWine()) GTEST_SKIP() << "the front end is killed from the Linux side of Wine";
    const InstallerCase& c = GetParam();
    MakePackage();
    if (c.bBootstrapper) {
        WriteBytes(Root() + L"\\Windows\\child.cfg",
                   "driverlog=" + Narrow(DriverLog(m_bUsbPackage)) + "\r\n" + WorkerLines());
        ConfigureInstaller(std::string("log=\r\nchild=child.cfg\r\nchildinherit=") + (c.bChildInherits ? "1" : "0") +
                           "\r\nended=" + Narrow(m_folder / L"bootstrapper-ended.txt") + "\r\n");
    } else {
        ConfigureInstaller(WorkerLines());
    }
    StartFrontEnd(L"/s /vLOGFILE=" + FirstLog());
    ASSERT_TRUE(WaitForPath(m_folder / L"installer-started.txt", kStepMs)) << "the installer never started";
    // A bootstrapper's child outlives both Setup.exe and the front end.
    if (c.bBootstrapper) {
        ASSERT_TRUE(WaitForPath(m_folder / L"bootstrapper-ended.txt", kStepMs));
    }

    ExpectKilled(RunUnixScript(KillScript(FirstLog(), "")));
    const std::wstring retryLog = m_folder / L"retry.log";
    EXPECT_EQ(Run(L"/s /vLOGFILE=" + retryLog).dwExitCode, 1618u);

    EXPECT_FALSE(PathExists(retryLog)) << "a refused run writes no result log";
    ExpectTraceEndsWithFailure("remove the leftover staging folder", Staging(), ERROR_INSTALL_ALREADY_RUNNING,
                               "run ended: result AnotherRunActive (13), exit code 1618");
    WriteBytes(m_folder / L"installer-may-end.txt", "");
    ASSERT_TRUE(WaitForPath(m_folder / L"installer-ended.txt", kStepMs));
    EXPECT_EQ(ReadBytes(m_folder / L"installer-started.txt"), FilesInPackage());
    EXPECT_EQ(ReadBytes(m_folder / L"installer-ended.txt"), FilesInPackage())
        << "the retry removed files of the installer's package";
    EXPECT_FALSE(PathExists(FirstLog())) << "the killed run wrote a result log";

    // Once the installer has ended, the next run removes the leftover and installs.
    ASSERT_TRUE(WaitUntilNobodyHolds(Staging(), kStepMs)) << "the installer never let go of its package";
    const std::wstring nextLog = m_folder / L"next.log";
    EXPECT_EQ(Run(L"/s /vLOGFILE=" + nextLog).dwExitCode, 0u);
    EXPECT_EQ(ReadBytes(nextLog), std::string(kStandinLogText) + kLogRecord);
    EXPECT_FALSE(PathExists(Staging()));
}

INSTANTIATE_TEST_SUITE_P(Installers, KilledWhileItsInstallerWorks,
                         ::testing::Values(InstallerCase{"SetupItself", false, false},
                                           InstallerCase{"BootstrapperChildInherits", true, true},
                                           // Only the front end's copy of the hold keeps this child's package.
                                           InstallerCase{"BootstrapperChildInheritsNothing", true, false}),
                         CaseName());

// A kill at a step that no process outlives: the package copy, the driver extraction, the
// result log. The copy and the extraction are held at the open of a folder they make halfway
// through (a fanotify gate on the Linux side), and the kill lands while the open waits; the
// result log step is held at the question whether to remove a read-only old log, which an
// interactive run asks.
struct StepCase : NamedCase {
    const wchar_t* pszArguments;  // <log>, <out> and <staging> stand for the test's paths
    const wchar_t* pszRetry;      // the next run's
    bool bInstall;                // else a driver extraction, whose log holds the record alone
    // The open the gate kills at, below the test folder on the Linux side: the run upper-cases
    // keyword values, and Wine makes new names as they are given. Null: the read-only question.
    const char* pszKillAt;
    // Where the kill landed: the killed run's last trace line (the last step it finished) and
    // what it had written of the step it was in (empty: nothing to count).
    const char* pszLastStepDone;
    const wchar_t* pszPartial;
};

class KilledDuringAStep : public KilledRun, public ::testing::WithParamInterface<StepCase> {};

TEST_P(KilledDuringAStep, TheNextRunSucceedsWithOneRecordAndNoStagingFolderLeft) {
    if (!IsRunningUnderWine()) GTEST_SKIP() << "the front end is killed from the Linux side of Wine";
    const StepCase& c = GetParam();
    MakePackage();
    const std::wstring log = m_folder / L"run.log";
    const std::wstring out = m_folder / L"OUT";
    if (c.pszKillAt == nullptr) {
        WriteBytes(log, "an earlier run's log\r\n");
        SetReadOnly(log, true);
    }
    auto expand = [&](const wchar_t* pszText) {
        return ReplacePlaceholder(ReplacePlaceholder(ReplacePlaceholder(pszText, L"<log>", log), L"<out>", out),
                                  L"<staging>", Staging());
    };
    if (c.pszKillAt != nullptr) {
        // Beside the test folder: the gate's own open of a watched folder's child would wait on itself.
        auto gate = StartOpenGateRunning(m_folder.Path(), c.pszKillAt, KillScript(log, ""),
                                         m_folder.Path() + L"-gate-ready");
        ASSERT_TRUE(gate->IsStarted());
        StartFrontEnd(expand(c.pszArguments));
        ExpectKilled(gate->Wait(kStepMs));
    } else {
        StartFrontEnd(expand(c.pszArguments));
        ASSERT_TRUE(WaitForBoxOfThisTest(L"Warning", kStepMs) != nullptr) << "the run never asked about the old log";
        ExpectKilled(RunUnixScript(KillScript(log, "")));
    }

    // The kill landed in the step the case names: the run had finished the step before it, and
    // what it wrote of this one is partial; the first installer ran only where the kill came
    // after it.
    const std::vector<std::string> killed = TraceOfLastRun();
    ASSERT_FALSE(killed.empty()) << "the killed run wrote no trace";
    EXPECT_EQ(killed.back().find(c.pszLastStepDone), killed.back().find(']') + 2) << killed.back();
    EXPECT_EQ(InstallerRan(), c.pszKillAt == nullptr);
    const std::wstring partial = expand(c.pszPartial);
    const std::size_t nPartialFiles = partial.empty() ? 0 : CountFiles(partial);
    if (c.pszKillAt == nullptr) {
        EXPECT_EQ(ReadBytes(log), "an earlier run's log\r\n");
    } else {
        EXPECT_FALSE(PathExists(log));
    }

    EXPECT_EQ(Run(expand(c.pszRetry)).dwExitCode, 0u);
    EXPECT_EQ(ReadBytes(log), (c.bInstall ? std::string(kStandinLogText) : std::string()) + kLogRecord);
    EXPECT_FALSE(PathExists(Staging()));
    if (!c.bInstall) ExpectUsbDriversLaidOut(out + L"\\production");
    if (!partial.empty()) {
        // What the retry wrote there whole.
        const std::size_t nWhole = c.bInstall ? CountFiles(Root() + L"\\Windows") + CountFiles(Root() + L"\\Others")
                                              : CountFiles(partial);
        EXPECT_LT(nPartialFiles, nWhole) << "the killed run had finished the step";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Steps, KilledDuringAStep,
    ::testing::Values(StepCase{"PackageCopy", L"/s /vLOGFILE=<log>", L"/s /vLOGFILE=<log>", true,
                               // WIN10 is staged whole before WIN7.
                               "temp/KVNIC_INST_TEMP/Windows/WIN7", "staging folder created: ", L"<staging>"},
                      StepCase{"DriverExtraction", L"/s \"/vEXTRACTDRIVERS=<out> LOGFILE=<log>\"",
                               L"/s \"/vEXTRACTDRIVERS=<out> LOGFILE=<log>\"", false,
                               // Windows7-x86 is laid out whole before Windows7-x64.
                               "OUT/production/Windows7-x64",
                               // The staged INFs' driver versions are read just before the extraction.
                               "driver version: ", L"<out>\\production"},
                      StepCase{"ResultLog", L"/vLOGFILE=<log>", L"/s /vLOGFILE=<log>", true, nullptr,
                               "installer ended: ", L""}),
    CaseName());

}  // namespace
