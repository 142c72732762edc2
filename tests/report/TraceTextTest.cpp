// The trace's text rules: what an administrator reads and what a collector splits into runs.
#include <gtest/gtest.h>

#include <string>

#include "report/TraceText.h"
#include "support/NamedCase.h"

namespace {

struct Utf8Case : NamedCase {
    std::wstring text;
    std::string utf8;
};

class TraceUtf8 : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(TraceUtf8, EncodesAsUtf8) { EXPECT_EQ(ToUtf8(GetParam().text), GetParam().utf8); }

INSTANTIATE_TEST_SUITE_P(Cases, TraceUtf8,
                         ::testing::Values(Utf8Case{{"Ascii"}, L"C:\\Windows\\Temp", "C:\\Windows\\Temp"},
                                           Utf8Case{{"TwoBytes"}, L"\u00e9", "\xc3\xa9"},
                                           Utf8Case{{"ThreeBytes"}, L"\u20ac", "\xe2\x82\xac"},
                                           Utf8Case{{"SurrogatePair"}, L"\xd83d\xde00", "\xf0\x9f\x98\x80"},
                                           Utf8Case{{"LoneSurrogate"}, L"a\xd800z", "a\xef\xbf\xbdz"}),
                         CaseName());

TEST(TraceText, EveryLineNamesTheProcessAndEndsInCrLf) {
    EXPECT_EQ(FormatTraceLine(4242, L"staging folder created"), L"[pid 4242] staging folder created\r\n");
}

TEST(TraceText, ALineBreakInAValueCannotStartAForgedLine) {
    EXPECT_EQ(FormatTraceLine(7, L"path C:\\a\r\n[pid 8] run ended"), L"[pid 7] path C:\\a  [pid 8] run ended\r\n");
}

struct TimeCase : NamedCase {
    TraceClock clock;
    const wchar_t* pszText;
};

class TraceTime : public ::testing::TestWithParam<TimeCase> {};

// ISO 8601 with milliseconds and the offset from UTC, whole and part hours, east and west.
TEST_P(TraceTime, CarriesMillisecondsAndTheUtcOffset) {
    EXPECT_EQ(FormatTraceTime(GetParam().clock), GetParam().pszText);
}

INSTANTIATE_TEST_SUITE_P(
    Zones, TraceTime,
    ::testing::Values(TimeCase{{"Utc"}, {2026, 1, 2, 3, 4, 5, 6, 0}, L"2026-01-02T03:04:05.006+00:00"},
                      TimeCase{{"EastHalfHour"}, {2026, 12, 11, 23, 59, 59, 999, 330}, L"2026-12-11T23:59:59.999+05:30"},
                      TimeCase{{"WestPartHour"}, {2026, 6, 30, 0, 0, 0, 0, -210}, L"2026-06-30T00:00:00.000-03:30"}),
    CaseName());

TEST(TraceText, FailureNamesStepPathErrorAndTextWithoutTrailingBreak) {
    StepFailure failure;
    failure.Set(L"copy the package", L"C:\\x\\a.inf", 32);
    EXPECT_EQ(DescribeStepFailure(failure, L"Sharing violation.\r\n"),
              L"copy the package, path \"C:\\x\\a.inf\", Win32 error 32: Sharing violation.");
}

TEST(TraceText, AFindingWithoutWin32ErrorSaysWhatWasFound) {
    StepFailure failure;
    failure.SetFinding(L"copy the package", L"C:\\out.txt", L"Wrong operation");
    EXPECT_EQ(DescribeStepFailure(failure, L"ignored"), L"copy the package, path \"C:\\out.txt\": Wrong operation");
}

TEST(TraceText, LastLineNamesResultAndExitCode) {
    EXPECT_EQ(FormatRunEnd(13, 1618), L"run ended: result AnotherRunActive (13), exit code 1618");
    EXPECT_EQ(FormatRunEnd(99, 1603), L"run ended: result Unknown (99), exit code 1603");
}

}  // namespace
