#include "run/InstallerLaunch.h"

#include <windows.h>

#include <cwchar>
#include <vector>

#include "fileops/ScopedHandle.h"
#include "package/PackageLayout.h"
#include "run/InstallerJobWait.h"
#include "run/InstallerLaunchCalls.h"
#include "run/ProcessAccount.h"

bool BuildInstallerCommandLine(const std::wstring& stagingFolder, bool bSilent, wchar_t* commandLine,
                               std::size_t cchBuffer) {
    // Quoted, so that a temporary folder with a blank cannot make the platform start a
    // program named by a shorter prefix of the path.
    std::wstring line = L"\"" + stagingFolder + L"\\" + kWindowsFolder + kInstallerFile + L"\"";
    if (bSilent) line += L" -s";
    if (line.size() + 1 > cchBuffer) return false;
    std::wmemcpy(commandLine, line.c_str(), line.size() + 1);
    return true;
}

namespace {

// PROC_THREAD_ATTRIBUTE_JOB_LIST (Windows 10), which the headers name only for that target.
constexpr DWORD_PTR kAttributeJobList = 0x0002000D;

struct AttributeListPolicy {
    static HANDLE Invalid() noexcept { return nullptr; }
    static void Close(HANDLE h) noexcept {
        DeleteProcThreadAttributeList(static_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(h));
        HeapFree(GetProcessHeap(), 0, h);
    }
};
using AttributeList = ScopedHandle<AttributeListPolicy>;

// A list that puts the child in the job *phJob from its first instruction. Invalid, with the
// thread's last error, when the platform refuses it (the job list is Windows 10's).
AttributeList JobListAttribute(HANDLE* phJob) {
    SIZE_T cb = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &cb);
    void* pMemory = HeapAlloc(GetProcessHeap(), 0, cb);
    if (pMemory == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return AttributeList();
    }
    auto pList = static_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(pMemory);
    if (!InitializeProcThreadAttributeList(pList, 1, 0, &cb)) {
        const DWORD dwError = GetLastError();
        HeapFree(GetProcessHeap(), 0, pMemory);
        SetLastError(dwError);
        return AttributeList();
    }
    AttributeList list(pList);
    if (!UpdateProcThreadAttribute(pList, 0, kAttributeJobList, phJob, sizeof *phJob, nullptr, nullptr))
        return AttributeList();
    return list;
}

// Inheriting nothing: the hold reaches the installer only as a copy the run makes, which no
// process the installer starts can inherit, so the run knows every copy it must take back.
unsigned long CreateSuspendedInstaller(wchar_t* commandLine, HANDLE hJob, PROCESS_INFORMATION& info) {
    AttributeList attributes;
    if (hJob != nullptr) {
        attributes = JobListAttribute(&hJob);
        if (!attributes) return GetLastError();
    }
    STARTUPINFOEXW startup = {};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW;
    startup.StartupInfo.wShowWindow = SW_HIDE;
    startup.lpAttributeList = static_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.Get());
    PROCESS_INFORMATION created = {};
    const DWORD dwFlags = CREATE_SUSPENDED | (attributes ? EXTENDED_STARTUPINFO_PRESENT : 0);
    if (!CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, dwFlags, nullptr, nullptr,
                        &startup.StartupInfo, &created))
        return GetLastError();
    info = created;
    return ERROR_SUCCESS;
}

// Whether the job ends its processes when its last handle closes.
bool SetKillOnClose(HANDLE hJob, bool bKill) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = bKill ? JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE : 0;
    return SetInformationJobObject(hJob, JobObjectExtendedLimitInformation, &limits, sizeof limits) != FALSE;
}

// An unnamed job whose messages reach port, keyed by the job's handle. Invalid, with the
// thread's last error, when either cannot be made.
KernelHandle MakeWatchedJob(KernelHandle& port) {
    KernelHandle job(CreateJobObjectW(nullptr, nullptr));
    if (!job) return KernelHandle();
    port.Reset(CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1));
    if (!port) return KernelHandle();
    JOBOBJECT_ASSOCIATE_COMPLETION_PORT association = {};
    association.CompletionKey = job.Get();
    association.CompletionPort = port.Get();
    if (!SetInformationJobObject(job.Get(), JobObjectAssociateCompletionPortInformation, &association,
                                 sizeof association))
        return KernelHandle();
    return job;
}

