// RunUpdate in-process, with stand-ins for the privilege check, the message box, the installer
// launch, the run lock, the lookup of GetTempPath2W and the event report.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fileops/HeldFolder.h"
#include "fileops/HandleIdentity.h"
#include "fileops/ProtectedFolder.h"
#include "invocation/UsagePage.h"
#include "package/ResultCodes.h"
#include "report/RunEvent.h"
#include "run/FakeJobWatch.h"
#include "run/RunUpdate.h"
#include "run/StagingFolder.h"
#include "support/FileUtil.h"
#include "support/LogsFolderAside.h"
#include "support/MachineWidePlaces.h"
#include "support/NamedCase.h"
#include "support/StdoutCapture.h"
#include "support/TempFolder.h"

namespace {

struct Seen {
    std::string calls;  // the platform calls in order, each name followed by a blank
    bool bGuardAccepted = true;
    int nBoxes = 0;
    int nLaunches = 0;
    int nLockRequests = 0;
    std::wstring text, caption;
    unsigned style = 0xFFFF;
    std::wstring commandLine;
    unsigned long dwLaunchError = ERROR_SUCCESS;  // what the stand-in launch answers
    InstallerWait wait;                           // and what it found while it waited,
    std::vector<FakeProcess> job;                 // or, when set, the job it waits for, Setup.exe first
    unsigned long dwLingerMs = 0;                 // the bound the run gave it
    unsigned long dwInstallerExitCode = 3010;     // and what the installer answered
    std::wstring heldName;                        // what the hold it was handed holds
    std::vector<RunEvent> events;
};
Seen g_seen;
// What the stand-in lock turns out to be.
RunLockState g_lockState = RunLockState::Taken;

bool Admin() {
    g_seen.calls += "admin ";
    return true;
}
bool NotAdmin() {
    g_seen.calls += "admin ";
    return false;
}
bool RecordGuard() {
    g_seen.calls += "guard ";
    return g_seen.bGuardAccepted;
}
int RecordBox(const wchar_t* text, const wchar_t* caption, unsigned style) {
    ++g_seen.nBoxes;
    g_seen.text = text;
    g_seen.caption = caption;
    g_seen.style = style;
    return 1;  // OK
}
unsigned long RecordLaunch(wchar_t* commandLine, void* hHeldFolder, InstallerWait& wait) {
    ++g_seen.nLaunches;
    g_seen.commandLine = commandLine;
    ReadHandleName(static_cast<HANDLE>(hHeldFolder), g_seen.heldName);
    g_seen.dwLingerMs = wait.dwLingerMs;
    // What the run set stays: its bound and its callback.
    InstallerWait found = g_seen.wait;
    found.dwLingerMs = wait.dwLingerMs;
    found.onStillWaiting = wait.onStillWaiting;
    wait = found;
    if (!g_seen.job.empty()) {
        // The real wait, over a job whose processes run on a clock of their own.
        FakeJobWatch watch(0, g_seen.job);
        WaitForJob(watch, g_seen.job.front().dwId, wait);
    }
    wait.dwExitCode = g_seen.dwInstallerExitCode;
    return g_seen.dwLaunchError;
}
void RecordEvent(const RunEvent& event) { g_seen.events.push_back(event); }
RunLock StandInLock() {
    ++g_seen.nLockRequests;
    return RunLock(g_lockState);
}
TempPathFunction NoTempPath2() { return nullptr; }

// Points TMP and TEMP at a folder for the object's lifetime, then puts back what was there.
class TemporaryFolderVariables {
public:
    explicit TemporaryFolderVariables(const std::wstring& folder) {
        for (Saved& saved : m_saved) {
            wchar_t szValue[32768] = {};
            saved.bSet = GetEnvironmentVariableW(saved.pszName, szValue, 32768) != 0;
            saved.value = szValue;
            SetEnvironmentVariableW(saved.pszName, folder.c_str());
        }
    }
    ~TemporaryFolderVariables() {
        for (const Saved& saved : m_saved) SetEnvironmentVariableW(saved.pszName, saved.bSet ? saved.value.c_str() : nullptr);
    }
    TemporaryFolderVariables(const TemporaryFolderVariables&) = delete;
    TemporaryFolderVariables& operator=(const TemporaryFolderVariables&) = delete;

private:
    struct Saved {
        const wchar_t* pszName;
        bool bSet;
        std::wstring value;
    };
    Saved m_saved[2] = {{L"TMP", false, L""}, {L"TEMP", false, L""}};
};

// The run stages below the test's own temporary folder, never in the machine's.
class RunUpdateSeam : public ::testing::Test {
protected:
    void SetUp() override {
        RestoreMachineWidePlaces();
        g_seen = Seen();
        g_lockState = RunLockState::Taken;
        MakeFolders(m_folder / L"temp");
        StepFailure failure;
        ASSERT_TRUE(GetStagingFolderPath(m_staging, nullptr, failure));
        ASSERT_EQ(m_staging, m_folder / L"temp\\KVNIC_INST_TEMP");
    }

