// The package's driver version in a real run: a trace line for each INF the installer is given,
// and the Application event's field, for a package whose INFs carry one version, two versions,
// none, and one INF the platform's reader cannot take (which fails nothing).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/EventLogChannel.h"
#include "support/FileUtil.h"
#include "support/NamedCase.h"
#include "support/ProgramFixture.h"
#include "support/UnixShell.h"

namespace {

struct DriverVersionCase : NamedCase {
    const char* pszDriverVer;       // every INF's DriverVer, "" for none
    const char* pszWin10DriverVer;  // the WIN10 INFs' instead, "" for the same
    bool bSpoilWin7x64;             // WIN7\64's INF is no INF the reader takes
    std::wstring field;             // the event's sixth string
    // How each folder's line ends, WIN7\32 to WIN10\64.
    std::vector<std::string> lineEnds;
};

const char* const kFolders[] = {"WIN7\\32", "WIN7\\64", "WIN8\\32", "WIN8\\64", "WIN10\\32", "WIN10\\64"};
const char* const kInfs[] = {"kvux86w7", "kvux64w7", "kvux86w8", "kvux64w8", "kvux86w10", "kvux64w10"};

// SetupAPI's own code in its own number system, with its meaning. Wine's reader gives this code
// for the spoiled file; Windows may give another of SetupAPI's INF codes.
const std::string kUnreadableInf = "SetupAPI error 0xE0000000: no [Version] section";

class DriverVersionRun : public ProgramTest, public ::testing::WithParamInterface<DriverVersionCase> {};

TEST_P(DriverVersionRun, TraceNamesEachInfAndTheEventCarriesTheVersions) {
    if (!IsRunningUnderWine()) GTEST_SKIP() << "the event's strings are read on Wine's debug channel";
    const DriverVersionCase& c = GetParam();
    PackageSpec spec;
    spec.strDriverVer = c.pszDriverVer;
    spec.strWin10DriverVer = c.pszWin10DriverVer;
    MakePackage(spec);
    if (c.bSpoilWin7x64) WriteBytes(Root() + L"\\Windows\\WIN7\\64\\kvux64w7.INF", std::string("\xFF\xFE\x00\xD8", 4));
    const std::wstring log = m_folder / L"run.log";

    const EventLogRun run = RunWithEventLogChannel(L"\"" + Program() + L"\" /s /vLOGFILE=" + log, Temp());

    ASSERT_TRUE(run.bRan) << run.output;
    EXPECT_EQ(run.dwExitCode, 0u) << "the driver version never fails a run";
    EXPECT_EQ(ReadBytes(log), std::string(kStandinLogText) + kLogRecord);
    ASSERT_EQ(run.strings.size(), 8u) << run.output;
    EXPECT_EQ(run.strings[5], c.field);

    std::vector<std::string> found;
    for (const std::string& line : TraceOfLastRun())
        if (line.find("] driver version") != std::string::npos) found.push_back(line);
    ASSERT_EQ(found.size(), 6u) << ::testing::PrintToString(found);
    const std::string windows = Narrow(Staging()) + "\\Windows\\";
    for (std::size_t i = 0; i < found.size(); ++i) {
        const std::string begins = c.lineEnds[i].rfind("not read", 0) == 0
                                       ? "driver version not read: read the INF, path \"" + windows + kFolders[i] +
                                             "\\" + kInfs[i] + ".INF\", " + kUnreadableInf
                                       : "driver version: folder " + windows + kFolders[i] + ", INF " + kInfs[i] +
                                             ".INF, " + c.lineEnds[i];
        EXPECT_NE(found[i].find(begins), std::string::npos) << found[i] << "\nwanted: " << begins;
    }
}

const std::string kOne = "date 06/21/2024, version 10.1.2.3";
const std::string kLater = "date 01/15/2025, version 10.4.0.0";
const std::string kNone = "no DriverVer in its [Version] section";

INSTANTIATE_TEST_SUITE_P(
    Packages, DriverVersionRun,
    ::testing::Values(
        DriverVersionCase{"OneVersion", "06/21/2024,10.1.2.3", "", false, L"10.1.2.3",
                          {kOne, kOne, kOne, kOne, kOne, kOne}},
        DriverVersionCase{"TwoVersions", "06/21/2024,10.1.2.3", "01/15/2025,10.4.0.0", false, L"10.1.2.3, 10.4.0.0",
                          {kOne, kOne, kOne, kOne, kLater, kLater}},
        DriverVersionCase{"NoDriverVer", "", "", false, L"unknown", {kNone, kNone, kNone, kNone, kNone, kNone}},
        DriverVersionCase{"OneInfUnreadable", "06/21/2024,10.1.2.3", "", true, L"10.1.2.3, unknown",
                          {kOne, "not read", kOne, kOne, kOne, kOne}}),
    CaseName());

}  // namespace
