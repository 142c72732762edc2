// Runs that write onto a drive with no room left: the result log and the driver extraction.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "support/FileUtil.h"
#include "support/MessageBoxAnswerer.h"
#include "support/NamedCase.h"
#include "support/ProgramFixture.h"
#include "support/SetUpCheck.h"
#include "support/SmallDrive.h"

namespace {

// How much a drive of its own has left.
struct Room {
    unsigned nFreePages;
    bool bNewEntries;  // false: not even an empty file or a folder can be made
};

constexpr Room kNoRoomAtAll = {0, false};
constexpr Room kNoRoomForData = {0, true};
constexpr Room kOnePageLeft = {1, true};

class FullDriveRun : public ProgramTest {
protected:
    // Makes the drive; the caller skips the test when IsReady() is false.
    SmallDrive& MakeDrive(Room room, const char* pszFolder = "") {
        m_drive = std::make_unique<SmallDrive>(room.nFreePages, room.bNewEntries, pszFolder);
        return *m_drive;
    }

    std::unique_ptr<SmallDrive> m_drive;
};

// What the failed run leaves at the log path.
enum class LogLeft {
    Nothing,           // the file could not be made
    NoRecord,          // whatever could be written, never the record
    DriverLogNoRecord  // the driver log whole, the record cut short
};

struct LogCase : NamedCase {
    Room room;  // with pages free, the driver log is made to fill them
    const char* pszFolder;  // made on the drive before its room ran out ("": none)
    const wchar_t* pszLog;  // below the drive's root
    LogLeft left;
    const char* pszStep;  // the failed step the trace names, at the log's path
};

class LogOnFullDrive : public FullDriveRun, public ::testing::WithParamInterface<LogCase> {};

TEST_P(LogOnFullDrive, RunFailsWithoutARecordAndKeepsTheStagingFolder) {
    const LogCase& c = GetParam();
    SmallDrive& drive = MakeDrive(c.room, c.pszFolder);
    ASSERT_SET_UP_MADE(drive.IsReady(), drive.Reason());
    MakePackage();
    std::string driverLog = kStandinLogText;
    if (c.room.nFreePages > 0) {
        const std::uint64_t cbFree = drive.FreeBytes();
        ASSERT_GT(cbFree, 64u);
        // The stand-in adds a line break; then six bytes of the record still fit, the rest does not.
        const std::string text(static_cast<std::size_t>(cbFree - 8), 'd');
        ConfigureInstaller("log=" + text + "\r\n");
        driverLog = text + "\r\n";
    }
    const std::string before = TreeDigest(Root());
    const std::wstring log = drive.Root() + c.pszLog;
    MessageBoxAnswerer noBox({});

    ProgramOutcome outcome = Run(L"/s /vLOGFILE=" + log);

    EXPECT_EQ(outcome.dwExitCode, 1603u);
    EXPECT_TRUE(InstallerRan());
    switch (c.left) {
    case LogLeft::Nothing:
        EXPECT_FALSE(PathExists(log));
        break;
    case LogLeft::NoRecord:
        EXPECT_TRUE(IsFolder(log.substr(0, log.rfind(L'\\')))) << "the log's folder is made first";
        // Wine leaves the target of a failed copy in place, empty; it may be gone on Windows.
        if (PathExists(log)) {
            EXPECT_EQ(ReadBytes(log).find(kLogRecord), std::string::npos);
        }
        break;
    case LogLeft::DriverLogNoRecord: {
        ASSERT_TRUE(PathExists(log));
        const std::string written = ReadBytes(log);
        EXPECT_EQ(written.substr(0, driverLog.size()), driverLog);
        EXPECT_EQ(written.find(kLogRecord), std::string::npos) << "a record that is not whole must not count";
        break;
    }
    }
    EXPECT_TRUE(IsFolder(Staging() + L"\\Windows")) << "a failed run leaves the staging folder";
    EXPECT_EQ(TreeDigest(Root()), before);
    EXPECT_EQ(noBox.UnexpectedCount(), 0u) << noBox.DescribeUnexpected();
    ExpectTraceEndsWithFailure(c.pszStep, log, ERROR_DISK_FULL, "run ended: result CannotCreateLog (11), exit code 1603");
}

INSTANTIATE_TEST_SUITE_P(
    FullDrive, LogOnFullDrive,
    ::testing::Values(
        // Its folder stands, but the drive has no entry left for the file. (Wine shows the root
        // of a drive letter linked into the prefix as a link, which the log's folder may not
        // be: the log goes into a folder of the drive.)
        LogCase{"NoRoomForTheFile", kNoRoomAtAll, "Logs", L"\\Logs\\run.log", LogLeft::Nothing,
                "create the result log"},
        // Its folder and the empty file are made; neither the driver log nor the record fits.
        LogCase{"NoRoomForItsContent", kNoRoomForData, "", L"\\Logs\\run.log", LogLeft::NoRecord,
                "write the result log's record"},
        LogCase{"NoRoomForTheWholeRecord", kOnePageLeft, "", L"\\Logs\\run.log", LogLeft::DriverLogNoRecord,
                "write the result log's record"}),
    CaseName());

struct ExtractionCase : NamedCase {
    Room room;
    bool bFolderMade;  // the extraction folder itself could be made
};

class ExtractionOnFullDrive : public FullDriveRun, public ::testing::WithParamInterface<ExtractionCase> {};

// Drivers that did not reach the extraction folder must not end in a run reported as a success.
TEST_P(ExtractionOnFullDrive, RunFailsBeforeTheResultLog) {
    const ExtractionCase& c = GetParam();
    SmallDrive& drive = MakeDrive(c.room);
    ASSERT_SET_UP_MADE(drive.IsReady(), drive.Reason());
    MakePackage();
    const std::string before = TreeDigest(Root());
    const std::wstring log = m_folder / L"extract.log";
    MessageBoxAnswerer noBox({});

    ProgramOutcome outcome = Run(L"/s \"/vEXTRACTDRIVERS=" + drive.Root() + L"\\Drivers LOGFILE=" + log + L"\"");

    EXPECT_EQ(outcome.dwExitCode, 1603u);
    EXPECT_EQ(IsFolder(drive.Root() + L"\\Drivers\\production"), c.bFolderMade);
    if (c.bFolderMade) {
        ExpectTraceEndsWith({"failed: copy the drivers, path \"" + ConsoleBytes(Staging()) + "\\Windows\\",
                             "run ended: result CannotCreateFolder (8), exit code 1603"});
        EXPECT_NE(TraceFailureLine().find(", Win32 error 112: "), std::string::npos) << TraceFailureLine();
    } else {
        ExpectTraceEndsWithFailure("create the driver folder", drive.Root() + L"\\Drivers\\production", ERROR_DISK_FULL,
                                   "run ended: result CannotCreateFolder (8), exit code 1603");
    }
    EXPECT_FALSE(PathExists(log)) << "the run ends before the result log is made";
    EXPECT_FALSE(InstallerRan());
    EXPECT_TRUE(IsFolder(Staging() + L"\\Windows")) << "a failed run leaves the staging folder";
    EXPECT_EQ(TreeDigest(Root()), before);
    EXPECT_EQ(noBox.UnexpectedCount(), 0u) << noBox.DescribeUnexpected();
}

INSTANTIATE_TEST_SUITE_P(
    FullDrive, ExtractionOnFullDrive,
    ::testing::Values(
        // The extraction folder cannot be made.
        ExtractionCase{"NoRoomForTheFolder", kNoRoomAtAll, false},
        // The folders are made, but no driver file fits into them.
        ExtractionCase{"NoRoomForTheDrivers", kNoRoomForData, true}),
    CaseName());

// A temporary folder without room: the installer must not be started on a cut-off package.
TEST_F(FullDriveRun, StagingOnAFullDriveEndsBeforeTheInstaller) {
    SmallDrive& drive = MakeDrive(kNoRoomForData);
    ASSERT_SET_UP_MADE(drive.IsReady(), drive.Reason());
    MakePackage();
    const std::string before = TreeDigest(Root());
    const std::wstring temp = drive.Root() + L"\\Temp";
    MakeFolders(temp);
    const std::wstring log = m_folder / L"run.log";

    ProgramOutcome outcome = RunProgram(Program(), L"/s /vLOGFILE=" + log, temp, m_folder.Path());

    EXPECT_EQ(outcome.dwExitCode, 1603u);
    EXPECT_FALSE(InstallerRan());
    EXPECT_FALSE(PathExists(log));
    EXPECT_EQ(TreeDigest(Root()), before);
    ExpectTraceEndsWith({"staging folder created: " + ConsoleBytes(temp) + "\\KVNIC_INST_TEMP",
                         "failed: copy the package, path \"" + ConsoleBytes(Root()) + "\\",
                         "run ended: result CannotCreateFolder (8), exit code 1603"});
    EXPECT_NE(TraceFailureLine().find(", Win32 error 112: "), std::string::npos) << TraceFailureLine();
}

}  // namespace