    int Run(const std::vector<std::wstring>& args, bool bAdmin) {
        std::vector<std::wstring> storage = {L"NicUpdate.exe"};
        storage.insert(storage.end(), args.begin(), args.end());
        std::vector<wchar_t*> argv;
        for (std::wstring& arg : storage) argv.push_back(&arg[0]);
        argv.push_back(nullptr);
        RunPlatform platform = {bAdmin ? &Admin : &NotAdmin, &RecordBox,         &RecordLaunch,
                                &StandInLock,                   m_pfnFindTempPath2, &RecordGuard,
                                &RecordEvent};
        StdoutCapture capture(m_folder / L"stdout.txt");
        int nResult = RunUpdate(static_cast<int>(storage.size()), argv.data(), platform);
        m_stdout = capture.Text();
        return nResult;
    }

    TempFolder m_folder;
    TemporaryFolderVariables m_temp{m_folder / L"temp\\"};
    std::wstring m_staging;
    std::string m_stdout;
    TempPathFunction (*m_pfnFindTempPath2)() = &NoTempPath2;
};

struct GateCase : NamedCase {
    std::vector<std::wstring> args;
};

class NonAdministrator : public RunUpdateSeam, public ::testing::WithParamInterface<GateCase> {};

TEST_P(NonAdministrator, Gets1603WithNothingPrintedShownOrTouched) {
    std::wstring out = m_folder / L"out";
    std::vector<std::wstring> args = GetParam().args;
    for (std::wstring& arg : args)
        if (arg == L"<out>") arg = out;
    EXPECT_EQ(Run(args, false), kExitFailure);
    EXPECT_EQ(g_seen.calls, "guard admin ") << "the redirection guard comes before anything else";
    EXPECT_EQ(m_stdout, "");
    EXPECT_EQ(g_seen.nBoxes, 0);
    EXPECT_EQ(g_seen.nLaunches, 0);
    EXPECT_FALSE(PathExists(out));
    EXPECT_FALSE(PathExists(m_staging));
    EXPECT_EQ(g_seen.nLockRequests, 0);
}

INSTANTIATE_TEST_SUITE_P(
    AnyArguments, NonAdministrator,
    ::testing::Values(GateCase{"UsagePage", {L"/?"}}, GateCase{"NoArguments", {}},
                      GateCase{"SilentInstall", {L"/s", L"/vFORCE=TRUE", L"LOGFILE=C:\\r.log"}},
                      GateCase{"ExtractAll", {L"/extract_all", L"<out>"}}),
    CaseName());

class RejectedCommandLine : public RunUpdateSeam, public ::testing::WithParamInterface<GateCase> {};

TEST_P(RejectedCommandLine, Gets1603BeforeAnythingIsTouched) {
    EXPECT_EQ(Run(GetParam().args, true), kExitFailure);
    EXPECT_EQ(m_stdout, "");
    EXPECT_EQ(g_seen.nBoxes, 0);
    EXPECT_EQ(g_seen.nLaunches, 0);
    EXPECT_FALSE(PathExists(m_staging));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RejectedCommandLine,
    ::testing::Values(GateCase{"TwoUsageSwitches", {L"/?", L"/h"}}, GateCase{"ExtractAllWithoutFolder", {L"/extract_all"}},
                      GateCase{"DriverFolderWithoutBlank", {L"/s", L"/vEXTRACTDRIVERS=C:\\Drv"}},
                      GateCase{"ForceWithoutValue", {L"/s", L"/vFORCE"}},
                      GateCase{"SwitchAfterKeywordMode", {L"/vEXTRACTDRIVERS=C:\\Drv ", L"/s"}}),
    CaseName());

std::vector<std::wstring> Expanded(std::vector<std::wstring> args, const std::wstring& drv, const std::wstring& log) {
    for (std::wstring& arg : args) {
        for (const auto& name : {std::make_pair(std::wstring(L"<drv>"), drv), std::make_pair(std::wstring(L"<log>"), log)}) {
            const std::size_t pos = arg.find(name.first);
            if (pos != std::wstring::npos) arg.replace(pos, name.first.size(), name.second);
        }
    }
    return args;
}

// Every run but the usage page reports one event: its ID tells the mode and the outcome, its
// strings the mode, the result, the exit code and the failed step.
struct EventCase : NamedCase {
    bool bAdmin;
    std::vector<std::wstring> args;  // <drv>, <log> stand for the test's folders
    RunLockState lockState;
    unsigned long dwLaunchError;
    RunEventId wEventId;
    bool bError;
    std::vector<std::wstring> firstStrings;  // mode, result, exit code
    std::wstring failureStart;               // how the fourth string begins
    std::wstring installerCode;              // the fifth string
    // The sixth: what the staged package's INFs gave (the test program's folder holds no driver
    // folder), "none" for a run that never staged one.
    std::wstring driverVersions = L"none";
};

class RunEventReport : public RunUpdateSeam, public ::testing::WithParamInterface<EventCase> {};

TEST_P(RunEventReport, OneEventNamesModeResultExitCodeAndFailedStep) {
    const EventCase& c = GetParam();
    g_lockState = c.lockState;
    g_seen.dwLaunchError = c.dwLaunchError;

    Run(Expanded(c.args, m_folder / L"Drivers", m_folder / L"run.log"), c.bAdmin);

    ASSERT_EQ(g_seen.events.size(), 1u) << "one event per run";
    const RunEvent& event = g_seen.events[0];
    EXPECT_EQ(event.wEventId, c.wEventId);
    EXPECT_EQ(event.bError, c.bError);
    EXPECT_FALSE(event.bWarning);
    EXPECT_EQ(MessageIdFor(event), (c.bError ? 0xC0000000ul : 0x40000000ul) | c.wEventId);
    ASSERT_EQ(event.strings.size(), 8u);
    EXPECT_EQ(std::vector<std::wstring>(event.strings.begin(), event.strings.begin() + 3), c.firstStrings);
    EXPECT_EQ(event.strings[3].substr(0, c.failureStart.size()), c.failureStart) << Narrow(event.strings[3]);
    EXPECT_EQ(event.strings[4], c.installerCode);
    EXPECT_EQ(event.strings[5], c.driverVersions);
    EXPECT_EQ(event.strings[6], NICUPDATE_EXPECTED_VERSION);
    EXPECT_EQ(event.strings[7], L"none");
}

INSTANTIATE_TEST_SUITE_P(
    Runs, RunEventReport,
    ::testing::Values(
        // The stand-in installer answers 3010.
        EventCase{"SilentInstallSucceeds", true, {L"/s", L"/vLOGFILE=<log>"}, RunLockState::Taken, ERROR_SUCCESS,
                  kEventInstallSucceededRestartNeeded, false, {L"silent install", L"Ok (0)", L"0"}, L"none", L"3010",
                  L"unknown"},
        EventCase{"InstallerCannotStart", true, {L"/s", L"/vLOGFILE=<log>"}, RunLockState::Taken, ERROR_BAD_EXE_FORMAT,
                  kEventInstallFailed, true, {L"silent install", L"InstallerNotStarted (12)", L"1603"},
                  L"start the installer, path \"", L"none", L"unknown"},
        // The test program's folder holds no package, so no driver folder is found to extract.
        EventCase{"DriverExtractionFindsNoDrivers", true, {L"/s", L"/vEXTRACTDRIVERS=<drv> LOGFILE=<log>"},
                  RunLockState::Taken, ERROR_SUCCESS, kEventDriverExtractionFailed, true,
                  {L"driver extraction", L"NoDriverFolders (16)", L"1603"}, L"find the drivers to extract, path \"",
                  L"none", L"unknown"},
        EventCase{"SilentInstallWithoutLog", true, {L"/s", L"/vFORCE=TRUE"}, RunLockState::Taken, ERROR_SUCCESS,
                  kEventInstallSucceededRestartNeeded, false, {L"silent install", L"Ok (0)", L"0"}, L"none", L"3010",
                  L"unknown"},
        EventCase{"PackageCopySucceeds", true, {L"/extract_all", L"<drv>"}, RunLockState::Taken, ERROR_SUCCESS,
                  kEventPackageCopySucceeded, false, {L"package copy", L"Ok (0)", L"0"}, L"none", L"none"},
        EventCase{"CommandLineRefused", true, {L"/s", L"/vFORCE"}, RunLockState::Taken, ERROR_SUCCESS,
                  kEventCommandLineRefused, true, {L"none", L"BadValue (3)", L"1603"},
                  L"read the command line: FORCE is not followed by \"=\": [/vFORCE]", L"none"},
        EventCase{"AnotherRunWorks", true, {L"/s", L"/vLOGFILE=<log>"}, RunLockState::HeldByAnotherRun, ERROR_SUCCESS,
                  kEventAnotherRunActive, true, {L"silent install", L"AnotherRunActive (13)", L"1618"},
                  L"take the machine-wide run lock, Win32 error 1618: ", L"none"},
        EventCase{"NotAnAdministrator", false, {L"/s", L"/vLOGFILE=<log>"}, RunLockState::Taken, ERROR_SUCCESS,
                  kEventRunNotStarted, true, {L"none", L"NotAdministrator (15)", L"1603"}, L"check the user: ",
                  L"none"}),
    CaseName());

// What the installer answered decides which success event an install reports; the exit code stays 0.
struct InstallerCodeCase : NamedCase {
    unsigned long dwInstallerExitCode;
    RunEventId wEventId;
    bool bWarning;
    const wchar_t* pszField;
};

class InstallerCodeEventId : public RunUpdateSeam, public ::testing::WithParamInterface<InstallerCodeCase> {};

TEST_P(InstallerCodeEventId, ChoosesTheEventAndItsTypeAndKeepsExitCodeZero) {
    const InstallerCodeCase& c = GetParam();
    g_seen.dwInstallerExitCode = c.dwInstallerExitCode;

    EXPECT_EQ(Run({L"/s"}, true), 0);

    ASSERT_EQ(g_seen.events.size(), 1u);
    const RunEvent& event = g_seen.events[0];
    EXPECT_EQ(event.wEventId, c.wEventId);
    EXPECT_FALSE(event.bError);
    EXPECT_EQ(event.bWarning, c.bWarning);
    EXPECT_EQ(MessageIdFor(event), (c.bWarning ? 0x80000000ul : 0x40000000ul) | c.wEventId);
    ASSERT_EQ(event.strings.size(), 8u);
    EXPECT_EQ(event.strings[4], c.pszField);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, InstallerCodeEventId,
    ::testing::Values(InstallerCodeCase{"Success", 0, kEventInstallSucceeded, false, L"0"},
                      InstallerCodeCase{"RestartRequired", 3010, kEventInstallSucceededRestartNeeded, false, L"3010"},
                      InstallerCodeCase{"RestartInitiated", 1641, kEventInstallSucceededRestartNeeded, false, L"1641"},
                      InstallerCodeCase{"InstallersOwnFailure", 1603, kEventInstallerReportedCode, true, L"1603"},
                      InstallerCodeCase{"MinusOne", 0xFFFFFFFFul, kEventInstallerReportedCode, true, L"4294967295"}),
    CaseName());

TEST_F(RunUpdateSeam, UsagePageReportsNoEvent) {
    EXPECT_EQ(Run({L"/?"}, true), 0);
    EXPECT_TRUE(g_seen.events.empty());
}

TEST_F(RunUpdateSeam, UsagePagePrintsThenShowsTheBoxAndSucceeds) {
    EXPECT_EQ(Run({L"/?"}, true), 0);
    EXPECT_EQ(g_seen.nBoxes, 1);
    EXPECT_EQ(g_seen.caption, L"QVP tool help page");
    EXPECT_EQ(g_seen.text, UsageText());
    EXPECT_EQ(g_seen.style, 0u);
    EXPECT_EQ(g_seen.nLaunches, 0);
    EXPECT_FALSE(PathExists(m_staging));
    EXPECT_NE(m_stdout.find("usage"), std::string::npos);
}

// The redirection guard is asked for before the privilege check, and a platform that lacks it
// (or refuses it) changes nothing about the run.
struct GuardCase : NamedCase {
    bool bAccepted;
};

class RedirectionGuard : public RunUpdateSeam, public ::testing::WithParamInterface<GuardCase> {};

TEST_P(RedirectionGuard, IsAskedFirstAndTheRunGoesOnWhateverTheAnswer) {
    g_seen.bGuardAccepted = GetParam().bAccepted;

    EXPECT_EQ(Run({L"/?"}, true), 0);

    EXPECT_EQ(g_seen.calls, "guard admin ");
    EXPECT_EQ(g_seen.nBoxes, 1);
}

INSTANTIATE_TEST_SUITE_P(Answers, RedirectionGuard,
                         ::testing::Values(GuardCase{"PlatformAccepts", true}, GuardCase{"PlatformLacksIt", false}),
                         CaseName());

TEST_F(RunUpdateSeam, TemporaryFolderTooLongEndsBeforeAnyFileWork) {
    // Wine's GetTempPathW gives 0 for a TEMP beyond MAX_PATH; this one fits MAX_PATH but leaves
    // no room for the staging name.
    std::wstring longTemp = m_folder.Path() + L"\\";
    while (longTemp.size() < 250) longTemp += L"d";
    longTemp += L"\\";
    MakeFolders(longTemp);
    int nResult = 0;
    {
        TemporaryFolderVariables temp(longTemp);
        nResult = Run({L"/s", L"/vLOGFILE=" + (m_folder / L"log.txt")}, true);
    }
    EXPECT_EQ(nResult, kExitFailure);
    EXPECT_EQ(g_seen.nLaunches, 0);
    EXPECT_TRUE(ListTree(longTemp).empty()) << "nothing may be staged";
    EXPECT_FALSE(PathExists(m_folder / L"LOG.TXT"));
}

// The lock of staged runs as another run, or someone else, left it. A leftover in the staging
// folder shows whether the refused run touched it.
struct LockCase : NamedCase {
    std::vector<std::wstring> args;  // <drv> and <log> stand for the test's folders
    RunLockState lockState;
    int nExitCode;
    bool bBox;  // the run says why before it ends
};

class LockNotTaken : public RunUpdateSeam, public ::testing::WithParamInterface<LockCase> {};

TEST_P(LockNotTaken, EndsTheRunBeforeAnythingIsTouched) {
    const LockCase& c = GetParam();
    g_lockState = c.lockState;
    WriteBytes(m_staging + L"\\Windows\\Setup.exe", "the other run's installer");
    const std::wstring drv = m_folder / L"Drivers";
    const std::wstring log = m_folder / L"run.log";

    EXPECT_EQ(Run(Expanded(c.args, drv, log), true), c.nExitCode);

    EXPECT_EQ(g_seen.nLockRequests, 1);
    EXPECT_EQ(g_seen.nLaunches, 0);
    EXPECT_EQ(ListTree(m_staging), (std::vector<std::wstring>{L"Windows\\", L"Windows\\Setup.exe"}));
    EXPECT_EQ(ReadBytes(m_staging + L"\\Windows\\Setup.exe"), "the other run's installer");
    EXPECT_FALSE(PathExists(drv));
    EXPECT_FALSE(PathExists(log));
    EXPECT_EQ(m_stdout, "");
    ASSERT_EQ(g_seen.nBoxes, c.bBox ? 1 : 0);
    if (c.bBox) {
        EXPECT_EQ(g_seen.caption, L"QVP tool");
        EXPECT_EQ(g_seen.text,
                  L"Another installation or driver extraction of this package is running. Start this one again when it "
                  L"has ended.");
        EXPECT_EQ(g_seen.style, static_cast<unsigned>(MB_OK | MB_ICONWARNING));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LockNotTaken,
    ::testing::Values(
        LockCase{"SilentInstallWhileAnotherRunWorks", {L"/s", L"/vLOGFILE=<log>"}, RunLockState::HeldByAnotherRun, 1618, false},
        LockCase{"InteractiveInstallWhileAnotherRunWorks", {L"/vLOGFILE=<log>"}, RunLockState::HeldByAnotherRun, 1618, true},
        LockCase{"SilentExtractionWhileAnotherRunWorks", {L"/s", L"/vEXTRACTDRIVERS=<drv> LOGFILE=<log>"},
                 RunLockState::HeldByAnotherRun, 1618, false},
        LockCase{"InteractiveExtractionWhileAnotherRunWorks", {L"/vEXTRACTDRIVERS=<drv> LOGFILE=<log>"},
                 RunLockState::HeldByAnotherRun, 1618, true},
        // Someone else's object of the lock's name, or none at all, is no reason to retry.
        LockCase{"InteractiveInstallWithAForeignLock", {L"/vLOGFILE=<log>"}, RunLockState::ForeignOwner, 1603, false},
        LockCase{"SilentInstallWithAForeignLock", {L"/s", L"/vLOGFILE=<log>"}, RunLockState::ForeignOwner, 1603, false},
        LockCase{"InteractiveInstallWithoutALock", {L"/vLOGFILE=<log>"}, RunLockState::Failed, 1603, false}),
    CaseName());

// A staging folder that someone holds without sharing its deletion: the installer of a run that
// was killed, whose lock was then taken over, still works from it.
class HeldStagingFolder : public RunUpdateSeam, public ::testing::WithParamInterface<LockCase> {};

TEST_P(HeldStagingFolder, EndsTheRunBeforeAnythingOfItGoes) {
    const LockCase& c = GetParam();
    // Made as every run makes it: only such a folder is a run's.
    MakeFolders(m_staging.substr(0, m_staging.rfind(L'\\')));
    ASSERT_TRUE(CreateAdministratorsOnlyFolder(m_staging));
    WriteBytes(m_staging + L"\\Windows\\Setup.exe", "the killed run's installer");
    WriteBytes(m_staging + L"\\Others\\a.txt", "a");
    FileHandle installersHold = HoldFolder(m_staging);
    ASSERT_TRUE(installersHold);
    const std::wstring drv = m_folder / L"Drivers";
    const std::wstring log = m_folder / L"run.log";

    EXPECT_EQ(Run(Expanded(c.args, drv, log), true), c.nExitCode);

    EXPECT_EQ(g_seen.nLaunches, 0);
    EXPECT_EQ(ListTree(m_staging),
              (std::vector<std::wstring>{L"Others\\", L"Others\\a.txt", L"Windows\\", L"Windows\\Setup.exe"}));
    EXPECT_EQ(ReadBytes(m_staging + L"\\Windows\\Setup.exe"), "the killed run's installer");
    EXPECT_FALSE(PathExists(drv));
    EXPECT_FALSE(PathExists(log));
    ASSERT_EQ(g_seen.nBoxes, c.bBox ? 1 : 0);
    if (c.bBox) {
        EXPECT_EQ(g_seen.caption, L"QVP tool");
        EXPECT_EQ(g_seen.style, static_cast<unsigned>(MB_OK | MB_ICONWARNING));
    }
    ASSERT_EQ(g_seen.events.size(), 1u);
    EXPECT_EQ(g_seen.events[0].wEventId, kEventAnotherRunActive);
    const std::wstring failure = L"remove the leftover staging folder, path \"" + m_staging + L"\", Win32 error 1618: ";
    EXPECT_EQ(g_seen.events[0].strings[3].substr(0, failure.size()), failure) << Narrow(g_seen.events[0].strings[3]);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HeldStagingFolder,
    ::testing::Values(LockCase{"SilentInstall", {L"/s", L"/vLOGFILE=<log>"}, RunLockState::Taken, 1618, false},
                      LockCase{"InteractiveInstall", {L"/vLOGFILE=<log>"}, RunLockState::Taken, 1618, true},
                      LockCase{"SilentExtraction", {L"/s", L"/vEXTRACTDRIVERS=<drv> LOGFILE=<log>"},
                               RunLockState::Taken, 1618, false}),
    CaseName());

// The installer is handed the staging folder's own hold, and what the wait found reaches the trace
// and the event.
struct TraceLine {
    std::string start;
    std::string end;
};
struct WaitCase : NamedCase {
    InstallerWait wait;
    std::vector<TraceLine> lines;  // between "installer started" and "result log written", after the process id
    std::vector<FakeProcess> job = {};     // the job the launch waits for; empty: wait as found
    std::wstring leftRunning = L"none";  // the event's field
};

class InstallerWaitTrace : public RunUpdateSeam, public ::testing::WithParamInterface<WaitCase> {
protected:
    // This run's lines after the installer's start and before the result log, without the process id.
    static std::vector<std::string> LinesAfterInstallerStart() {
        wchar_t szWindows[MAX_PATH] = {};
        GetSystemWindowsDirectoryW(szWindows, MAX_PATH);
        const std::string text = ReadBytes(std::wstring(szWindows) + L"\\Logs\\NicUpdate.log");
        std::vector<std::string> lines;
        bool bStarted = false;
        for (std::size_t start = 0; start < text.size();) {
            std::size_t end = text.find("\r\n", start);
            if (end == std::string::npos) end = text.size();
            std::string line = text.substr(start, end - start);
            start = end + 2;
            line.erase(0, line.find("] ") + 2);
            if (line.rfind("result log written: ", 0) == 0) break;
            if (bStarted) lines.push_back(line);
            bStarted = bStarted || line.rfind("installer started: ", 0) == 0;
        }
        return lines;
    }
};

TEST_P(InstallerWaitTrace, HandsTheHoldOnAndTracesWhatTheWaitFound) {
    const WaitCase& c = GetParam();
    LogsFolderAside logsAside;
    ASSERT_TRUE(logsAside.IsMoved());
    g_seen.wait = c.wait;
    g_seen.job = c.job;

    EXPECT_EQ(Run({L"/s", L"/vLOGFILE=" + (m_folder / L"run.log")}, true), 0);

    ASSERT_EQ(g_seen.nLaunches, 1);
    EXPECT_EQ(g_seen.dwLingerMs, 15ul * 60000ul) << "without LINGER= the run waits 15 minutes after Setup.exe";
    std::wstring tempName;
    ASSERT_TRUE(ReadHandleName(HoldFolder(m_folder / L"temp").Get(), tempName));
    EXPECT_EQ(g_seen.heldName, EntryNameIn(tempName, L"KVNIC_INST_TEMP"));
    const std::vector<std::string> lines = LinesAfterInstallerStart();
    ASSERT_EQ(lines.size(), c.lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].rfind(c.lines[i].start, 0), 0u) << lines[i];
        const std::string& end = c.lines[i].end;
        EXPECT_TRUE(lines[i].size() >= end.size() && lines[i].compare(lines[i].size() - end.size(), end.size(), end) == 0)
            << lines[i];
    }
    ASSERT_EQ(g_seen.events.size(), 1u);
    ASSERT_EQ(g_seen.events[0].strings.size(), 8u);
    EXPECT_EQ(g_seen.events[0].strings[7], c.leftRunning);
    EXPECT_FALSE(PathExists(m_staging)) << "the staging folder goes as after any other install";
}