// The wait's questions, asked of the real job, its port and Setup.exe's process.
class SystemJobWatch : public JobWatch {
public:
    SystemJobWatch(HANDLE hJob, HANDLE hPort, HANDLE hSetup, HANDLE hHeldFolder)
        : m_hJob(hJob), m_hPort(hPort), m_hSetup(hSetup), m_hHeldFolder(hHeldFolder) {}

    bool NextMessage(unsigned long dwTimeoutMs, unsigned long& dwMessage, unsigned long& dwProcessId) override {
        DWORD dwCode = 0;
        ULONG_PTR key = 0;
        LPOVERLAPPED pDetail = nullptr;
        const BOOL bGot = GetQueuedCompletionStatus(m_hPort, &dwCode, &key, &pDetail, dwTimeoutMs);
        if (!bGot && pDetail == nullptr && GetLastError() != WAIT_TIMEOUT) Sleep(dwTimeoutMs);  // no port to wait on
        dwMessage = 0;
        dwProcessId = 0;
        if (bGot && key == reinterpret_cast<ULONG_PTR>(m_hJob)) {
            dwMessage = dwCode;
            dwProcessId = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(pDetail));
        }
        return bGot != FALSE;
    }

    bool ListProcesses(std::vector<unsigned long>& ids) override {
        std::vector<unsigned char> buffer(sizeof(JOBOBJECT_BASIC_PROCESS_ID_LIST) + 64 * sizeof(ULONG_PTR));
        for (;;) {
            auto pList = reinterpret_cast<JOBOBJECT_BASIC_PROCESS_ID_LIST*>(buffer.data());
            if (!QueryInformationJobObject(m_hJob, JobObjectBasicProcessIdList, pList,
                                           static_cast<DWORD>(buffer.size()), nullptr) &&
                GetLastError() != ERROR_MORE_DATA)
                return false;
            if (pList->NumberOfProcessIdsInList == pList->NumberOfAssignedProcesses) {
                ids.assign(pList->ProcessIdList, pList->ProcessIdList + pList->NumberOfProcessIdsInList);
                return true;
            }
            buffer.resize(sizeof(JOBOBJECT_BASIC_PROCESS_ID_LIST) +
                          (pList->NumberOfAssignedProcesses + 16) * sizeof(ULONG_PTR));
        }
    }

    bool SetupEnded() override { return WaitForSingleObject(m_hSetup, 0) == WAIT_OBJECT_0; }

    unsigned long Now() override { return GetTickCount(); }

    std::wstring ImageName(unsigned long dwProcessId) override {
        KernelHandle process = OpenInJob(dwProcessId, PROCESS_QUERY_LIMITED_INFORMATION);
        wchar_t szImage[MAX_PATH] = {};
        DWORD cch = MAX_PATH;
        if (!process || !QueryFullProcessImageNameW(process.Get(), 0, szImage, &cch)) return std::wstring();
        return std::wstring(szImage, cch);
    }

    bool RunsAsThisAccount(unsigned long dwProcessId) override {
        KernelHandle process = OpenInJob(dwProcessId, PROCESS_QUERY_LIMITED_INFORMATION);
        return process && RunsAsThisProcessesAccount(process.Get());
    }

    // The copy closes with the process, or when the run takes it back.
    void* HandOnHold(unsigned long dwProcessId) override {
        KernelHandle process = OpenInJob(dwProcessId, PROCESS_DUP_HANDLE);
        HANDLE hCopy = nullptr;
        if (!process || !DuplicateHandle(GetCurrentProcess(), m_hHeldFolder, process.Get(), &hCopy, 0, FALSE,
                                         DUPLICATE_SAME_ACCESS))
            return nullptr;
        return hCopy;
    }

    unsigned long TakeBackHold(unsigned long dwProcessId, void* hHold) override {
        KernelHandle process = OpenInJob(dwProcessId, PROCESS_DUP_HANDLE);
        if (!process) {
            // Not in the job any more: it ended, and its copy with it.
            const DWORD dwError = GetLastError();
            return dwError != ERROR_SUCCESS ? dwError : ERROR_INVALID_PARAMETER;
        }
        // Closes the copy in the process. It comes here on its way out and is closed here too:
        // Wine refuses a close without a target process (error 6).
        HANDLE hBack = nullptr;
        if (!DuplicateHandle(process.Get(), hHold, GetCurrentProcess(), &hBack, 0, FALSE,
                             DUPLICATE_CLOSE_SOURCE | DUPLICATE_SAME_ACCESS))
            return GetLastError();
        KernelHandle back(hBack);
        return ERROR_SUCCESS;
    }

