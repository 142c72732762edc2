#pragma once

#include <cstddef>
#include <string>

// The installer command line for a staging folder: the quoted path of the staged Setup.exe,
// followed by " -s" when bSilent. Returns false, leaving commandLine untouched, when the
// line would not fit a buffer of cchBuffer characters including the terminator.
bool BuildInstallerCommandLine(const std::wstring& stagingFolder, bool bSilent, wchar_t* commandLine,
                               std::size_t cchBuffer);

// Starts the command line hidden, in the caller's current folder, and waits for it without a
// time-out. Returns false when the process cannot be started. The installer's exit code is not
// read: its outcome is in its own install log, and any value, -1 included, is a valid one.
bool LaunchAndWait(wchar_t* commandLine);
