// A run on a window station nobody can see, as SYSTEM's in session 0 is: the program is started
// on a station of the test's own (CreateWindowStationW, CreateDesktopW, then lpDesktop
// "station\Default"). Wine reports such a station without WSF_VISIBLE, as Windows does for
// session 0, and a message box there waits for ever, so every run must end by itself.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "child_launch/ChildLaunch.h"
#include "invocation/UsagePage.h"
#include "support/FileUtil.h"
#include "support/NamedCase.h"
#include "support/ProgramFixture.h"
#include "support/WorkingInstallerFixture.h"

namespace {

// Long enough for any run here; a run that waits on a box is ended after it and fails the test.
constexpr DWORD kRunTimeoutMs = 45000;

// A window station with its "Default" desktop, made for one test and closed after it.
class OwnWindowStation {
public:
    OwnWindowStation() {
        static unsigned nMade = 0;
        m_name = L"NicUpdateTest" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++nMade);
        m_hStation = CreateWindowStationW(m_name.c_str(), 0, WINSTA_ALL_ACCESS, nullptr);
        if (m_hStation == nullptr) return;
        // A desktop is made on the calling process's station, so the test switches to it meanwhile.
        HWINSTA hOwn = GetProcessWindowStation();
        if (!SetProcessWindowStation(m_hStation)) return;
        m_hDesktop = CreateDesktopW(L"Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
        SetProcessWindowStation(hOwn);
    }
    ~OwnWindowStation() {
        if (m_hDesktop != nullptr) CloseDesktop(m_hDesktop);
        if (m_hStation != nullptr) CloseWindowStation(m_hStation);
    }
    OwnWindowStation(const OwnWindowStation&) = delete;
    OwnWindowStation& operator=(const OwnWindowStation&) = delete;

