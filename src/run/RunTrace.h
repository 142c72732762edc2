#pragma once

#include <string>

#include "fileops/ScopedHandle.h"

// The machine-wide trace of runs in %SystemRoot%\Logs\NicUpdate.log. Best effort: when it
// cannot be opened or written, every call does nothing and the run goes on unchanged.
class RunTrace {
public:
    // Opens the trace (rolling it over past 1 MiB) and writes the run's first line.
    void Start(const wchar_t* pszCommandLine);
    // One line, written by one append.
    void Write(const std::wstring& text);
    // A failed step with the system's text for the error.
    void WriteFailure(const std::wstring& step, const std::wstring& path, unsigned long error);

private:
    FileHandle m_hFile;
};
