// Command lines as deployment tools and administrators write them, end to end through the real
// program: what the installer was given and found, what the result log holds and the exit code.
// The forms a caller evidently means do what they say; the forms the grammar has always read
// keep their meaning, including the arguments "/s" consumes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "package/PackageLayout.h"
#include "support/FileUtil.h"
#include "support/NamedCase.h"
#include "support/ProgramFixture.h"

namespace {

enum class Installer { None, Silent, Interactive };
enum class ResultLog { None, DriverLogAndRecord, RecordOnly };

struct CommandLineCase : NamedCase {
    const wchar_t* pszArguments;  // <log>, <out> and <drv> stand for the test's paths
    DWORD dwExitCode;
    Installer installer;
    bool bForce;
    bool bAuxMac;
    ResultLog log;
    const char* pszTraceReading;  // how the trace says the command line was read; <...> expanded
};

class CallerCommandLine : public ProgramTest, public ::testing::WithParamInterface<CommandLineCase> {
protected:
    std::wstring Expanded(std::wstring text) const {
        for (const auto& [name, value] : {std::make_pair(std::wstring(L"<log>"), m_folder / L"run.log"),
                                          std::make_pair(std::wstring(L"<out>"), m_folder / L"Out"),
                                          std::make_pair(std::wstring(L"<drv>"), m_folder / L"My Drivers")})
            for (std::size_t at = text.find(name); at != std::wstring::npos; at = text.find(name))
                text.replace(at, name.size(), value);
        return text;
    }
    // The test's paths as the keyword text leaves them: upper-cased.
    std::string Upper(const std::wstring& path) const {
        std::string text = Narrow(path);
        for (char& ch : text)
            if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
        return text;
    }
};

TEST_P(CallerCommandLine, InstallerLogAndExitCodeAreWhatTheCallerAskedFor) {
    const CommandLineCase& c = GetParam();
    MakePackage();
    const std::wstring log = m_folder / L"run.log";

    const ProgramOutcome outcome = Run(Expanded(c.pszArguments));

    EXPECT_EQ(outcome.dwExitCode, c.dwExitCode);
    ASSERT_EQ(InstallerRan(), c.installer != Installer::None);
    if (c.installer != Installer::None) {
        auto record = InstallerRecord();
        EXPECT_EQ(record["commandline"], "\"" + Narrow(Staging() + L"\\Windows\\Setup.exe") + "\"" +
                                             (c.installer == Installer::Silent ? " -s" : ""));
        const InfPairFolder& folder = kInfPairFolders[0];
        const std::string base = Narrow(folder.pszBaseName);
        EXPECT_EQ(record["inf." + Narrow(folder.pszOsKey) + "\\" + Narrow(folder.pszArch)],
                  c.bAuxMac ? base + ".INF," + base + "m_" : base + "_," + base + "m.INF")
            << "AUX MAC " << (c.bAuxMac ? "on" : "off");
        EXPECT_EQ(record["instctrl"],
                  ReadBytes(Root() + (c.bForce ? L"\\Windows\\InstCtrl_KNDrvDisabled.txt"
                                               : L"\\Windows\\InstCtrl_KNDrvEnabled.txt")))
            << "FORCE " << (c.bForce ? "on" : "off");
    }
    switch (c.log) {
    case ResultLog::None: EXPECT_FALSE(PathExists(log)); break;
    case ResultLog::DriverLogAndRecord: EXPECT_EQ(ReadBytes(log), std::string(kStandinLogText) + kLogRecord); break;
    case ResultLog::RecordOnly: EXPECT_EQ(ReadBytes(log), kLogRecord); break;
    }
    EXPECT_EQ(PathExists(Staging()), false) << "a successful run removes it; a refused one never made it";
    if (c.dwExitCode != 0) {
        EXPECT_FALSE(PathExists(m_folder / L"My Drivers")) << "a refused run extracts nothing";
    }

    std::string reading = c.pszTraceReading;
    for (const auto& [name, value] : {std::make_pair(std::string("<LOG>"), Upper(log)),
                                      std::make_pair(std::string("<out>"), Narrow(m_folder / L"Out")),
                                      std::make_pair(std::string("<DRV>"), Upper(m_folder / L"My Drivers"))})
        for (std::size_t at = reading.find(name); at != std::string::npos; at = reading.find(name))
            reading.replace(at, name.size(), value);
    const std::vector<std::string> lines = TraceOfLastRun();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_NE(lines[1].find(reading), std::string::npos) << lines[1];
}

// The forms a caller evidently means, each once silently dropped or turned around.
INSTANTIATE_TEST_SUITE_P(
    MendedForms, CallerCommandLine,
    ::testing::Values(
        CommandLineCase{"SilentAlone", L"/s", 0, Installer::Silent, false, true, ResultLog::None,
                        "command line read: mode silent install, FORCE FALSE, AUX MAC TRUE, result log none, "
                        "driver folder none, INSTALLERCODE FALSE, LINGER 15 minutes, ignored none"},
        CommandLineCase{"AuxMacOffThenLog", L"/s \"/vENAUXMAC=FALSE LOGFILE=<log>\"", 0, Installer::Silent, false,
                        false, ResultLog::DriverLogAndRecord, "AUX MAC FALSE, result log <LOG>, "},
        CommandLineCase{"ForceThenLogInOneArgument", L"/s \"/vFORCE=TRUE LOGFILE=<log>\"", 0, Installer::Silent, true,
                        true, ResultLog::DriverLogAndRecord, "FORCE TRUE, AUX MAC TRUE, result log <LOG>, "},
        CommandLineCase{"FreshInstallThenLog", L"/s \"/vFRESHINSTALL=TRUE ENAUXMAC=FALSE LOGFILE=<log>\"", 0,
                        Installer::Silent, false, false, ResultLog::DriverLogAndRecord,
                        "AUX MAC FALSE, result log <LOG>, "},
        // The extraction's folder keeps its blank; the log after it is kept too.
        CommandLineCase{"DriverFolderWithBlank", L"/s \"/vEXTRACTDRIVERS=<drv> LOGFILE=<log>\"", 0, Installer::None,
                        false, true, ResultLog::RecordOnly,
                        "result log <LOG>, driver folder <DRV>\\production, INSTALLERCODE FALSE, LINGER 15 minutes, "
                        "ignored none"},
        CommandLineCase{"SecondKeywordArgumentStaysSilent", L"/s /vFORCE=TRUE \"/vLOGFILE=<log>\"", 0,
                        Installer::Silent, true, true, ResultLog::DriverLogAndRecord,
                        "mode silent install, FORCE TRUE, AUX MAC TRUE, result log <LOG>, "},
        CommandLineCase{"ResultLogNoKeywordReads", L"/s LOGFILE=<log>", 1603, Installer::None, false, true,
                        ResultLog::None, "failed: read the command line: a result log that no keyword argument reads"}),
    CaseName());

// The forms the grammar has always read, which keep their meaning.
INSTANTIATE_TEST_SUITE_P(
    SpecifiedForms, CallerCommandLine,
    ::testing::Values(
        CommandLineCase{"ForceAuxMacThenLogArgument", L"/s \"/vFORCE=TRUE ENAUXMAC=FALSE\" LOGFILE=<log>", 0,
                        Installer::Silent, true, false, ResultLog::DriverLogAndRecord,
                        "mode silent install, FORCE TRUE, AUX MAC FALSE, result log <LOG>, driver folder none, "
                        "INSTALLERCODE FALSE, LINGER 15 minutes, ignored none"},
        CommandLineCase{"SilentConsumesExtractAll", L"/s /extract_all <out>", 0, Installer::Silent, false, true,
                        ResultLog::None, "ignored [/extract_all] [<out>]"},
        CommandLineCase{"SilentConsumesUsageSwitch", L"/s /h", 0, Installer::Silent, false, true, ResultLog::None,
                        "mode silent install, FORCE FALSE, AUX MAC TRUE, result log none, driver folder none, "
                        "INSTALLERCODE FALSE, LINGER 15 minutes, ignored [/h]"},
        CommandLineCase{"StandAloneKeywordArgumentIsInteractive", L"\"/vFORCE=TRUE LOGFILE=<log>\"", 0,
                        Installer::Interactive, true, true, ResultLog::DriverLogAndRecord,
                        "mode interactive install, FORCE TRUE"},
        CommandLineCase{"DriverFolderWithoutBlankRefused", L"/s /vEXTRACTDRIVERS=<out>", 1603, Installer::None, false,
                        true, ResultLog::None,
                        "failed: read the command line: the driver folder is not followed by a blank: [/vEXTRACTDRIVERS="},
        CommandLineCase{"SecondModeSwitchRefused", L"/s x /s", 1603, Installer::None, false, true, ResultLog::None,
                        "failed: read the command line: a mode switch after the mode was already chosen: [/s]"}),
    CaseName());

const char kNeitherOnNorOff[] =
    "failed: read the command line: a value that is neither on (TRUE, YES, ON, 1) nor off (FALSE, NO, OFF, 0): ";

// What each value of FORCE= and ENAUXMAC= turns the choice into, as the installer finds it: a
// value means what it says, or the run refuses it before it touches anything.
INSTANTIATE_TEST_SUITE_P(
    Values, CallerCommandLine,
    ::testing::Values(
        CommandLineCase{"ForceOne", L"/s \"/vFORCE=1 LOGFILE=<log>\"", 0, Installer::Silent, true, true,
                        ResultLog::DriverLogAndRecord, "FORCE TRUE, AUX MAC TRUE"},
        CommandLineCase{"ForceYes", L"/s \"/vFORCE=YES LOGFILE=<log>\"", 0, Installer::Silent, true, true,
                        ResultLog::DriverLogAndRecord, "FORCE TRUE, AUX MAC TRUE"},
        CommandLineCase{"ForceOnInLowerCase", L"/s \"/vFORCE=on LOGFILE=<log>\"", 0, Installer::Silent, true, true,
                        ResultLog::DriverLogAndRecord, "FORCE TRUE, AUX MAC TRUE"},
        CommandLineCase{"ForceTrueBlankAfter", L"/s \"/vFORCE=TRUE \"", 0, Installer::Silent, true, true,
                        ResultLog::None, "FORCE TRUE, AUX MAC TRUE"},
        CommandLineCase{"ForceTrueBlankBefore", L"/s \"/vFORCE= TRUE LOGFILE=<log>\"", 0, Installer::Silent, true,
                        true, ResultLog::DriverLogAndRecord, "FORCE TRUE, AUX MAC TRUE"},
        CommandLineCase{"ForceFalse", L"/s \"/vFORCE=FALSE LOGFILE=<log>\"", 0, Installer::Silent, false, true,
                        ResultLog::DriverLogAndRecord, "FORCE FALSE, AUX MAC TRUE"},
        CommandLineCase{"ForceZero", L"/s \"/vFORCE=0 LOGFILE=<log>\"", 0, Installer::Silent, false, true,
                        ResultLog::DriverLogAndRecord, "FORCE FALSE, AUX MAC TRUE"},
        CommandLineCase{"ForceNo", L"/s \"/vFORCE=NO LOGFILE=<log>\"", 0, Installer::Silent, false, true,
                        ResultLog::DriverLogAndRecord, "FORCE FALSE, AUX MAC TRUE"},
        CommandLineCase{"ForceOff", L"/s \"/vFORCE=OFF LOGFILE=<log>\"", 0, Installer::Silent, false, true,
                        ResultLog::DriverLogAndRecord, "FORCE FALSE, AUX MAC TRUE"},
        CommandLineCase{"ForceMisspelt", L"/s \"/vFORCE=TREU LOGFILE=<log>\"", 1603, Installer::None, false, true,
                        ResultLog::None, "FORCE=TREU]"},
        CommandLineCase{"ForceEmpty", L"/s \"/vFORCE= LOGFILE=<log>\"", 1603, Installer::None, false, true,
                        ResultLog::None, kNeitherOnNorOff},
        CommandLineCase{"AuxMacOne", L"/s \"/vFORCE=TRUE ENAUXMAC=1 LOGFILE=<log>\"", 0, Installer::Silent, true, true,
                        ResultLog::DriverLogAndRecord, "FORCE TRUE, AUX MAC TRUE"},
        CommandLineCase{"AuxMacYes", L"/s \"/vFORCE=TRUE ENAUXMAC=YES LOGFILE=<log>\"", 0, Installer::Silent, true,
                        true, ResultLog::DriverLogAndRecord, "FORCE TRUE, AUX MAC TRUE"},
        CommandLineCase{"AuxMacOn", L"/s \"/vENAUXMAC=ON LOGFILE=<log>\"", 0, Installer::Silent, false, true,
                        ResultLog::DriverLogAndRecord, "FORCE FALSE, AUX MAC TRUE"},
        CommandLineCase{"AuxMacTrueBlankAfter", L"/s \"/vENAUXMAC=TRUE \"", 0, Installer::Silent, false, true,
                        ResultLog::None, "FORCE FALSE, AUX MAC TRUE"},
        CommandLineCase{"AuxMacTrueBlankBefore", L"/s \"/vFORCE=FALSE ENAUXMAC= TRUE\"", 0, Installer::Silent, false,
                        true, ResultLog::None, "FORCE FALSE, AUX MAC TRUE"},
        CommandLineCase{"AuxMacFalse", L"/s \"/vFORCE=TRUE ENAUXMAC=FALSE LOGFILE=<log>\"", 0, Installer::Silent,
                        true, false, ResultLog::DriverLogAndRecord, "FORCE TRUE, AUX MAC FALSE"},
        CommandLineCase{"AuxMacZero", L"/s \"/vENAUXMAC=0 LOGFILE=<log>\"", 0, Installer::Silent, false, false,
                        ResultLog::DriverLogAndRecord, "FORCE FALSE, AUX MAC FALSE"},
        CommandLineCase{"AuxMacNo", L"/s \"/vFORCE=TRUE ENAUXMAC=no LOGFILE=<log>\"", 0, Installer::Silent, true,
                        false, ResultLog::DriverLogAndRecord, "FORCE TRUE, AUX MAC FALSE"},
        CommandLineCase{"AuxMacOff", L"/s \"/vENAUXMAC=OFF LOGFILE=<log>\"", 0, Installer::Silent, false, false,
                        ResultLog::DriverLogAndRecord, "FORCE FALSE, AUX MAC FALSE"},
        CommandLineCase{"AuxMacMisspelt", L"/s \"/vFORCE=TRUE ENAUXMAC=TREU LOGFILE=<log>\"", 1603, Installer::None,
                        false, true, ResultLog::None, "ENAUXMAC=TREU]"},
        CommandLineCase{"AuxMacEmpty", L"/s \"/vENAUXMAC= LOGFILE=<log>\"", 1603, Installer::None, false, true,
                        ResultLog::None, kNeitherOnNorOff}),
    CaseName());

// A driver folder and an install asked for in one run, in one keyword argument or in two: the
// run refuses before it stages anything, and starts no installer.
INSTANTIATE_TEST_SUITE_P(
    DriverFolderWithInstall, CallerCommandLine,
    ::testing::Values(
        CommandLineCase{"ForceInTheSameArgument", L"/s \"/vEXTRACTDRIVERS=<drv> FORCE=TRUE\" LOGFILE=<log>", 1603,
                        Installer::None, false, true, ResultLog::None,
                        "failed: read the command line: EXTRACTDRIVERS= names a driver folder and FORCE= asks for an "
                        "install; a run does one of them: [/vEXTRACTDRIVERS="},
        CommandLineCase{"ForceInTheNextArgument", L"/s \"/vEXTRACTDRIVERS=<drv> LOGFILE=<log>\" /vFORCE=TRUE", 1603,
                        Installer::None, false, true, ResultLog::None,
                        "failed: read the command line: EXTRACTDRIVERS= names a driver folder and FORCE= asks for an "
                        "install; a run does one of them: [/vFORCE=TRUE]"},
        CommandLineCase{"FreshInstallBefore", L"/vFRESHINSTALL=TRUE \"/vEXTRACTDRIVERS=<drv> LOGFILE=<log>\"", 1603,
                        Installer::None, false, true, ResultLog::None,
                        "failed: read the command line: EXTRACTDRIVERS= names a driver folder and FRESHINSTALL= asks "
                        "for an install; a run does one of them: [/vEXTRACTDRIVERS="}),
    CaseName());

class CallerFolder : public ProgramTest {};

// The form the usage page shows copies the package as the form with the folder after it does.
TEST_F(CallerFolder, ExtractAllColonFormCopiesThePackageLikeTheFolderArgument) {
    MakePackage();
    const std::wstring colonOut = m_folder / L"Colon Out";
    const std::wstring argumentOut = m_folder / L"Argument Out";

    EXPECT_EQ(Run(L"\"/extract_all:" + colonOut + L"\"").dwExitCode, 0u);
    EXPECT_EQ(Run(L"/extract_all \"" + argumentOut + L"\"").dwExitCode, 0u);

    EXPECT_FALSE(InstallerRan());
    EXPECT_TRUE(IsFolder(colonOut + L"\\Windows\\WIN10"));
    EXPECT_EQ(TreeDigest(colonOut), TreeDigest(argumentOut));
    EXPECT_EQ(TreeDigest(colonOut + L"\\Windows"), TreeDigest(Root() + L"\\Windows"));
    EXPECT_FALSE(PathExists(Staging()));
}

// A driver folder with a blank in its name is the whole name, never the part before the blank.
TEST_F(CallerFolder, DriverFolderWithBlankGetsTheDriversWhole) {
    MakePackage();
    const std::wstring drivers = m_folder / L"My Drivers";

    EXPECT_EQ(Run(L"/s \"/vEXTRACTDRIVERS=" + drivers + L" LOGFILE=" + (m_folder / L"run.log") + L"\"").dwExitCode,
              0u);

    ExpectUsbDriversLaidOut(drivers + L"\\production");
    EXPECT_FALSE(PathExists(m_folder / L"MY")) << "the folder was cut at the blank";
}

}  // namespace
