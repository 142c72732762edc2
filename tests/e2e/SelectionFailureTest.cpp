// A choice among the staged package's files that the installer would not find: the run ends
// with 1603 before the installer starts, and the trace names the step, the file and the error.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "support/FileUtil.h"
#include "support/NamedCase.h"
#include "support/ProgramFixture.h"

namespace {

struct SelectionFailureCase : NamedCase {
    std::wstring arguments;      // LOGFILE= follows
    void (*pfnSpoil)(const std::wstring& root);  // the package as the test changes it
    std::string stepBefore;      // the trace line before the failure
    std::string step;
    const wchar_t* pszFailed;    // below the staging folder
    DWORD dwError;
};

const SelectionFailureCase kSelectionFailures[] = {
    // With ENAUXMAC off the base-name INF must go inactive, but its inactive name is taken:
    // the installer would find both INFs of the pair.
    {"OtherInfUnderBothNames", L"/s \"/vFORCE=FALSE ENAUXMAC=FALSE\"",
     [](const std::wstring& root) { WriteBytes(root + L"\\Windows\\WIN10\\32\\kvux86w10_", "; INF kvux86w10\r\n"); },
     "package copied: ", "choose the INF of each pair", L"\\Windows\\WIN10\\32\\kvux86w10.INF",
     ERROR_ALREADY_EXISTS},
    // A folder where the control file belongs: the installer would go without FORCE's choice.
    {"ControlFileNameIsAFolder", L"/s \"/vFORCE=TRUE ENAUXMAC=FALSE\"",
     [](const std::wstring& root) {
         DeleteFileW((root + L"\\Windows\\InstCtrl.txt").c_str());
         WriteBytes(root + L"\\Windows\\InstCtrl.txt\\inside.txt", "not a control file");
     },
     "INF pair chosen: ", "choose the install-control variant", L"\\Windows\\InstCtrl.txt", ERROR_ACCESS_DENIED},
};

class SelectionFailure : public ProgramTest, public ::testing::WithParamInterface<SelectionFailureCase> {};

TEST_P(SelectionFailure, EndsTheRunBeforeTheInstallerStarts) {
    const SelectionFailureCase& c = GetParam();
    MakePackage();
    c.pfnSpoil(Root());
    const std::wstring log = m_folder / L"run.log";

    const ProgramOutcome outcome = Run(c.arguments + L" LOGFILE=" + log);

    EXPECT_EQ(outcome.dwExitCode, 1603u);
    EXPECT_FALSE(InstallerRan());
    EXPECT_FALSE(PathExists(log));
    ExpectTraceEndsWith({c.stepBefore, "failed: " + c.step, "run ended: "});
    ExpectTraceEndsWithFailure(c.step, Staging() + c.pszFailed, c.dwError,
                               "run ended: result SelectionFailed (17), exit code 1603");
}

INSTANTIATE_TEST_SUITE_P(Packages, SelectionFailure, ::testing::ValuesIn(kSelectionFailures), CaseName());

}  // namespace
