// The installer's start, where a caller killed between the installer's creation and its resume
// must leave nothing that holds the staging folder: the next run could then never remove it and
// would answer 1618 until the machine restarts. The platform's calls are stood in for to refuse
// the job list as systems before Windows 10 do, and to end the launch at a chosen call, as a
// kill there ends the caller: every handle the launch holds closes.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "fileops/HeldFolder.h"
#include "fileops/ScopedHandle.h"
#include "run/InstallerLaunchCalls.h"
#include "support/FileUtil.h"
#include "support/NamedCase.h"
#include "support/ProgramRun.h"
#include "support/TempFolder.h"

namespace {

struct CallerKilled {};

enum class KillAt { Nowhere, Join, Resume };

struct Scene {
    bool bRefuseJobList = false;
    KillAt killAt = KillAt::Nowhere;
    DWORD dwJoinError = ERROR_SUCCESS;  // the join fails with it
    KernelHandle installer;             // the test's own handle to the created installer
};
Scene g_scene;

unsigned long CreateAsThePlatform(wchar_t* commandLine, HANDLE hJob, PROCESS_INFORMATION& info) {
    // Before Windows 10 UpdateProcThreadAttribute refuses the attribute.
    if (hJob != nullptr && g_scene.bRefuseJobList) return ERROR_NOT_SUPPORTED;
    const unsigned long dwError = SystemInstallerLaunchCalls().pfnCreateSuspended(commandLine, hJob, info);
    HANDLE hCopy = nullptr;
    if (dwError == ERROR_SUCCESS &&
        DuplicateHandle(GetCurrentProcess(), info.hProcess, GetCurrentProcess(), &hCopy,
                        SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, 0))
        g_scene.installer.Reset(hCopy);
    return dwError;
}
BOOL WINAPI JoinUnlessKilled(HANDLE hJob, HANDLE hProcess) {
    if (g_scene.killAt == KillAt::Join) throw CallerKilled();
    if (g_scene.dwJoinError != ERROR_SUCCESS) {
        SetLastError(g_scene.dwJoinError);
        return FALSE;
    }
    return AssignProcessToJobObject(hJob, hProcess);
}
DWORD WINAPI ResumeUnlessKilled(HANDLE hThread) {
    if (g_scene.killAt == KillAt::Resume) throw CallerKilled();
    return ResumeThread(hThread);
}
const InstallerLaunchCalls kCalls = {&CreateAsThePlatform, &JoinUnlessKilled, &ResumeUnlessKilled};

class InstallerStart : public ::testing::Test {
protected:
    void SetUp() override {
        g_scene = Scene();
        MakeFolders(m_staging);
        m_hold = HoldFolder(m_staging);
        ASSERT_TRUE(m_hold);
    }
    void TearDown() override {
        if (g_scene.installer) TerminateProcess(g_scene.installer.Get(), 1);
        g_scene = Scene();
    }

    // Whether a later run could open the staging folder to remove it: no handle that refuses
    // deletion is left open anywhere. The error when it cannot.
    DWORD OpenForRemoval() const {
        FileHandle folder(CreateFileW(m_staging.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        return folder ? ERROR_SUCCESS : GetLastError();
    }

    TempFolder m_folder;
    std::wstring m_staging = m_folder / L"KVNIC_INST_TEMP";
    FileHandle m_hold;
    // Any program does: the killed cases never let it run.
    std::wstring m_commandLine = L"\"" + BuiltToolPath(L"run_child.exe") + L"\"";
};

struct KillCase : NamedCase {
    bool bRefuseJobList;
    KillAt killAt;
    bool bEndedWithTheCaller;  // the job ends it as the caller's last handle to it closes
};

class KilledCaller : public InstallerStart, public ::testing::WithParamInterface<KillCase> {};

TEST_P(KilledCaller, LeavesNoProcessThatHoldsTheStagingFolder) {
    const KillCase& c = GetParam();
    g_scene.bRefuseJobList = c.bRefuseJobList;
    g_scene.killAt = c.killAt;
    InstallerWait wait;

    EXPECT_THROW(LaunchAndWaitThrough(kCalls, &m_commandLine[0], m_hold.Get(), wait), CallerKilled);
    ASSERT_TRUE(g_scene.installer) << "the installer was never created";
    m_hold.Reset();  // the run's own hold goes with the run

    EXPECT_EQ(WaitForSingleObject(g_scene.installer.Get(), c.bEndedWithTheCaller ? 10000 : 500),
              c.bEndedWithTheCaller ? WAIT_OBJECT_0 : static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(OpenForRemoval(), static_cast<DWORD>(ERROR_SUCCESS)) << "a process still holds the staging folder";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KilledCaller,
    ::testing::Values(
        // Before Windows 10 the installer is outside its job until the join: a kill there leaves
        // it suspended for ever, but holding nothing.
        KillCase{"BeforeTheJoinWithoutTheJobList", true, KillAt::Join, false},
        KillCase{"BeforeTheResumeWithoutTheJobList", true, KillAt::Resume, true},
        KillCase{"BeforeTheResumeBornInTheJob", false, KillAt::Resume, true}),
    CaseName());

// Where jobs cannot nest the installer runs outside one, as before, and still gets the hold
// only from the run; the run says why it waited for Setup.exe alone.
TEST_F(InstallerStart, JoinRefusedRunsOutsideAJob) {
    g_scene.bRefuseJobList = true;
    g_scene.dwJoinError = ERROR_ACCESS_DENIED;
    InstallerWait wait;

    // The launcher without its arguments shows its usage and ends with 2.
    EXPECT_EQ(LaunchAndWaitThrough(kCalls, &m_commandLine[0], m_hold.Get(), wait), static_cast<DWORD>(ERROR_SUCCESS));

    EXPECT_EQ(wait.dwJobError, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(wait.dwExitCode, 2u);
    ASSERT_TRUE(g_scene.installer);
    EXPECT_EQ(WaitForSingleObject(g_scene.installer.Get(), 0), WAIT_OBJECT_0) << "the run ended before Setup.exe";
    m_hold.Reset();
    EXPECT_EQ(OpenForRemoval(), static_cast<DWORD>(ERROR_SUCCESS));
}

}  // namespace
