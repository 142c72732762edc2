#pragma once

#include <cstddef>
#include <functional>
#include <string>

// The installer command line for a staging folder: the quoted path of the staged Setup.exe,
// followed by " -s" when bSilent. Returns false, leaving commandLine untouched, when the
// line would not fit a buffer of cchBuffer characters including the terminator.
bool BuildInstallerCommandLine(const std::wstring& stagingFolder, bool bSilent, wchar_t* commandLine,
                               std::size_t cchBuffer);

// What the run learned while it waited for the installer.
struct InstallerWait {
    unsigned long dwExitCode = 0;  // Setup.exe's own
    // ERROR_SUCCESS: the installer ran in a job and the run waited until no process of it was
    // left. Otherwise why no job could be made or joined: the run waited for Setup.exe alone.
    unsigned long dwJobError = 0;
    unsigned long nOutliving = 0;        // processes of the installer still at work when Setup.exe ended
    unsigned long dwOutlivingWaitMs = 0;  // how long the run then waited for them
    // Set by the caller before the launch, kept by it: given a line for the trace once a minute
    // while processes of the job outlive Setup.exe, naming them (StillWaitingLine).
    std::function<void(const std::wstring& line)> onStillWaiting;
};

// Starts the command line hidden, in the caller's current folder, inside a job of its own, and
// waits without a time-out until no process of the job is left. The installer is created in the
// job where the platform can (Windows 10 and later); elsewhere it is created suspended and
// joined, and until it has been resumed the job ends its processes when its last handle closes,
// so that a caller that dies in between leaves no installer suspended for ever. Once it runs,
// the job never ends it with its handle: a running installer outlives a killed caller. No
// breakaway. hHeldFolder, the staging folder's hold, is the one handle the installer inherits,
// and every later process of the job is handed a copy as it starts: the folder stays held while
// any of them works, whoever ends first. Returns ERROR_SUCCESS with what wait says, or the Win32
// error when the process cannot be started. The exit code is only recorded, never judged: the
// installer's outcome is in its own install log, and any value, -1 included, is a valid one.
unsigned long LaunchAndWait(wchar_t* commandLine, void* hHeldFolder, InstallerWait& wait);
