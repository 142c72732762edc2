#include "run/InstallerJobWait.h"

#include <windows.h>

#include <algorithm>

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

namespace {

// A copy of the hold that the run handed to a process of the job.
struct HandedHold {
    unsigned long dwProcessId;
    void* hHold;
};

// Who of the job has been looked at, and what each was given.
class HoldKeeper {
public:
    HoldKeeper(JobWatch& watch, unsigned long dwSetupId) : m_watch(watch), m_dwSetupId(dwSetupId) {}

    // Once per process: Setup.exe has its copy from the launch, another account's gets none.
    void HandOn(unsigned long dwProcessId) {
        if (dwProcessId == m_dwSetupId || Seen(dwProcessId)) return;
        m_seen.push_back(dwProcessId);
        if (!m_watch.RunsAsThisAccount(dwProcessId)) return;
        void* hHold = m_watch.HandOnHold(dwProcessId);
        if (hHold != nullptr) m_handed.push_back(HandedHold{dwProcessId, hHold});
    }

    // What the job lists now. A process that ended is forgotten with the copy it held, so that
    // an id the platform hands out again is a new process, whose handles are none of the run's.
    void Listed(const std::vector<unsigned long>& ids) {
        const auto ended = [&ids](unsigned long id) { return std::find(ids.begin(), ids.end(), id) == ids.end(); };
        m_seen.erase(std::remove_if(m_seen.begin(), m_seen.end(), ended), m_seen.end());
        m_handed.erase(std::remove_if(m_handed.begin(), m_handed.end(),
                                      [&ended](const HandedHold& handed) { return ended(handed.dwProcessId); }),
                       m_handed.end());
        for (unsigned long id : ids) HandOn(id);
    }

    LingeringProcess TakeBack(unsigned long dwProcessId) {
        LingeringProcess process;
        process.dwProcessId = dwProcessId;
        process.image = m_watch.ImageName(dwProcessId);
        for (const HandedHold& handed : m_handed) {
            if (handed.dwProcessId != dwProcessId) continue;
            process.dwTakeBackError = m_watch.TakeBackHold(dwProcessId, handed.hHold);
            process.hold = process.dwTakeBackError == ERROR_SUCCESS ? LingeringProcess::Hold::TakenBack
                                                        : LingeringProcess::Hold::NotTakenBack;
        }
        return process;
    }

private:
    bool Seen(unsigned long dwProcessId) const {
        return std::find(m_seen.begin(), m_seen.end(), dwProcessId) != m_seen.end();
    }

    JobWatch& m_watch;
    unsigned long m_dwSetupId;
    std::vector<unsigned long> m_seen;
    std::vector<HandedHold> m_handed;
};

}  // namespace

void WaitForJob(JobWatch& watch, unsigned long dwSetupId, InstallerWait& wait) {
    HoldKeeper holds(watch, dwSetupId);
    bool bSetupEnded = false;
    unsigned long dwSetupEndedAt = 0;
    unsigned long dwNextReport = 0;  // ms after Setup.exe's end
    for (;;) {
        unsigned long dwMessage = 0;
        unsigned long dwProcessId = 0;
        const bool bGot = watch.NextMessage(kJobPollMs, dwMessage, dwProcessId);
        if (dwMessage == JOB_OBJECT_MSG_NEW_PROCESS) holds.HandOn(dwProcessId);
        bool bEmpty = dwMessage == JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO;
        std::vector<unsigned long> ids;
        const bool bAsked = !bEmpty && watch.ListProcesses(ids);
        // The platform does not promise every message: a process it did not announce is handed
        // its copy here.
        if (bAsked) holds.Listed(ids);
        if (!bSetupEnded && watch.SetupEnded()) {
            bSetupEnded = true;
            dwSetupEndedAt = watch.Now();
            dwNextReport = kOutlivingReportMs;
            for (unsigned long id : ids) wait.nOutliving += id != dwSetupId;
        }
        if (bAsked && ids.empty()) bEmpty = true;
        // A job that cannot be asked and sends nothing more leaves Setup.exe's own end.
        if (bEmpty || (!bAsked && !bGot && bSetupEnded)) break;
        if (!bSetupEnded || !bAsked) continue;
        std::vector<unsigned long> outliving;
        for (unsigned long id : ids)
            if (id != dwSetupId) outliving.push_back(id);
        if (outliving.empty()) continue;
        const unsigned long dwWaited = watch.Now() - dwSetupEndedAt;
        // A process the run waits for, silently, looks like a hang to whoever reads the trace.
        if (dwWaited >= dwNextReport) {
            if (wait.onStillWaiting) wait.onStillWaiting(StillWaitingLine(outliving, watch, dwWaited));
            dwNextReport = (dwWaited / kOutlivingReportMs + 1) * kOutlivingReportMs;
        }
        // A process that never ends (a tray program) must not keep the run, nor with its hold
        // every later run, waiting: what still works goes on without this run's hold.
        if (dwWaited >= wait.dwLingerMs) {
            for (unsigned long id : outliving) wait.lingering.push_back(holds.TakeBack(id));
            break;
        }
    }
    if (wait.nOutliving > 0) wait.dwOutlivingWaitMs = watch.Now() - dwSetupEndedAt;
}
