#pragma once

#include <string>

#include "fileops/ScopedHandle.h"
#include "report/TraceText.h"

// The machine-wide trace of runs, %SystemRoot%\Logs\NicUpdate.log. Best effort: when it cannot
// be opened or written, every call does nothing and the run goes on unchanged.
class RunTrace {
public:
    // Opens the trace in the Windows folder's Logs (made with administrators-only rights when
    // missing), rolls it over to NicUpdate.log.old when it is past 1 MiB, and writes the run's
    // first line: when it started, the version, the command line, the user, the bitness and the
    // temporary folder.
    void Start(const TraceClock& started, const wchar_t* pszCommandLine, const std::wstring& tempFolder);
    // One line, written by one append.
    void Write(const std::wstring& text);

private:
    FileHandle m_hFile;
};
