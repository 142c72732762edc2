#include "support/ProgramRun.h"

#include <gtest/gtest.h>

#include "child_launch/ChildLaunch.h"
#include "support/FileUtil.h"

namespace {

// Build paths arrive as Linux paths; Wine serves the Linux root as drive Z:.
std::wstring FromBuildPath(std::wstring path) {
    for (wchar_t& ch : path)
        if (ch == L'/') ch = L'\\';
    return path.size() > 1 && path[1] == L':' ? path : L"Z:" + path;
}

}  // namespace

std::wstring BuiltProgramPath() {
    wchar_t szOverride[MAX_PATH] = {};
    DWORD cch = GetEnvironmentVariableW(L"NICUPDATE_SHIPPED_EXE", szOverride, MAX_PATH);
    if (cch > 0 && cch < MAX_PATH) return FromBuildPath(szOverride);
    return FromBuildPath(NICUPDATE_EXE_PATH);
}

std::wstring BuiltToolPath(const std::wstring& exeName) {
    return FromBuildPath(NICUPDATE_TOOLS_DIR) + L"\\" + exeName;
}

std::wstring InstallProgramInto(const std::wstring& packageRoot) {
    const std::wstring build = BuiltProgramPath();
    std::wstring target = packageRoot + L"\\NicUpdate.exe";
    MakeFolders(packageRoot);
    if (!CopyFileW(build.c_str(), target.c_str(), FALSE))
        ADD_FAILURE() << "cannot copy the program into " << Narrow(packageRoot);
    return target;
}

std::string ConsoleBytes(const std::wstring& text) {
    std::string bytes;
    for (wchar_t ch : text) {
        if (ch == L'\n') bytes += '\r';
        bytes += static_cast<char>(ch);
    }
    return bytes;
}

ProgramOutcome RunProgram(const std::wstring& program, const std::wstring& arguments,
                          const std::wstring& tempFolder, const std::wstring& currentFolder, DWORD dwTimeoutMs) {
    ProgramOutcome outcome;
    ChildOptions options;
    options.commandLine = L"\"" + program + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    options.tempFolder = tempFolder;
    options.currentFolder = currentFolder;
    options.stdoutPath = tempFolder + L"\\..\\stdout-" + std::to_wstring(GetCurrentProcessId()) + L".txt";
    options.dwTimeoutMs = dwTimeoutMs;
    ChildOutcome child = RunChildProcess(options);
    EXPECT_TRUE(child.bStarted) << "cannot start " << Narrow(options.commandLine);
    EXPECT_FALSE(child.bTimedOut) << Narrow(options.commandLine) << " did not end within " << dwTimeoutMs << " ms";
    outcome.dwExitCode = child.dwExitCode;
    if (PathExists(options.stdoutPath)) {
        outcome.stdoutBytes = ReadBytes(options.stdoutPath);
        DeleteFileW(options.stdoutPath.c_str());
    }
    return outcome;
}