    bool IsMade() const { return m_hDesktop != nullptr; }
    std::wstring Desktop() const { return m_name + L"\\Default"; }
    bool IsVisible() const {
        USEROBJECTFLAGS flags = {};
        DWORD cb = 0;
        return GetUserObjectInformationW(m_hStation, UOI_FLAGS, &flags, sizeof flags, &cb) &&
               (flags.dwFlags & WSF_VISIBLE) != 0;
    }

private:
    std::wstring m_name;
    HWINSTA m_hStation = nullptr;
    HDESK m_hDesktop = nullptr;
};

struct StationRun {
    ChildOutcome child;
    std::string stdoutBytes;
};

// Runs the package's program on the station's desktop, standard output captured.
StationRun RunOnStation(const OwnWindowStation& station, const std::wstring& program, const std::wstring& arguments,
                        const std::wstring& tempFolder, const std::wstring& currentFolder) {
    ChildOptions options;
    options.commandLine = L"\"" + program + L"\" " + arguments;
    options.tempFolder = tempFolder;
    options.currentFolder = currentFolder;
    options.stdoutPath = currentFolder + L"\\stdout.txt";
    options.desktop = station.Desktop();
    options.dwTimeoutMs = kRunTimeoutMs;
    StationRun run;
    run.child = RunChildProcess(options);
    if (PathExists(options.stdoutPath)) run.stdoutBytes = ReadBytes(options.stdoutPath);
    return run;
}

struct StationCase : NamedCase {
    const wchar_t* pszArguments;  // <log> and <drv> stand for the test's paths
    bool bReadOnlyLeftover;       // a read-only file of an earlier run in the staging folder
    DWORD dwExitCode;
    bool bInstallerRuns;
    const char* pszTraceEnd;  // the run's last trace line but one, as it begins
};

class InvisibleWindowStation : public ProgramTest, public ::testing::WithParamInterface<StationCase> {};

TEST_P(InvisibleWindowStation, RunEndsWithoutWaitingForAnyone) {
    const StationCase& c = GetParam();
    OwnWindowStation station;
    ASSERT_TRUE(station.IsMade()) << "error " << GetLastError();
    ASSERT_FALSE(station.IsVisible()) << "the test needs a station nobody can see";
    MakePackage();
    if (c.bReadOnlyLeftover) {
        WriteBytes(Staging() + L"\\Windows\\locked.txt", "read-only leftover");
        SetReadOnly(Staging() + L"\\Windows\\locked.txt", true);
    }
    std::wstring arguments = c.pszArguments;
    for (const auto& [name, value] : {std::make_pair(std::wstring(L"<log>"), m_folder / L"run.log"),
                                      std::make_pair(std::wstring(L"<drv>"), m_folder / L"Drivers")}) {
        const std::size_t at = arguments.find(name);
        if (at != std::wstring::npos) arguments.replace(at, name.size(), value);
    }

    const StationRun run = RunOnStation(station, Program(), arguments, Temp(), m_folder.Path());

    ASSERT_TRUE(run.child.bStarted);
    EXPECT_FALSE(run.child.bTimedOut) << "the run waited on a window nobody can see";
    EXPECT_EQ(run.child.dwExitCode, c.dwExitCode);
    EXPECT_EQ(InstallerRan(), c.bInstallerRuns);
    if (c.bInstallerRuns) {
        const std::string commandLine = InstallerRecord()["commandline"];
        EXPECT_EQ(commandLine.substr(commandLine.size() - 3), " -s") << commandLine;
    }
    EXPECT_EQ(PathExists(Staging()), false);
    ExpectTraceEndsWith({c.pszTraceEnd, "run ended: "});
}

INSTANTIATE_TEST_SUITE_P(
    Runs, InvisibleWindowStation,
    ::testing::Values(
        // Its dialogs would wait for ever: refused before anything is touched.
        StationCase{"InstallWithoutSilentSwitch", L"\"/vLOGFILE=<log>\"", false, 1603, false,
                    "failed: check who can answer the installer: an interactive install needs a desktop someone can "
                    "see; add /s"},
        StationCase{"SilentInstall", L"/s /vLOGFILE=<log>", false, 0, true, "staging folder removed: "},
        // The read-only question takes the unattended answer.
        StationCase{"ExtractionWithReadOnlyLeftover", L"\"/vEXTRACTDRIVERS=<drv> LOGFILE=<log>\"", true, 0, false,
                    "staging folder removed: "}),
    CaseName());

class InvisibleStationUsagePage : public ProgramTest {};

TEST_F(InvisibleStationUsagePage, GoesToStandardOutputOnlyAndEndsWithZero) {
    OwnWindowStation station;
    ASSERT_TRUE(station.IsMade()) << "error " << GetLastError();
    MakePackage();

    const StationRun run = RunOnStation(station, Program(), L"/?", Temp(), m_folder.Path());

    ASSERT_TRUE(run.child.bStarted);
    EXPECT_FALSE(run.child.bTimedOut) << "the usage page waited in a box nobody can see";
    EXPECT_EQ(run.child.dwExitCode, 0u);
    EXPECT_EQ(run.stdoutBytes, ConsoleBytes(UsageText()));
}

class InvisibleStationSecondRun : public WorkingInstallerTest {};

// Without "/s" a second run would show its "another run" box; nobody could close it.
TEST_F(InvisibleStationSecondRun, Gets1618WithoutTheBox) {
    OwnWindowStation station;
    ASSERT_TRUE(station.IsMade()) << "error " << GetLastError();
    StartRunWithWorkingInstaller();

    const StationRun second = RunOnStation(
        station, Program(), L"\"/vEXTRACTDRIVERS=" + (m_folder / L"Drivers") + L" LOGFILE=" + (m_folder / L"second.log") + L"\"",
        Temp(), m_folder.Path());

    EXPECT_FALSE(second.child.bTimedOut) << "the second run waited on its box";
    EXPECT_EQ(second.child.dwExitCode, 1618u);
    EXPECT_FALSE(PathExists(m_folder / L"second.log"));
    EXPECT_EQ(FinishRun().dwExitCode, 0u);
}

}  // namespace
