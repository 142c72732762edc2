// An interactive driver extraction over an earlier one whose driver is read-only asks whether
// to delete it. Whatever keeps part of the old folder (the answer No, Cancel, an entry that
// vanished under the delete) fails the run: old drivers among new ones under a success would be
// installed as if they were this package's.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>

#include "support/FileUtil.h"
#include "support/MessageBoxAnswerer.h"
#include "support/NamedCase.h"
#include "support/ProgramFixture.h"

namespace {

using Answer = MessageBoxAnswerer::Answer;

constexpr DWORD kBoxWaitMs = 60000;

struct KeptCase : NamedCase {
    Answer answer;
    bool bRemoveLaterEntry;  // while the question is open, the entry listed after the old driver goes
    const char* pszFailureTail;  // what follows the path in the trace's failure line
    const wchar_t* pszNamedEntry;  // the entry the failure names, below the extraction folder
    bool bOldDriverStays;
};

class OldExtractionKept : public ProgramTest, public ::testing::WithParamInterface<KeptCase> {};

TEST_P(OldExtractionKept, FailsNamingWhatStayedAndWhy) {
    const KeptCase& c = GetParam();
    MakePackage();
    const std::wstring production = m_folder / L"Drivers\\production";
    const std::wstring oldDriver = production + L"\\Windows7-x86\\old.sys";
    const std::wstring later = production + L"\\zz-later.txt";  // listed after the driver's folder
    const std::wstring log = m_folder / L"extract.log";
    WriteBytes(oldDriver, "driver of an earlier extraction");
    SetReadOnly(oldDriver, true);
    WriteBytes(later, "of an earlier extraction");

    bool bAsked = false;
    std::wstring question;
    std::thread user([&] {
        // The run's own question: this test started the run.
        bAsked = WaitForBoxOfThisTest(L"Warning", kBoxWaitMs) != nullptr;
        if (bAsked && c.bRemoveLaterEntry) DeleteFileW(later.c_str());
        MessageBoxAnswerer answerer({c.answer});
        if (answerer.WaitAllAnswered(bAsked ? 10000 : 0)) question = answerer.Texts().front();
    });
    const ProgramOutcome outcome = Run(L"\"/vEXTRACTDRIVERS=" + (m_folder / L"Drivers") + L" LOGFILE=" + log + L"\"");
    user.join();

    ASSERT_TRUE(bAsked) << "the run asked nothing about the read-only driver";
    EXPECT_EQ(question, L"old.sys is read olny. Do you want delete it?");
    EXPECT_EQ(outcome.dwExitCode, 1603u);
    ExpectTraceEndsWith({"failed: remove the old driver folder, path \"" + ConsoleBytes(production + c.pszNamedEntry) +
                             "\"" + c.pszFailureTail,
                         "run ended: result CannotCreateFolder (8), exit code 1603"});
    EXPECT_EQ(PathExists(oldDriver), c.bOldDriverStays);
    EXPECT_FALSE(PathExists(production + L"\\Windows10-x64")) << "new drivers were laid out next to old ones";
    EXPECT_FALSE(PathExists(log)) << "a failed run writes no result log";
    EXPECT_TRUE(IsFolder(Staging() + L"\\Windows")) << "a failed run leaves the staging folder";
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, OldExtractionKept,
    ::testing::Values(
        KeptCase{"AnswerNo", Answer::No, false, ": kept: the answer to the read-only question was No",
                 L"\\Windows7-x86\\old.sys", true},
        KeptCase{"Cancel", Answer::Cancel, false,
                 ": kept: the read-only question was cancelled, which stopped the delete", L"\\Windows7-x86\\old.sys",
                 true},
        // The answer Yes lets the driver go; the entry that was listed and is gone leaves open
        // what else changed in the folder meanwhile.
        KeptCase{"EntryVanishedWhileAsked", Answer::Yes, true, ", Win32 error 2: ", L"\\zz-later.txt", false}),
    CaseName());

}  // namespace
