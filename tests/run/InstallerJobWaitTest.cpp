// The wait for the installer's job, with a stand-in for the job and the clock: processes that
// outlive Setup.exe are named in the trace once a minute, and a wait of minutes takes none.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run/InstallerJobWait.h"
#include "support/NamedCase.h"

namespace {

constexpr unsigned long kSetupId = 100;

struct FakeProcess {
    unsigned long dwId;
    const wchar_t* pszImage;  // empty: cannot be read
    unsigned long dwEndMs;    // after the wait's start
};

// A job whose processes end at given times on a clock that each look at the port moves on by
// the look's time-out.
class FakeJobWatch : public JobWatch {
public:
    FakeJobWatch(unsigned long dwStart, std::vector<FakeProcess> processes)
        : m_dwStart(dwStart), m_processes(std::move(processes)) {}

    bool NextMessage(unsigned long dwTimeoutMs, unsigned long& dwMessage, unsigned long& dwProcessId) override {
        m_dwElapsed += dwTimeoutMs;
        dwMessage = 0;
        dwProcessId = 0;
        return false;
    }
    bool ListProcesses(std::vector<unsigned long>& ids) override {
        ids.clear();
        for (const FakeProcess& process : m_processes)
            if (m_dwElapsed < process.dwEndMs) ids.push_back(process.dwId);
        return true;
    }
    bool SetupEnded() override { return m_dwElapsed >= m_processes.front().dwEndMs; }
    unsigned long Now() override { return m_dwStart + m_dwElapsed; }
    std::wstring ImageName(unsigned long dwProcessId) override {
        for (const FakeProcess& process : m_processes)
            if (process.dwId == dwProcessId) return process.pszImage;
        return std::wstring();
    }
    void HandOnHold(unsigned long) override {}

private:
    unsigned long m_dwStart;
    unsigned long m_dwElapsed = 0;
    std::vector<FakeProcess> m_processes;  // Setup.exe first
};

const wchar_t kTray[] = L"C:\\Program Files\\Maker\\tray.exe";

struct WaitCase : NamedCase {
    unsigned long dwClockStart;
    std::vector<FakeProcess> processes;  // Setup.exe (kSetupId) first
    std::vector<std::wstring> lines;
    unsigned long nOutliving;
    unsigned long dwOutlivingWaitMs;  // to the poll
};

class StillWaitingLines : public ::testing::TestWithParam<WaitCase> {};

TEST_P(StillWaitingLines, NameTheOutlivingProcessesOnceAMinute) {
    const WaitCase& c = GetParam();
    FakeJobWatch watch(c.dwClockStart, c.processes);
    InstallerWait wait;
    std::vector<std::wstring> lines;
    wait.onStillWaiting = [&lines](const std::wstring& line) { lines.push_back(line); };

    WaitForJob(watch, kSetupId, wait);

    EXPECT_EQ(lines, c.lines);
    EXPECT_EQ(wait.nOutliving, c.nOutliving);
    EXPECT_EQ(wait.dwOutlivingWaitMs, c.dwOutlivingWaitMs);
}

const std::vector<std::wstring> kTwoMinutes = {
    std::wstring(L"still waiting for installer processes that outlived Setup.exe, 1 min so far: ") + kTray +
        L" (process id 4242), (image name unknown) (process id 4250)",
    std::wstring(L"still waiting for installer processes that outlived Setup.exe, 2 min so far: ") + kTray +
        L" (process id 4242)"};

INSTANTIATE_TEST_SUITE_P(
    Waits, StillWaitingLines,
    ::testing::Values(
        WaitCase{"SetupAlone", 5000, {{kSetupId, L"Setup.exe", 2000}}, {}, 0, 0},
        WaitCase{"EndsWithinTheMinute", 5000, {{kSetupId, L"Setup.exe", 2000}, {4242, kTray, 61000}}, {}, 1, 59000},
        // The tray program lives 150 s after Setup.exe, the monitor 70 s.
        WaitCase{"OutlivesTwoMinutes", 5000,
                 {{kSetupId, L"Setup.exe", 2000}, {4242, kTray, 152000}, {4250, L"", 72000}}, kTwoMinutes, 2, 150000},
        // GetTickCount wraps after 49.7 days.
        WaitCase{"ClockWrapsMeanwhile", 0xFFFFFFFFul - 30000,
                 {{kSetupId, L"Setup.exe", 2000}, {4242, kTray, 152000}, {4250, L"", 72000}}, kTwoMinutes, 2,
                 150000}),
    CaseName());

}  // namespace
