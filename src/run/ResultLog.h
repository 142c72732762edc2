#pragma once

#include "fileops/ScopedHandle.h"
#include "invocation/RunOptions.h"
#include "package/StepFailure.h"

class CFileOpEngine;

// Replaces the caller's log file with a copy of the driver installer's own log, all through the
// one handle it returns for appending, made in the log's folder while that folder is held.
// Returns 0 with hLog valid, or 8, 9, 10, 11 (also for a log folder that is a link) or a path
// splitter error number; failure then says where and why.
int PrepareResultLog(FileHandle& hLog, const RunOptions& options, CFileOpEngine& engine, bool bUsbPackage,
                     StepFailure& failure);

// Appends the log record and closes the log. Returns false when the record was not written whole.
bool AppendLogRecord(FileHandle hLog, int nRetCode);
