// The result log of an install carries the driver's InstallLog.txt only when this run's installer
// wrote it: a log an earlier install left is never passed off as this one's. A driver extraction
// runs no installer and copies whatever log exists.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "fileops/ScopedHandle.h"
#include "support/FileUtil.h"
#include "support/NamedCase.h"
#include "support/ProgramFixture.h"

namespace {

const char kEarlierLog[] = "earlier install, two days ago: all drivers installed\r\n";

// Sets a file's last-write time to so many hours before now.
bool AgeFile(const std::wstring& path, unsigned hours) {
    FileHandle file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    if (!file) return false;
    FILETIME now = {};
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER time;
    time.LowPart = now.dwLowDateTime;
    time.HighPart = now.dwHighDateTime;
    time.QuadPart -= static_cast<unsigned long long>(hours) * 3600ull * 10000000ull;
    FILETIME aged = {time.LowPart, time.HighPart};
    return SetFileTime(file.Get(), nullptr, nullptr, &aged) != FALSE;
}

struct DriverLogCase : NamedCase {
    const char* pszInstallerConfig;  // standin.cfg lines; "log=" alone: the installer writes no log
    const wchar_t* pszArguments;     // <log> and <drv> stand for the test's paths
    std::string expectedLog;
    const char* pszTrace;  // a line the trace holds after the result log, empty for none of "left no log"
};

class DriverLogOfThisRun : public ProgramTest, public ::testing::WithParamInterface<DriverLogCase> {};

TEST_P(DriverLogOfThisRun, ResultLogTakesOnlyWhatThisRunsInstallerWrote) {
    const DriverLogCase& c = GetParam();
    MakePackage();
    ConfigureInstaller(c.pszInstallerConfig);
    WriteBytes(DriverLog(true), kEarlierLog);
    ASSERT_TRUE(AgeFile(DriverLog(true), 48)) << "error " << GetLastError();
    const std::wstring log = m_folder / L"run.log";
    std::wstring arguments = c.pszArguments;
    for (const auto& [name, value] : {std::make_pair(std::wstring(L"<log>"), log),
                                      std::make_pair(std::wstring(L"<drv>"), m_folder / L"Drivers")}) {
        const std::size_t at = arguments.find(name);
        if (at != std::wstring::npos) arguments.replace(at, name.size(), value);
    }

    EXPECT_EQ(Run(arguments).dwExitCode, 0u);

    EXPECT_EQ(ReadBytes(log), c.expectedLog);
    const std::vector<std::string> lines = TraceOfLastRun();
    bool bFound = false;
    for (const std::string& line : lines) bFound = bFound || line.find("the installer left no log of this run") != std::string::npos;
    EXPECT_EQ(bFound, *c.pszTrace != '\0');
    if (*c.pszTrace != '\0') ExpectTraceEndsWith({"result log written: ", c.pszTrace, "staging folder removed: ", "run ended: "});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DriverLogOfThisRun,
    ::testing::Values(
        // The installer fails before it writes its log: the earlier one stays out.
        DriverLogCase{"InstallerWritesNone", "log=\r\nexit=1603\r\n", L"/s /vLOGFILE=<log>", kLogRecord,
                      "the installer left no log of this run: "},
        DriverLogCase{"InstallerWritesItsOwn", "", L"/s /vLOGFILE=<log>", std::string(kStandinLogText) + kLogRecord,
                      ""},
        DriverLogCase{"ExtractionTakesWhateverExists", "", L"/s \"/vEXTRACTDRIVERS=<drv> LOGFILE=<log>\"",
                      std::string(kEarlierLog) + kLogRecord, ""}),
    CaseName());

}  // namespace
