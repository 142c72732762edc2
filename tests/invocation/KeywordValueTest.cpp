// What a keyword's value means: on, off, minutes, or nothing the run may act on.
#include <gtest/gtest.h>

#include <string>

#include "invocation/KeywordValue.h"
#include "support/NamedCase.h"

namespace {

struct SwitchCase : NamedCase {
    std::wstring value;
    SwitchValue expected;
};

class SwitchValueRule : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(SwitchValueRule, MeansWhatItSaysOrNeither) {
    EXPECT_EQ(ReadSwitchValue(GetParam().value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, SwitchValueRule,
    ::testing::Values(SwitchCase{{"True"}, L"TRUE", SwitchValue::On}, SwitchCase{{"Yes"}, L"YES", SwitchValue::On},
                      SwitchCase{{"On"}, L"ON", SwitchValue::On}, SwitchCase{{"One"}, L"1", SwitchValue::On},
                      SwitchCase{{"MixedCase"}, L"tRuE", SwitchValue::On},
                      SwitchCase{{"BlankAfter"}, L"TRUE ", SwitchValue::On},
                      SwitchCase{{"BlankBefore"}, L" TRUE", SwitchValue::On},
                      SwitchCase{{"TabsAndLineBreak"}, L"\tyes\r\n", SwitchValue::On},
                      SwitchCase{{"False"}, L"FALSE", SwitchValue::Off}, SwitchCase{{"No"}, L"no", SwitchValue::Off},
                      SwitchCase{{"Off"}, L"Off", SwitchValue::Off}, SwitchCase{{"Zero"}, L"0", SwitchValue::Off},
                      SwitchCase{{"Misspelt"}, L"TREU", SwitchValue::Neither},
                      SwitchCase{{"Empty"}, L"", SwitchValue::Neither},
                      SwitchCase{{"BlanksOnly"}, L"  ", SwitchValue::Neither},
                      SwitchCase{{"Two"}, L"2", SwitchValue::Neither},
                      SwitchCase{{"LeadingZero"}, L"01", SwitchValue::Neither},
                      SwitchCase{{"Prefix"}, L"TRU", SwitchValue::Neither},
                      SwitchCase{{"Longer"}, L"TRUEE", SwitchValue::Neither},
                      SwitchCase{{"BlankInside"}, L"O N", SwitchValue::Neither},
                      SwitchCase{{"FullWidthLetters"}, L"\uFF2F\uFF2E", SwitchValue::Neither}),
    CaseName());

struct LingerCase : NamedCase {
    std::wstring value;
    bool bAccepted;
    int nMinutes;  // when accepted
};

class LingerValueRule : public ::testing::TestWithParam<LingerCase> {};

TEST_P(LingerValueRule, IsAWholeNumberOfMinutesUpToOneDay) {
    int nMinutes = -7;
    EXPECT_EQ(ReadLingerMinutes(GetParam().value, nMinutes), GetParam().bAccepted);
    EXPECT_EQ(nMinutes, GetParam().bAccepted ? GetParam().nMinutes : -7) << "a refused value changes nothing";
}

INSTANTIATE_TEST_SUITE_P(
    Values, LingerValueRule,
    ::testing::Values(LingerCase{{"Zero"}, L"0", true, 0}, LingerCase{{"Fifteen"}, L"15", true, 15},
                      LingerCase{{"OneDay"}, L"1440", true, 1440}, LingerCase{{"BlanksAround"}, L" 60\t", true, 60},
                      LingerCase{{"LeadingZeros"}, L"0005", true, 5},
                      LingerCase{{"OverOneDay"}, L"1441", false, 0},
                      LingerCase{{"BeyondAnInt"}, L"4294967296", false, 0},
                      LingerCase{{"Negative"}, L"-1", false, 0}, LingerCase{{"Plus"}, L"+1", false, 0},
                      LingerCase{{"Fraction"}, L"1.5", false, 0}, LingerCase{{"Empty"}, L"", false, 0},
                      LingerCase{{"BlankInside"}, L"1 5", false, 0}, LingerCase{{"Word"}, L"TRUE", false, 0},
                      LingerCase{{"ArabicIndicDigit"}, L"\u0661", false, 0}),
    CaseName());

}  // namespace
