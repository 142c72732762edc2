#pragma once

#include <string>

// Places that every run on the machine shares and that a test changes for a while: the Windows
// folder's Logs (moved aside whole) and the trace's name (a link planted there). A test process
// that dies keeps its destructors from putting them back, so each fixture that uses these places
// first puts back whatever an earlier test left changed. Each ctest job runs its tests in a Wine
// prefix of its own, so no test of another job is at work there meanwhile.

// %SystemRoot%\Logs, as the system spells the Windows folder.
std::wstring MachineLogsFolder();
// The machine's trace of runs in it, NicUpdate.log.
std::wstring MachineTracePath();

// Where the Logs folder waits while it is aside: its own name with this ending.
extern const wchar_t kLogsAsideSuffix[];
// Beside the trace while a link stands at its name: the trace that stood there, or, with the
// second ending, an empty marker saying that there was none.
extern const wchar_t kTraceSavedSuffix[];
extern const wchar_t kTraceNoneSuffix[];

// Puts back what an earlier test left changed: the Logs folder from aside (whatever stands at its
// name goes), and the trace in place of a link at its name.
void RestoreMachineWidePlaces();
