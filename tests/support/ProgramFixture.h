#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "package_fixture/PackageFixture.h"
#include "support/BackgroundRun.h"
#include "support/MachineWidePlaces.h"
#include "support/MessageBoxAnswerer.h"
#include "support/ProgramRun.h"
#include "support/TempFolder.h"

// One test's world for running the real program: a package root with the program and the
// stand-in installer, a temporary folder of its own passed as TEMP and TMP, and the driver
// install logs cleared before and after. The driver install log has a fixed
// place on the machine (C:\Program Files (x86)\...), which is why these tests are for Wine only.
class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes the package (the stand-in installer as Setup.exe) and copies the program in.
    void MakePackage(PackageSpec spec = PackageSpec());
    // Lines for standin.cfg in the package's Windows folder; "record=" and "driverlog=" (the
    // family's DriverLog) are always added.
    void ConfigureInstaller(const std::string& lines);
    // The program started in the background with arguments, as Run() starts it (this test's
    // temporary folder, the test folder current), ended after dwTimeoutMs; the trace's size is
    // noted first.
    std::unique_ptr<BackgroundRun> StartInBackground(const std::wstring& arguments, unsigned long dwTimeoutMs);
    ProgramOutcome Run(const std::wstring& arguments, const std::wstring& currentFolder = L"");

    // The package's files as the stand-in installer counts its staged copy ("started=",
    // "ended="): "files=N" and a line break, N the files below Windows and Others.
    std::string FilesInPackage() const;

    // What the stand-in installer recorded, by key; empty when it did not run.
    std::map<std::string, std::string> InstallerRecord() const;
    bool InstallerRan() const;

    // The checks every run of "/?" must pass: exit code 0, the usage page on standard output
    // and in the box the answerer met, no staging folder, no installer.
    void ExpectUsagePageShown(const ProgramOutcome& outcome, MessageBoxAnswerer& answerer) const;
    // What a USB-family installer started by "/s "/vFORCE=TRUE ENAUXMAC=FALSE"" must have been
    // given and found: the staged Setup.exe with " -s", the test folder as its current folder,
    // the "m" INF active in every driver folder and the KNDrvDisabled install-control variant.
    void ExpectInstallerSawSilentAuxMacOffForceOn() const;
    // The USB package's drivers laid out in the extraction folder: each of the eight final
    // folders holds its source folder's tree, and no intermediate "32" or "64" is left.
    void ExpectUsbDriversLaidOut(const std::wstring& production) const;

    // The trace's size now: TraceOfLastRun() reads only what was added after it. SetUp() and
    // Run() note it; a test that starts the program another way notes it just before.
    void NoteTraceStart();
    // The lines of this test's last run in the machine's trace, without line ends: among the
    // lines added since NoteTraceStart(), the last run whose first line names this test's
    // program, then the lines with that run's process id (Wine reuses process ids, so an older
    // run's lines never count).
    std::vector<std::string> TraceOfLastRun() const;
    // The run's trace ends with these texts, in order (each found in its line).
    void ExpectTraceEndsWith(const std::vector<std::string>& lastLines) const;
    // The "failed: " line of the last run, empty when there is none.
    std::string TraceFailureLine() const;
    // A failed run's trace ends with its failure (the step, and in that line the path and the
    // Win32 error with its text) and the result and exit code.
    void ExpectTraceEndsWithFailure(const std::string& step, const std::wstring& path, unsigned long dwError,
                                    const std::string& runEnd) const;

    std::wstring Root() const { return m_folder / L"pkg"; }
    std::wstring Temp() const { return m_folder / L"temp"; }
    std::wstring Staging() const { return Temp() + L"\\KVNIC_INST_TEMP"; }
    std::wstring Program() const { return Root() + L"\\NicUpdate.exe"; }
    // Where the family's driver installer leaves its log on 64-bit Windows.
    std::wstring DriverLog(bool bUsbPackage) const;

    TempFolder m_folder;
    bool m_bUsbPackage = true;
    unsigned long long m_cbTraceBefore = 0;
};

// The driver install logs, written out as the product folders are named rather than taken from
// the program's own table, so that a slip in that table shows: on 64-bit Windows for both
// families, and where a 32-bit Windows keeps the USB family's.
extern const wchar_t kUsbDriverLog[];
extern const wchar_t kNicDriverLog[];
extern const wchar_t kUsbDriverLogOn32BitWindows[];

// The 30 bytes that end every successful result log.
extern const char kLogRecord[];
// What the stand-in installer writes as its install log unless told otherwise.
extern const char kStandinLogText[];
// The box an interactive run shows when another staged run is at work.
extern const wchar_t kAnotherRunBoxCaption[];
extern const wchar_t kAnotherRunBoxText[];
