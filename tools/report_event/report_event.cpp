// Reports one run event the way the program does, for the tests that watch what reaches the
// platform's event log.
//
//   report_event.exe EVENT_ID STRING...
//
// Event IDs from 200 to 299 are errors, from 300 up warnings, as in the program. Exits 0 once the event is handed over,
// 2 for a wrong command line.
#include <windows.h>

#include <cwchar>
#include <string>

#include "report/EventLogSource.h"

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fwprintf(stderr, L"usage: report_event.exe EVENT_ID STRING...\n");
        return 2;
    }
    RunEvent event;
    event.wEventId = static_cast<RunEventId>(std::wcstoul(argv[1], nullptr, 10));
    event.bError = event.wEventId >= 200 && event.wEventId < 300;
    event.bWarning = event.wEventId >= 300;
    for (int i = 2; i < argc; ++i) event.strings.push_back(argv[i]);
    ReportRunEvent(event);
    return 0;
}
