#pragma once

#include <string>

#include "package/SelectionResult.h"

struct StepFailure;

// Copies source over the existing file target: ERROR_SUCCESS, or the Win32 error. The
// platform's copy, which refuses a read-only target on Windows.
using CopyOverFile = unsigned long (*)(const wchar_t* source, const wchar_t* target);
unsigned long CopyFileOver(const wchar_t* source, const wchar_t* target);

// Copies the FORCE-chosen install-control variant over the staged install-control file. A
// variant or control file the package lacks leaves it as it is; any other failure fails the
// step (failure says where). The staged control file is the run's own copy: a read-only
// attribute it brought from the package is dropped first.
SelectionResult SelectInstallControl(const std::wstring& stagingFolder, bool bUsbPackage, bool bForce,
                                     StepFailure& failure, CopyOverFile pfnCopy = &CopyFileOver);
