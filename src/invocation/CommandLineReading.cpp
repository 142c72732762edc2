#include "invocation/CommandLineReading.h"

const wchar_t* RunModeText(int nMode) {
    switch (nMode) {
    case ModeUsage: return L"usage page";
    case ModeInstall: return L"interactive install";
    case ModeSilentInstall: return L"silent install";
    case ModeExtractDrivers: return L"driver extraction";
    case ModeExtractAll: return L"package copy";
    default: return L"none";
    }
}

namespace {

std::wstring OrNone(const wchar_t* pszText) { return *pszText != L'\0' ? pszText : L"none"; }

// Each argument in brackets, as it arrived after the platform's splitting.
std::wstring Bracketed(const std::vector<std::wstring>& arguments) {
    if (arguments.empty()) return L"none";
    std::wstring text;
    for (const std::wstring& argument : arguments) text += (text.empty() ? L"[" : L" [") + argument + L"]";
    return text;
}

}  // namespace

std::wstring DescribeCommandLineReading(const RunOptions& options, const CommandLineReading& reading) {
    return std::wstring(L"command line read: mode ") + RunModeText(options.nMode) + L", FORCE " +
           (options.bForce ? L"TRUE" : L"FALSE") + L", AUX MAC " + (options.bEnableAuxMac ? L"TRUE" : L"FALSE") +
           L", result log " + OrNone(options.szLogFile) + L", driver folder " + OrNone(options.szDriverPath) +
           L", INSTALLERCODE " + (options.bInstallerCode ? L"TRUE" : L"FALSE") + L", LINGER " +
           std::to_wstring(options.nLingerMinutes) + L" minutes, ignored " + Bracketed(reading.ignored);
}

std::wstring DescribeCommandLineRefusal(const CommandLineReading& reading) {
    return reading.refusal + L": [" + reading.refusedText + L"]";
}
