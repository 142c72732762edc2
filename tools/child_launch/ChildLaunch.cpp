#include "child_launch/ChildLaunch.h"

#include <cwctype>
#include <vector>

#include "fileops/ScopedHandle.h"

namespace {

bool StartsWithNoCase(const wchar_t* text, const wchar_t* prefix) {
    for (; *prefix; ++text, ++prefix)
        if (std::towupper(*text) != std::towupper(*prefix)) return false;
    return true;
}

FileHandle OpenInheritable(const std::wstring& path, DWORD dwAccess, DWORD dwDisposition) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    return FileHandle(CreateFileW(path.c_str(), dwAccess, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                  dwDisposition, FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace

std::wstring EnvironmentWithTemp(const std::wstring& tempFolder) {
    std::wstring block;
    wchar_t* pEnvironment = GetEnvironmentStringsW();
    for (const wchar_t* p = pEnvironment; p && *p; p += wcslen(p) + 1) {
        if (StartsWithNoCase(p, L"TEMP=") || StartsWithNoCase(p, L"TMP=")) continue;
        block.append(p).push_back(L'\0');
    }
    if (pEnvironment) FreeEnvironmentStringsW(pEnvironment);
    block.append(L"TEMP=" + tempFolder).push_back(L'\0');
    block.append(L"TMP=" + tempFolder).push_back(L'\0');
    block.push_back(L'\0');
    return block;
}

ChildOutcome RunChildProcess(const ChildOptions& options) {
    ChildOutcome outcome;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    FileHandle output, input, errors;
    if (!options.stdoutPath.empty()) {
        output = OpenInheritable(options.stdoutPath, GENERIC_WRITE, CREATE_ALWAYS);
        input = OpenInheritable(L"NUL", GENERIC_READ, OPEN_EXISTING);
        errors = OpenInheritable(L"NUL", GENERIC_WRITE, OPEN_EXISTING);
        if (!output) return outcome;
        startup.dwFlags |= STARTF_USESTDHANDLES;
        startup.hStdOutput = output.Get();
        startup.hStdInput = input.Get();
        startup.hStdError = errors.Get();
    }
    std::wstring desktop = options.desktop;
    if (!desktop.empty()) startup.lpDesktop = &desktop[0];
    std::wstring environment;
    if (!options.tempFolder.empty()) environment = EnvironmentWithTemp(options.tempFolder);
    std::vector<wchar_t> commandLine(options.commandLine.begin(), options.commandLine.end());
    commandLine.push_back(L'\0');

    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, startup.dwFlags & STARTF_USESTDHANDLES,
                        CREATE_UNICODE_ENVIRONMENT, environment.empty() ? nullptr : &environment[0],
                        options.currentFolder.empty() ? nullptr : options.currentFolder.c_str(), &startup, &info))
        return outcome;
    KernelHandle thread(info.hThread);
    KernelHandle process(info.hProcess);
    outcome.bStarted = true;
    if (WaitForSingleObject(process.Get(), options.dwTimeoutMs) != WAIT_OBJECT_0) {
        outcome.bTimedOut = true;
        TerminateProcess(process.Get(), 1);
        WaitForSingleObject(process.Get(), 10000);
    }
    GetExitCodeProcess(process.Get(), &outcome.dwExitCode);
    return outcome;
}
