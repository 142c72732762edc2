#pragma once

#include <string>
#include <vector>

#include "run/InstallerLaunch.h"

// How the trace and the event name a process the run stopped waiting for: its image path (or
// "(image name unknown)") and its process id.
std::wstring LingeringProcessName(const LingeringProcess& process);

// The event's field: every such process, separated by ", "; empty when there is none.
std::wstring LingeringField(const std::vector<LingeringProcess>& processes);

// The trace line of one such process and what became of the hold the run had handed it;
// errorText is the system's text for its dwTakeBackError.
std::wstring DescribeLingeringProcess(const LingeringProcess& process, const std::wstring& errorText);
