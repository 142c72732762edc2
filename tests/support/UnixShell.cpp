#include "support/UnixShell.h"

#include <atomic>
#include <stdexcept>
#include <vector>

#include "fileops/ScopedHandle.h"
#include "support/FileUtil.h"

namespace {

constexpr DWORD kPollMs = 50;

// Wine serves the Linux root as drive Z:.
std::wstring FromLinuxPath(const std::string& path) {
    std::wstring windows = L"Z:";
    for (char ch : path) windows += ch == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(ch));
    return windows;
}

std::string UniqueBase() {
    static std::atomic<unsigned> s_nCount{0};
    return "/tmp/nicupdate-unix-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount()) +
           "-" + std::to_string(s_nCount++);
}

}  // namespace

bool IsRunningUnderWine() {
    HMODULE hNtdll = GetModuleHandleW(L"ntdll");
    return hNtdll != nullptr && GetProcAddress(hNtdll, "wine_get_version") != nullptr;
}

UnixScriptOutcome RunUnixScript(const std::string& script, DWORD dwTimeoutMs) {
    UnixScriptOutcome outcome;
    if (!IsRunningUnderWine()) return outcome;
    const std::string base = UniqueBase();
    // Wine starts a Unix program without a process handle to wait on, so the wrapper writes
    // the exit status last, under its final name only once it is complete.
    const std::string wrapper = "sh " + base + ".sh >" + base + ".out 2>&1\n"
                                "echo $? >" + base + ".tmp\n"
                                "mv " + base + ".tmp " + base + ".status\n";
    try {
        WriteBytes(FromLinuxPath(base + ".sh"), script);
        WriteBytes(FromLinuxPath(base + ".run"), wrapper);
    } catch (const std::runtime_error&) {
        return outcome;
    }

    std::wstring commandLine = L"/bin/sh " + FromLinuxPath(base + ".run").substr(2);
    for (wchar_t& ch : commandLine)
        if (ch == L'\\') ch = L'/';
    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    const bool bStarted = CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                         &startup, &info) != FALSE;
    KernelHandle thread(info.hThread);    // Wine gives none for a Unix program
    KernelHandle process(info.hProcess);  // likewise
    const std::wstring status = FromLinuxPath(base + ".status");
    if (bStarted) {
        for (DWORD dwWaited = 0; dwWaited < dwTimeoutMs && !PathExists(status); dwWaited += kPollMs) Sleep(kPollMs);
        if (PathExists(status)) {
            outcome.bRan = true;
            outcome.nExitStatus = std::stoi("0" + ReadBytes(status));
            outcome.output = ReadBytes(FromLinuxPath(base + ".out"));
        }
    }
    for (const char* pszSuffix : {".sh", ".run", ".out", ".tmp", ".status"})
        DeleteFileW(FromLinuxPath(base + pszSuffix).c_str());
    return outcome;
}
