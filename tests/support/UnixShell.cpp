#include "support/UnixShell.h"

#include <atomic>
#include <stdexcept>
#include <vector>

#include "fileops/ScopedHandle.h"
#include "support/FileUtil.h"
#include "support/TestSlot.h"

namespace {

constexpr DWORD kPollMs = 50;

// Wine serves the Linux root as drive Z:.
std::wstring FromLinuxPath(const std::string& path) {
    std::wstring windows = L"Z:";
    for (char ch : path) windows += ch == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(ch));
    return windows;
}

// Under /tmp, which every slot shares: the slot keeps two test programs with one process id apart.
std::string UniqueBase() {
    static std::atomic<unsigned> s_nCount{0};
    const std::string slot = Narrow(TestSlot());
    return "/tmp/nicupdate-unix-" + (slot.empty() ? std::string() : slot + "-") +
           std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount()) + "-" +
           std::to_string(s_nCount++);
}

}  // namespace

bool IsRunningUnderWine() {
    HMODULE hNtdll = GetModuleHandleW(L"ntdll");
    return hNtdll != nullptr && GetProcAddress(hNtdll, "wine_get_version") != nullptr;
}

UnixScriptOutcome RunUnixScript(const std::string& script, DWORD dwTimeoutMs) {
    UnixScriptInBackground run(script);
    return run.Wait(dwTimeoutMs);
}

UnixScriptInBackground::UnixScriptInBackground(const std::string& script) : m_base(UniqueBase()) {
    if (!IsRunningUnderWine()) return;
    // Wine starts a Unix program without a process handle to wait on, so the wrapper writes
    // the exit status last, under its final name only once it is complete.
    const std::string wrapper = "sh " + m_base + ".sh >" + m_base + ".out 2>&1\n"
                                "echo $? >" + m_base + ".tmp\n"
                                "mv " + m_base + ".tmp " + m_base + ".status\n";
    try {
        WriteBytes(FromLinuxPath(m_base + ".sh"), script);
        WriteBytes(FromLinuxPath(m_base + ".run"), wrapper);
    } catch (const std::runtime_error&) {
        return;
    }

    std::wstring commandLine = L"/bin/sh " + FromLinuxPath(m_base + ".run").substr(2);
    for (wchar_t& ch : commandLine)
        if (ch == L'\\') ch = L'/';
    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    m_bStarted = CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                &info) != FALSE;
    KernelHandle thread(info.hThread);    // Wine gives none for a Unix program
    KernelHandle process(info.hProcess);  // likewise
}

UnixScriptOutcome UnixScriptInBackground::Wait(DWORD dwTimeoutMs) {
    if (m_bCollected || !m_bStarted) return m_outcome;
    m_bWaited = true;
    const std::wstring status = FromLinuxPath(m_base + ".status");
    for (DWORD dwWaited = 0; dwWaited < dwTimeoutMs && !PathExists(status); dwWaited += kPollMs) Sleep(kPollMs);
    if (PathExists(status)) {
        m_bCollected = true;
        m_outcome.bRan = true;
        m_outcome.nExitStatus = std::stoi("0" + ReadBytes(status));
        m_outcome.output = ReadBytes(FromLinuxPath(m_base + ".out"));
    }
    return m_outcome;
}

UnixScriptInBackground::~UnixScriptInBackground() {
    if (!m_bWaited) Wait();
    for (const char* pszSuffix : {".sh", ".run", ".out", ".tmp", ".status"})
        DeleteFileW(FromLinuxPath(m_base + pszSuffix).c_str());
}

// Wine's own export; the string comes from the process heap.
std::string UnixPathOf(const std::wstring& path) {
    using UnixFileNameFn = char*(CDECL*)(const wchar_t*);
    auto pfnUnixFileName = reinterpret_cast<UnixFileNameFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    if (pfnUnixFileName == nullptr) return std::string();
    char* pszName = pfnUnixFileName(path.c_str());
    if (pszName == nullptr) return std::string();
    std::string name = pszName;
    HeapFree(GetProcessHeap(), 0, pszName);
    return name;
}
