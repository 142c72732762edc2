// What the run's trace says about a command line: the arguments that changed nothing, and for a
// refused one the text and why.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "invocation/CommandLine.h"
#include "support/NamedCase.h"

namespace {

struct ReadingCase : NamedCase {
    std::vector<std::wstring> args;
    std::vector<std::wstring> ignored;
    std::wstring refusedText;  // empty: accepted
    std::wstring refusal;
};

const wchar_t kNeitherOnNorOff[] = L"a value that is neither on (TRUE, YES, ON, 1) nor off (FALSE, NO, OFF, 0)";

class CommandLineReadingTest : public ::testing::TestWithParam<ReadingCase> {};

TEST_P(CommandLineReadingTest, NamesIgnoredArgumentsAndTheRefusedText) {
    const ReadingCase& c = GetParam();
    std::vector<const wchar_t*> argv = {L"NicUpdate.exe"};
    for (const std::wstring& arg : c.args) argv.push_back(arg.c_str());
    argv.push_back(nullptr);
    RunOptions options{};
    CommandLineReading reading;
    const int nResult = ParseCommandLine(options, static_cast<int>(c.args.size() + 1), argv.data(), reading);
    EXPECT_EQ(nResult != 0, !c.refusedText.empty());
    EXPECT_EQ(reading.ignored, c.ignored);
    EXPECT_EQ(reading.refusedText, c.refusedText);
    EXPECT_EQ(reading.refusal, c.refusal);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineReadingTest,
    ::testing::Values(
        ReadingCase{"NothingIgnored", {L"/s", L"/vFORCE=TRUE", L"LOGFILE=C:\\r.log"}, {}, L"", L""},
        ReadingCase{"ConsumedBySilent", {L"/s", L"/h"}, {L"/h"}, L"", L""},
        ReadingCase{"ConsumedSwitchAndItsFolder", {L"/s", L"/extract_all", L"C:\\Out"}, {L"/extract_all", L"C:\\Out"},
                    L"", L""},
        ReadingCase{"UnknownAndCapitalV", {L"/q", L"/VFORCE=TRUE"}, {L"/q", L"/VFORCE=TRUE"}, L"", L""},
        ReadingCase{"ModeConflict", {L"/?", L"/s"}, {}, L"/s", L"a mode switch after the mode was already chosen"},
        ReadingCase{"DriverFolderWithoutBlank", {L"/s", L"/vEXTRACTDRIVERS=C:\\Drv"}, {}, L"/vEXTRACTDRIVERS=C:\\Drv",
                    L"the driver folder is not followed by a blank"},
        ReadingCase{"ForceWithoutEquals", {L"/x", L"/vFORCE"}, {L"/x"}, L"/vFORCE", L"FORCE is not followed by \"=\""},
        ReadingCase{"LogNobodyReads", {L"/s", L"LOGFILE=C:\\r.log"}, {}, L"LOGFILE=C:\\r.log",
                    L"a result log that no keyword argument reads (LOGFILE= belongs in the /v text, or after a FORCE "
                    L"group)"},
        ReadingCase{"ExtractAllWithoutFolder", {L"/extract_all"}, {}, L"/extract_all",
                    L"/extract_all without the folder after it"},
        // A value is named with its keyword, as the keyword text holds it (upper-cased).
        ReadingCase{"ForceValueNeitherOnNorOff", {L"/s", L"/vFORCE=treu"}, {}, L"FORCE=TREU", kNeitherOnNorOff},
        ReadingCase{"AuxMacValueEmpty", {L"/s", L"/vFORCE=TRUE ENAUXMAC="}, {}, L"ENAUXMAC=", kNeitherOnNorOff},
        ReadingCase{"InstallerCodeValue", {L"/s", L"/vINSTALLERCODE=MAYBE LOGFILE=C:\\r.log"}, {}, L"INSTALLERCODE=MAYBE",
                    kNeitherOnNorOff},
        ReadingCase{"LingerValue", {L"/s", L"/vLINGER=1441"}, {}, L"LINGER=1441",
                    L"not a whole number of minutes from 0 to 1440"},
        ReadingCase{"DriverFolderWithForce", {L"/s", L"/vEXTRACTDRIVERS=C:\\Drv FORCE=TRUE"}, {},
                    L"/vEXTRACTDRIVERS=C:\\Drv FORCE=TRUE",
                    L"EXTRACTDRIVERS= names a driver folder and FORCE= asks for an install; a run does one of them"},
        ReadingCase{"FreshInstallThenDriverFolder", {L"/vFRESHINSTALL=TRUE", L"/vEXTRACTDRIVERS=C:\\Drv "}, {},
                    L"/vEXTRACTDRIVERS=C:\\Drv ",
                    L"EXTRACTDRIVERS= names a driver folder and FRESHINSTALL= asks for an install; a run does one of "
                    L"them"}),
    CaseName());

TEST(CommandLineReadingLine, NamesModeFlagsLogDriverFolderInstallerCodeLingerAndIgnoredArguments) {
    RunOptions options{};
    options.nMode = ModeExtractDrivers;
    options.bForce = true;
    options.bEnableAuxMac = false;
    options.bInstallerCode = true;
    options.nLingerMinutes = 90;
    std::wstring(L"C:\\MY DRIVERS\\production").copy(options.szDriverPath, kMaxPathChars - 1);
    CommandLineReading reading;
    reading.ignored = {L"/h", L"C:\\Out"};
    EXPECT_EQ(DescribeCommandLineReading(options, reading),
              L"command line read: mode driver extraction, FORCE TRUE, AUX MAC FALSE, result log none, driver folder "
              L"C:\\MY DRIVERS\\production, INSTALLERCODE TRUE, LINGER 90 minutes, ignored [/h] [C:\\Out]");
}

}  // namespace
