#include "fileops/ProtectedFolder.h"

#include <windows.h>

#include <sddl.h>

#include <vector>

#include "fileops/NtRelativeOpen.h"
#include "fileops/SecurityRead.h"

LocalMemory AdministratorsOnlyDescriptor() {
    PSECURITY_DESCRIPTOR pDescriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)",
                                                              SDDL_REVISION_1, &pDescriptor, nullptr))
        return LocalMemory();
    return LocalMemory(pDescriptor);
}

bool CreateAdministratorsOnlyFolder(const std::wstring& path) {
    LocalMemory descriptor = AdministratorsOnlyDescriptor();
    if (!descriptor) return false;
    SECURITY_ATTRIBUTES attributes = {};
    attributes.nLength = sizeof attributes;
    attributes.lpSecurityDescriptor = descriptor.Get();
    attributes.bInheritHandle = FALSE;
    return CreateDirectoryW(path.c_str(), &attributes) != FALSE;
}

unsigned long ReadProtectedDaclAsKept(void* hFolder, const std::wstring& scratchName, std::wstring& daclText) {
    LocalMemory descriptor = AdministratorsOnlyDescriptor();
    if (!descriptor) return GetLastError();
    FileHandle scratch;
    const DWORD dwError = CreateNewFolderRelative(hFolder, scratchName, DELETE | READ_CONTROL, 0, scratch,
                                                  FILE_DELETE_ON_CLOSE, descriptor.Get());
    if (dwError != ERROR_SUCCESS) return dwError;
    std::vector<unsigned char> kept;
    const DWORD dwReadError = ReadSecurity(scratch.Get(), DACL_SECURITY_INFORMATION, kept);
    if (dwReadError != ERROR_SUCCESS) return dwReadError;
    daclText = DaclText(kept.data());
    return ERROR_SUCCESS;
}