InstallerWait Wait(unsigned long dwJobError, unsigned long nOutliving, unsigned long dwOutlivingWaitMs,
                   unsigned long dwKillOnCloseError = ERROR_SUCCESS) {
    InstallerWait wait;
    wait.dwJobError = dwJobError;
    wait.nOutliving = nOutliving;
    wait.dwOutlivingWaitMs = dwOutlivingWaitMs;
    wait.dwKillOnCloseError = dwKillOnCloseError;
    return wait;
}

const char kTrayPath[] = "C:\\Program Files\\Maker\\tray.exe";
const FakeProcess kSetupProcess = {100, L"Setup.exe", 2000};
const FakeProcess kTrayProcess = {4242, L"C:\\Program Files\\Maker\\tray.exe", 152000};
const FakeProcess kTrayForAnHour = {4242, L"C:\\Program Files\\Maker\\tray.exe", 3602000};

// The still-waiting line of each minute from the first to nLast, then the given lines.
std::vector<TraceLine> MinuteLinesThen(unsigned long nLast, std::vector<TraceLine> then) {
    std::vector<TraceLine> lines;
    for (unsigned long n = 1; n <= nLast; ++n)
        lines.push_back({"still waiting for installer processes that outlived Setup.exe, " + std::to_string(n) +
                             " min so far: " + kTrayPath + " (process id 4242)",
                         ""});
    lines.insert(lines.end(), then.begin(), then.end());
    return lines;
}

