// Runs a Windows program with a TEMP folder of the caller's choosing and prints its full exit
// code, which the Linux shell would only see modulo 256 under Wine.
//
//   run_child.exe [--temp DIR] [--cwd DIR] [--stdout FILE] [--timeout SECONDS] -- PROGRAM [ARGS...]
//
// Everything after " -- " is the child's command line, passed on unchanged.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

#include "child_launch/ChildLaunch.h"

int wmain() {
    std::wstring line = GetCommandLineW();
    std::size_t separator = line.find(L" -- ");
    if (separator == std::wstring::npos) {
        std::fwprintf(stderr, L"usage: run_child.exe [--temp DIR] [--cwd DIR] [--stdout FILE] [--timeout S] -- COMMAND\n");
        return 2;
    }
    ChildOptions options;
    options.commandLine = line.substr(separator + 4);
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(line.substr(0, separator).c_str(), &argc);
    for (int i = 1; argv && i + 1 < argc; i += 2) {
        std::wstring name = argv[i], value = argv[i + 1];
        if (name == L"--temp") options.tempFolder = value;
        else if (name == L"--cwd") options.currentFolder = value;
        else if (name == L"--stdout") options.stdoutPath = value;
        else if (name == L"--timeout") options.dwTimeoutMs = static_cast<DWORD>(std::stoul(value) * 1000);
    }
    if (argv) LocalFree(argv);

    ChildOutcome outcome = RunChildProcess(options);
    if (!outcome.bStarted) {
        std::wprintf(L"run_child: cannot start: %ls (error %lu)\n", options.commandLine.c_str(), GetLastError());
        return 2;
    }
    if (outcome.bTimedOut) std::wprintf(L"run_child: time-out, the child was ended\n");
    std::wprintf(L"exit code: %lu\n", outcome.dwExitCode);
    return static_cast<int>(outcome.dwExitCode);
}