private:
    // The id is trusted only while the process it opens is in the job: an id can be reused.
    KernelHandle OpenInJob(DWORD dwProcessId, DWORD dwAccess) const {
        KernelHandle process(OpenProcess(dwAccess | PROCESS_QUERY_INFORMATION, FALSE, dwProcessId));
        BOOL bInJob = FALSE;
        if (!process || !IsProcessInJob(process.Get(), m_hJob, &bInJob) || !bInJob) return KernelHandle();
        return process;
    }

    HANDLE m_hJob;
    HANDLE m_hPort;
    HANDLE m_hSetup;
    HANDLE m_hHeldFolder;
};

}  // namespace

const InstallerLaunchCalls& SystemInstallerLaunchCalls() {
    static const InstallerLaunchCalls calls = {&CreateSuspendedInstaller, &AssignProcessToJobObject, &ResumeThread};
    return calls;
}

unsigned long LaunchAndWaitThrough(const InstallerLaunchCalls& calls, wchar_t* commandLine, void* hHeldFolder,
                                   InstallerWait& wait) {
    KernelHandle port;
    KernelHandle job = MakeWatchedJob(port);
    if (!job) wait.dwJobError = GetLastError();
    // Until the installer runs, a caller that dies takes the job's last handle and the installer
    // with it, instead of leaving it suspended, or half made, with the staging folder's hold for
    // ever. Even a creation inside the job is not one step on every platform (under Wine the
    // child starts before CreateProcessW returns and hangs when its creator dies).
    const bool bKillOnClose = job && SetKillOnClose(job.Get(), true);
    PROCESS_INFORMATION info = {};
    // Born in the job: there is no instant in which it is outside, waiting for a caller that may die.
    const bool bBornInJob = job && calls.pfnCreateSuspended(commandLine, job.Get(), info) == ERROR_SUCCESS;
    if (!bBornInJob) {
        const DWORD dwError = calls.pfnCreateSuspended(commandLine, nullptr, info);
        if (dwError != ERROR_SUCCESS) return dwError;
    }
    // Declared in this order so the process handle is closed before the thread handle.
    KernelHandle thread(info.hThread);
    KernelHandle process(info.hProcess);
    // A caller killed before this leaves, on older systems, an installer suspended for ever; but
    // one that holds nothing, so the next run can remove the staging folder and install. Where
    // jobs cannot nest (a caller already in a job before Windows 8) the installer runs outside one.
    if (!bBornInJob && job && !calls.pfnAssignProcessToJobObject(job.Get(), process.Get())) {
        wait.dwJobError = GetLastError();
        job.Reset();
    }
    HANDLE hInstallersHold = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), hHeldFolder, process.Get(), &hInstallersHold, 0, FALSE,
                         DUPLICATE_SAME_ACCESS) ||
        calls.pfnResumeThread(thread.Get()) == static_cast<DWORD>(-1)) {
        const DWORD dwError = GetLastError();
        TerminateProcess(process.Get(), ERROR_PROCESS_ABORTED);
        return dwError;
    }
    // It runs: from now on a killed caller leaves it at work, holding its package. Should the
    // limit stay, a killed caller would end a working installer; the run cannot undo that, says
    // so and goes on.
    if (job && bKillOnClose && !SetKillOnClose(job.Get(), false)) wait.dwKillOnCloseError = GetLastError();
    if (job) {
        SystemJobWatch watch(job.Get(), port.Get(), process.Get(), hHeldFolder);
        WaitForJob(watch, info.dwProcessId, wait);
    } else {
        WaitForSingleObject(process.Get(), INFINITE);
    }
    DWORD dwCode = 0;
    wait.dwExitCode = GetExitCodeProcess(process.Get(), &dwCode) ? dwCode : 0;
    return ERROR_SUCCESS;
}

unsigned long LaunchAndWait(wchar_t* commandLine, void* hHeldFolder, InstallerWait& wait) {
    return LaunchAndWaitThrough(SystemInstallerLaunchCalls(), commandLine, hHeldFolder, wait);
}
