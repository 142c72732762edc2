#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// The installer command line for a staging folder: the quoted path of the staged Setup.exe,
// followed by " -s" when bSilent. Returns false, leaving commandLine untouched, when the
// line would not fit a buffer of cchBuffer characters including the terminator.
bool BuildInstallerCommandLine(const std::wstring& stagingFolder, bool bSilent, wchar_t* commandLine,
                               std::size_t cchBuffer);

// A process of the installer's job still at work when the run stopped waiting for it.
struct LingeringProcess {
    enum class Hold {
        None,          // it was given none: another account's, or it could not be given one
        TakenBack,     // the copy the run handed it is closed
        NotTakenBack,  // the close failed with dwTakeBackError: it may still hold the folder
    };
    unsigned long dwProcessId = 0;
    std::wstring image;  // its image path; empty when it cannot be read
    Hold hold = Hold::None;
    unsigned long dwTakeBackError = 0;
};

// What the run learned while it waited for the installer.
struct InstallerWait {
    // Set by the caller before the launch, kept by the launch:
    // how long, after Setup.exe ends, the run waits for the job's other processes (0: not at all).
    unsigned long dwLingerMs = 0;
    // Given a line for the trace once a minute while processes of the job outlive Setup.exe,
    // naming them (StillWaitingLine).
    std::function<void(const std::wstring& line)> onStillWaiting;

    // Filled by the launch:
    unsigned long dwExitCode = 0;  // Setup.exe's own
    // ERROR_SUCCESS: the installer ran in a job and the run waited until no process of it was
    // left or the bound passed. Otherwise why no job could be made or joined: the run waited for
    // Setup.exe alone.
    unsigned long dwJobError = 0;
    // The job's limit that ends the installer with a killed caller could not be lifted once it
    // ran (the Win32 error): a killed caller then ends a working installer.
    unsigned long dwKillOnCloseError = 0;
    unsigned long nOutliving = 0;         // processes of the installer still at work when Setup.exe ended
    unsigned long dwOutlivingWaitMs = 0;  // how long the run then waited for them
    // Still at work when dwLingerMs passed: the run stopped waiting and took its holds back.
    std::vector<LingeringProcess> lingering;
};

// Starts the command line hidden, in the caller's current folder, inside a job of its own, and
// waits until no process of the job is left, or, once Setup.exe has ended, at most
// wait.dwLingerMs for the others. The installer is created suspended and inheriting nothing, in
// the job where the platform can (Windows 10 and later), elsewhere joined to it right after.
// Then it is given its own copy of hHeldFolder, the staging folder's hold, that no process it
// starts inherits, and resumed. Until then the job ends its processes when its last handle
// closes, so that a caller that dies in between leaves no installer suspended for ever; and one
// that dies before the join leaves one that holds nothing. Once it runs, the job never ends it
// with its handle: a running installer outlives a killed caller. No breakaway. Every later
// process of the job that runs as this process's account is handed a copy of the hold as it
// starts, so the folder stays held while any of them works; when the bound passes, every copy
// in a process still at work is closed (wait.lingering). Returns ERROR_SUCCESS with what wait
// says, or the Win32 error when the process cannot be started or given the hold. The exit code
// is only recorded, never judged: the installer's outcome is in its own install log, and any
// value, -1 included, is a valid one.
unsigned long LaunchAndWait(wchar_t* commandLine, void* hHeldFolder, InstallerWait& wait);