const TraceLine kInstallerEnded = {"installer ended: exit code 3010 (recorded only)", ""};

INSTANTIATE_TEST_SUITE_P(
    Waits, InstallerWaitTrace,
    ::testing::Values(
        WaitCase{"SetupAlone", Wait(ERROR_SUCCESS, 0, 0), {kInstallerEnded}},
        WaitCase{"ProcessesOutlivedSetup", Wait(ERROR_SUCCESS, 2, 6250),
                 {kInstallerEnded, {"installer processes outlived Setup.exe: 2, waited 6250 ms for them to end", ""}}},
        // Where jobs cannot nest the run still waits for Setup.exe, and says what it could not wait for.
        WaitCase{"NoJob", Wait(ERROR_ACCESS_DENIED, 0, 0),
                 {{"installer not in a job of its own (Win32 error 5: ",
                   "): the run waited for Setup.exe alone, not for processes it started"},
                  kInstallerEnded}},
        WaitCase{"KillOnCloseNotLifted", Wait(ERROR_SUCCESS, 0, 0, ERROR_ACCESS_DENIED),
                 {kInstallerEnded,
                  {"installer's job still ends it should this run be killed: its limit could not be lifted "
                   "(Win32 error 5: ",
                   ")"}}},
        // The tray program ends 150 s after Setup.exe: the run names it each minute it waits.
        WaitCase{"StillWaitingLinesReachTheTrace", Wait(ERROR_SUCCESS, 0, 0), MinuteLinesThen(2, {kInstallerEnded,
                 {"installer processes outlived Setup.exe: 1, waited 150000 ms for them to end", ""}}),
                 {kSetupProcess, kTrayProcess}},
        // The tray program runs for an hour: the run stops waiting after the default quarter of an
        // hour, takes its hold back and names it.
        WaitCase{"DefaultBoundPasses", Wait(ERROR_SUCCESS, 0, 0), MinuteLinesThen(15, {kInstallerEnded,
                 {"installer processes outlived Setup.exe: 1, waited 900000 ms, the bound of 15 min (LINGER=); 1 still "
                  "running", ""},
                 {std::string("still running when the wait ended, left to itself: ") + kTrayPath +
                      " (process id 4242); its hold on the staging folder taken back", ""}}),
                 {kSetupProcess, kTrayForAnHour}, L"C:\\Program Files\\Maker\\tray.exe (process id 4242)"}),
    CaseName());

