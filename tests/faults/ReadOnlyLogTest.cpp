// A result log that already exists read-only: the run must remove it before it can make the
// log anew, and an interactive run asks first.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "support/FileUtil.h"
#include "support/MessageBoxAnswerer.h"
#include "support/NamedCase.h"
#include "support/ProgramFixture.h"

namespace {

using Answer = MessageBoxAnswerer::Answer;

struct ReadOnlyLogCase : NamedCase {
    bool bSilent;
    std::vector<Answer> answers;  // to the read-only question; a silent run asks none
    DWORD dwExitCode;
    bool bReplaced;  // false: the old log stays as it was
};

class ReadOnlyLog : public ProgramTest, public ::testing::WithParamInterface<ReadOnlyLogCase> {};

TEST_P(ReadOnlyLog, IsReplacedOnlyWhenItMayBeDeleted) {
    const ReadOnlyLogCase& c = GetParam();
    MakePackage();
    const std::string before = TreeDigest(Root());
    const std::wstring log = m_folder / L"run.log";
    const std::string oldLog = "result log of an earlier run\r\n";
    WriteBytes(log, oldLog);
    SetReadOnly(log, true);
    MessageBoxAnswerer answerer(c.answers);

    ProgramOutcome outcome = Run(c.bSilent ? L"/s /vLOGFILE=" + log : L"\"/vLOGFILE=" + log + L"\"");

    EXPECT_EQ(outcome.dwExitCode, c.dwExitCode);
    EXPECT_TRUE(answerer.WaitAllAnswered(1000));
    std::vector<std::wstring> expectedTexts;
    // The parser upper-cases the log path, so the question names the file in capitals.
    if (!c.answers.empty()) expectedTexts.push_back(L"RUN.LOG is read olny. Do you want delete it?");
    EXPECT_EQ(answerer.Texts(), expectedTexts);
    EXPECT_EQ(answerer.UnexpectedCount(), 0u) << answerer.DescribeUnexpected();
    if (c.bReplaced) {
        EXPECT_EQ(ReadBytes(log), std::string(kStandinLogText) + kLogRecord);
        EXPECT_EQ(GetFileAttributesW(log.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
        EXPECT_FALSE(PathExists(Staging()));
    } else {
        EXPECT_EQ(ReadBytes(log), oldLog);
        EXPECT_NE(GetFileAttributesW(log.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
        EXPECT_TRUE(IsFolder(Staging() + L"\\Windows")) << "a failed run leaves the staging folder";
    }
    EXPECT_TRUE(InstallerRan());
    EXPECT_EQ(TreeDigest(Root()), before);
}

INSTANTIATE_TEST_SUITE_P(
    ReadOnlyLog, ReadOnlyLog,
    ::testing::Values(
        // Nobody is there to answer: the file goes as if the answer were Yes.
        ReadOnlyLogCase{"SilentRunReplacesIt", true, {}, 0, true},
        ReadOnlyLogCase{"AnswerYesReplacesIt", false, {Answer::Yes}, 0, true},
        // A kept log cannot be made anew, so the run fails without touching it.
        ReadOnlyLogCase{"AnswerNoKeepsItAndFails", false, {Answer::No}, 1603, false},
        ReadOnlyLogCase{"CancelKeepsItAndFails", false, {Answer::Cancel}, 1603, false}),
    CaseName());

}  // namespace
