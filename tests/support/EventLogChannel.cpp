#include "support/EventLogChannel.h"

#include <shellapi.h>

#include <cstdlib>

#include "fileops/ScopedHandle.h"
#include "support/ProgramRun.h"
#include "support/UnixShell.h"

namespace {

// A quoted string as Wine's debug output writes it: backslash escapes for the backslash, the
// quote and the control characters, \xxxx (four hex digits) for anything beyond ASCII.
std::wstring Unescape(const std::string& quoted) {
    std::wstring text;
    for (std::size_t i = 0; i < quoted.size(); ++i) {
        if (quoted[i] != '\\' || i + 1 == quoted.size()) {
            text += static_cast<wchar_t>(static_cast<unsigned char>(quoted[i]));
            continue;
        }
        const char escaped = quoted[++i];
        switch (escaped) {
        case 'n': text += L'\n'; break;
        case 'r': text += L'\r'; break;
        case 't': text += L'\t'; break;
        case 'x':
            text += static_cast<wchar_t>(std::strtoul(quoted.substr(i + 1, 4).c_str(), nullptr, 16));
            i += 4;
            break;
        default:
            // \\, \" and the octal escapes of other control characters.
            if (escaped >= '0' && escaped <= '7') {
                text += static_cast<wchar_t>(std::strtoul(quoted.substr(i, 3).c_str(), nullptr, 8));
                i += 2;
            } else {
                text += static_cast<wchar_t>(static_cast<unsigned char>(escaped));
            }
        }
    }
    return text;
}

std::string ShellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char ch : text) quoted += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
    return quoted + "'";
}

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int cb = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                       nullptr);
    std::string bytes(cb, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &bytes[0], cb, nullptr, nullptr);
    return bytes;
}

// The command line's arguments, each quoted for the shell; Wine quotes them again for the
// Windows program, which so receives the same arguments.
std::string ShellWords(const std::wstring& commandLine) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(commandLine.c_str(), &argc);
    if (argv == nullptr) return std::string();
    std::string words;
    for (int i = 0; i < argc; ++i) words += " " + ShellQuoted(Utf8(argv[i]));
    LocalFree(argv);
    return words;
}

}  // namespace

namespace {

// Each ReportEventW string of the debug output with the level it came at.
void ReadEventLogLines(const std::string& wineDebugOutput, std::vector<std::wstring>* pStrings,
                       std::vector<std::string>* pLevels) {
    std::size_t lineStart = 0;
    while (lineStart < wineDebugOutput.size()) {
        std::size_t lineEnd = wineDebugOutput.find('\n', lineStart);
        if (lineEnd == std::string::npos) lineEnd = wineDebugOutput.size();
        const std::string line = wineDebugOutput.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;
        // A thread prefix ("0024:") may come first; a shortened string ends in "... after its quote.
        for (const std::string level : {"err", "warn", "trace"}) {
            const std::string marker = level + ":eventlog:ReportEventW L\"";
            const std::size_t at = line.find(marker);
            if (at == std::string::npos) continue;
            const std::size_t textStart = at + marker.size();
            const bool bShortened = line.size() >= textStart + 4 && line.compare(line.size() - 4, 4, "\"...") == 0;
            const std::size_t textEnd = line.size() - (bShortened ? 4 : 1);
            if (textEnd < textStart || line[textEnd] != '"') continue;
            if (pStrings) pStrings->push_back(Unescape(line.substr(textStart, textEnd - textStart)) + (bShortened ? L"..." : L""));
            if (pLevels) pLevels->push_back(level);
        }
    }
}

}  // namespace

std::vector<std::wstring> EventLogStrings(const std::string& wineDebugOutput) {
    std::vector<std::wstring> strings;
    ReadEventLogLines(wineDebugOutput, &strings, nullptr);
    return strings;
}

std::vector<std::string> EventLogLevels(const std::string& wineDebugOutput) {
    std::vector<std::string> levels;
    ReadEventLogLines(wineDebugOutput, nullptr, &levels);
    return levels;
}

EventLogRun RunWithEventLogChannel(const std::wstring& commandLine, const std::wstring& tempFolder,
                                   DWORD dwTimeoutMs) {
    EventLogRun run;
    const std::string script =
        "err=$(mktemp)\n"
        "WINEDEBUG=-all,err+eventlog,warn+eventlog,trace+eventlog /usr/lib/wine/wine64" +
        ShellWords(L"\"" + BuiltToolPath(L"run_child.exe") + L"\" --temp \"" + tempFolder + L"\" --timeout " +
                   std::to_wstring(dwTimeoutMs / 1000) + L" -- ") +
        " " + ShellWords(commandLine) + " 2>\"$err\"\n"
        "status=$?\n"
        "echo '--- debug output'\n"
        "cat \"$err\"; rm -f \"$err\"\n"
        "exit $status\n";
    const UnixScriptOutcome outcome = RunUnixScript(script, dwTimeoutMs + 15000);
    run.output = outcome.output;
    if (!outcome.bRan) return run;
    const std::size_t debugStart = outcome.output.find("--- debug output\n");
    const std::string launcherReport = outcome.output.substr(0, debugStart);
    const std::size_t codeAt = launcherReport.rfind("exit code: ");
    if (codeAt == std::string::npos || debugStart == std::string::npos) return run;
    run.bRan = true;
    run.dwExitCode = static_cast<DWORD>(std::strtoul(launcherReport.c_str() + codeAt + 11, nullptr, 10));
    run.strings = EventLogStrings(outcome.output.substr(debugStart));
    run.levels = EventLogLevels(outcome.output.substr(debugStart));
    return run;
}
