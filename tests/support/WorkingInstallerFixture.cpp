#include "support/WorkingInstallerFixture.h"

#include <windows.h>

#include "support/FileUtil.h"

namespace {
constexpr DWORD kInstallerStartMs = 60000;
}

void WorkingInstallerTest::StartRunWithWorkingInstaller() {
    MakePackage();
    ConfigureInstaller("started=" + Narrow(m_folder / L"installer-started.txt") + "\r\n" +
                       "ended=" + Narrow(m_folder / L"installer-ended.txt") + "\r\n" +
                       "waitfor=" + Narrow(m_folder / L"installer-may-end.txt") + "\r\n");
    m_run = StartInBackground(L"/s /vLOGFILE=" + FirstLog(), kProgramRunTimeoutMs + kInstallerStartMs);
    ASSERT_TRUE(WaitForPath(m_folder / L"installer-started.txt", kInstallerStartMs)) << "the first run's installer never started";
}

void WorkingInstallerTest::TearDown() {
    if (m_run) {
        WriteBytes(m_folder / L"installer-may-end.txt", "");
        m_run.reset();
    }
    ProgramTest::TearDown();
}

ChildOutcome WorkingInstallerTest::FinishRun() {
    WriteBytes(m_folder / L"installer-may-end.txt", "");
    ChildOutcome outcome = m_run->Wait();
    m_run.reset();
    EXPECT_FALSE(outcome.bTimedOut);
    return outcome;
}

std::string WorkingInstallerTest::FilesAtInstallerStart() const { return ReadBytes(m_folder / L"installer-started.txt"); }

std::string WorkingInstallerTest::FilesAtInstallerEnd() const { return ReadBytes(m_folder / L"installer-ended.txt"); }
