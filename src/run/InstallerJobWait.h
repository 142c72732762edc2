#pragma once

#include <string>
#include <vector>

#include "run/InstallerLaunch.h"

// What the wait for the installer's job asks of the platform and of the clock. The run's own
// calls are in InstallerLaunch.cpp; a test stands in for them, so that a wait of minutes takes
// none.
class JobWatch {
public:
    virtual ~JobWatch() = default;
    // Waits at most dwTimeoutMs for a message of the platform's job port. False when none came;
    // true with the message and the process id it names when one of the job's messages came,
    // and with dwMessage 0 for any other.
    virtual bool NextMessage(unsigned long dwTimeoutMs, unsigned long& dwMessage, unsigned long& dwProcessId) = 0;
    // The ids of the job's processes still at work; false when the job cannot be asked.
    virtual bool ListProcesses(std::vector<unsigned long>& ids) = 0;
    virtual bool SetupEnded() = 0;
    // Milliseconds on a clock that only moves forward (wrapping as GetTickCount does).
    virtual unsigned long Now() = 0;
    // What a process of the job runs, for the trace; empty when it cannot be read.
    virtual std::wstring ImageName(unsigned long dwProcessId) = 0;
    // Whether a process of the job runs as this process's account (its token's user); false
    // when that cannot be read. A process of another account, such as one the installer starts
    // in a logged-on user's session, is given no hold.
    virtual bool RunsAsThisAccount(unsigned long dwProcessId) = 0;
    // Gives a process that joined the job its own copy of the staging folder's hold: the copy's
    // handle value in that process, or null when none could be given.
    virtual void* HandOnHold(unsigned long dwProcessId) = 0;
    // Closes the copy hHold that HandOnHold gave the process: ERROR_SUCCESS or the Win32 error.
    virtual unsigned long TakeBackHold(unsigned long dwProcessId, void* hHold) = 0;
};

// How often the wait looks at the job itself: the platform does not promise to deliver every
// job message.
constexpr unsigned long kJobPollMs = 500;
// How often the trace names the processes that outlive Setup.exe.
constexpr unsigned long kOutlivingReportMs = 60000;

// Waits until no process of the job is left, handing the hold on to every process of this
// account that joins. While processes outlive Setup.exe (dwSetupId), wait.onStillWaiting is
// given, once a minute, a line that names them and says how long the run has waited for them.
// Once wait.dwLingerMs has passed since Setup.exe ended, the wait ends: the hold is taken back
// from every process still at work, and each is named in wait.lingering. Fills wait's counts.
void WaitForJob(JobWatch& watch, unsigned long dwSetupId, InstallerWait& wait);

// The line: each process's image name and id, and the minutes waited since Setup.exe ended.
std::wstring StillWaitingLine(const std::vector<unsigned long>& ids, JobWatch& watch, unsigned long dwWaitedMs);
