// The caller's result log from an earlier, successful run, met by a run that goes to work: the
// old log goes before the package is staged, so a run that fails later leaves no record a
// script could read as this run's success. A run refused before it touches anything (its command
// line, another run at work) leaves the old log as it was.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "run/RunLock.h"
#include "support/FileUtil.h"
#include "support/HeldOpenFile.h"
#include "support/NamedCase.h"
#include "support/ProgramFixture.h"

namespace {

const std::string kEarlierLog = std::string("driver log of an earlier run\r\n") + kLogRecord;

enum class Twist { None, PackageFileHeld, RunLockHeld };

struct EarlierLogCase : NamedCase {
    Twist twist;
    const wchar_t* pszKeywords;  // the /v text; <log> stands for the result log
    DWORD dwExitCode;
    bool bOldLogStays;
    std::vector<std::string> traceEnd;  // <LOG> stands for the log's path as the trace names it
};

class EarlierResultLog : public ProgramTest, public ::testing::WithParamInterface<EarlierLogCase> {};

TEST_P(EarlierResultLog, IsGoneBeforeTheRunCanFailAndKeptWhenTheRunIsRefused) {
    const EarlierLogCase& c = GetParam();
    MakePackage();
    const std::wstring log = m_folder / L"run.log";
    WriteBytes(log, kEarlierLog);
    std::unique_ptr<HeldOpenFile> held;
    if (c.twist == Twist::PackageFileHeld) {
        held = std::make_unique<HeldOpenFile>(Root() + L"\\Windows\\WIN7\\32\\driver.cat");
        ASSERT_TRUE(held->IsHeld());
    }
    RunLock lock;
    if (c.twist == Twist::RunLockHeld) {
        lock = TakeRunLock();
        ASSERT_EQ(lock.State(), RunLockState::Taken);
    }
    std::wstring keywords = c.pszKeywords;
    keywords.replace(keywords.find(L"<log>"), 5, log);

    const ProgramOutcome outcome = Run(L"/s \"/v" + keywords + L"\"");

    EXPECT_EQ(outcome.dwExitCode, c.dwExitCode);
    if (c.bOldLogStays) {
        EXPECT_EQ(ReadBytes(log), kEarlierLog);
    } else {
        EXPECT_FALSE(PathExists(log)) << "a failed run leaves no record, least of all an earlier run's";
    }
    EXPECT_FALSE(InstallerRan());
    std::string logInTrace = Narrow(log);
    for (char& ch : logInTrace)
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    std::vector<std::string> traceEnd = c.traceEnd;
    for (std::string& line : traceEnd)
        if (line.find("<LOG>") != std::string::npos) line.replace(line.find("<LOG>"), 5, logInTrace);
    ExpectTraceEndsWith(traceEnd);
    std::vector<std::string> lines = TraceOfLastRun();
    bool bRemovalTraced = false;
    for (const std::string& line : lines) bRemovalTraced = bRemovalTraced || line.find("old result log removed") != std::string::npos;
    EXPECT_EQ(bRemovalTraced, !c.bOldLogStays);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EarlierResultLog,
    ::testing::Values(
        EarlierLogCase{"RunFailsAtThePackageCopy", Twist::PackageFileHeld, L"LOGFILE=<log>", 1603, false,
                       {"old result log removed: <LOG>", "staging folder created: ", "failed: copy the package",
                        "run ended: result CannotCreateFolder (8), exit code 1603"}},
        EarlierLogCase{"ExtractionFailsAtThePackageCopy", Twist::PackageFileHeld,
                       L"EXTRACTDRIVERS=C:\\Drv LOGFILE=<log>", 1603, false,
                       {"old result log removed: <LOG>", "staging folder created: ", "failed: copy the package",
                        "run ended: result CannotCreateFolder (8), exit code 1603"}},
        EarlierLogCase{"CommandLineRefused", Twist::None, L"FORCE=MAYBE LOGFILE=<log>", 1603, true,
                       {"failed: read the command line: ", "run ended: result BadValue (3), exit code 1603"}},
        EarlierLogCase{"AnotherRunAtWork", Twist::RunLockHeld, L"LOGFILE=<log>", 1618, true,
                       {"failed: take the machine-wide run lock",
                        "run ended: result AnotherRunActive (13), exit code 1618"}}),
    CaseName());

}  // namespace
