#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "invocation/CommandLine.h"
#include "support/NamedCase.h"

namespace {

// One command line and the record it must leave; unset expectations are the initial values.
struct ParseCase : NamedCase {
    std::vector<std::wstring> args;  // after the program's own path
    int nResult = 0;
    int nMode = ModeInstall;
    std::wstring target, driver, log;
    bool bForce = false;
    bool bEnableAuxMac = true;
    bool bInstallerCode = false;
    int nLingerMinutes = kDefaultLingerMinutes;

    ParseCase(const char* pszCaseName, std::vector<std::wstring> arguments, int result, int mode)
        : NamedCase{pszCaseName}, args(std::move(arguments)), nResult(result), nMode(mode) {}
    ParseCase& Target(std::wstring path) { target = std::move(path); return *this; }
    ParseCase& Driver(std::wstring path) { driver = std::move(path); return *this; }
    ParseCase& Log(std::wstring path) { log = std::move(path); return *this; }
    ParseCase& Force() { bForce = true; return *this; }
    ParseCase& NoAuxMac() { bEnableAuxMac = false; return *this; }
    ParseCase& AuxMac() { bEnableAuxMac = true; return *this; }
    ParseCase& InstallerCode() { bInstallerCode = true; return *this; }
    ParseCase& Linger(int nMinutes) { nLingerMinutes = nMinutes; return *this; }
};

std::wstring Chars(std::size_t count, wchar_t ch = L'A') { return std::wstring(count, ch); }

const std::wstring k259 = L"C:\\" + Chars(256);
const std::wstring k260 = L"C:\\" + Chars(257);
const std::wstring k248 = L"C:\\" + Chars(245);  // the longest folder that "\production" fits
const std::wstring k249 = L"C:\\" + Chars(246);

std::vector<ParseCase> DocumentedCases() {
    return {
        ParseCase("NoArguments", {}, 0, ModeInstall),
        ParseCase("QuestionMark", {L"/?"}, 0, ModeUsage),
        ParseCase("CapitalH", {L"/H"}, 0, ModeUsage),
        ParseCase("QuestionMarkThenH", {L"/?", L"/h"}, 1, ModeInvalid),
        ParseCase("ExtractAllKeepsCase", {L"/extract_all", L"C:\\Out"}, 0, ModeExtractAll).Target(L"C:\\Out"),
        ParseCase("ExtractAllWithoutPath", {L"/extract_all"}, 3, ModeInvalid),
        ParseCase("ExtractAllColonForm", {L"/extract_all:C:\\Out"}, 0, ModeExtractAll).Target(L"C:\\Out"),
        ParseCase("Silent", {L"/s"}, 0, ModeSilentInstall),
        ParseCase("SilentThenQuestionMark", {L"/s", L"/?"}, 0, ModeUsage),
        ParseCase("SilentConsumesH", {L"/s", L"/h"}, 0, ModeSilentInstall),
        ParseCase("SilentConsumesExtractAll", {L"/s", L"/extract_all", L"C:\\Out"}, 0, ModeSilentInstall),
        ParseCase("SilentExtractDriversWithLog", {L"/s", L"/vEXTRACTDRIVERS=C:\\Drv LOGFILE=C:\\r.log"}, 0,
                  ModeExtractDrivers)
            .Driver(L"C:\\DRV\\production")
            .Log(L"C:\\R.LOG"),
        ParseCase("ExtractDriversWithoutBlank", {L"/s", L"/vEXTRACTDRIVERS=C:\\Drv"}, 3, ModeInvalid),
        ParseCase("ExtractDriversTrailingBlank", {L"/s", L"/vEXTRACTDRIVERS=C:\\Drv "}, 0, ModeExtractDrivers)
            .Driver(L"C:\\DRV\\production"),
        ParseCase("ExtractDriversFolderKeepsBlank",
                  {L"/s", L"/vEXTRACTDRIVERS=C:\\My Drivers LOGFILE=C:\\r.log"}, 0, ModeExtractDrivers)
            .Driver(L"C:\\MY DRIVERS\\production")
            .Log(L"C:\\R.LOG"),
        ParseCase("QuietFlagThenLog", {L"/s", L"/v/qn LOGFILE=C:\\r.log"}, 0, ModeSilentInstall).Log(L"C:\\R.LOG"),
        ParseCase("LogKeepsInnerBlank", {L"/s", L"/vLOGFILE=C:\\Logs\\run 1.log"}, 0, ModeSilentInstall)
            .Log(L"C:\\LOGS\\RUN 1.LOG"),
        ParseCase("ForceAuxMacLogFromNextArgument",
                  {L"/s", L"/vFORCE=TRUE ENAUXMAC=FALSE", L"LOGFILE=C:\\r.log"}, 0, ModeSilentInstall)
            .Force()
            .NoAuxMac()
            .Log(L"C:\\R.LOG"),
        ParseCase("LogAfterForceInSameArgument", {L"/s", L"/vFORCE=TRUE LOGFILE=C:\\r.log"}, 0, ModeSilentInstall)
            .Force()
            .Log(L"C:\\R.LOG"),
        // White space around a value is no part of it.
        ParseCase("ForceValueTrailingBlankTrimmed", {L"/s", L"/vFORCE=true "}, 0, ModeSilentInstall).Force(),
        ParseCase("ForceValueLeadingBlankTrimmed", {L"/s", L"/vFORCE = TRUE"}, 0, ModeSilentInstall).Force(),
        ParseCase("ForceWithoutEquals", {L"/s", L"/vFORCE"}, 3, ModeInvalid),
        ParseCase("FreshInstallForceAuxMac", {L"/s", L"/vFRESHINSTALL=TRUE FORCE=TRUE ENAUXMAC=FALSE"}, 0,
                  ModeSilentInstall)
            .Force()
            .NoAuxMac(),
        ParseCase("FreshInstallAuxMacWithoutForce", {L"/s", L"/vFRESHINSTALL=TRUE ENAUXMAC=FALSE"}, 0,
                  ModeSilentInstall)
            .NoAuxMac(),
        ParseCase("AuxMacLeads", {L"/s", L"/vENAUXMAC=FALSE"}, 0, ModeSilentInstall).NoAuxMac(),
        ParseCase("StandAloneForce", {L"/vFORCE=TRUE"}, 0, ModeInstall).Force(),
        ParseCase("StandAloneNeedsLowerCaseV", {L"/VFORCE=TRUE"}, 0, ModeInstall),
        ParseCase("SecondKeywordArgumentKeepsSilent", {L"/s", L"/vFORCE=TRUE", L"/vLOGFILE=C:\\r.log"}, 0,
                  ModeSilentInstall)
            .Force()
            .Log(L"C:\\R.LOG"),
        ParseCase("KeywordGroupReplacesUsage", {L"/?", L"/vFORCE=TRUE"}, 0, ModeInstall).Force(),
        ParseCase("ExtractDriversAfterExtractAll", {L"/extract_all", L"C:\\Out", L"/vEXTRACTDRIVERS=C:\\Drv "}, 0,
                  ModeExtractDrivers)
            .Target(L"C:\\Out")
            .Driver(L"C:\\DRV\\production"),
        ParseCase("SilentAfterExtractDriversConflicts", {L"/vEXTRACTDRIVERS=C:\\Drv ", L"/s"}, 1, ModeInvalid)
            .Driver(L"C:\\DRV\\production"),
        ParseCase("LastKeywordArgumentWins", {L"/vFORCE=TRUE", L"/vFORCE=FALSE"}, 0, ModeInstall),
    };
}

std::vector<ParseCase> SwitchCases() {
    return {
        ParseCase("SwitchesIgnoreCase", {L"/EXTRACT_ALL", L"c:\\out"}, 0, ModeExtractAll).Target(L"c:\\out"),
        ParseCase("ExtractAllTakesSwitchAsPath", {L"/extract_all", L"/s"}, 0, ModeExtractAll).Target(L"/s"),
        ParseCase("UsageThenExtractAllConflicts", {L"/h", L"/extract_all", L"C:\\Out"}, 1, ModeInvalid),
        ParseCase("SilentTwiceConsumesSecond", {L"/s", L"/s"}, 0, ModeSilentInstall),
        ParseCase("SilentAgainConflicts", {L"/s", L"x", L"/S"}, 1, ModeInvalid),
        ParseCase("SilentThenTextBeginningWithQuestionMark", {L"/s", L"/?anything"}, 0, ModeUsage),
        ParseCase("SilentAcceptsCapitalV", {L"/s", L"/VFORCE=TRUE"}, 0, ModeSilentInstall).Force(),
        ParseCase("KeywordInsideArgumentLosesFirstTwoCharacters", {L"x/vFORCE=TRUE"}, 0, ModeInstall),
        ParseCase("LowerCaseKeywords", {L"/vforce=true enauxmac=false"}, 0, ModeInstall).Force().NoAuxMac(),
        ParseCase("NonAsciiLettersKeepTheirCase", {L"/s", L"/vLOGFILE=C:\\\u00e4.log"}, 0, ModeSilentInstall)
            .Log(L"C:\\\u00e4.LOG"),
    };
}

std::vector<ParseCase> KeywordTextCases() {
    return {
        // Quotes keep the blanks of keyword text, so it may lead or trail with white space.
        ParseCase("QuotedTextLeadingBlank", {L"/v FORCE=TRUE"}, 0, ModeInstall).Force(),
        ParseCase("LogKeepsTrailingBlanks", {L"/s", L"/vLOGFILE=  C:\\r.log  "}, 0, ModeSilentInstall)
            .Log(L"C:\\R.LOG  "),
        ParseCase("TabsAroundForceEquals", {L"/s", L"/v\tFORCE\t=TRUE"}, 0, ModeSilentInstall).Force(),
        ParseCase("IdeographicSpaceIsWhiteSpace", {L"/s", L"/v\u3000LOGFILE=\u3000C:\\x"}, 0, ModeSilentInstall)
            .Log(L"C:\\X"),
        ParseCase("TabDoesNotEndDriverFolder", {L"/s", L"/vEXTRACTDRIVERS=C:\\Drv\tLOGFILE=x"}, 3, ModeInvalid),
        ParseCase("DriverFolderEqualsNotChecked", {L"/s", L"/vEXTRACTDRIVERSXC:\\Drv "}, 0, ModeExtractDrivers)
            .Driver(L"C:\\DRV\\production"),
        ParseCase("QuietDriversAndLog", {L"/s", L"/v/QN EXTRACTDRIVERS=C:\\Drv LOGFILE=C:\\r.log"}, 0,
                  ModeExtractDrivers)
            .Driver(L"C:\\DRV\\production")
            .Log(L"C:\\R.LOG"),
        ParseCase("ForceGroupAfterDriversRefused", {L"/s", L"/vEXTRACTDRIVERS=C:\\Drv FORCE=TRUE"}, 3, ModeInvalid)
            .Driver(L"C:\\DRV\\production")
            .Force(),
        ParseCase("NextArgumentLogIsUpperCased", {L"/s", L"/vFORCE=TRUE", L"logfile=c:\\r.log"}, 0,
                  ModeSilentInstall)
            .Force()
            .Log(L"C:\\R.LOG"),
        // The next argument's text is looked at once more as keyword text after the FORCE group.
        ParseCase("NextArgumentLogReadTwice", {L"/s", L"/vFORCE=TRUE", L"LOGFILE=LOGFILE=X"}, 0,
                  ModeSilentInstall)
            .Force()
            .Log(L"X"),
    };
}

std::vector<ParseCase> ValueRuleCases() {
    return {
        ParseCase("ValueEndsAtLastBlankBeforeEquals", {L"/s", L"/vFORCE=TRUE  ENAUXMAC=FALSE"}, 0,
                  ModeSilentInstall)
            .Force()
            .NoAuxMac(),
        // The value "TRUEENAUXMAC" is neither on nor off.
        ParseCase("ValueWithoutBlankRunsToNextKeyword", {L"/s", L"/vFORCE=TRUEENAUXMAC=FALSE"}, 3, ModeInvalid)
            .NoAuxMac(),
        ParseCase("EqualsFirstIsNoCut", {L"/s", L"/vFORCE==TRUE ENAUXMAC=FALSE"}, 3, ModeInvalid),
        ParseCase("BlankAtFrontDoesNotCut", {L"/s", L"/vFORCE= ENAUXMAC=FALSE"}, 3, ModeInvalid).NoAuxMac(),
        // The value takes the words before the last blank: "TRUE ENAUXMAC" is no value.
        ParseCase("ValueTakesWordsBeforeLastBlank", {L"/s", L"/vFORCE=TRUE ENAUXMAC ENAUXMAC=FALSE"}, 3, ModeInvalid),
        ParseCase("LaterKeywordArgumentSetsAuxMacAgain", {L"/vFORCE=TRUE ENAUXMAC=FALSE", L"/vFORCE=TRUE ENAUXMAC=true"}, 0,
                  ModeInstall)
            .Force(),
    };
}

std::vector<ParseCase> FreshInstallCases() {
    return {
        ParseCase("FreshInstallWithoutEquals", {L"/vFRESHINSTALL"}, 3, ModeInvalid),
        ParseCase("FreshInstallStandAloneIsInteractive", {L"/vFRESHINSTALL=TRUE"}, 0, ModeInstall),
        ParseCase("FreshInstallForce", {L"/s", L"/vFRESHINSTALL=TRUE FORCE=TRUE"}, 0, ModeSilentInstall).Force(),
        ParseCase("FreshInstallForceWithoutEquals", {L"/s", L"/vFRESHINSTALL=TRUE FORCE ENAUXMAC=FALSE"}, 0,
                  ModeSilentInstall)
            .NoAuxMac(),
        ParseCase("FreshInstallOnlyFirstForceCounts", {L"/s", L"/vFRESHINSTALL=TRUE NOFORCE FORCE=TRUE"}, 0,
                  ModeSilentInstall),
        ParseCase("FreshInstallLog", {L"/s", L"/vFRESHINSTALL=TRUE LOGFILE=C:\\r.log"}, 0, ModeSilentInstall)
            .Log(L"C:\\R.LOG"),
        // No FRESHINSTALL group reads the argument after it: a log named there is refused, not lost.
        ParseCase("FreshInstallNextArgumentLogRefused",
                  {L"/s", L"/vFRESHINSTALL=TRUE FORCE=TRUE", L"LOGFILE=C:\\r.log"}, 3, ModeInvalid)
            .Force(),
        // Its value "FORCE" opens a FORCE group that has no "=" left.
        ParseCase("FreshInstallValueForceIsMalformed", {L"/s", L"/vFRESHINSTALL=FORCE=TRUE"}, 3, ModeInvalid)
            .Force(),
    };
}

std::vector<ParseCase> LengthCases() {
    return {
        ParseCase("ExtractAllPathOf259Fits", {L"/extract_all", k259}, 0, ModeExtractAll).Target(k259),
        ParseCase("ExtractAllPathOf260Refused", {L"/extract_all", k260}, 3, ModeInvalid),
        ParseCase("DriverFolderOf248Fits", {L"/s", L"/vEXTRACTDRIVERS=" + k248 + L" "}, 0, ModeExtractDrivers)
            .Driver(k248 + L"\\production"),
        ParseCase("DriverFolderOf249Refused", {L"/s", L"/vEXTRACTDRIVERS=" + k249 + L" "}, 3, ModeInvalid),
        ParseCase("LogOf259Fits", {L"/s", L"/vLOGFILE=" + k259}, 0, ModeSilentInstall).Log(k259),
        ParseCase("LogOf260Refused", {L"/s", L"/vLOGFILE=" + k260}, 3, ModeInvalid),
        ParseCase("NextArgumentLogOf260Refused", {L"/s", L"/vFORCE=TRUE", L"LOGFILE=" + k260}, 3, ModeInvalid)
            .Force(),
        ParseCase("RefusalKeepsEarlierFields", {L"/extract_all", L"C:\\Out", L"/vLOGFILE=" + k260}, 3, ModeInvalid)
            .Target(L"C:\\Out"),
    };
}

// The forms a caller evidently means: each does what it says, or the parse refuses it.
std::vector<ParseCase> CallerIntentCases() {
    return {
        ParseCase("ExtractAllColonFormKeepsCase", {L"/extract_all:c:\\My Out"}, 0, ModeExtractAll)
            .Target(L"c:\\My Out"),
        ParseCase("ExtractAllColonFormWithoutFolder", {L"/extract_all:"}, 3, ModeInvalid),
        ParseCase("ExtractAllColonFormAfterUsageConflicts", {L"/?", L"/EXTRACT_ALL:C:\\Out"}, 1, ModeInvalid),
        ParseCase("SilentConsumesExtractAllColonForm", {L"/s", L"/extract_all:C:\\Out"}, 0, ModeSilentInstall),
        ParseCase("AuxMacThenLog", {L"/s", L"/vENAUXMAC=FALSE LOGFILE=C:\\r.log"}, 0, ModeSilentInstall)
            .NoAuxMac()
            .Log(L"C:\\R.LOG"),
        ParseCase("AuxMacThenForceGroup", {L"/s", L"/vENAUXMAC=FALSE FORCE=TRUE"}, 0, ModeSilentInstall)
            .Force()
            .NoAuxMac(),
        ParseCase("ForceGroupAuxMacComesLast", {L"/s", L"/vENAUXMAC=FALSE FORCE=TRUE ENAUXMAC=TRUE"}, 0,
                  ModeSilentInstall)
            .Force(),
        ParseCase("AuxMacTrueAfterDriverFolder", {L"/s", L"/vEXTRACTDRIVERS=C:\\Drv ENAUXMAC=TRUE"}, 0,
                  ModeExtractDrivers)
            .Driver(L"C:\\DRV\\production"),
        ParseCase("LogAfterForceGroupKeepsBlanks", {L"/s", L"/vFORCE=TRUE ENAUXMAC=FALSE LOGFILE=C:\\Logs\\run 1.log"},
                  0, ModeSilentInstall)
            .Force()
            .NoAuxMac()
            .Log(L"C:\\LOGS\\RUN 1.LOG"),
        ParseCase("LogTakesTheRestOfTheText", {L"/s", L"/vLOGFILE=C:\\a ENAUXMAC=FALSE"}, 0, ModeSilentInstall)
            .Log(L"C:\\A ENAUXMAC=FALSE"),
        ParseCase("LogInsideAWordIsNoKeyword", {L"/s", L"/vFORCE=TRUE XLOGFILE=C:\\r.log"}, 0, ModeSilentInstall)
            .Force(),
        ParseCase("DriverFolderWithBlankToTheEnd", {L"/s", L"/vEXTRACTDRIVERS=C:\\My Drivers "}, 0,
                  ModeExtractDrivers)
            .Driver(L"C:\\MY DRIVERS\\production"),
        ParseCase("DriverFolderEndsBeforeForceGroupRefused", {L"/s", L"/vEXTRACTDRIVERS=C:\\My Drivers FORCE=TRUE"}, 3,
                  ModeInvalid)
            .Driver(L"C:\\MY DRIVERS\\production")
            .Force(),
        ParseCase("ThirdArgumentKeywordsKeepSilent", {L"/s", L"x", L"/vFORCE=TRUE"}, 0, ModeSilentInstall).Force(),
        ParseCase("EmptyLogRefused", {L"/s", L"/vLOGFILE=  "}, 3, ModeInvalid),
        ParseCase("LogInTextAndNextArgumentRefused", {L"/s", L"/vFORCE=TRUE LOGFILE=C:\\a.log", L"LOGFILE=C:\\b.log"},
                  3, ModeInvalid)
            .Force(),
        ParseCase("LogConsumedBySilentRefused", {L"/s", L"LOGFILE=C:\\r.log"}, 3, ModeInvalid),
        ParseCase("LogOnItsOwnRefused", {L"logfile=C:\\r.log"}, 3, ModeInvalid),
    };
}

// Each value of an on/off keyword, wherever the keyword may stand: a value means what it says,
// or the parse refuses it.
std::vector<ParseCase> SwitchValueCases() {
    return {
        ParseCase("ForceOne", {L"/s", L"/vFORCE=1"}, 0, ModeSilentInstall).Force(),
        ParseCase("ForceYesLowerCase", {L"/s", L"/vforce=yes"}, 0, ModeSilentInstall).Force(),
        ParseCase("ForceOn", {L"/s", L"/vFORCE=ON"}, 0, ModeSilentInstall).Force(),
        ParseCase("ForceTabsAround", {L"/s", L"/vFORCE=\tTRUE\t"}, 0, ModeSilentInstall).Force(),
        ParseCase("ForceZeroAfterOne", {L"/vFORCE=1", L"/vFORCE=0"}, 0, ModeInstall),
        ParseCase("ForceNoAfterOne", {L"/vFORCE=1", L"/vFORCE=NO"}, 0, ModeInstall),
        ParseCase("ForceOffAfterOne", {L"/vFORCE=1", L"/vFORCE=OFF"}, 0, ModeInstall),
        ParseCase("ForceMisspelt", {L"/s", L"/vFORCE=TREU"}, 3, ModeInvalid),
        ParseCase("ForceEmpty", {L"/s", L"/vFORCE="}, 3, ModeInvalid),
        ParseCase("ForceTwo", {L"/s", L"/vFORCE=2"}, 3, ModeInvalid),
        ParseCase("ForceTwoWords", {L"/s", L"/vFORCE=YES PLEASE"}, 3, ModeInvalid),
        // Letters beyond ASCII are no case of the words.
        ParseCase("ForceFullWidthYes", {L"/s", L"/vFORCE=\uFF39\uFF25\uFF33"}, 3, ModeInvalid),
        ParseCase("AuxMacLeadingOne", {L"/s", L"/vENAUXMAC=1"}, 0, ModeSilentInstall),
        ParseCase("AuxMacLeadingZero", {L"/s", L"/vENAUXMAC=0"}, 0, ModeSilentInstall).NoAuxMac(),
        ParseCase("AuxMacInGroupYes", {L"/s", L"/vFORCE=NO ENAUXMAC=YES"}, 0, ModeSilentInstall),
        ParseCase("AuxMacInGroupOff", {L"/s", L"/vFORCE=NO ENAUXMAC=off"}, 0, ModeSilentInstall).NoAuxMac(),
        ParseCase("AuxMacInGroupTrailingBlank", {L"/s", L"/vFORCE=1 ENAUXMAC=FALSE "}, 0, ModeSilentInstall)
            .Force()
            .NoAuxMac(),
        ParseCase("AuxMacAfterDriverFolderNo", {L"/s", L"/vEXTRACTDRIVERS=C:\\Drv ENAUXMAC=NO"}, 0, ModeExtractDrivers)
            .Driver(L"C:\\DRV\\production")
            .NoAuxMac(),
        ParseCase("AuxMacInFreshInstallGroupOn", {L"/s", L"/vFRESHINSTALL=X FORCE=ON ENAUXMAC=ON"}, 0, ModeSilentInstall)
            .Force(),
        ParseCase("AuxMacMisspeltInGroup", {L"/s", L"/vFORCE=TRUE ENAUXMAC=TREU"}, 3, ModeInvalid),
        ParseCase("AuxMacEmptyLeading", {L"/s", L"/vENAUXMAC= LOGFILE=C:\\r.log"}, 3, ModeInvalid),
        ParseCase("AuxMacMisspeltAfterDriverFolder", {L"/s", L"/vEXTRACTDRIVERS=C:\\Drv ENAUXMAC=MAYBE"}, 3, ModeInvalid)
            .Driver(L"C:\\DRV\\production"),
        ParseCase("ForceMisspeltInFreshInstallGroup", {L"/s", L"/vFRESHINSTALL=TRUE FORCE=TREU"}, 3, ModeInvalid),
        // FRESHINSTALL's value still has no effect, whatever it is.
        ParseCase("FreshInstallValueWithoutEffect", {L"/s", L"/vFRESHINSTALL=MAYBE"}, 0, ModeSilentInstall),
    };
}

// INSTALLERCODE= and LINGER=, wherever they stand in the keyword text; the keywords around them
// read as they would without them.
std::vector<ParseCase> RunKeywordCases() {
    return {
        ParseCase("InstallerCodeAlone", {L"/s", L"/vINSTALLERCODE=TRUE"}, 0, ModeSilentInstall).InstallerCode(),
        ParseCase("InstallerCodeBeforeForceGroup", {L"/s", L"/vINSTALLERCODE=1 FORCE=TRUE ENAUXMAC=FALSE"}, 0,
                  ModeSilentInstall)
            .InstallerCode()
            .Force()
            .NoAuxMac(),
        ParseCase("InstallerCodeInsideForceGroup", {L"/s", L"/vFORCE=TRUE INSTALLERCODE=YES ENAUXMAC=FALSE"}, 0,
                  ModeSilentInstall)
            .InstallerCode()
            .Force()
            .NoAuxMac(),
        ParseCase("InstallerCodeBeforeLog", {L"/s", L"/vinstallercode=on LOGFILE=C:\\r.log"}, 0, ModeSilentInstall)
            .InstallerCode()
            .Log(L"C:\\R.LOG"),
        ParseCase("InstallerCodeAfterDriverFolder", {L"/s", L"/vEXTRACTDRIVERS=C:\\Drv INSTALLERCODE=TRUE LOGFILE=C:\\r.log"},
                  0, ModeExtractDrivers)
            .InstallerCode()
            .Driver(L"C:\\DRV\\production")
            .Log(L"C:\\R.LOG"),
        ParseCase("InstallerCodeOff", {L"/s", L"/vINSTALLERCODE=TRUE", L"/vINSTALLERCODE=OFF"}, 0, ModeSilentInstall),
        ParseCase("InstallerCodeMisspelt", {L"/s", L"/vINSTALLERCODE=TREU"}, 3, ModeInvalid),
        ParseCase("InstallerCodeEmpty", {L"/s", L"/vINSTALLERCODE="}, 3, ModeInvalid),
        // Inside the log path it is part of the path.
        ParseCase("InstallerCodeAfterLogIsThePath", {L"/s", L"/vLOGFILE=C:\\r.log INSTALLERCODE=TRUE"}, 0,
                  ModeSilentInstall)
            .Log(L"C:\\R.LOG INSTALLERCODE=TRUE"),
        ParseCase("LingerZero", {L"/s", L"/vLINGER=0"}, 0, ModeSilentInstall).Linger(0),
        ParseCase("LingerOneDay", {L"/s", L"/vLINGER=1440"}, 0, ModeSilentInstall).Linger(1440),
        ParseCase("LingerBlanksAround", {L"/s", L"/vLINGER= 30 "}, 0, ModeSilentInstall).Linger(30),
        ParseCase("LingerLeadingZeros", {L"/s", L"/vLINGER=007"}, 0, ModeSilentInstall).Linger(7),
        ParseCase("LingerBetweenKeywords", {L"/s", L"/vFORCE=TRUE LINGER=5 ENAUXMAC=FALSE LOGFILE=C:\\r.log"}, 0,
                  ModeSilentInstall)
            .Force()
            .NoAuxMac()
            .Linger(5)
            .Log(L"C:\\R.LOG"),
        ParseCase("LingerInLaterArgument", {L"/s", L"/vFORCE=TRUE", L"/vLINGER=60"}, 0, ModeSilentInstall)
            .Force()
            .Linger(60),
        ParseCase("LingerOverOneDay", {L"/s", L"/vLINGER=1441"}, 3, ModeInvalid),
        ParseCase("LingerNegative", {L"/s", L"/vLINGER=-1"}, 3, ModeInvalid),
        ParseCase("LingerSigned", {L"/s", L"/vLINGER=+5"}, 3, ModeInvalid),
        ParseCase("LingerFraction", {L"/s", L"/vLINGER=1.5"}, 3, ModeInvalid),
        ParseCase("LingerEmpty", {L"/s", L"/vLINGER="}, 3, ModeInvalid),
        ParseCase("LingerWord", {L"/s", L"/vLINGER=TRUE"}, 3, ModeInvalid),
        ParseCase("LingerHuge", {L"/s", L"/vLINGER=99999999999999999999"}, 3, ModeInvalid),
        // A word that only ends in the keyword is no keyword.
        ParseCase("LingerInsideAWordIsNoKeyword", {L"/s", L"/vFORCE=TRUE XLINGER=5"}, 0, ModeSilentInstall).Force(),
    };
}

// A driver folder and an install in one run, in one keyword argument or over several: refused.
std::vector<ParseCase> DriverFolderWithInstallCases() {
    return {
        ParseCase("FreshInstallAfterDriverFolder", {L"/s", L"/vEXTRACTDRIVERS=C:\\Drv FRESHINSTALL=TRUE"}, 3,
                  ModeInvalid)
            .Driver(L"C:\\DRV\\production"),
        ParseCase("ForceInLaterArgument", {L"/s", L"/vEXTRACTDRIVERS=C:\\Drv ", L"/vFORCE=TRUE"}, 3, ModeInvalid)
            .Driver(L"C:\\DRV\\production")
            .Force(),
        ParseCase("ForceInEarlierArgument", {L"/vFORCE=TRUE", L"/vEXTRACTDRIVERS=C:\\Drv "}, 3, ModeInvalid)
            .Driver(L"C:\\DRV\\production")
            .Force(),
        ParseCase("FreshInstallInEarlierArgument", {L"/vFRESHINSTALL=TRUE", L"/s", L"/vEXTRACTDRIVERS=C:\\Drv "}, 3,
                  ModeInvalid)
            .Driver(L"C:\\DRV\\production"),
        ParseCase("FreshInstallThenDriverFolder", {L"/vFRESHINSTALL=TRUE", L"/vEXTRACTDRIVERS=C:\\Drv "}, 3, ModeInvalid)
            .Driver(L"C:\\DRV\\production"),
        // AUX MAC and the log go with an extraction as before.
        ParseCase("DriverFolderWithAuxMacAndLog", {L"/s", L"/vEXTRACTDRIVERS=C:\\Drv ENAUXMAC=FALSE LOGFILE=C:\\r.log"},
                  0, ModeExtractDrivers)
            .Driver(L"C:\\DRV\\production")
            .NoAuxMac()
            .Log(L"C:\\R.LOG"),
    };
}

class ParseCommandLineTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseCommandLineTest, FillsRecord) {
    const ParseCase& c = GetParam();
    std::vector<const wchar_t*> argv = {L"C:\\Pkg\\NicUpdate.exe"};
    for (const std::wstring& arg : c.args) argv.push_back(arg.c_str());
    argv.push_back(nullptr);

