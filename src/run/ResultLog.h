#pragma once

#include <string>

#include "fileops/ScopedHandle.h"
#include "invocation/RunOptions.h"
#include "package/StepFailure.h"
#include "run/DriverInstallLog.h"

class CFileOpEngine;

// Which driver install log the result log takes, and what became of it.
struct DriverLogTaking {
    std::wstring path;  // the driver install log looked for
    // An install takes only a log that differs from what stood at the path just before the
    // installer started (before); a driver extraction takes whatever log exists.
    bool bThisRunOnly = false;
    DriverLogNote before;
    enum class Outcome { Copied, Missing, Unchanged, Refused } outcome = Outcome::Missing;
    std::wstring refusal;  // Refused: why
};

// Removes whatever file or link stands at the caller's result log path (never a folder), in the
// log's folder while that folder is held, so that a run that fails later leaves no earlier run's
// record there; a read-only log in a run someone answers stays for the question when the log
// is made. True when something was removed; path then names it. Nothing else is reported: what
// stays is met again, and reported, when the result log is made.
bool RemoveOldResultLog(const RunOptions& options, CFileOpEngine& engine, std::wstring& path);

// Replaces the caller's log file with a copy of the driver installer's own log (when driverLog
// allows it), all through the one handle it returns for appending, made in the log's folder
// while that folder is held. Returns 0 with hLog valid, or 8, 9, 10, 11 (also for a log folder
// that is a link) or a path splitter error number; failure then says where and why.
int PrepareResultLog(FileHandle& hLog, const RunOptions& options, CFileOpEngine& engine, bool bUsbPackage,
                     DriverLogTaking& driverLog, StepFailure& failure);

// Appends the log record and closes the log. Returns false when the record was not written whole.
bool AppendLogRecord(FileHandle hLog, int nRetCode);
