#pragma once

#include <windows.h>

// Whether the process hProcess (opened with PROCESS_QUERY_LIMITED_INFORMATION) runs as the
// account this process runs as: the users of the two primary tokens are one SID. False when
// either token cannot be read.
bool RunsAsThisProcessesAccount(HANDLE hProcess);
