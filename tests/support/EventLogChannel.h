#pragma once

#include <windows.h>

#include <string>
#include <vector>

// What reaches the platform's event log, as far as Wine lets a test see it. Wine's ReportEventW
// writes nothing anywhere but prints each insertion string on its "eventlog" debug channel, on
// the process's Unix standard error, which no Windows handle receives. So the program runs from
// a Unix script with the channel turned on and its standard error sent to a file.

// The insertion strings of every ReportEventW call in Wine's debug output, in the order made;
// an error event's strings come at the "err" level, a warning's at "warn", any other type's at
// "trace". Wine shortens
// a very long string in its debug output: such a string ends in "..." here.
std::vector<std::wstring> EventLogStrings(const std::string& wineDebugOutput);
// The level of each of those strings: "err", "warn" or "trace", which tells the event's type.
std::vector<std::string> EventLogLevels(const std::string& wineDebugOutput);

struct EventLogRun {
    bool bRan = false;       // the script ran and the launcher reported the program's exit code
    DWORD dwExitCode = 0;    // the program's full exit code
    std::vector<std::wstring> strings;  // EventLogStrings of the run's debug output
    std::vector<std::string> levels;    // and the level of each
    std::string output;      // the launcher's report and the debug output, for failure messages
};

// Runs the command line (a Windows program and its arguments) through the run_child launcher
// with TEMP and TMP set to tempFolder, under WINEDEBUG=-all,err+eventlog,warn+eventlog,trace+eventlog (the
// program's children inherit it). Under Wine only; elsewhere bRan is false.
EventLogRun RunWithEventLogChannel(const std::wstring& commandLine, const std::wstring& tempFolder,
                                   DWORD dwTimeoutMs = 60000);
