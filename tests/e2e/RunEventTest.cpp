// The Application event of a real run, as far as Wine lets a test see it: its strings on Wine's
// event log channel (Wine keeps no log to read the event back from).
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "fileops/ScopedHandle.h"
#include "report/EventLogSource.h"
#include "report/EventMessageFile.h"
#include "support/EventLogChannel.h"
#include "support/FileUtil.h"
#include "support/LogsFolderAside.h"
#include "support/NamedCase.h"
#include "support/Placeholder.h"
#include "support/ProgramFixture.h"
#include "support/UnixShell.h"

namespace {

struct EventRunCase : NamedCase {
    std::wstring arguments;  // <log> and <out> stand for the test's paths
    DWORD dwExitCode;
    std::vector<std::wstring> strings;  // mode, result, exit code
    std::wstring failureStart;          // how the failed step's string begins
    bool bDriverFolders = true;         // false: the package has none
    std::wstring driverVersions = L"none";  // the package's INFs carry 10.1.2.3; "none": not read
};

class RunEvent : public ProgramTest, public ::testing::WithParamInterface<EventRunCase> {};

TEST_P(RunEvent, OneEventWithModeResultExitCodeAndFailedStep) {
    if (!IsRunningUnderWine()) GTEST_SKIP() << "the event's strings are read on Wine's debug channel";
    const EventRunCase& c = GetParam();
    PackageSpec spec;
    spec.bDriverFolders = c.bDriverFolders;
    MakePackage(spec);
    std::wstring arguments = ReplacePlaceholder(c.arguments, L"<log>", m_folder / L"run.log");
    arguments = ReplacePlaceholder(arguments, L"<out>", m_folder / L"out.bin");
    arguments = ReplacePlaceholder(arguments, L"<drv>", m_folder / L"Drivers");
    WriteBytes(m_folder / L"out.bin", "a file, not a folder");

    const EventLogRun run = RunWithEventLogChannel(L"\"" + Program() + L"\" " + arguments, Temp());

    ASSERT_TRUE(run.bRan) << run.output;
    EXPECT_EQ(run.dwExitCode, c.dwExitCode);
    ASSERT_EQ(run.strings.size(), 8u) << "one event of eight strings: " << run.output;
    EXPECT_EQ(std::vector<std::wstring>(run.strings.begin(), run.strings.begin() + 3), c.strings);
    EXPECT_EQ(run.strings[3].substr(0, c.failureStart.size()), c.failureStart) << Narrow(run.strings[3]);
    EXPECT_EQ(run.strings[5], c.driverVersions);
    EXPECT_EQ(run.strings[6], NICUPDATE_EXPECTED_VERSION);
    EXPECT_EQ(run.strings[7], L"none") << "no process of the installer outlived the run";
}

INSTANTIATE_TEST_SUITE_P(
    Runs, RunEvent,
    ::testing::Values(
        EventRunCase{"SilentInstall", L"/s /vLOGFILE=<log>", 0, {L"silent install", L"Ok (0)", L"0"}, L"none", true,
                     L"10.1.2.3"},
        EventRunCase{"ExtractAllOntoAFile", L"/extract_all \"<out>\"", 1603,
                     {L"package copy", L"CannotCreateFolder (8)", L"1603"}, L"copy the package, path \""},
        EventRunCase{"ExtractionWithoutDriverFolders", L"/s \"/vEXTRACTDRIVERS=<drv> LOGFILE=<log>\"", 1603,
                     {L"driver extraction", L"NoDriverFolders (16)", L"1603"},
                     L"find the drivers to extract, path \"", false, L"unknown"},
        EventRunCase{"RefusedCommandLine", L"/s /vFORCE", 1603, {L"none", L"BadValue (3)", L"1603"},
                     L"read the command line: "}),
    CaseName());

std::wstring Expanded(const wchar_t* pszText) {
    wchar_t szExpanded[MAX_PATH] = {};
    const DWORD cch = ExpandEnvironmentStringsW(pszText, szExpanded, MAX_PATH);
    return cch == 0 || cch > MAX_PATH ? std::wstring() : szExpanded;
}

bool SetMessageFileValue(const std::wstring& text) {
    HKEY hKey = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kEventSourceKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                        nullptr, &hKey, nullptr) != ERROR_SUCCESS)
        return false;
    const RegistryKey key(hKey);
    return RegSetValueExW(hKey, L"EventMessageFile", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

std::wstring MessageFileValue() {
    wchar_t szValue[MAX_PATH * 2] = {};
    DWORD cb = sizeof szValue - sizeof(wchar_t);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kEventSourceKey, L"EventMessageFile", RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                     nullptr, szValue, &cb) != ERROR_SUCCESS)
        return L"(no value)";
    return szValue;
}

class UnrenewedMessageFile : public ProgramTest {};

// The kept message file cannot be renewed (a file stands where the Logs folder belongs): the
// source's registration stays as it was, and never names the package's own program, which
// deployment tools delete after the run. (Under Wine a rename replaces a held file or an empty
// folder at the kept name, so those do not stop the renewal here as they do on Windows.)
TEST_F(UnrenewedMessageFile, LeavesTheRegistrationAsItWas) {
    MakePackage();
    ASSERT_TRUE(SetMessageFileValue(kKeptMessageFile));
    const LogsFolderAside aside;
    ASSERT_TRUE(aside.IsMoved()) << "cannot move the Logs folder aside: error " << GetLastError();
    WriteBytes(Expanded(L"%SystemRoot%\\Logs"), "a file in the Logs folder's place");

    const ProgramOutcome outcome = Run(L"/s /vFORCE");

    EXPECT_EQ(outcome.dwExitCode, 1603u);
    EXPECT_EQ(MessageFileValue(), kKeptMessageFile);
    EXPECT_FALSE(IsFolder(Expanded(L"%SystemRoot%\\Logs")));
}

// A machine where an earlier version kept a copy of the whole program in the Logs folder and
// registered it: after one run the source names the kept message DLL, which holds what the
// build made, and the old copy is gone.
class RetiredMessageFile : public ProgramTest {};

TEST_F(RetiredMessageFile, IsReplacedByTheMessageDllAfterARun) {
    MakePackage();
    const std::wstring retired = Expanded(L"%SystemRoot%\\Logs\\NicUpdateMessages.exe");
    const std::wstring kept = Expanded(kKeptMessageFile);
    DeleteFileW(kept.c_str());
    WriteBytes(retired, ReadBytes(Program()));
    ASSERT_TRUE(SetMessageFileValue(L"%SystemRoot%\\Logs\\NicUpdateMessages.exe"));

    const ProgramOutcome outcome = Run(L"/s /vFORCE");

    EXPECT_EQ(outcome.dwExitCode, 1603u);  // a refused command line still reports its event
    EXPECT_EQ(MessageFileValue(), L"%SystemRoot%\\Logs\\NicUpdateMessages.dll");
    ASSERT_TRUE(PathExists(kept));
    const std::wstring program = BuiltProgramPath();
    EXPECT_TRUE(ReadBytes(kept) == ReadBytes(program.substr(0, program.rfind(L'\\') + 1) + L"NicUpdateMessages.dll"));
    EXPECT_FALSE(PathExists(retired)) << "the old copy of the program is still in the Logs folder";
}

}  // namespace
