#include "report/TraceText.h"

#include <cwchar>

#include "package/ResultCodes.h"
#include "report/ErrorCodeText.h"

std::wstring FormatTraceTime(const TraceClock& c) {
    const int nOffset = c.nUtcOffsetMinutes < 0 ? -c.nUtcOffsetMinutes : c.nUtcOffsetMinutes;
    wchar_t sz[64];
    std::swprintf(sz, 64, L"%04d-%02d-%02dT%02d:%02d:%02d.%03d%lc%02d:%02d", c.nYear, c.nMonth, c.nDay, c.nHour,
                  c.nMinute, c.nSecond, c.nMilliseconds, c.nUtcOffsetMinutes < 0 ? L'-' : L'+', nOffset / 60,
                  nOffset % 60);
    return sz;
}

std::wstring FormatTraceLine(unsigned long pid, const std::wstring& text) {
    std::wstring line = L"[pid " + std::to_wstring(pid) + L"] ";
    // A line break inside a value would forge a line of another run.
    for (wchar_t ch : text) line += (ch == L'\r' || ch == L'\n') ? L' ' : ch;
    while (!line.empty() && line.back() == L' ') line.pop_back();
    return line + L"\r\n";
}

std::wstring ResultCodeText(int nResultCode) {
    const wchar_t* pszName = L"Unknown";
    switch (nResultCode) {
    case kResultOk: pszName = L"Ok"; break;
    case kResultModeConflict: pszName = L"ModeConflict"; break;
    case kResultBadValue: pszName = L"BadValue"; break;
    case kResultOutOfResources: pszName = L"OutOfResources"; break;
    case kResultCannotCreateFolder: pszName = L"CannotCreateFolder"; break;
    case kResultNoModuleName: pszName = L"NoModuleName"; break;
    case kResultNoLogPath: pszName = L"NoLogPath"; break;
    case kResultCannotCreateLog: pszName = L"CannotCreateLog"; break;
    case kResultInstallerNotStarted: pszName = L"InstallerNotStarted"; break;
    case kResultAnotherRunActive: pszName = L"AnotherRunActive"; break;
    case kResultRunLockRefused: pszName = L"RunLockRefused"; break;
    case kResultNotAdministrator: pszName = L"NotAdministrator"; break;
    case kResultNoDriverFolders: pszName = L"NoDriverFolders"; break;
    case kResultSelectionFailed: pszName = L"SelectionFailed"; break;
    case kResultNoVisibleDesktop: pszName = L"NoVisibleDesktop"; break;
    default: break;
    }
    return std::wstring(pszName) + L" (" + std::to_wstring(nResultCode) + L")";
}

std::wstring FormatRunEnd(int nResultCode, int nExitCode) {
    return L"run ended: result " + ResultCodeText(nResultCode) + L", exit code " + std::to_wstring(nExitCode);
}

std::wstring DescribeStepFailure(const StepFailure& failure, const std::wstring& errorText) {
    std::wstring text = failure.step;
    if (!failure.path.empty()) text += L", path \"" + failure.path + L"\"";
    if (failure.dwError == 0) return text + L": " + failure.finding;
    // The system's message table has no text for SetupAPI's own codes.
    std::wstring systemText = SetupApiErrorMeaning(failure.dwError);
    if (systemText.empty()) systemText = errorText;
    while (!systemText.empty() && (systemText.back() == L'\n' || systemText.back() == L'\r' || systemText.back() == L' '))
        systemText.pop_back();
    return text + L", " + ErrorCodeName(failure.dwError) + L": " + systemText;
}

std::wstring DescribeInfDriverVersion(const InfDriverVersion& inf, const std::wstring& errorText) {
    const std::wstring inFolder = L"folder " + inf.folder;
    if (inf.dwError != 0) {
        StepFailure failure;
        failure.Set(L"driver version not read: read the INF", inf.file.empty() ? inf.folder : inf.folder + L"\\" + inf.file,
                    inf.dwError);
        return DescribeStepFailure(failure, errorText);
    }
    if (inf.file.empty()) return L"driver version: " + inFolder + L" holds no active INF";
    const std::wstring where = inFolder + L", INF " + inf.file;
    if (!inf.bHasDriverVer) return L"driver version: " + where + L", no DriverVer in its [Version] section";
    return L"driver version: " + where + L", date " + inf.date + L", version " + inf.version;
}

std::string ToUtf8(const std::wstring& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned long cp = static_cast<unsigned short>(text[i]);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<unsigned short>(text[++i]) - 0xDC00);
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}
