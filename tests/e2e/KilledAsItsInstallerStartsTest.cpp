// A deployment tool that kills the front end in the instant its installer's process appears,
// before the front end could let it run. An installer left suspended would hold the staging
// folder for ever, and every later run would answer 1618 until the machine restarts: once the
// killed run's installer is gone no installer may be left, and the next run installs.
//
// Only a kill that lands before the installer runs shows this: one that lands later leaves an
// installer that works to its end whatever the launch did. So each attempt checks where its kill
// landed (the stand-in installer notes its start first thing), and the case repeats until a kill
// lands early.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/BackgroundRun.h"
#include "support/FileUtil.h"
#include "support/ProgramFixture.h"
#include "support/UnixShell.h"

namespace {

constexpr DWORD kStepMs = 60000;
constexpr int kAttempts = 5;

// The Linux processes of this prefix whose command line holds both texts. Wine shows a Windows
// program's command line in /proc; the environment tells this prefix's from other prefixes'.
const char kFindProcesses[] =
    "[ -n \"$WINEPREFIX\" ] || { echo no WINEPREFIX; exit 4; }\n"
    "pids_of() {\n"
    "  for f in $(grep -l -a -F \"$1\" /proc/[0-9]*/cmdline 2>/dev/null); do\n"
    "    p=${f#/proc/}; p=${p%/cmdline}\n"
    "    grep -q -a -F \"$2\" \"$f\" 2>/dev/null || continue\n"
    "    tr '\\0' '\\n' <\"/proc/$p/environ\" 2>/dev/null | grep -qxF \"WINEPREFIX=$WINEPREFIX\" && echo \"$p\"\n"
    "  done\n"
    "}\n";

class KilledAsItsInstallerStarts : public ProgramTest {
protected:
    void TearDown() override {
        // A suspended installer of a failed case must not outlive the test.
        RunUnixScript(std::string(kFindProcesses) + "for p in $(pids_of Setup.exe '" + Marker() +
                      "'); do kill -KILL $p; done\n");
        if (m_run) m_run->Wait();
        ProgramTest::TearDown();
    }

    // The test folder's own name, which every path of this test's processes holds.
    std::string Marker() const {
        const std::wstring& path = m_folder.Path();
        return Narrow(path.substr(path.rfind(L'\\') + 1));
    }

    std::unique_ptr<BackgroundRun> m_run;
};

TEST_F(KilledAsItsInstallerStarts, LeavesNoInstallerAndTheNextRunInstalls) {
    if (!IsRunningUnderWine()) GTEST_SKIP() << "the front end is killed from the Linux side of Wine";
    MakePackage();
    const std::string marker = Marker();
    bool bLandedEarly = false;
    for (int nAttempt = 1; nAttempt <= kAttempts && !bLandedEarly; ++nAttempt) {
        const std::wstring started = m_folder / (L"installer-started-" + std::to_wstring(nAttempt) + L".txt");
        ConfigureInstaller("started=" + Narrow(started) + "\r\n");
        UnixScriptInBackground watcher(std::string(kFindProcesses) +
                                       "end=$(($(date +%s) + 50))\n"
                                       "while [ -z \"$(pids_of Setup.exe '" + marker + "')\" ]; do\n"
                                       "  [ $(date +%s) -lt $end ] || { echo never appeared; exit 3; }\n"
                                       "  sleep 0.02\n"
                                       "done\n"
                                       "n=0\n"
                                       "for p in $(pids_of NicUpdate.exe '" + marker + "'); do kill -KILL $p && n=$((n+1)); done\n"
                                       "echo killed=$n\n");
        ASSERT_TRUE(watcher.IsStarted());
        m_run = StartInBackground(L"/s /vLOGFILE=" + (m_folder / L"first.log"), 3 * kStepMs);

        const UnixScriptOutcome kill = watcher.Wait(kStepMs);
        ASSERT_TRUE(kill.bRan);
        ASSERT_EQ(kill.output, "killed=1\n");
        const ChildOutcome killed = m_run->Wait();
        m_run.reset();
        ASSERT_FALSE(killed.bTimedOut) << "the front end outlived its kill";

        // The killed run's installer ends, by the job or by itself; one left suspended never does.
        const UnixScriptOutcome left = RunUnixScript(std::string(kFindProcesses) +
                                                         "end=$(($(date +%s) + 30))\n"
                                                         "while [ -n \"$(pids_of Setup.exe '" + marker + "')\" ]; do\n"
                                                         "  [ $(date +%s) -lt $end ] || break\n"
                                                         "  sleep 0.1\n"
                                                         "done\n"
                                                         "echo left=$(pids_of Setup.exe '" + marker + "' | wc -l)\n"
                                                         // What a left installer is doing, for the failure message.
                                                         "for p in $(pids_of Setup.exe '" + marker + "'); do grep State /proc/$p/status; done\n",
                                                     kStepMs);
        ASSERT_TRUE(left.bRan);
        ASSERT_EQ(left.output, "left=0\n") << "an installer of the killed run stays, holding its staging folder (attempt "
                                           << nAttempt << ")";
        // An installer that noted its start ran: the kill came after the launch had let it go.
        bLandedEarly = !PathExists(started);
    }
    ASSERT_TRUE(bLandedEarly) << "in " << kAttempts << " attempts no kill landed before the installer ran";

    const std::wstring nextLog = m_folder / L"next.log";
    EXPECT_EQ(Run(L"/s /vLOGFILE=" + nextLog).dwExitCode, 0u);
    EXPECT_EQ(ReadBytes(nextLog), std::string(kStandinLogText) + kLogRecord);
    EXPECT_FALSE(PathExists(Staging()));
}

}  // namespace
