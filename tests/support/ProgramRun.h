#pragma once

#include <windows.h>

#include <string>

// Drives the real program (and the tools) as separate processes from a Windows-side test.

// The shipping program of this build, or the file that the environment variable
// NICUPDATE_SHIPPED_EXE names (a Linux path, such as a signed copy), as a Windows path.
std::wstring BuiltProgramPath();
// A tool of this build, as a Windows path.
std::wstring BuiltToolPath(const std::wstring& exeName);

// Copies the program into a package root as root\NicUpdate.exe and returns its path.
std::wstring InstallProgramInto(const std::wstring& packageRoot);

// The bytes a program's wide text reaches a redirected standard output as: the runtime's text
// mode ends every line with CR LF. ASCII text only.
std::string ConsoleBytes(const std::wstring& text);

// How long one run of the program may take before a test gives up on it.
constexpr DWORD kProgramRunTimeoutMs = 60000;

struct ProgramOutcome {
    DWORD dwExitCode = 0;
    std::string stdoutBytes;
};

// Runs "<program>" <arguments> with TEMP and TMP set to tempFolder and standard output
// captured. Fails the current test (and ends the child) when it does not end within the
// time-out, so a run never hangs the suite.
ProgramOutcome RunProgram(const std::wstring& program, const std::wstring& arguments,
                          const std::wstring& tempFolder, const std::wstring& currentFolder = L"",
                          DWORD dwTimeoutMs = kProgramRunTimeoutMs);
