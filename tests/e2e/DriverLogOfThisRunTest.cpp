// The result log of an install carries the driver's InstallLog.txt only when this run's installer
// wrote it: a log an earlier install left is never passed off as this one's, whatever its date
// says. Which log is this run's is told by the file itself (file ID, size, last-write time)
// before and after the installer, never by the clock: a log dated ahead (a clock set back since)
// stays out, and one rewritten within the same second as the earlier one's time is taken. A
// driver extraction runs no installer and copies whatever log exists, but never a link or a file
// with a second hard link: that could be any file of the machine.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "fileops/ScopedHandle.h"
#include "support/FileUtil.h"
#include "support/NamedCase.h"
#include "support/ProgramFixture.h"
#include "support/UnixShell.h"

namespace {

const char kEarlierLog[] = "earlier install, two days ago: all drivers installed\r\n";
// What the installer of this run writes in the earlier log's place: as long as it, so that only
// the last-write time tells them apart.
const char kRewrittenLog[] = "this run's installer, just now: all driver installed";
static_assert(sizeof kRewrittenLog + 2 == sizeof kEarlierLog, "the stand-in adds CR LF");
const char kSecret[] = "a file only SYSTEM may read\r\n";

constexpr long long kFileTimePerMinute = 60ll * 10000000ll;

// Dates a file minutes from now (negative: in the past), on a whole second.
bool DateFile(const std::wstring& path, long long minutes) {
    FileHandle file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    if (!file) return false;
    FILETIME now = {};
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER time;
    time.LowPart = now.dwLowDateTime;
    time.HighPart = now.dwHighDateTime;
    time.QuadPart += minutes * kFileTimePerMinute;
    time.QuadPart -= time.QuadPart % 10000000ull;
    FILETIME dated = {time.LowPart, time.HighPart};
    return SetFileTime(file.Get(), nullptr, nullptr, &dated) != FALSE;
}

// Removes a link made on the Linux side as itself; a delete through Wine would remove its target
// and leave the link at the driver log's path for every later test.
struct UnixLinkRemoval {
    std::string path;
    ~UnixLinkRemoval() {
        if (!path.empty()) RunUnixScript("rm -f '" + path + "'\n");
    }
};

// What stands at the driver log's path before the run.
enum class Earlier { Log, LinkToSecret, HardLinkToSecret };

struct DriverLogCase : NamedCase {
    Earlier earlier;
    long long nEarlierDatedMinutes;  // the earlier log's last-write time from now
    std::string installerConfig;     // standin.cfg lines; "log=" alone: the installer writes no log
    const wchar_t* pszArguments;     // <log> and <drv> stand for the test's paths
    std::string expectedLog;
    const char* pszTrace;  // the line after "result log written", empty for none
};

class DriverLogOfThisRun : public ProgramTest, public ::testing::WithParamInterface<DriverLogCase> {};

TEST_P(DriverLogOfThisRun, ResultLogTakesOnlyWhatThisRunsInstallerWrote) {
    const DriverLogCase& c = GetParam();
    MakePackage();
    ConfigureInstaller(c.installerConfig);
    const std::wstring secret = m_folder / L"secret.txt";
    UnixLinkRemoval linkRemoval;
    switch (c.earlier) {
    case Earlier::Log:
        WriteBytes(DriverLog(true), kEarlierLog);
        ASSERT_TRUE(DateFile(DriverLog(true), c.nEarlierDatedMinutes)) << "error " << GetLastError();
        break;
    case Earlier::LinkToSecret: {
        if (!IsRunningUnderWine()) GTEST_SKIP() << "the link is made on the Linux side of Wine";
        WriteBytes(secret, kSecret);
        MakeFolders(DriverLog(true).substr(0, DriverLog(true).rfind(L'\\')));
        linkRemoval.path = UnixPathOf(DriverLog(true));
        const UnixScriptOutcome linked =
            RunUnixScript("ln -s '" + UnixPathOf(secret) + "' '" + UnixPathOf(DriverLog(true)) + "'\n");
        ASSERT_TRUE(linked.bRan && linked.nExitStatus == 0) << linked.output;
        break;
    }
    case Earlier::HardLinkToSecret:
        WriteBytes(secret, kSecret);
        MakeFolders(DriverLog(true).substr(0, DriverLog(true).rfind(L'\\')));
        ASSERT_TRUE(CreateHardLinkW(DriverLog(true).c_str(), secret.c_str(), nullptr)) << "error " << GetLastError();
        break;
    }
    const std::wstring log = m_folder / L"run.log";
    std::wstring arguments = c.pszArguments;
    for (const auto& [name, value] : {std::make_pair(std::wstring(L"<log>"), log),
                                      std::make_pair(std::wstring(L"<drv>"), m_folder / L"Drivers")}) {
        const std::size_t at = arguments.find(name);
        if (at != std::wstring::npos) arguments.replace(at, name.size(), value);
    }

    EXPECT_EQ(Run(arguments).dwExitCode, 0u);

    EXPECT_EQ(ReadBytes(log), c.expectedLog);
    if (c.earlier != Earlier::Log) {
        EXPECT_EQ(ReadBytes(secret), kSecret);
    }
    if (*c.pszTrace != '\0') {
        ExpectTraceEndsWith({"result log written: ", c.pszTrace, "staging folder removed: ", "run ended: "});
    } else {
        ExpectTraceEndsWith({"result log written: ", "staging folder removed: ", "run ended: "});
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DriverLogOfThisRun,
    ::testing::Values(
        // The installer fails before it writes its log: the earlier one stays out.
        DriverLogCase{"InstallerWritesNone", Earlier::Log, -48 * 60, "log=\r\nexit=1603\r\n", L"/s /vLOGFILE=<log>",
                      kLogRecord, "the installer left no log of this run: "},
        // A clock set back since the earlier install: its log looks newer than this run.
        DriverLogCase{"EarlierLogDatedAhead", Earlier::Log, 10, "log=\r\nexit=1603\r\n", L"/s /vLOGFILE=<log>",
                      kLogRecord, "the installer left no log of this run: "},
        DriverLogCase{"InstallerWritesItsOwn", Earlier::Log, -48 * 60, "", L"/s /vLOGFILE=<log>",
                      std::string(kStandinLogText) + kLogRecord, ""},
        // Rewritten in place, as long as before, dated half a second after the earlier log's
        // time (two days ago): only the last-write time differs, within the same second.
        DriverLogCase{"InstallerRewritesItWithinTheSameSecond", Earlier::Log, -48 * 60,
                      std::string("log=") + kRewrittenLog + "\r\nlogtimeplus=500\r\n", L"/s /vLOGFILE=<log>",
                      std::string(kRewrittenLog) + "\r\n" + kLogRecord, ""},
        DriverLogCase{"ExtractionTakesWhateverExists", Earlier::Log, -48 * 60, "",
                      L"/s \"/vEXTRACTDRIVERS=<drv> LOGFILE=<log>\"", std::string(kEarlierLog) + kLogRecord, ""},
        DriverLogCase{"ExtractionRefusesALink", Earlier::LinkToSecret, 0, "",
                      L"/s \"/vEXTRACTDRIVERS=<drv> LOGFILE=<log>\"", kLogRecord,
                      "driver log refused: C:\\Program Files (x86)\\Corvane\\Corvane Velmora USB Windows "
                      "Driver\\InstallLog.txt: it is a link"},
        DriverLogCase{"ExtractionRefusesASecondHardLink", Earlier::HardLinkToSecret, 0, "",
                      L"/s \"/vEXTRACTDRIVERS=<drv> LOGFILE=<log>\"", kLogRecord,
                      "driver log refused: C:\\Program Files (x86)\\Corvane\\Corvane Velmora USB Windows "
                      "Driver\\InstallLog.txt: it has 2 hard links"},
        // The installer writes none; the hard link is still named for what it is.
        DriverLogCase{"InstallRefusesASecondHardLink", Earlier::HardLinkToSecret, 0, "log=\r\n", L"/s /vLOGFILE=<log>",
                      kLogRecord, "driver log refused: "}),
    CaseName());

}  // namespace
