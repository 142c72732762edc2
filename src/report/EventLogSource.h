#pragma once

#include "report/RunEvent.h"

// The Application event source of the program.
extern const wchar_t kEventSourceName[];
// Its registration, under HKEY_LOCAL_MACHINE.
extern const wchar_t kEventSourceKey[];

// Registers the source with its message file (repairing values someone changed) and reports
// the run's event. Best effort: whatever fails is skipped, nothing is shown and the run's result
// never depends on it.
void ReportRunEvent(const RunEvent& event);
