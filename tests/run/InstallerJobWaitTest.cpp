// The wait for the installer's job, with a stand-in for the job and the clock: processes that
// outlive Setup.exe are named in the trace once a minute, each process of the run's account is
// handed the staging folder's hold as it joins, and once the bound after Setup.exe's end has
// passed the run takes every hold back and names what still runs. A wait of minutes takes none.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "run/FakeJobWatch.h"
#include "run/InstallerJobWait.h"
#include "support/NamedCase.h"

namespace {

constexpr unsigned long kSetupId = 100;
constexpr unsigned long kMinuteMs = 60000;
constexpr unsigned long kDefaultLingerMs = 15 * kMinuteMs;

const wchar_t kTray[] = L"C:\\Program Files\\Maker\\tray.exe";
const wchar_t kUserAgent[] = L"C:\\Program Files\\Maker\\agent.exe";

using Lingering = std::pair<unsigned long, LingeringProcess::Hold>;

struct WaitCase : NamedCase {
    unsigned long dwClockStart;
    std::vector<FakeProcess> processes;  // Setup.exe (kSetupId) first
    std::vector<std::wstring> lines;
    unsigned long nOutliving;
    unsigned long dwOutlivingWaitMs;  // to the poll
    unsigned long dwLingerMs = kDefaultLingerMs;
    std::vector<unsigned long> handed = {};     // given a copy of the hold, in order
    std::vector<Lingering> lingering = {};      // still at work when the bound passed
};

class StillWaitingLines : public ::testing::TestWithParam<WaitCase> {};

TEST_P(StillWaitingLines, NameTheOutlivingProcessesOnceAMinute) {
    const WaitCase& c = GetParam();
    FakeJobWatch watch(c.dwClockStart, c.processes);
    InstallerWait wait;
    wait.dwLingerMs = c.dwLingerMs;
    std::vector<std::wstring> lines;
    wait.onStillWaiting = [&lines](const std::wstring& line) { lines.push_back(line); };

    WaitForJob(watch, kSetupId, wait);

    EXPECT_EQ(lines, c.lines);
    EXPECT_EQ(wait.nOutliving, c.nOutliving);
    EXPECT_EQ(wait.dwOutlivingWaitMs, c.dwOutlivingWaitMs);
    EXPECT_EQ(watch.handed, c.handed) << "each process of the run's account gets one copy as it joins";
    std::vector<Lingering> lingering;
    std::vector<unsigned long> heldThen;
    for (const LingeringProcess& process : wait.lingering) {
        lingering.emplace_back(process.dwProcessId, process.hold);
        if (process.hold != LingeringProcess::Hold::None) heldThen.push_back(process.dwProcessId);
        EXPECT_EQ(process.image, watch.ImageName(process.dwProcessId));
    }
    EXPECT_EQ(lingering, c.lingering);
    EXPECT_EQ(watch.takenBack, heldThen) << "every copy still out is closed once, and no other handle";
}

std::wstring MinuteLine(unsigned long nMinutes, const std::wstring& processes) {
    return L"still waiting for installer processes that outlived Setup.exe, " + std::to_wstring(nMinutes) +
           L" min so far: " + processes;
}

// A line each minute from the first to the last.
std::vector<std::wstring> MinuteLines(unsigned long nLast, const std::wstring& processes) {
    std::vector<std::wstring> lines;
    for (unsigned long n = 1; n <= nLast; ++n) lines.push_back(MinuteLine(n, processes));
    return lines;
}

const std::wstring kTrayName = std::wstring(kTray) + L" (process id 4242)";
const std::vector<std::wstring> kTwoMinutes = {
    MinuteLine(1, kTrayName + L", (image name unknown) (process id 4250)"), MinuteLine(2, kTrayName)};

const FakeProcess kSetup = {kSetupId, L"Setup.exe", 2000};
// The tray program runs an hour after Setup.exe, far beyond any bound.
const FakeProcess kTrayForAnHour = {4242, kTray, 3602000};
// Started in the logged-on user's session, as another account.
FakeProcess UserAgent(unsigned long dwEndMs) {
    FakeProcess agent = {4260, kUserAgent, dwEndMs};
    agent.dwStartMs = 1000;
    agent.bThisAccount = false;
    return agent;
}
FakeProcess Unannounced(FakeProcess process) {
    process.bAnnounced = false;
    return process;
}
FakeProcess RefusesTakeBack(FakeProcess process) {
    process.dwTakeBackError = ERROR_ACCESS_DENIED;
    return process;
}

INSTANTIATE_TEST_SUITE_P(
    Waits, StillWaitingLines,
    ::testing::Values(
        WaitCase{"SetupAlone", 5000, {kSetup}, {}, 0, 0},
        WaitCase{"EndsWithinTheMinute", 5000, {kSetup, {4242, kTray, 61000}}, {}, 1, 59000, kDefaultLingerMs, {4242}},
        // The tray program lives 150 s after Setup.exe, the monitor 70 s.
        WaitCase{"OutlivesTwoMinutes", 5000, {kSetup, {4242, kTray, 152000}, {4250, L"", 72000}}, kTwoMinutes, 2,
                 150000, kDefaultLingerMs, {4242, 4250}},
        // GetTickCount wraps after 49.7 days.
        WaitCase{"ClockWrapsMeanwhile", 0xFFFFFFFFul - 30000, {kSetup, {4242, kTray, 152000}, {4250, L"", 72000}},
                 kTwoMinutes, 2, 150000, kDefaultLingerMs, {4242, 4250}},
        // Without LINGER= the run waits a quarter of an hour, naming the process each minute.
        WaitCase{"DefaultBoundPasses", 5000, {kSetup, kTrayForAnHour}, MinuteLines(15, kTrayName), 1, kDefaultLingerMs,
                 kDefaultLingerMs, {4242}, {{4242, LingeringProcess::Hold::TakenBack}}},
        WaitCase{"BoundOfOneMinute", 5000, {kSetup, kTrayForAnHour}, MinuteLines(1, kTrayName), 1, kMinuteMs,
                 kMinuteMs, {4242}, {{4242, LingeringProcess::Hold::TakenBack}}},
        WaitCase{"BoundOfNone", 5000, {kSetup, kTrayForAnHour}, {}, 1, 0, 0, {4242},
                 {{4242, LingeringProcess::Hold::TakenBack}}},
        WaitCase{"NoneOutlivesSetupWithBoundOfNone", 5000, {kSetup}, {}, 0, 0, 0},
        // Another account's process is waited for within the same bound, but holds nothing of the run's.
        WaitCase{"OtherAccountEndsWithinTheBound", 5000, {kSetup, UserAgent(32000)}, {}, 1, 30000, kMinuteMs, {}},
        WaitCase{"OtherAccountOutlivesTheBound", 5000, {kSetup, kTrayForAnHour, UserAgent(3602000)},
                 MinuteLines(1, kTrayName + L", " + kUserAgent + L" (process id 4260)"), 2, kMinuteMs, kMinuteMs,
                 {4242},
                 {{4242, LingeringProcess::Hold::TakenBack}, {4260, LingeringProcess::Hold::None}}},
        // The platform does not promise every message: the listing finds the process all the same.
        WaitCase{"StartNeverAnnounced", 5000, {kSetup, Unannounced(kTrayForAnHour)}, MinuteLines(1, kTrayName), 1,
                 kMinuteMs, kMinuteMs, {4242}, {{4242, LingeringProcess::Hold::TakenBack}}},
        WaitCase{"HoldCannotBeTakenBack", 5000, {kSetup, RefusesTakeBack(kTrayForAnHour)}, MinuteLines(1, kTrayName),
                 1, kMinuteMs, kMinuteMs, {4242}, {{4242, LingeringProcess::Hold::NotTakenBack}}}),
    CaseName());

}  // namespace