    RunOptions options{};
    EXPECT_EQ(ParseCommandLine(options, static_cast<int>(c.args.size() + 1), argv.data()), c.nResult);
    EXPECT_EQ(options.nMode, c.nMode);
    EXPECT_EQ(std::wstring(options.szTargetPath), c.target);
    EXPECT_EQ(std::wstring(options.szDriverPath), c.driver);
    EXPECT_EQ(std::wstring(options.szLogFile), c.log);
    EXPECT_EQ(options.bForce, c.bForce);
    EXPECT_EQ(options.bEnableAuxMac, c.bEnableAuxMac);
    EXPECT_EQ(options.bInstallerCode, c.bInstallerCode);
    EXPECT_EQ(options.nLingerMinutes, c.nLingerMinutes);
}

INSTANTIATE_TEST_SUITE_P(Documented, ParseCommandLineTest, ::testing::ValuesIn(DocumentedCases()), CaseName());
INSTANTIATE_TEST_SUITE_P(Switches, ParseCommandLineTest, ::testing::ValuesIn(SwitchCases()), CaseName());
INSTANTIATE_TEST_SUITE_P(KeywordText, ParseCommandLineTest, ::testing::ValuesIn(KeywordTextCases()), CaseName());
INSTANTIATE_TEST_SUITE_P(ValueRule, ParseCommandLineTest, ::testing::ValuesIn(ValueRuleCases()), CaseName());
INSTANTIATE_TEST_SUITE_P(FreshInstall, ParseCommandLineTest, ::testing::ValuesIn(FreshInstallCases()), CaseName());
INSTANTIATE_TEST_SUITE_P(Lengths, ParseCommandLineTest, ::testing::ValuesIn(LengthCases()), CaseName());
INSTANTIATE_TEST_SUITE_P(CallerIntent, ParseCommandLineTest, ::testing::ValuesIn(CallerIntentCases()), CaseName());
INSTANTIATE_TEST_SUITE_P(SwitchValues, ParseCommandLineTest, ::testing::ValuesIn(SwitchValueCases()), CaseName());
INSTANTIATE_TEST_SUITE_P(RunKeywords, ParseCommandLineTest, ::testing::ValuesIn(RunKeywordCases()), CaseName());
INSTANTIATE_TEST_SUITE_P(DriverFolderWithInstall, ParseCommandLineTest, ::testing::ValuesIn(DriverFolderWithInstallCases()),
                         CaseName());

// The record's defaults are the parser's own: a reused record loses an earlier run's flags.
TEST(ParseCommandLineDefaults, ResetsModeAndFlagsButNotPaths) {
    RunOptions options{};
    options.nMode = ModeUsage;
    options.bForce = true;
    options.bEnableAuxMac = false;
    options.szLogFile[0] = L'x';
    const wchar_t* argv[] = {L"NicUpdate.exe", nullptr};
    EXPECT_EQ(ParseCommandLine(options, 1, argv), 0);
    EXPECT_EQ(options.nMode, ModeInstall);
    EXPECT_FALSE(options.bForce);
    EXPECT_TRUE(options.bEnableAuxMac);
    EXPECT_EQ(std::wstring(options.szLogFile), L"x");
}

}  // namespace
