// The Application event of a real run, as far as Wine lets a test see it: its strings on Wine's
// event log channel (Wine keeps no log to read the event back from).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/EventLogChannel.h"
#include "support/FileUtil.h"
#include "support/NamedCase.h"
#include "support/ProgramFixture.h"
#include "support/UnixShell.h"

namespace {

struct EventRunCase : NamedCase {
    std::wstring arguments;  // <log> and <out> stand for the test's paths
    DWORD dwExitCode;
    std::vector<std::wstring> strings;  // mode, result, exit code
    std::wstring failureStart;          // how the failed step's string begins
    bool bDriverFolders = true;         // false: the package has none
};

class RunEvent : public ProgramTest, public ::testing::WithParamInterface<EventRunCase> {};

TEST_P(RunEvent, OneEventWithModeResultExitCodeAndFailedStep) {
    if (!IsRunningUnderWine()) GTEST_SKIP() << "the event's strings are read on Wine's debug channel";
    const EventRunCase& c = GetParam();
    PackageSpec spec;
    spec.bDriverFolders = c.bDriverFolders;
    MakePackage(spec);
    std::wstring arguments = c.arguments;
    for (const auto& [name, value] : {std::make_pair(std::wstring(L"<log>"), m_folder / L"run.log"),
                                      std::make_pair(std::wstring(L"<out>"), m_folder / L"out.bin"),
                                      std::make_pair(std::wstring(L"<drv>"), m_folder / L"Drivers")}) {
        const std::size_t at = arguments.find(name);
        if (at != std::wstring::npos) arguments.replace(at, name.size(), value);
    }
    WriteBytes(m_folder / L"out.bin", "a file, not a folder");

    const EventLogRun run = RunWithEventLogChannel(L"\"" + Program() + L"\" " + arguments, Temp());

    ASSERT_TRUE(run.bRan) << run.output;
    EXPECT_EQ(run.dwExitCode, c.dwExitCode);
    ASSERT_EQ(run.strings.size(), 4u) << "one event of four strings: " << run.output;
    EXPECT_EQ(std::vector<std::wstring>(run.strings.begin(), run.strings.begin() + 3), c.strings);
    EXPECT_EQ(run.strings[3].substr(0, c.failureStart.size()), c.failureStart) << Narrow(run.strings[3]);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, RunEvent,
    ::testing::Values(
        EventRunCase{"SilentInstall", L"/s /vLOGFILE=<log>", 0, {L"silent install", L"Ok (0)", L"0"}, L"none"},
        EventRunCase{"ExtractAllOntoAFile", L"/extract_all \"<out>\"", 1603,
                     {L"package copy", L"CannotCreateFolder (8)", L"1603"}, L"copy the package, path \""},
        EventRunCase{"ExtractionWithoutDriverFolders", L"/s \"/vEXTRACTDRIVERS=<drv> LOGFILE=<log>\"", 1603,
                     {L"driver extraction", L"NoDriverFolders (16)", L"1603"},
                     L"find the drivers to extract, path \"", false},
        EventRunCase{"RefusedCommandLine", L"/s /vFORCE", 1603, {L"none", L"BadValue (3)", L"1603"},
                     L"read the command line: "}),
    CaseName());

}  // namespace
