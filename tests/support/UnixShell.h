#pragma once

#include <windows.h>

#include <string>

// Runs a shell script on the Linux side of Wine, for the test set-up that Windows cannot do
// (mounting a file system, linking a drive letter into the prefix).
struct UnixScriptOutcome {
    bool bRan = false;  // false: not under Wine, not startable, or no end within the time-out
    int nExitStatus = -1;
    std::string output;  // standard output and standard error together
};

// Only meaningful under Wine; elsewhere the outcome says it did not run.
bool IsRunningUnderWine();

UnixScriptOutcome RunUnixScript(const std::string& script, DWORD dwTimeoutMs = 15000);
