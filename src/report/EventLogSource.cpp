#include "report/EventLogSource.h"

#include <windows.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "fileops/ScopedHandle.h"
#include "report/EventMessageFile.h"

const wchar_t kEventSourceName[] = L"NicUpdate";
const wchar_t kEventSourceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\NicUpdate";

namespace {

// Error, warning and information: the types the source may report.
constexpr DWORD kTypesSupported = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;

struct EventSourcePolicy {
    static HANDLE Invalid() noexcept { return nullptr; }
    static void Close(HANDLE h) noexcept { ::DeregisterEventSource(h); }
};
using EventSource = ScopedHandle<EventSourcePolicy>;

// Writes the value only when its type or data differ, so that a run rewrites nothing that is
// right and repairs what someone changed. True when the value is right afterwards.
bool EnsureValue(HKEY hKey, const wchar_t* pszName, DWORD dwType, const void* pData, DWORD cbData) {
    std::vector<unsigned char> present(cbData + 1);
    DWORD dwPresentType = 0;
    DWORD cbPresent = static_cast<DWORD>(present.size());
    if (RegQueryValueExW(hKey, pszName, nullptr, &dwPresentType, present.data(), &cbPresent) == ERROR_SUCCESS &&
        dwPresentType == dwType && cbPresent == cbData && std::memcmp(present.data(), pData, cbData) == 0)
        return true;
    return RegSetValueExW(hKey, pszName, 0, dwType, static_cast<const BYTE*>(pData), cbData) == ERROR_SUCCESS;
}

// Without a renewed kept file the message file in place stays: an older one still carries the
// message table. Once the registration names the kept file, the copy of the whole program that
// earlier versions registered goes.
void RegisterSource(bool bKeptFileRenewed) {
    HKEY hCreated = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kEventSourceKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &hCreated, nullptr) != ERROR_SUCCESS)
        return;
    const RegistryKey key(hCreated);
    EnsureValue(hCreated, L"TypesSupported", REG_DWORD, &kTypesSupported, sizeof kTypesSupported);
    if (bKeptFileRenewed &&
        EnsureValue(hCreated, L"EventMessageFile", REG_EXPAND_SZ, kKeptMessageFile,
                    static_cast<DWORD>((std::wcslen(kKeptMessageFile) + 1) * sizeof(wchar_t))))
        RemoveRetiredMessageFile();
}

}  // namespace

void ReportRunEvent(const RunEvent& event) {
    RegisterSource(KeepEventMessageFile());
    const EventSource source(RegisterEventSourceW(nullptr, kEventSourceName));
    if (!source) return;
    std::vector<const wchar_t*> strings;
    for (const std::wstring& text : event.strings) strings.push_back(text.c_str());
    ReportEventW(source.Get(), event.bError     ? EVENTLOG_ERROR_TYPE
                 : event.bWarning ? EVENTLOG_WARNING_TYPE
                                  : EVENTLOG_INFORMATION_TYPE, 0,
                 MessageIdFor(event), nullptr, static_cast<WORD>(strings.size()), 0,
                 strings.empty() ? nullptr : strings.data(), nullptr);
}
