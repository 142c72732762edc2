#pragma once

#include <memory>
#include <string>

#include "support/BackgroundRun.h"
#include "support/ProgramFixture.h"

// A run whose stand-in installer stays at work until the test lets it end, so that the test can
// act while the run holds its lock and its staging folder. The installer counts its package's
// files at its start and at its end.
class WorkingInstallerTest : public ProgramTest {
protected:
    // Lets a still waiting installer end, so a failed test never leaves a run behind.
    void TearDown() override;

    // Writes the package, starts "/s /vLOGFILE=<FirstLog()>" in the background and waits until
    // its installer has started.
    void StartRunWithWorkingInstaller();
    // Lets the installer end and returns the run's outcome.
    ChildOutcome FinishRun();
    // What the installer counted at its start or end ("files=N"), to compare with
    // FilesInPackage().
    std::string FilesAtInstallerStart() const;
    std::string FilesAtInstallerEnd() const;
    std::wstring FirstLog() const { return m_folder / L"first.log"; }

private:
    std::unique_ptr<BackgroundRun> m_run;
};