struct LocklessCase : NamedCase {
    std::vector<std::wstring> args;
};

class LocklessMode : public RunUpdateSeam, public ::testing::WithParamInterface<LocklessCase> {};

// Neither mode touches the staging folder, so another run at work does not stop them.
TEST_P(LocklessMode, NeverAsksForTheLock) {
    g_lockState = RunLockState::HeldByAnotherRun;
    EXPECT_EQ(Run(Expanded(GetParam().args, m_folder / L"out", L""), true), 0);
    EXPECT_EQ(g_seen.nLockRequests, 0);
}

INSTANTIATE_TEST_SUITE_P(Modes, LocklessMode,
                         ::testing::Values(LocklessCase{"UsagePage", {L"/?"}},
                                           LocklessCase{"ExtractAll", {L"/extract_all", L"<drv>"}}),
                         CaseName());

// A stand-in for GetTempPath2W with the platform's contract: the length without the terminator,
// or the size needed when the buffer is too small; 0 on failure.
constexpr DWORD kAnswerTheFolder = 0xFFFFFFFF;
struct TempPath2Answer {
    std::wstring folder;
    DWORD dwResult;  // kAnswerTheFolder, or what the call returns instead
};
TempPath2Answer g_tempPath2;

DWORD WINAPI StandInTempPath2(DWORD cchBuffer, LPWSTR pszBuffer) {
    if (g_tempPath2.dwResult != kAnswerTheFolder) return g_tempPath2.dwResult;
    const DWORD cch = static_cast<DWORD>(g_tempPath2.folder.size());
    if (cch + 1 > cchBuffer) return cch + 1;
    std::wmemcpy(pszBuffer, g_tempPath2.folder.c_str(), cch + 1);
    return cch;
}
TempPathFunction FoundTempPath2() { return &StandInTempPath2; }

