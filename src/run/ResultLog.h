#pragma once

#include <string>

#include "fileops/ScopedHandle.h"
#include "invocation/RunOptions.h"
#include "package/StepFailure.h"

class CFileOpEngine;

// Which driver install log the result log takes, and what became of it.
struct DriverLogTaking {
    // UTC file time (100 ns units) before which a driver log is an earlier install's and stays
    // out of the result log; 0 takes whatever log exists.
    unsigned long long ullWrittenNotBefore = 0;
    enum class Outcome { Copied, Missing, Earlier } outcome = Outcome::Missing;
    std::wstring path;  // the driver install log looked for
};

// How far a driver log's last-write time may lie before the installer's start and still be
// its own: file systems keep last-write times as coarsely as 2 seconds (FAT).
constexpr unsigned long long kFileTimeGranularity = 2ull * 10000000ull;

// Replaces the caller's log file with a copy of the driver installer's own log (when driverLog
// allows it), all through the one handle it returns for appending, made in the log's folder
// while that folder is held. Returns 0 with hLog valid, or 8, 9, 10, 11 (also for a log folder
// that is a link) or a path splitter error number; failure then says where and why.
int PrepareResultLog(FileHandle& hLog, const RunOptions& options, CFileOpEngine& engine, bool bUsbPackage,
                     DriverLogTaking& driverLog, StepFailure& failure);

// Appends the log record and closes the log. Returns false when the record was not written whole.
bool AppendLogRecord(FileHandle hLog, int nRetCode);
