// "/s" anywhere on the command line means nobody is there to answer, whatever mode the run
// takes: a read-only leftover of an earlier run goes without a question, and so do the read-only
// copies staged from a read-only package.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/FileUtil.h"
#include "support/MessageBoxAnswerer.h"
#include "support/NamedCase.h"
#include "support/Placeholder.h"
#include "support/ProgramFixture.h"

namespace {

using Answer = MessageBoxAnswerer::Answer;

struct LeftoverCase : NamedCase {
    const wchar_t* pszArguments;  // <drv> and <log> stand for the test's folders
    std::vector<Answer> answers;  // to the read-only question
    bool bInstallerRuns;
    bool bReadOnlyPackage = false;
};

class ReadOnlyLeftover : public ProgramTest, public ::testing::WithParamInterface<LeftoverCase> {};

TEST_P(ReadOnlyLeftover, IsAskedAboutOnlyWithoutSilentSwitch) {
    const LeftoverCase& c = GetParam();
    PackageSpec spec;
    spec.bReadOnly = c.bReadOnlyPackage;
    MakePackage(spec);
    WriteBytes(Staging() + L"\\Windows\\locked.txt", "read-only leftover");
    SetReadOnly(Staging() + L"\\Windows\\locked.txt", true);
    const std::wstring drivers = m_folder / L"Drivers";
    const std::wstring log = m_folder / L"run.log";
    MessageBoxAnswerer answerer(c.answers);

    ProgramOutcome outcome =
        Run(ReplacePlaceholder(ReplacePlaceholder(c.pszArguments, L"<drv>", drivers), L"<log>", log));

    EXPECT_EQ(outcome.dwExitCode, 0u);
    EXPECT_TRUE(answerer.WaitAllAnswered(1000));
    std::vector<std::wstring> expectedTexts;
    if (!c.answers.empty()) expectedTexts.push_back(L"locked.txt is read olny. Do you want delete it?");
    EXPECT_EQ(answerer.Texts(), expectedTexts);
    EXPECT_EQ(answerer.UnexpectedCount(), 0u) << answerer.DescribeUnexpected();
    // The run goes on to its end: an extraction has no driver log of this test to copy.
    EXPECT_EQ(InstallerRan(), c.bInstallerRuns);
    EXPECT_EQ(IsFolder(drivers + L"\\production\\Windows10-x64"), !c.bInstallerRuns);
    EXPECT_EQ(ReadBytes(log), (c.bInstallerRuns ? std::string(kStandinLogText) : std::string()) + kLogRecord);
    EXPECT_FALSE(PathExists(Staging()));
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ReadOnlyLeftover,
    ::testing::Values(
        // Control: the same extraction without "/s" asks.
        LeftoverCase{"ExtractionWithoutSilentSwitch", L"\"/vEXTRACTDRIVERS=<drv> LOGFILE=<log>\"", {Answer::Yes}, false},
        LeftoverCase{"ExtractionWithSilentSwitch", L"/s \"/vEXTRACTDRIVERS=<drv> LOGFILE=<log>\"", {}, false},
        // A second keyword argument after "/s": the run stays silent and asks nothing.
        LeftoverCase{"SecondKeywordArgumentAfterSilentSwitch", L"/s /vFORCE=TRUE \"/vLOGFILE=<log>\"", {}, true},
        // Control: an interactive install asks.
        LeftoverCase{"InteractiveInstall", L"\"/vLOGFILE=<log>\"", {Answer::Yes}, true},
        LeftoverCase{"SilentInstallOfAReadOnlyPackage", L"/s /vLOGFILE=<log>", {}, true, true}),
    CaseName());

}  // namespace
