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

// A code that is no Win32 error is named in its own number system, in hex, with its meaning:
// SetupAPI's own codes have no text in the system's table, so the trace carries theirs.
struct ErrorCodeCase : NamedCase {
    unsigned long dwCode;
    const wchar_t* pszSystemText;  // what the system's table gave, if anything
    const wchar_t* pszEnd;         // the failure's text after the path
};

class FailureErrorCode : public ::testing::TestWithParam<ErrorCodeCase> {};

TEST_P(FailureErrorCode, IsNamedInItsOwnNumberSystemWithItsMeaning) {
    StepFailure failure;
    failure.Set(L"driver version not read: read the INF", L"C:\\s\\a.INF", GetParam().dwCode);
    EXPECT_EQ(DescribeStepFailure(failure, GetParam().pszSystemText),
              std::wstring(L"driver version not read: read the INF, path \"C:\\s\\a.INF\", ") + GetParam().pszEnd);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, FailureErrorCode,
    ::testing::Values(
        ErrorCodeCase{{"Win32"}, 2, L"The system cannot find the file specified.\r\n",
                      L"Win32 error 2: The system cannot find the file specified."},
        ErrorCodeCase{{"LargestWin32"}, 0xFFFF, L"System error 65535", L"Win32 error 65535: System error 65535"},
        ErrorCodeCase{{"NoVersionSection"}, 0xE0000000, L"System error 0xE0000000",
                      L"SetupAPI error 0xE0000000: no [Version] section: a section name was expected and not found"},
        ErrorCodeCase{{"NotAnInf"}, 0xE0000003, L"", L"SetupAPI error 0xE0000003: not an INF: its syntax is wrong"},
        ErrorCodeCase{{"WrongInfStyle"}, 0xE0000100, L"",
                      L"SetupAPI error 0xE0000100: wrong INF style: the INF is not of the style asked for"},
        ErrorCodeCase{{"SectionNotFound"}, 0xE0000101, L"", L"SetupAPI error 0xE0000101: section not found"},
        ErrorCodeCase{{"LineNotFound"}, 0xE0000102, L"", L"SetupAPI error 0xE0000102: line not found"},
        // One SetupAPI has no meaning here for keeps what the system's table said.
        ErrorCodeCase{{"OtherSetupApiCode"}, 0xE0000203, L"System error 0xE0000203",
                      L"SetupAPI error 0xE0000203: System error 0xE0000203"},
        ErrorCodeCase{{"NtStatus"}, 0xC0000034, L"Object Name not found.\r\n",
                      L"NTSTATUS 0xC0000034: Object Name not found."},
        ErrorCodeCase{{"Hresult"}, 0x8007000E, L"Not enough memory resources are available.\r\n",
                      L"error 0x8007000E: Not enough memory resources are available."}),
    CaseName());

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
