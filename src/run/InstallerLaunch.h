#pragma once

#include <cstddef>
#include <string>

// The installer command line for a staging folder: the quoted path of the staged Setup.exe,
// followed by " -s" when bSilent. Returns false, leaving commandLine untouched, when the
// line would not fit a buffer of cchBuffer characters including the terminator.
bool BuildInstallerCommandLine(const std::wstring& stagingFolder, bool bSilent, wchar_t* commandLine,
                               std::size_t cchBuffer);

// Starts the command line hidden, in the caller's current folder, and waits for it without a
// time-out. Returns ERROR_SUCCESS with the installer's exit code, or the Win32 error when the
// process cannot be started. The exit code is only recorded, never judged: the installer's
// outcome is in its own install log, and any value, -1 included, is a valid one.
unsigned long LaunchAndWait(wchar_t* commandLine, unsigned long& dwExitCode);