enum class StagedUnder { Nothing, Temp, TempPath2 };

struct TempPathCase : NamedCase {
    bool bTempPath2Found;
    const wchar_t* pszTempPath2;  // below the test folder; "<long>" for a folder of 250 characters
    DWORD dwTempPath2Result;
    StagedUnder stagedUnder;
};

class TemporaryFolderChoice : public RunUpdateSeam, public ::testing::WithParamInterface<TempPathCase> {};

// A run whose LOGFILE= names a folder stops after the installer and leaves the staging folder
// where it made it.
TEST_P(TemporaryFolderChoice, StagesUnderGetTempPath2WsFolderWhereThePlatformHasIt) {
    const TempPathCase& c = GetParam();
    std::wstring folder2 = m_folder / c.pszTempPath2;
    if (folder2 == m_folder / L"<long>") {
        folder2 = m_folder.Path() + L"\\";
        while (folder2.size() < 250) folder2 += L"s";
        folder2 += L"\\";
    }
    g_tempPath2 = {folder2, c.dwTempPath2Result};
    if (c.bTempPath2Found) m_pfnFindTempPath2 = &FoundTempPath2;
    const std::wstring staging2 = folder2 + L"KVNIC_INST_TEMP";

    EXPECT_EQ(Run({L"/s", L"/vLOGFILE=" + m_folder.Path()}, true), kExitFailure);

    const std::wstring expected = c.stagedUnder == StagedUnder::Temp ? m_staging : staging2;
    EXPECT_EQ(g_seen.nLaunches, c.stagedUnder == StagedUnder::Nothing ? 0 : 1);
    if (c.stagedUnder != StagedUnder::Nothing) {
        EXPECT_EQ(g_seen.commandLine, L"\"" + expected + L"\\Windows\\Setup.exe\" -s");
    }
    EXPECT_EQ(IsFolder(m_staging), c.stagedUnder == StagedUnder::Temp);
    EXPECT_EQ(IsFolder(staging2), c.stagedUnder == StagedUnder::TempPath2);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TemporaryFolderChoice,
    ::testing::Values(
        TempPathCase{"WithoutGetTempPath2W", false, L"system-temp\\", kAnswerTheFolder, StagedUnder::Temp},
        TempPathCase{"WithGetTempPath2W", true, L"system-temp\\", kAnswerTheFolder, StagedUnder::TempPath2},
        // The same rules as for GetTempPathW: no folder, or no room for the staging name, ends the
        // run before anything is staged, and TEMP is no fallback.
        TempPathCase{"GetTempPath2WFails", true, L"system-temp\\", 0, StagedUnder::Nothing},
        TempPathCase{"GetTempPath2WFolderTooLong", true, L"<long>", kAnswerTheFolder, StagedUnder::Nothing},
        TempPathCase{"GetTempPath2WNeedsABiggerBuffer", true, L"system-temp\\", 300, StagedUnder::Nothing}),
    CaseName());

}  // namespace
