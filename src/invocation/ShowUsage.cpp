#include <cstdio>
#include <cwchar>

#include "invocation/UsagePage.h"

namespace {
constexpr unsigned kMessageBoxOk = 0;  // MB_OK: one OK button, no icon
}

void ShowUsage(int (*pfnMessageBox)(const wchar_t* text, const wchar_t* caption, unsigned style)) {
    // The lines hold no conversion, so each is its own format.
    for (const wchar_t* line : kUsageLines) std::wprintf(line);
    // A caller reading redirected output gets the whole page before the box blocks the run.
    std::fflush(stdout);
    if (pfnMessageBox != nullptr) pfnMessageBox(UsageText().c_str(), kUsageCaption, kMessageBoxOk);
}
