#pragma once

#include <string>

class CFileOpEngine;

// Where a run failed, for the trace and the event: what it was doing, on which file or folder,
// and the Win32 error. A failure that is the program's own finding (a missing value, a path
// too long for a buffer) has no Win32 error and says what it found instead.
struct StepFailure {
    std::wstring step;
    std::wstring path;
    unsigned long dwError = 0;
    std::wstring finding;

    bool IsSet() const { return !step.empty(); }
    void Set(const wchar_t* pszStep, const std::wstring& strPath, unsigned long dwWin32Error) {
        step = pszStep;
        path = strPath;
        dwError = dwWin32Error;
        finding.clear();
    }
    void SetFinding(const wchar_t* pszStep, const std::wstring& strPath, const std::wstring& strFinding) {
        step = pszStep;
        path = strPath;
        dwError = 0;
        finding = strFinding;
    }
};

// The engine's last failure as the failure of a step: its path and its Win32 error (for a
// finding of the engine's own, the error that says the same), or the engine's text where no
// error does.
void SetEngineFailure(StepFailure& failure, const wchar_t* pszStep, const CFileOpEngine& engine);
