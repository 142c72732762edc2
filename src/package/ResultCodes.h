#pragma once

// Step results folded into the process exit code by RunUpdate. They live with the lowest layer
// that returns them (the package steps), so the parser and the run can include them too.
enum ResultCode : int {
    kResultOk = 0,
    kResultModeConflict = 1,        // a mode switch after the mode was chosen
    kResultStartupFailed = 1,       // framework start-up
    kResultBadValue = 3,            // a switch without its value, a malformed keyword
    kResultOutOfResources = 6,      // the options record cannot be allocated
    kResultCannotCreateFolder = 8,  // a folder a step must write into, or a copy into it failed
    kResultNoModuleName = 9,        // the program's own file name cannot be read
    kResultNoLogPath = 10,
    kResultCannotCreateLog = 11,
    kResultInstallerNotStarted = 12,
    kResultAnotherRunActive = 13,   // another staged run holds the machine-wide lock
    kResultRunLockRefused = 14,     // the lock cannot be made or opened, or someone else made it
    kResultNotAdministrator = 15,   // the user is no member of the Administrators group
    kResultNoDriverFolders = 16,    // a driver extraction found none of the family's driver folders
    kResultSelectionFailed = 17,    // the installer would find another INF or install-control choice
    kResultNoVisibleDesktop = 18,   // an interactive install where nobody can see the installer's windows
};

// The failure exit code callers see, whatever step failed,
constexpr int kExitFailure = 1603;
// except when another run was at work: deployment tools retry this one (ERROR_INSTALL_ALREADY_RUNNING).
constexpr int kExitAlreadyRunning = 1618;

constexpr int ExitCodeFor(int nRetCode) {
    return nRetCode == kResultOk ? 0 : nRetCode == kResultAnotherRunActive ? kExitAlreadyRunning : kExitFailure;
}

// INSTALLERCODE=TRUE: a run whose steps all succeeded ends with the installer's answer where
// deployment tools know it (success, restart required, restart started, another install
// running); any other answer as the failure exit code.
constexpr int ExitCodeForInstallerAnswer(unsigned long dwInstallerExitCode) {
    return dwInstallerExitCode == 0 || dwInstallerExitCode == 3010 || dwInstallerExitCode == 1641 ||
                   dwInstallerExitCode == 1618
               ? static_cast<int>(dwInstallerExitCode)
               : kExitFailure;
}
