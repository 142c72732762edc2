#include "fileops/ProtectedFolder.h"

#include <windows.h>

#include <sddl.h>

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
