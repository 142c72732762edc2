// The installer's own exit code in the run's Application event, as a field of its own, end to
// end on Wine's event log channel (which shows each string at its event type's level). The
// process exit code stays the run's own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/EventLogChannel.h"
#include "support/FileUtil.h"
#include "support/NamedCase.h"
#include "support/ProgramFixture.h"
#include "support/UnixShell.h"

namespace {

struct InstallerCodeCase : NamedCase {
    const char* pszInstallerExit;  // the stand-in installer's exit code
    const wchar_t* pszArguments;   // <log> stands for the result log, <drv> for a driver folder
    DWORD dwExitCode;
    const char* pszLevel;          // "trace" Information, "warn" Warning, "err" Error
    std::vector<std::wstring> strings;  // mode, result, exit code, how the failed step begins, installer code
};

class InstallerCodeEvent : public ProgramTest, public ::testing::WithParamInterface<InstallerCodeCase> {};

TEST_P(InstallerCodeEvent, CarriesTheInstallersExitCodeInItsOwnField) {
    if (!IsRunningUnderWine()) GTEST_SKIP() << "the event's strings are read on Wine's debug channel";
    const InstallerCodeCase& c = GetParam();
    MakePackage();
    ConfigureInstaller(std::string("exit=") + c.pszInstallerExit + "\r\n");
    std::wstring arguments = c.pszArguments;
    for (const auto& [name, value] : {std::make_pair(std::wstring(L"<log>"), m_folder / L"run.log"),
                                      std::make_pair(std::wstring(L"<drv>"), m_folder / L"Drivers"),
                                      std::make_pair(std::wstring(L"<folder>"), m_folder.Path())}) {
        const std::size_t at = arguments.find(name);
        if (at != std::wstring::npos) arguments.replace(at, name.size(), value);
    }

    const EventLogRun run = RunWithEventLogChannel(L"\"" + Program() + L"\" " + arguments, Temp());

    ASSERT_TRUE(run.bRan) << run.output;
    EXPECT_EQ(run.dwExitCode, c.dwExitCode);
    ASSERT_EQ(run.strings.size(), 8u) << "one event of eight strings: " << run.output;
    EXPECT_EQ(run.levels, std::vector<std::string>(run.strings.size(), c.pszLevel)) << run.output;
    EXPECT_EQ(std::vector<std::wstring>(run.strings.begin(), run.strings.begin() + 3),
              std::vector<std::wstring>(c.strings.begin(), c.strings.begin() + 3));
    EXPECT_EQ(run.strings[3].substr(0, c.strings[3].size()), c.strings[3]) << Narrow(run.strings[3]);
    EXPECT_EQ(run.strings[4], c.strings[4]);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, InstallerCodeEvent,
    ::testing::Values(
        InstallerCodeCase{"Success", "0", L"/s /vLOGFILE=<log>", 0, "trace",
                          {L"silent install", L"Ok (0)", L"0", L"none", L"0"}},
        InstallerCodeCase{"RestartRequired", "3010", L"/s /vLOGFILE=<log>", 0, "trace",
                          {L"silent install", L"Ok (0)", L"0", L"none", L"3010"}},
        InstallerCodeCase{"RestartInitiated", "1641", L"/s", 0, "trace",
                          {L"silent install", L"Ok (0)", L"0", L"none", L"1641"}},
        InstallerCodeCase{"InstallersOwnFailure", "1603", L"/s /vLOGFILE=<log>", 0, "warn",
                          {L"silent install", L"Ok (0)", L"0", L"none", L"1603"}},
        // A step after the installer fails: an error, which still tells what the installer said.
        InstallerCodeCase{"FailureAfterTheInstaller", "3010", L"/s /vLOGFILE=<folder>", 1603, "err",
                          {L"silent install", L"CannotCreateLog (11)", L"1603", L"create the result log, path \"",
                           L"3010"}},
        InstallerCodeCase{"NoInstaller", "3010", L"/s \"/vEXTRACTDRIVERS=<drv> LOGFILE=<log>\"", 0, "trace",
                          {L"driver extraction", L"Ok (0)", L"0", L"none", L"none"}}),
    CaseName());

}  // namespace
