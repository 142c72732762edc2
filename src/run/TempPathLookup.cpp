#include "run/TempPathLookup.h"

TempPathFunction FindTempPath2() {
    HMODULE hKernel = GetModuleHandleW(L"kernel32.dll");
    if (hKernel == nullptr) return nullptr;
    FARPROC pfn = GetProcAddress(hKernel, "GetTempPath2W");
    // void (*)() converts to any function pointer type without a cast-function-type warning.
    return reinterpret_cast<TempPathFunction>(reinterpret_cast<void (*)()>(pfn));
}
