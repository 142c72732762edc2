#include "fileops/WindowsBitness.h"

#include <windows.h>

bool IsRunningUnderWow64() {
#ifdef _WIN64
    // A 64-bit build runs on 64-bit Windows by definition.
    return true;
#else
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    const auto pfnIsWow64Process = reinterpret_cast<IsWow64ProcessFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "IsWow64Process")));
    if (pfnIsWow64Process == nullptr) return false;
    BOOL bWow64 = FALSE;
    return pfnIsWow64Process(GetCurrentProcess(), &bWow64) && bWow64;
#endif
}
