#include "invocation/CommandLine.h"

#include <cstddef>
#include <cwchar>

#include "invocation/WhiteSpace.h"
#include "package/PackageLayout.h"
#include "package/ResultCodes.h"

namespace {

constexpr wchar_t kBlank = L' ';

// Only a-z change; every other character, non-ASCII letters included, stays as it is.
wchar_t UpperAscii(wchar_t ch) {
    return (ch >= L'a' && ch <= L'z') ? static_cast<wchar_t>(ch - L'a' + L'A') : ch;
}

std::wstring UpperCased(std::wstring text) {
    for (wchar_t& ch : text) ch = UpperAscii(ch);
    return text;
}

bool IsSwitch(const std::wstring& arg, const wchar_t* name) {
    std::size_t n = std::wcslen(name);
    if (arg.size() != n) return false;
    for (std::size_t i = 0; i < n; ++i) {
        if (UpperAscii(arg[i]) != UpperAscii(name[i])) return false;
    }
    return true;
}

// Callers pass upper-cased text, so a prefix test on it is case-blind for letters.
bool BeginsWith(const std::wstring& text, const wchar_t* prefix) {
    return text.compare(0, std::wcslen(prefix), prefix) == 0;
}

bool EqualsTrue(const std::wstring& value) { return IsSwitch(value, L"TRUE"); }

void StripLeadingWhiteSpace(std::wstring& text) {
    std::size_t i = 0;
    while (i < text.size() && IsWhiteSpace(text[i])) ++i;
    text.erase(0, i);
}

void StripTrailingWhiteSpace(std::wstring& text) {
    std::size_t n = text.size();
    while (n > 0 && IsWhiteSpace(text[n - 1])) --n;
    text.erase(n);
}

// Removes up to count characters from the front; a shorter text becomes empty.
void RemoveFront(std::wstring& text, std::size_t count) {
    text.erase(0, count < text.size() ? count : text.size());
}

// Copies text into a record path field, or refuses it when it would not fit with its terminator.
bool CopyToField(wchar_t (&field)[kMaxPathChars], const std::wstring& text) {
    if (text.size() >= kMaxPathChars) return false;
    text.copy(field, text.size());
    field[text.size()] = L'\0';
    return true;
}

int Refuse(RunOptions& options, int nResult) {
    options.nMode = ModeInvalid;
    return nResult;
}

// The value after a keyword's "=": it ends at the last blank before the next keyword's "=".
// bCut tells whether a later "=" cut the text.
std::wstring TakeValue(std::wstring text, bool& bCut) {
    bCut = false;
    std::size_t p = text.find(L'=');
    if (p != std::wstring::npos && p > 0) {
        text.erase(p);
        bCut = true;
        std::size_t blank = text.rfind(kBlank);
        if (blank != std::wstring::npos && blank > 0) {
            text.erase(blank);
            StripTrailingWhiteSpace(text);
        }
    }
    return text;
}

std::wstring TakeValue(const std::wstring& text) {
    bool bCut = false;
    return TakeValue(text, bCut);
}

// Finds keyword in text, which begins at the previous keyword's "=". Only the first occurrence
// counts; it is found when "=" follows it after optional white space. equalsAt is that "=".
bool LookUpKeyword(const std::wstring& text, const wchar_t* keyword, std::wstring& value,
                   std::size_t& equalsAt) {
    std::size_t at = text.find(keyword);
    if (at == std::wstring::npos) return false;
    std::size_t i = at + std::wcslen(keyword);
    while (i < text.size() && IsWhiteSpace(text[i])) ++i;
    if (i >= text.size() || text[i] != L'=') return false;
    equalsAt = i;
    value = TakeValue(text.substr(i + 1));
    return true;
}

void LookUpAuxMac(RunOptions& options, const std::wstring& text) {
    std::wstring value;
    std::size_t equalsAt = 0;
    if (LookUpKeyword(text, L"ENAUXMAC", value, equalsAt)) options.bEnableAuxMac = EqualsTrue(value);
}

// "LOGFILE=" takes the rest of the text, inner and trailing blanks included.
bool TakeLogFile(RunOptions& options, std::wstring& text) {
    RemoveFront(text, 8);
    StripLeadingWhiteSpace(text);
    return CopyToField(options.szLogFile, text);
}

}  // namespace

