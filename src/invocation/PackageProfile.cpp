#include "invocation/PackageProfile.h"

#include <windows.h>

#include <string>

#include "fileops/ScopedHandle.h"
#include "invocation/RunOptions.h"

bool ReadProfileFile(const std::wstring& path) {
    // The runtime's stream open shares the file for reading and writing; so does this one.
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    std::string bytes;
    char buffer[4096];
    for (;;) {
        DWORD dwRead = 0;
        if (!ReadFile(file.Get(), buffer, sizeof(buffer), &dwRead, nullptr)) break;  // judge what was read
        if (dwRead == 0) break;
        bytes.append(buffer, dwRead);
    }
    return ProfileNamesUsb(bytes);
}

bool ReadPackageProfile() {
    wchar_t modulePath[kMaxPathChars] = {};
    DWORD n = GetModuleFileNameW(nullptr, modulePath, kMaxPathChars);
    // A name that filled the buffer was cut off: its folder is too deep for the profile anyway.
    if (n >= kMaxPathChars) return false;
    std::wstring profilePath;
    if (!ProfilePathFor(std::wstring(modulePath, n), profilePath)) return false;
    return ReadProfileFile(profilePath);
}
