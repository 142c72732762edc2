#include "support/TestSlot.h"

#include <windows.h>

std::wstring TestSlot() {
    wchar_t szSlot[64] = {};
    const DWORD cch = GetEnvironmentVariableW(L"NICUPDATE_TEST_SLOT", szSlot, 64);
    return cch > 0 && cch < 64 ? std::wstring(szSlot, cch) : std::wstring();
}