int ParseKeywordArgument(RunOptions& options, std::wstring text, int index, int argc,
                         const wchar_t* const argv[]) {
    RemoveFront(text, 2);
    StripLeadingWhiteSpace(text);

    if (BeginsWith(text, L"/QN")) {
        RemoveFront(text, 3);
        StripLeadingWhiteSpace(text);
    }

    if (BeginsWith(text, L"EXTRACTDRIVERS")) {
        // The "=" after the keyword is assumed, not checked.
        RemoveFront(text, 15);
        StripLeadingWhiteSpace(text);
        std::size_t blank = text.find(kBlank);
        if (blank == std::wstring::npos) return Refuse(options, kResultBadValue);
        std::wstring folder = text.substr(0, blank);
        if (folder.size() + std::wcslen(kExtractionSubfolder) >= kMaxPathChars) return Refuse(options, kResultBadValue);
        CopyToField(options.szDriverPath, folder + kExtractionSubfolder);
        options.nMode = ModeExtractDrivers;
        text.erase(0, blank + 1);
    }

    if (BeginsWith(text, L"FRESHINSTALL")) {
        RemoveFront(text, 12);
        StripLeadingWhiteSpace(text);
        if (!BeginsWith(text, L"=")) return Refuse(options, kResultBadValue);
        const std::wstring rest = text;
        bool bCut = false;
        std::wstring value = TakeValue(text.substr(1), bCut);
        if (bCut) {
            std::wstring force;
            std::size_t forceEquals = 0;
            if (LookUpKeyword(rest, L"FORCE", force, forceEquals)) {
                LookUpAuxMac(options, rest.substr(forceEquals));
                options.bForce = EqualsTrue(force);
            }
        }
        // The FRESHINSTALL value itself has no effect; what follows reads it.
        options.nMode = ModeSilentInstall;
        text = value;
    }

    if (BeginsWith(text, L"FORCE")) {
        RemoveFront(text, 5);
        StripLeadingWhiteSpace(text);
        if (!BeginsWith(text, L"=")) return Refuse(options, kResultBadValue);
        bool bCut = false;
        std::wstring value = TakeValue(text.substr(1), bCut);
        if (bCut) LookUpAuxMac(options, text);
        options.bForce = EqualsTrue(value);
        options.nMode = ModeSilentInstall;

        // After a FORCE group the log file comes from the next argument, which stays for the
        // caller to examine as well.
        text = index + 1 < argc ? UpperCased(argv[index + 1]) : std::wstring();
        if (BeginsWith(text, L"LOGFILE=") && !TakeLogFile(options, text)) return Refuse(options, kResultBadValue);
    }

    if (BeginsWith(text, L"LOGFILE=") && !TakeLogFile(options, text)) return Refuse(options, kResultBadValue);
    return kResultOk;
}

int ParseCommandLine(RunOptions& options, int argc, const wchar_t* const argv[]) {
    options.nMode = ModeInstall;
    options.bForce = false;
    options.bEnableAuxMac = true;

    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (IsSwitch(arg, L"/h") || IsSwitch(arg, L"/?")) {
            if (options.nMode != ModeInstall) return Refuse(options, kResultModeConflict);
            options.nMode = ModeUsage;
        } else if (IsSwitch(arg, L"/extract_all")) {
            if (options.nMode != ModeInstall) return Refuse(options, kResultModeConflict);
            if (i + 1 >= argc) return Refuse(options, kResultBadValue);
            ++i;
            if (!CopyToField(options.szTargetPath, argv[i])) return Refuse(options, kResultBadValue);
            options.nMode = ModeExtractAll;
        } else if (IsSwitch(arg, L"/s")) {
            if (options.nMode != ModeInstall) return Refuse(options, kResultModeConflict);
            options.nMode = ModeSilentInstall;
            if (i + 1 < argc) {
                // The argument after "/s" is always consumed, whatever it is.
                ++i;
                std::wstring next = UpperCased(argv[i]);
                if (BeginsWith(next, L"/V")) {
                    int nResult = ParseKeywordArgument(options, next, i, argc, argv);
                    if (nResult != 0) return nResult;
                } else if (BeginsWith(next, L"/?")) {
                    options.nMode = ModeUsage;
                }
            }
        } else if (arg.find(L"/v") != std::wstring::npos) {
            int nResult = ParseKeywordArgument(options, UpperCased(arg), i, argc, argv);
            if (nResult != 0) return nResult;
            // A stand-alone keyword argument runs the installer interactively, even after "/s".
            if (options.nMode == ModeSilentInstall) options.nMode = ModeInstall;
        }
    }
    return kResultOk;
}

bool NamesUnattendedRun(int argc, const wchar_t* const argv[]) {
    for (int i = 1; i < argc; ++i)
        if (argv[i] != nullptr && IsSwitch(argv[i], L"/s")) return true;
    return false;
}
