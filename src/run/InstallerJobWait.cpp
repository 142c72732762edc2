#include "run/InstallerJobWait.h"

#include <windows.h>

std::wstring StillWaitingLine(const std::vector<unsigned long>& ids, JobWatch& watch, unsigned long dwWaitedMs) {
    std::wstring line = L"still waiting for installer processes that outlived Setup.exe, " +
                        std::to_wstring(dwWaitedMs / 60000) + L" min so far:";
    const wchar_t* pszSeparator = L" ";
    for (unsigned long id : ids) {
        std::wstring image = watch.ImageName(id);
        if (image.empty()) image = L"(image name unknown)";
        line += pszSeparator + image + L" (process id " + std::to_wstring(id) + L")";
        pszSeparator = L", ";
    }
    return line;
}

void WaitForJob(JobWatch& watch, unsigned long dwSetupId, InstallerWait& wait) {
    bool bSetupEnded = false;
    unsigned long dwSetupEndedAt = 0;
    unsigned long dwNextReport = 0;  // ms after Setup.exe's end
    for (;;) {
        unsigned long dwMessage = 0;
        unsigned long dwProcessId = 0;
        const bool bGot = watch.NextMessage(kJobPollMs, dwMessage, dwProcessId);
        if (dwMessage == JOB_OBJECT_MSG_NEW_PROCESS && dwProcessId != dwSetupId) watch.HandOnHold(dwProcessId);
        bool bEmpty = dwMessage == JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO;
        std::vector<unsigned long> ids;
        const bool bAsked = !bEmpty && watch.ListProcesses(ids);
        if (!bSetupEnded && watch.SetupEnded()) {
            bSetupEnded = true;
            dwSetupEndedAt = watch.Now();
            dwNextReport = kOutlivingReportMs;
            for (unsigned long id : ids) wait.nOutliving += id != dwSetupId;
        }
        if (bAsked && ids.empty()) bEmpty = true;
        // A job that cannot be asked and sends nothing more leaves Setup.exe's own end.
        if (bEmpty || (!bAsked && !bGot && bSetupEnded)) break;
        // A process the run waits for, silently, looks like a hang to whoever reads the trace.
        if (bSetupEnded && bAsked) {
            const unsigned long dwWaited = watch.Now() - dwSetupEndedAt;
            if (dwWaited >= dwNextReport) {
                std::vector<unsigned long> outliving;
                for (unsigned long id : ids)
                    if (id != dwSetupId) outliving.push_back(id);
                if (wait.onStillWaiting && !outliving.empty())
                    wait.onStillWaiting(StillWaitingLine(outliving, watch, dwWaited));
                dwNextReport = (dwWaited / kOutlivingReportMs + 1) * kOutlivingReportMs;
            }
        }
    }
    if (wait.nOutliving > 0) wait.dwOutlivingWaitMs = watch.Now() - dwSetupEndedAt;
}
