// Staged runs one at a time: a run started while another installs ends at once with 1618 and
// leaves the other's staging folder alone; the usage page and /extract_all need no lock.
#include <gtest/gtest.h>

#include <vector>

#include "invocation/UsagePage.h"
#include "run/RunLock.h"
#include "support/FileUtil.h"
#include "support/MessageBoxAnswerer.h"
#include "support/NamedCase.h"
#include "support/Placeholder.h"
#include "support/WorkingInstallerFixture.h"

namespace {

using Answer = MessageBoxAnswerer::Answer;

// A second run must come back while the first one's installer still waits for the test.
constexpr DWORD kSecondRunTimeoutMs = 30000;

struct SecondRunCase : NamedCase {
    const wchar_t* pszArguments;  // <log> and <out> stand for the test's paths
    DWORD dwExitCode;
    const wchar_t* pszCaption;    // of the one box the run shows; null: it shows none
    bool bUsagePage;              // the box shows the usage page, else the refusal
};

class SecondRun : public WorkingInstallerTest, public ::testing::WithParamInterface<SecondRunCase> {};

TEST_P(SecondRun, EndsAtOnceAndLeavesTheFirstRunsPackageWhole) {
    const SecondRunCase& c = GetParam();
    StartRunWithWorkingInstaller();
    const std::wstring log = m_folder / L"second.log";
    const std::wstring out = m_folder / L"Out";
    std::vector<Answer> answers;
    if (c.pszCaption) answers.push_back(Answer::Cancel);
    MessageBoxAnswerer answerer(answers, c.pszCaption ? c.pszCaption : L"Warning");

    const std::wstring arguments =
        ReplacePlaceholder(ReplacePlaceholder(c.pszArguments, L"<log>", log), L"<out>", out);
    ProgramOutcome second = RunProgram(Program(), arguments, Temp(), m_folder.Path(), kSecondRunTimeoutMs);

    EXPECT_EQ(second.dwExitCode, c.dwExitCode);
    EXPECT_TRUE(answerer.WaitAllAnswered(1000));
    std::vector<std::wstring> texts;
    if (c.pszCaption) texts.push_back(c.bUsagePage ? UsageText() : kAnotherRunBoxText);
    EXPECT_EQ(answerer.Texts(), texts);
    EXPECT_EQ(answerer.UnexpectedCount(), 0u) << answerer.DescribeUnexpected();
    EXPECT_FALSE(PathExists(log)) << "a refused run writes no result log";
    if (c.dwExitCode == 1618)
        ExpectTraceEndsWithFailure("take the machine-wide run lock", L"", ERROR_INSTALL_ALREADY_RUNNING,
                                   "run ended: result AnotherRunActive (13), exit code 1618");
    if (c.dwExitCode != 0) {
        EXPECT_FALSE(PathExists(out)) << "a refused run extracts nothing";
    }
    EXPECT_FALSE(PathExists(m_folder / L"installer-ended.txt")) << "the second run waited for the first";

    ChildOutcome first = FinishRun();
    EXPECT_EQ(first.dwExitCode, 0u);
    EXPECT_EQ(FilesAtInstallerStart(), FilesInPackage());
    EXPECT_EQ(FilesAtInstallerEnd(), FilesInPackage()) << "the first run's package changed under its installer";
    EXPECT_EQ(ReadBytes(FirstLog()), std::string(kStandinLogText) + kLogRecord);

    // Once the first run has ended, the next one installs.
    const std::wstring third = m_folder / L"third.log";
    EXPECT_EQ(Run(L"/s /vLOGFILE=" + third).dwExitCode, 0u);
    EXPECT_EQ(ReadBytes(third), std::string(kStandinLogText) + kLogRecord);
    EXPECT_FALSE(PathExists(Staging()));
}

INSTANTIATE_TEST_SUITE_P(
    WhileAnotherRunInstalls, SecondRun,
    ::testing::Values(SecondRunCase{"SilentInstall", L"/s /vLOGFILE=<log>", 1618, nullptr, false},
                      SecondRunCase{"InteractiveInstall", L"\"/vLOGFILE=<log>\"", 1618, kAnotherRunBoxCaption, false},
                      SecondRunCase{"SilentDriverExtraction", L"/s \"/vEXTRACTDRIVERS=<out> LOGFILE=<log>\"", 1618,
                                    nullptr, false},
                      // Neither touches the staging folder, so neither waits for the lock.
                      SecondRunCase{"UsagePage", L"/?", 0, L"QVP tool help page", true},
                      SecondRunCase{"ExtractAll", L"/extract_all <out>", 0, nullptr, false}),
    CaseName());

class AbandonedRunLock : public ProgramTest {};

// A run that ended without releasing the lock (a crash, a killed process) must not block every
// later run. The lock object outlives its holder only while someone else has it open: here the
// test.
TEST_F(AbandonedRunLock, IsTakenOverAndTheRunInstalls) {
    MakePackage();
    RunLock keptOpen = OpenRunLock();
    ASSERT_EQ(keptOpen.State(), RunLockState::Opened);
    ProgramOutcome holder = RunProgram(BuiltToolPath(L"run_lock_holder.exe"), L"", Temp(), m_folder.Path());
    ASSERT_EQ(holder.dwExitCode, 0u) << "the helper did not take the lock";
    const std::wstring log = m_folder / L"run.log";

    ProgramOutcome outcome = Run(L"/s /vLOGFILE=" + log);

    EXPECT_EQ(outcome.dwExitCode, 0u);
    EXPECT_TRUE(InstallerRan());
    EXPECT_EQ(ReadBytes(log), std::string(kStandinLogText) + kLogRecord);
}

}  // namespace
