#include "package/InstallControl.h"

#include <windows.h>

#include "fileops/PathKind.h"
#include "fileops/ScopedHandle.h"
#include "package/PackageLayout.h"
#include "package/StepFailure.h"

namespace {

const wchar_t kStep[] = L"choose the install-control variant";

// Opens the control file itself (a folder of its name is refused) and clears its read-only
// attribute through that handle: ERROR_SUCCESS or the Win32 error.
DWORD MakeWritable(const std::wstring& control) {
    const FileHandle hControl(CreateFileW(control.c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!hControl) return GetLastError();
    FILE_BASIC_INFO basic = {};
    if (!GetFileInformationByHandleEx(hControl.Get(), FileBasicInfo, &basic, sizeof basic)) return GetLastError();
    if (basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) return ERROR_DIRECTORY;
    if (!(basic.FileAttributes & FILE_ATTRIBUTE_READONLY)) return ERROR_SUCCESS;
    // Zero times leave the times as they are; no attribute left at all is said as NORMAL.
    FILE_BASIC_INFO changed = {};
    changed.FileAttributes = basic.FileAttributes & ~FILE_ATTRIBUTE_READONLY;
    if (changed.FileAttributes == 0) changed.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    if (!SetFileInformationByHandle(hControl.Get(), FileBasicInfo, &changed, sizeof changed)) return GetLastError();
    return ERROR_SUCCESS;
}

}  // namespace

unsigned long CopyFileOver(const wchar_t* source, const wchar_t* target) {
    return CopyFileW(source, target, FALSE) ? ERROR_SUCCESS : GetLastError();
}

SelectionResult SelectInstallControl(const std::wstring& stagingFolder, bool bUsbPackage, bool bForce,
                                     StepFailure& failure, CopyOverFile pfnCopy) {
    const InstallControlFiles& files = InstallControlFor(bUsbPackage);
    const std::wstring variant =
        InstallControlPath(stagingFolder, bUsbPackage, bForce ? files.pszForcedVariant : files.pszUnforcedVariant);
    const std::wstring control = InstallControlPath(stagingFolder, bUsbPackage, files.pszControlFile);
    // A package without the variant keeps its control file as it is, attributes included.
    if (GetFileAttributesW(variant.c_str()) == INVALID_FILE_ATTRIBUTES) {
        const DWORD dwError = GetLastError();
        if (IsNotFoundError(dwError)) return SelectionResult::NotInPackage;
        failure.Set(kStep, variant, dwError);
        return SelectionResult::Failed;
    }
    // The copy replaces content only: a control file the package lacks is not created.
    DWORD dwError = MakeWritable(control);
    if (IsNotFoundError(dwError)) return SelectionResult::NotInPackage;
    if (dwError == ERROR_SUCCESS) dwError = pfnCopy(variant.c_str(), control.c_str());
    if (dwError == ERROR_SUCCESS) return SelectionResult::Made;
    failure.Set(kStep, control, dwError);
    return SelectionResult::Failed;
}
