#pragma once

// The platform calls the run makes that a test must be able to stand in for.
struct RunPlatform {
    bool (*pfnIsAdminMember)();
    // MessageBoxW without an owner window.
    int (*pfnMessageBox)(const wchar_t* text, const wchar_t* caption, unsigned style);
    // Starts the command line (a writable buffer of 260) and waits; false when it cannot start.
    bool (*pfnLaunchAndWait)(wchar_t* commandLine);
    // Made first: the platform follows no junction that a non-administrator made.
    bool (*pfnEnforceRedirectionTrust)();
};

// The real calls, as the shipped program makes them.
const RunPlatform& SystemPlatform();
