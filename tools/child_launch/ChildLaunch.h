#pragma once

#include <windows.h>

#include <string>

// Starts a Windows program the way a deployment tool would, with a temporary folder of the
// caller's choosing, and reads back its full 32-bit exit code.
struct ChildOptions {
    std::wstring commandLine;
    std::wstring tempFolder;     // TEMP and TMP of the child; empty keeps the caller's
    std::wstring currentFolder;  // empty keeps the caller's
    std::wstring stdoutPath;     // standard output goes to this file when set
    std::wstring desktop;        // "station\\desktop" the child starts on; empty keeps the caller's
    DWORD dwTimeoutMs = INFINITE;
};

struct ChildOutcome {
    bool bStarted = false;
    bool bTimedOut = false;  // the child was ended after the time-out
    DWORD dwExitCode = 0;
};

ChildOutcome RunChildProcess(const ChildOptions& options);

// The caller's environment with TEMP and TMP replaced, as a block for CreateProcessW.
std::wstring EnvironmentWithTemp(const std::wstring& tempFolder);
