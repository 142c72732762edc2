#include "run/InstallerLaunch.h"

#include <windows.h>

#include <cwchar>
#include <vector>

#include "fileops/ScopedHandle.h"
#include "package/PackageLayout.h"

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

// How often the wait looks at the job itself: the platform does not promise to deliver every
// job message.
constexpr DWORD kJobPollMs = 500;

struct AttributeListPolicy {
    static HANDLE Invalid() noexcept { return nullptr; }
    static void Close(HANDLE h) noexcept {
        DeleteProcThreadAttributeList(static_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(h));
        HeapFree(GetProcessHeap(), 0, h);
    }
};
using AttributeList = ScopedHandle<AttributeListPolicy>;

// A list that lets the child inherit hInherited and nothing else.
AttributeList InheritOnly(HANDLE* phInherited) {
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
    if (!UpdateProcThreadAttribute(pList, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, phInherited, sizeof *phInherited,
                                   nullptr, nullptr))
        return AttributeList();
    return list;
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

// The ids of the job's processes that are still at work; false when the job cannot be asked.
bool ReadJobProcesses(HANDLE hJob, std::vector<ULONG_PTR>& ids) {
    std::vector<unsigned char> buffer(sizeof(JOBOBJECT_BASIC_PROCESS_ID_LIST) + 64 * sizeof(ULONG_PTR));
    for (;;) {
        auto pList = reinterpret_cast<JOBOBJECT_BASIC_PROCESS_ID_LIST*>(buffer.data());
        if (QueryInformationJobObject(hJob, JobObjectBasicProcessIdList, pList, static_cast<DWORD>(buffer.size()),
                                      nullptr) ||
            GetLastError() == ERROR_MORE_DATA) {
            if (pList->NumberOfProcessIdsInList == pList->NumberOfAssignedProcesses) {
                ids.assign(pList->ProcessIdList, pList->ProcessIdList + pList->NumberOfProcessIdsInList);
                return true;
            }
            buffer.resize(sizeof(JOBOBJECT_BASIC_PROCESS_ID_LIST) +
                          (pList->NumberOfAssignedProcesses + 16) * sizeof(ULONG_PTR));
            continue;
        }
        return false;
    }
}

// Gives a process that joined the job its own copy of the hold; it closes with the process.
// The id is trusted only while the process it opens is in the job: an id can be reused.
void HandOnHold(HANDLE hJob, HANDLE hHeldFolder, DWORD dwProcessId) {
    KernelHandle process(
        OpenProcess(PROCESS_DUP_HANDLE | PROCESS_QUERY_INFORMATION, FALSE, dwProcessId));
    BOOL bInJob = FALSE;
    if (!process || !IsProcessInJob(process.Get(), hJob, &bInJob) || !bInJob) return;
    HANDLE hCopy = nullptr;
    DuplicateHandle(GetCurrentProcess(), hHeldFolder, process.Get(), &hCopy, 0, FALSE, DUPLICATE_SAME_ACCESS);
}

// Waits until no process of the job is left, handing the hold on to every process that joins.
void WaitForJob(HANDLE hJob, HANDLE hPort, HANDLE hSetup, DWORD dwSetupId, HANDLE hHeldFolder, InstallerWait& wait) {
    bool bSetupEnded = false;
    DWORD dwSetupEndedAt = 0;
    for (;;) {
        DWORD dwMessage = 0;
        ULONG_PTR key = 0;
        LPOVERLAPPED pDetail = nullptr;
        const BOOL bGot = GetQueuedCompletionStatus(hPort, &dwMessage, &key, &pDetail, kJobPollMs);
        if (!bGot && pDetail == nullptr && GetLastError() != WAIT_TIMEOUT) Sleep(kJobPollMs);  // no port to wait on
        bool bEmpty = false;
        if (bGot && key == reinterpret_cast<ULONG_PTR>(hJob)) {
            const DWORD dwProcessId = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(pDetail));
            if (dwMessage == JOB_OBJECT_MSG_NEW_PROCESS && dwProcessId != dwSetupId)
                HandOnHold(hJob, hHeldFolder, dwProcessId);
            bEmpty = dwMessage == JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO;
        }
        std::vector<ULONG_PTR> ids;
        const bool bAsked = !bEmpty && ReadJobProcesses(hJob, ids);
        if (!bSetupEnded && WaitForSingleObject(hSetup, 0) == WAIT_OBJECT_0) {
            bSetupEnded = true;
            dwSetupEndedAt = GetTickCount();
            for (ULONG_PTR id : ids) wait.nOutliving += id != dwSetupId;
        }
        if (bAsked && ids.empty()) bEmpty = true;
        // A job that cannot be asked and sends nothing more leaves Setup.exe's own end.
        if (bEmpty || (!bAsked && !bGot && bSetupEnded)) break;
    }
    if (wait.nOutliving > 0) wait.dwOutlivingWaitMs = GetTickCount() - dwSetupEndedAt;
}

}  // namespace

unsigned long LaunchAndWait(wchar_t* commandLine, void* hHeldFolder, InstallerWait& wait) {
    wait = InstallerWait();
    KernelHandle port;
    KernelHandle job = MakeWatchedJob(port);
    if (!job) wait.dwJobError = GetLastError();

    // An inheritable copy in an explicit list: the installer inherits the hold and nothing else.
    HANDLE hInheritable = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), hHeldFolder, GetCurrentProcess(), &hInheritable, 0, TRUE,
                         DUPLICATE_SAME_ACCESS))
        return GetLastError();
    KernelHandle inheritable(hInheritable);
    AttributeList attributes = InheritOnly(&hInheritable);
    if (!attributes) return GetLastError();
    STARTUPINFOEXW startup = {};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW;
    startup.StartupInfo.wShowWindow = SW_HIDE;
    startup.lpAttributeList = static_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.Get());
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, commandLine, nullptr, nullptr, TRUE, EXTENDED_STARTUPINFO_PRESENT | CREATE_SUSPENDED,
                        nullptr, nullptr, &startup.StartupInfo, &info))
        return GetLastError();
    inheritable.Reset();
    // Declared in this order so the process handle is closed before the thread handle.
    KernelHandle thread(info.hThread);
    KernelHandle process(info.hProcess);
    // Where jobs cannot nest (a caller already in a job on older systems) the installer runs
    // outside one.
    if (job && !AssignProcessToJobObject(job.Get(), process.Get())) {
        wait.dwJobError = GetLastError();
        job.Reset();
    }
    if (ResumeThread(thread.Get()) == static_cast<DWORD>(-1)) {
        const DWORD dwError = GetLastError();
        TerminateProcess(process.Get(), ERROR_PROCESS_ABORTED);
        return dwError;
    }
    if (job)
        WaitForJob(job.Get(), port.Get(), process.Get(), info.dwProcessId, hHeldFolder, wait);
    else
        WaitForSingleObject(process.Get(), INFINITE);
    DWORD dwCode = 0;
    wait.dwExitCode = GetExitCodeProcess(process.Get(), &dwCode) ? dwCode : 0;
    return ERROR_SUCCESS;
}
