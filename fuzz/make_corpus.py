#!/usr/bin/env python3
"""Writes the fuzzer's seed corpus: the argument vectors of the parser's table test, in the
fuzzer's input format (see CommandLineFuzzer.cpp). Run it again after changing the table."""
import pathlib

A259 = "C:\\" + "A" * 256
A260 = "C:\\" + "A" * 257
A248 = "C:\\" + "A" * 245
A249 = "C:\\" + "A" * 246

CASES = {
    "NoArguments": [],
    "QuestionMark": ["/?"],
    "CapitalH": ["/H"],
    "QuestionMarkThenH": ["/?", "/h"],
    "ExtractAllKeepsCase": ["/extract_all", "C:\\Out"],
    "ExtractAllWithoutPath": ["/extract_all"],
    "ExtractAllColonForm": ["/extract_all:C:\\Out"],
    "Silent": ["/s"],
    "SilentThenQuestionMark": ["/s", "/?"],
    "SilentConsumesH": ["/s", "/h"],
    "SilentConsumesExtractAll": ["/s", "/extract_all", "C:\\Out"],
    "SilentExtractDriversWithLog": ["/s", "/vEXTRACTDRIVERS=C:\\Drv LOGFILE=C:\\r.log"],
    "ExtractDriversWithoutBlank": ["/s", "/vEXTRACTDRIVERS=C:\\Drv"],
    "ExtractDriversTrailingBlank": ["/s", "/vEXTRACTDRIVERS=C:\\Drv "],
    "ExtractDriversFolderKeepsBlank": ["/s", "/vEXTRACTDRIVERS=C:\\My Drivers LOGFILE=C:\\r.log"],
    "QuietFlagThenLog": ["/s", "/v/qn LOGFILE=C:\\r.log"],
    "LogKeepsInnerBlank": ["/s", "/vLOGFILE=C:\\Logs\\run 1.log"],
    "ForceAuxMacLogFromNextArgument": ["/s", "/vFORCE=TRUE ENAUXMAC=FALSE", "LOGFILE=C:\\r.log"],
    "LogAfterForceInSameArgument": ["/s", "/vFORCE=TRUE LOGFILE=C:\\r.log"],
    "ForceValueTrailingBlankTrimmed": ["/s", "/vFORCE=true "],
    "ForceValueLeadingBlankTrimmed": ["/s", "/vFORCE = TRUE"],
    "ForceWithoutEquals": ["/s", "/vFORCE"],
    "FreshInstallForceAuxMac": ["/s", "/vFRESHINSTALL=TRUE FORCE=TRUE ENAUXMAC=FALSE"],
    "FreshInstallAuxMacWithoutForce": ["/s", "/vFRESHINSTALL=TRUE ENAUXMAC=FALSE"],
    "AuxMacLeads": ["/s", "/vENAUXMAC=FALSE"],
    "StandAloneForce": ["/vFORCE=TRUE"],
    "StandAloneNeedsLowerCaseV": ["/VFORCE=TRUE"],
    "SecondKeywordArgumentKeepsSilent": ["/s", "/vFORCE=TRUE", "/vLOGFILE=C:\\r.log"],
    "KeywordGroupReplacesUsage": ["/?", "/vFORCE=TRUE"],
    "ExtractDriversAfterExtractAll": ["/extract_all", "C:\\Out", "/vEXTRACTDRIVERS=C:\\Drv "],
    "SilentAfterExtractDriversConflicts": ["/vEXTRACTDRIVERS=C:\\Drv ", "/s"],
    "LastKeywordArgumentWins": ["/vFORCE=TRUE", "/vFORCE=FALSE"],
    "SwitchesIgnoreCase": ["/EXTRACT_ALL", "c:\\out"],
    "ExtractAllTakesSwitchAsPath": ["/extract_all", "/s"],
    "UsageThenExtractAllConflicts": ["/h", "/extract_all", "C:\\Out"],
    "SilentTwiceConsumesSecond": ["/s", "/s"],
    "SilentAgainConflicts": ["/s", "x", "/S"],
    "SilentThenTextBeginningWithQuestionMark": ["/s", "/?anything"],
    "SilentAcceptsCapitalV": ["/s", "/VFORCE=TRUE"],
    "KeywordInsideArgumentLosesFirstTwoCharacters": ["x/vFORCE=TRUE"],
    "LowerCaseKeywords": ["/vforce=true enauxmac=false"],
    "NonAsciiLettersKeepTheirCase": ["/s", "/vLOGFILE=C:\\\u00e4.log"],
    "QuotedTextLeadingBlank": ["/v FORCE=TRUE"],
    "LogKeepsTrailingBlanks": ["/s", "/vLOGFILE=  C:\\r.log  "],
    "TabsAroundForceEquals": ["/s", "/v\tFORCE\t=TRUE"],
    "IdeographicSpaceIsWhiteSpace": ["/s", "/v\u3000LOGFILE=\u3000C:\\x"],
    "TabDoesNotEndDriverFolder": ["/s", "/vEXTRACTDRIVERS=C:\\Drv\tLOGFILE=x"],
    "DriverFolderEqualsNotChecked": ["/s", "/vEXTRACTDRIVERSXC:\\Drv "],
    "QuietDriversAndLog": ["/s", "/v/QN EXTRACTDRIVERS=C:\\Drv LOGFILE=C:\\r.log"],
    "ForceGroupAfterDriversRefused": ["/s", "/vEXTRACTDRIVERS=C:\\Drv FORCE=TRUE"],
    "NextArgumentLogIsUpperCased": ["/s", "/vFORCE=TRUE", "logfile=c:\\r.log"],
    "NextArgumentLogReadTwice": ["/s", "/vFORCE=TRUE", "LOGFILE=LOGFILE=X"],
    "ValueEndsAtLastBlankBeforeEquals": ["/s", "/vFORCE=TRUE  ENAUXMAC=FALSE"],
    "ValueWithoutBlankRunsToNextKeyword": ["/s", "/vFORCE=TRUEENAUXMAC=FALSE"],
    "EqualsFirstIsNoCut": ["/s", "/vFORCE==TRUE ENAUXMAC=FALSE"],
    "BlankAtFrontDoesNotCut": ["/s", "/vFORCE= ENAUXMAC=FALSE"],
    "ValueTakesWordsBeforeLastBlank": ["/s", "/vFORCE=TRUE ENAUXMAC ENAUXMAC=FALSE"],
    "LaterKeywordArgumentSetsAuxMacAgain": ["/vFORCE=TRUE ENAUXMAC=FALSE", "/vFORCE=TRUE ENAUXMAC=true"],
    "FreshInstallWithoutEquals": ["/vFRESHINSTALL"],
    "FreshInstallStandAloneIsInteractive": ["/vFRESHINSTALL=TRUE"],
    "FreshInstallForce": ["/s", "/vFRESHINSTALL=TRUE FORCE=TRUE"],
    "FreshInstallForceWithoutEquals": ["/s", "/vFRESHINSTALL=TRUE FORCE ENAUXMAC=FALSE"],
    "FreshInstallOnlyFirstForceCounts": ["/s", "/vFRESHINSTALL=TRUE NOFORCE FORCE=TRUE"],
    "FreshInstallLog": ["/s", "/vFRESHINSTALL=TRUE LOGFILE=C:\\r.log"],
    "FreshInstallNextArgumentLogRefused": ["/s", "/vFRESHINSTALL=TRUE FORCE=TRUE", "LOGFILE=C:\\r.log"],
    "FreshInstallValueForceIsMalformed": ["/s", "/vFRESHINSTALL=FORCE=TRUE"],
    "ExtractAllPathOf259Fits": ["/extract_all", A259],
    "ExtractAllPathOf260Refused": ["/extract_all", A260],
    "DriverFolderOf248Fits": ["/s", "/vEXTRACTDRIVERS=" + A248 + " "],
    "DriverFolderOf249Refused": ["/s", "/vEXTRACTDRIVERS=" + A249 + " "],
    "LogOf259Fits": ["/s", "/vLOGFILE=" + A259],
    "LogOf260Refused": ["/s", "/vLOGFILE=" + A260],
    "NextArgumentLogOf260Refused": ["/s", "/vFORCE=TRUE", "LOGFILE=" + A260],
    "RefusalKeepsEarlierFields": ["/extract_all", "C:\\Out", "/vLOGFILE=" + A260],
    "ExtractAllColonFormKeepsCase": ["/extract_all:c:\\My Out"],
    "ExtractAllColonFormWithoutFolder": ["/extract_all:"],
    "ExtractAllColonFormAfterUsageConflicts": ["/?", "/EXTRACT_ALL:C:\\Out"],
    "SilentConsumesExtractAllColonForm": ["/s", "/extract_all:C:\\Out"],
    "AuxMacThenLog": ["/s", "/vENAUXMAC=FALSE LOGFILE=C:\\r.log"],
    "AuxMacThenForceGroup": ["/s", "/vENAUXMAC=FALSE FORCE=TRUE"],
    "ForceGroupAuxMacComesLast": ["/s", "/vENAUXMAC=FALSE FORCE=TRUE ENAUXMAC=TRUE"],
    "AuxMacTrueAfterDriverFolder": ["/s", "/vEXTRACTDRIVERS=C:\\Drv ENAUXMAC=TRUE"],
    "LogAfterForceGroupKeepsBlanks": ["/s", "/vFORCE=TRUE ENAUXMAC=FALSE LOGFILE=C:\\Logs\\run 1.log"],
    "LogTakesTheRestOfTheText": ["/s", "/vLOGFILE=C:\\a ENAUXMAC=FALSE"],
    "LogInsideAWordIsNoKeyword": ["/s", "/vFORCE=TRUE XLOGFILE=C:\\r.log"],
    "DriverFolderWithBlankToTheEnd": ["/s", "/vEXTRACTDRIVERS=C:\\My Drivers "],
    "DriverFolderEndsBeforeForceGroupRefused": ["/s", "/vEXTRACTDRIVERS=C:\\My Drivers FORCE=TRUE"],
    "ThirdArgumentKeywordsKeepSilent": ["/s", "x", "/vFORCE=TRUE"],
    "EmptyLogRefused": ["/s", "/vLOGFILE=  "],
    "LogInTextAndNextArgumentRefused": ["/s", "/vFORCE=TRUE LOGFILE=C:\\a.log", "LOGFILE=C:\\b.log"],
    "LogConsumedBySilentRefused": ["/s", "LOGFILE=C:\\r.log"],
    "LogOnItsOwnRefused": ["logfile=C:\\r.log"],
    "ForceYesLowerCase": ["/s", "/vforce=yes"],
    "AuxMacInFreshInstallGroupOn": ["/s", "/vFRESHINSTALL=X FORCE=ON ENAUXMAC=ON"],
    "InstallerCodeInsideForceGroup": ["/s", "/vFORCE=TRUE INSTALLERCODE=YES ENAUXMAC=FALSE"],
    "InstallerCodeAfterDriverFolder": ["/s", "/vEXTRACTDRIVERS=C:\\Drv INSTALLERCODE=TRUE LOGFILE=C:\\r.log"],
    "LingerBetweenKeywords": ["/s", "/vFORCE=TRUE LINGER=5 ENAUXMAC=FALSE LOGFILE=C:\\r.log"],
    "LingerHuge": ["/s", "/vLINGER=99999999999999999999"],
    "ForceInLaterArgument": ["/s", "/vEXTRACTDRIVERS=C:\\Drv ", "/vFORCE=TRUE"],
    "FreshInstallThenDriverFolder": ["/vFRESHINSTALL=TRUE", "/vEXTRACTDRIVERS=C:\\Drv "],
}


def encode(args):
    """Byte mode (0) for single-byte text, UTF-16 mode (1) otherwise; a zero separates."""
    text = "\0".join(args)
    if all(ord(ch) < 0x100 for ch in text):
        return bytes([0]) + text.encode("latin-1")
    return bytes([1]) + text.encode("utf-16-le")


def main():
    folder = pathlib.Path(__file__).resolve().parent / "corpus"
    folder.mkdir(exist_ok=True)
    for old in folder.iterdir():
        old.unlink()
    for name, args in CASES.items():
        (folder / name).write_bytes(encode(args))


if __name__ == "__main__":
    main()
