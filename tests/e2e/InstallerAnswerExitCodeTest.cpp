// INSTALLERCODE=TRUE: a run whose steps all succeeded ends with the installer's answer where
// deployment tools know it (0, 3010, 1641, 1618), any other answer as 1603; without the keyword
// the exit code stays the run's own. The result log's record says the run's steps succeeded
// either way.
#include <gtest/gtest.h>

#include <string>

#include "support/FileUtil.h"
#include "support/NamedCase.h"
#include "support/ProgramFixture.h"

namespace {

struct AnswerCase : NamedCase {
    const char* pszInstallerExit;
    const wchar_t* pszKeywords;  // the /v text before LOGFILE=
    DWORD dwExitCode;
    const char* pszTrace;  // the line before the run's last, empty when the exit code is the run's own
};

class InstallerAnswerExitCode : public ProgramTest, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(InstallerAnswerExitCode, IsTheExitCodeOnlyWhenAskedFor) {
    const AnswerCase& c = GetParam();
    MakePackage();
    ConfigureInstaller(std::string("exit=") + c.pszInstallerExit + "\r\n");
    const std::wstring log = m_folder / L"run.log";

    const ProgramOutcome outcome = Run(L"/s \"/v" + std::wstring(c.pszKeywords) + L"LOGFILE=" + log + L"\"");

    EXPECT_EQ(outcome.dwExitCode, c.dwExitCode);
    EXPECT_TRUE(InstallerRan());
    EXPECT_EQ(ReadBytes(log), std::string(kStandinLogText) + kLogRecord);
    const std::string runEnd = "run ended: result Ok (0), exit code " + std::to_string(c.dwExitCode);
    if (*c.pszTrace != '\0') {
        ExpectTraceEndsWith({c.pszTrace, runEnd});
    } else {
        ExpectTraceEndsWith({"staging folder removed: ", runEnd});
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, InstallerAnswerExitCode,
    ::testing::Values(
        AnswerCase{"Success", "0", L"INSTALLERCODE=TRUE ", 0,
                   "exit code from the installer's answer (INSTALLERCODE=TRUE): 0 gives 0"},
        AnswerCase{"RestartRequired", "3010", L"INSTALLERCODE=TRUE ", 3010,
                   "exit code from the installer's answer (INSTALLERCODE=TRUE): 3010 gives 3010"},
        AnswerCase{"RestartStarted", "1641", L"INSTALLERCODE=TRUE ", 1641,
                   "exit code from the installer's answer (INSTALLERCODE=TRUE): 1641 gives 1641"},
        AnswerCase{"AnotherInstallRunning", "1618", L"INSTALLERCODE=TRUE ", 1618,
                   "exit code from the installer's answer (INSTALLERCODE=TRUE): 1618 gives 1618"},
        AnswerCase{"InstallersFailure", "1603", L"INSTALLERCODE=TRUE ", 1603,
                   "exit code from the installer's answer (INSTALLERCODE=TRUE): 1603 gives 1603"},
        AnswerCase{"AnyOtherCode", "5", L"INSTALLERCODE=TRUE ", 1603,
                   "exit code from the installer's answer (INSTALLERCODE=TRUE): 5 gives 1603"},
        // With a FORCE group and lower case, as a deployment recipe may write it.
        AnswerCase{"AfterAForceGroup", "3010", L"FORCE=TRUE installercode=yes ", 3010,
                   "exit code from the installer's answer (INSTALLERCODE=TRUE): 3010 gives 3010"},
        AnswerCase{"WithoutTheKeyword", "3010", L"", 0, ""},
        AnswerCase{"KeywordOff", "1603", L"INSTALLERCODE=FALSE ", 0, ""}),
    CaseName());

}  // namespace
