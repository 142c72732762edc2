#pragma once

#include <windows.h>

#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "run/InstallerJobWait.h"

// A process of a stand-in job, with times in ms after the wait's start.
struct FakeProcess {
    unsigned long dwId;
    const wchar_t* pszImage;  // empty: cannot be read
    unsigned long dwEndMs;
    unsigned long dwStartMs = 0;
    bool bThisAccount = true;       // runs as the run's account
    bool bAnnounced = true;         // the platform sends its new-process message
    unsigned long dwTakeBackError = ERROR_SUCCESS;  // what closing its copy of the hold answers
};

// A job whose processes start and end at given times, on a clock that each look at the port
// moves on by the look's time-out, and that sends the platform's messages as they happen: a
// process's start, its end, and the job's last end. It records every copy of the hold it is
// handed and taken back. Setup.exe is the first process.
class FakeJobWatch : public JobWatch {
public:
    FakeJobWatch(unsigned long dwStart, std::vector<FakeProcess> processes)
        : m_dwStart(dwStart), m_processes(std::move(processes)), m_started(m_processes.size()), m_ended(m_processes.size()) {}

    bool NextMessage(unsigned long dwTimeoutMs, unsigned long& dwMessage, unsigned long& dwProcessId) override {
        if (m_messages.empty()) {
            m_dwElapsed += dwTimeoutMs;
            QueueMessages();
        }
        dwMessage = 0;
        dwProcessId = 0;
        if (m_messages.empty()) return false;
        dwMessage = m_messages.front().first;
        dwProcessId = m_messages.front().second;
        m_messages.pop_front();
        return true;
    }
    bool ListProcesses(std::vector<unsigned long>& ids) override {
        ids.clear();
        for (const FakeProcess& process : m_processes)
            if (Runs(process)) ids.push_back(process.dwId);
        return true;
    }
    bool SetupEnded() override { return m_dwElapsed >= m_processes.front().dwEndMs; }
    unsigned long Now() override { return m_dwStart + m_dwElapsed; }
    std::wstring ImageName(unsigned long dwProcessId) override {
        const FakeProcess* process = Find(dwProcessId);
        return process != nullptr ? process->pszImage : std::wstring();
    }
    bool RunsAsThisAccount(unsigned long dwProcessId) override {
        const FakeProcess* process = Find(dwProcessId);
        return process != nullptr && process->bThisAccount;
    }
    void* HandOnHold(unsigned long dwProcessId) override {
        const FakeProcess* process = Find(dwProcessId);
        if (process == nullptr || !Runs(*process)) return nullptr;
        handed.push_back(dwProcessId);
        return HoldIn(dwProcessId);
    }
    unsigned long TakeBackHold(unsigned long dwProcessId, void* hHold) override {
        const FakeProcess* process = Find(dwProcessId);
        if (process == nullptr || hHold != HoldIn(dwProcessId)) {
            takenBack.push_back(0);  // a handle the run never handed that process
            return ERROR_INVALID_HANDLE;
        }
        takenBack.push_back(dwProcessId);
        return process->dwTakeBackError;
    }

    std::vector<unsigned long> handed;     // each process given a copy, in order
    std::vector<unsigned long> takenBack;  // each process whose copy was closed; 0 for a wrong handle

private:
    static void* HoldIn(unsigned long dwProcessId) { return reinterpret_cast<void*>(0x1000 + 4 * dwProcessId); }

    bool Runs(const FakeProcess& process) const {
        return m_dwElapsed >= process.dwStartMs && m_dwElapsed < process.dwEndMs;
    }
    const FakeProcess* Find(unsigned long dwProcessId) const {
        for (const FakeProcess& process : m_processes)
            if (process.dwId == dwProcessId) return &process;
        return nullptr;
    }
    void QueueMessages() {
        bool bAnyRuns = false;
        for (std::size_t i = 0; i < m_processes.size(); ++i) {
            const FakeProcess& process = m_processes[i];
            if (!m_started[i] && m_dwElapsed >= process.dwStartMs) {
                m_started[i] = true;
                if (process.bAnnounced) m_messages.emplace_back(JOB_OBJECT_MSG_NEW_PROCESS, process.dwId);
            }
            if (!m_ended[i] && m_dwElapsed >= process.dwEndMs) {
                m_ended[i] = true;
                m_messages.emplace_back(JOB_OBJECT_MSG_EXIT_PROCESS, process.dwId);
            }
            bAnyRuns = bAnyRuns || !m_ended[i];
        }
        if (!bAnyRuns && !m_bZeroSent) {
            m_bZeroSent = true;
            m_messages.emplace_back(JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO, 0);
        }
    }

    unsigned long m_dwStart;
    unsigned long m_dwElapsed = 0;
    std::vector<FakeProcess> m_processes;
    std::vector<bool> m_started, m_ended;
    std::deque<std::pair<unsigned long, unsigned long>> m_messages;
    bool m_bZeroSent = false;
};
