#pragma once

#include <string>

#include "package/DriverVersionText.h"
#include "package/StepFailure.h"

// The text of the run's trace: plain string rules, no platform calls.

// Local time and how far it lies ahead of UTC.
struct TraceClock {
    int nYear, nMonth, nDay, nHour, nMinute, nSecond, nMilliseconds;
    int nUtcOffsetMinutes;
};

// ISO 8601 with the UTC offset, so that traces from machines in other time zones line up:
// "2026-12-11T00:03:07.042+01:00"
std::wstring FormatTraceTime(const TraceClock& clock);

// One line of a run: every line names the process, so overlapping runs stay apart. Ends in CRLF.
std::wstring FormatTraceLine(unsigned long pid, const std::wstring& text);

// The symbolic name of a result code, e.g. "CannotCreateFolder (8)".
std::wstring ResultCodeText(int nResultCode);

// The run's last line: its result and the exit code the caller sees.
std::wstring FormatRunEnd(int nResultCode, int nExitCode);

// A failed step: which step, which path, and which error (ErrorCodeName) with its meaning: the
// system's text for it (errorText), or SetupAPI's meaning for its own codes; or the program's
// own finding when there is no error code.
std::wstring DescribeStepFailure(const StepFailure& failure, const std::wstring& errorText);

// One driver folder's line: folder, INF, DriverVer's date and version; or that the folder holds
// no active INF or its INF no DriverVer; or, with errorText (the system's text for dwError), why
// the folder or the INF could not be read.
std::wstring DescribeInfDriverVersion(const InfDriverVersion& inf, const std::wstring& errorText);

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(const std::wstring& text);
