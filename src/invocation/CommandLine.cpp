#include "invocation/CommandLine.h"

#include <cstddef>
#include <cwchar>
#include <utility>
#include <vector>

#include "invocation/KeywordValue.h"
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

// Ends the parse: the record says so, the reading names the text and why.
int Refuse(RunOptions& options, int nResult, CommandLineReading& reading, const std::wstring& text,
           const std::wstring& why) {
    options.nMode = ModeInvalid;
    reading.refusedText = text;
    reading.refusal = why;
    return nResult;
}

// An on/off keyword's value into its flag; a value that is neither is refused, keyword and value
// named, rather than read as one or the other.
int ReadSwitch(RunOptions& options, bool& bFlag, const wchar_t* pszKeyword, const std::wstring& value,
               CommandLineReading& reading) {
    switch (ReadSwitchValue(value)) {
    case SwitchValue::On: bFlag = true; return kResultOk;
    case SwitchValue::Off: bFlag = false; return kResultOk;
    default:
        return Refuse(options, kResultBadValue, reading, std::wstring(pszKeyword) + L"=" + value,
                      L"a value that is neither on (TRUE, YES, ON, 1) nor off (FALSE, NO, OFF, 0)");
    }
}

// The value after a keyword's "=": it ends at the last blank before the next keyword's "=".
// bCut tells whether a later "=" cut the text; rest is the text after the value's end.
std::wstring TakeValue(std::wstring text, bool& bCut, std::wstring& rest) {
    bCut = false;
    rest.clear();
    std::size_t p = text.find(L'=');
    if (p != std::wstring::npos && p > 0) {
        rest = text.substr(p);
        text.erase(p);
        bCut = true;
        std::size_t blank = text.rfind(kBlank);
        if (blank != std::wstring::npos && blank > 0) {
            rest = text.substr(blank + 1) + rest;
            text.erase(blank);
            StripTrailingWhiteSpace(text);
        }
    }
    return text;
}

std::wstring TakeValue(const std::wstring& text, bool& bCut) {
    std::wstring rest;
    return TakeValue(text, bCut, rest);
}

std::wstring TakeValue(const std::wstring& text) {
    bool bCut = false;
    return TakeValue(text, bCut);
}

// Where keyword stands as a word of its own: at the start of the text or right after white
// space, from position from on. npos when nowhere.
std::size_t FindKeyword(const std::wstring& text, const wchar_t* keyword, std::size_t from = 0) {
    for (std::size_t at = text.find(keyword, from); at != std::wstring::npos; at = text.find(keyword, at + 1))
        if (at == 0 || IsWhiteSpace(text[at - 1])) return at;
    return std::wstring::npos;
}

// The "=" after keyword at position at, when only white space lies between; npos otherwise.
std::size_t EqualsAfter(const std::wstring& text, std::size_t at, const wchar_t* keyword) {
    if (text.compare(at, std::wcslen(keyword), keyword) != 0) return std::wstring::npos;
    std::size_t i = at + std::wcslen(keyword);
    while (i < text.size() && IsWhiteSpace(text[i])) ++i;
    return i < text.size() && text[i] == L'=' ? i : std::wstring::npos;
}

// Finds keyword in text, which begins at the previous keyword's "=". Only the first occurrence
// counts; it is found when "=" follows it after optional white space. equalsAt is that "=".
bool LookUpKeyword(const std::wstring& text, const wchar_t* keyword, std::wstring& value,
                   std::size_t& equalsAt) {
    std::size_t at = text.find(keyword);
    if (at == std::wstring::npos) return false;
    equalsAt = EqualsAfter(text, at, keyword);
    if (equalsAt == std::wstring::npos) return false;
    value = TakeValue(text.substr(equalsAt + 1));
    return true;
}

// ENAUXMAC inside a group; bFound tells whether the text had it.
int LookUpAuxMac(RunOptions& options, const std::wstring& text, CommandLineReading& reading, bool& bFound) {
    std::wstring value;
    std::size_t equalsAt = 0;
    bFound = LookUpKeyword(text, L"ENAUXMAC", value, equalsAt);
    return bFound ? ReadSwitch(options, options.bEnableAuxMac, L"ENAUXMAC", value, reading) : kResultOk;
}

// ENAUXMAC where it stands as a word of its own with its "=", wherever that is.
int FindAuxMacAnywhere(RunOptions& options, const std::wstring& text, CommandLineReading& reading) {
    for (std::size_t at = FindKeyword(text, L"ENAUXMAC"); at != std::wstring::npos;
         at = FindKeyword(text, L"ENAUXMAC", at + 1)) {
        const std::size_t equalsAt = EqualsAfter(text, at, L"ENAUXMAC");
        if (equalsAt == std::wstring::npos) continue;
        return ReadSwitch(options, options.bEnableAuxMac, L"ENAUXMAC", TakeValue(text.substr(equalsAt + 1)), reading);
    }
    return kResultOk;
}

// Takes every "keyword=value" where keyword stands as a word of its own out of text, so that the
// keywords read at the front of the text find what they always found; values holds each value
// in order.
void TakeOutKeyword(std::wstring& text, const wchar_t* keyword, std::vector<std::wstring>& values) {
    for (std::size_t at = FindKeyword(text, keyword); at != std::wstring::npos; at = FindKeyword(text, keyword, at)) {
        const std::size_t equalsAt = EqualsAfter(text, at, keyword);
        if (equalsAt == std::wstring::npos) {
            ++at;
            continue;
        }
        bool bCut = false;
        std::wstring rest;
        values.push_back(TakeValue(text.substr(equalsAt + 1), bCut, rest));
        text = text.substr(0, at) + rest;
    }
}

// INSTALLERCODE= and LINGER=, wherever they stand in the keyword text; the last of each counts.
int ReadRunKeywords(RunOptions& options, std::wstring& text, CommandLineReading& reading) {
    std::vector<std::wstring> installerCode;
    TakeOutKeyword(text, L"INSTALLERCODE", installerCode);
    for (const std::wstring& value : installerCode)
        if (ReadSwitch(options, options.bInstallerCode, L"INSTALLERCODE", value, reading) != kResultOk)
            return kResultBadValue;
    std::vector<std::wstring> linger;
    TakeOutKeyword(text, L"LINGER", linger);
    for (const std::wstring& value : linger)
        if (!ReadLingerMinutes(value, options.nLingerMinutes))
            return Refuse(options, kResultBadValue, reading, L"LINGER=" + value,
                          L"not a whole number of minutes from 0 to " + std::to_wstring(kMaxLingerMinutes));
    return kResultOk;
}

const wchar_t kLogFileKeyword[] = L"LOGFILE=";
constexpr std::size_t kLogFileKeywordLength = 8;

// The blank that ends the driver folder: the first one that a keyword and its "=" follow
// directly. npos when no keyword follows: the folder runs to the end.
std::size_t DriverFolderEnd(const std::wstring& text) {
    for (std::size_t blank = text.find(kBlank); blank != std::wstring::npos; blank = text.find(kBlank, blank + 1)) {
        const std::size_t next = blank + 1;
        if (text.compare(next, kLogFileKeywordLength, kLogFileKeyword) == 0) return blank;
        for (const wchar_t* keyword : {L"FRESHINSTALL", L"FORCE", L"ENAUXMAC"})
            if (EqualsAfter(text, next, keyword) != std::wstring::npos) return blank;
    }
    return std::wstring::npos;
}

// The log path after "LOGFILE=", leading white space stripped, inner and trailing blanks kept.
const wchar_t* StoreLogFile(RunOptions& options, std::wstring path) {
    StripLeadingWhiteSpace(path);
    if (path.empty()) return L"LOGFILE= names no file";
    if (!CopyToField(options.szLogFile, path)) return L"the result log path is longer than 259 characters";
    return nullptr;
}

// "LOGFILE=" at the front of text takes the rest of the text.
const wchar_t* TakeLogFile(RunOptions& options, std::wstring& text) {
    RemoveFront(text, kLogFileKeywordLength);
    StripLeadingWhiteSpace(text);
    return StoreLogFile(options, text);
}

// What the keyword arguments read so far asked for, over all of them.
struct KeywordsRead {
    bool bNextRead = false;               // a FORCE group read the argument after its own
    bool bDriverFolder = false;           // EXTRACTDRIVERS= named a folder
    const wchar_t* pszInstall = nullptr;  // the keyword of a group that asked for an install
};

// A driver folder and an install in one run: the caller would get one of them without a word
// about the other.
int RefuseExtractionWithInstall(RunOptions& options, const KeywordsRead& read, const std::wstring& argument,
                                CommandLineReading& reading) {
    return Refuse(options, kResultBadValue, reading, argument,
                  std::wstring(L"EXTRACTDRIVERS= names a driver folder and ") + read.pszInstall +
                      L"= asks for an install; a run does one of them");
}

// One keyword argument.
int ReadKeywordArgument(RunOptions& options, std::wstring text, int index, int argc, const wchar_t* const argv[],
                        CommandLineReading& reading, KeywordsRead& read) {
    bool& bNextRead = read.bNextRead;
    bNextRead = false;
    const std::wstring argument = argv[index];
    RemoveFront(text, 2);
    StripLeadingWhiteSpace(text);

    if (BeginsWith(text, L"/QN")) {
        RemoveFront(text, 3);
        StripLeadingWhiteSpace(text);
    }

    // LOGFILE= wherever it stands as a word takes the rest of the argument, blanks and all. The
    // keywords are read in front of it only, with its "=" left there, so that the value before
    // it ends where it would end before any other keyword.
    const std::size_t logAt = FindKeyword(text, kLogFileKeyword);
    std::wstring logHere;
    if (logAt != std::wstring::npos) {
        logHere = text.substr(logAt + kLogFileKeywordLength);
        text.erase(logAt + kLogFileKeywordLength);
    }
    if (ReadRunKeywords(options, text, reading) != kResultOk) return kResultBadValue;
    const std::wstring keywords = text;
    bool bAuxMacSet = false;

    if (BeginsWith(text, L"EXTRACTDRIVERS")) {
        // The "=" after the keyword is assumed, not checked.
        RemoveFront(text, 15);
        StripLeadingWhiteSpace(text);
        if (text.find(kBlank) == std::wstring::npos)
            return Refuse(options, kResultBadValue, reading, argument, L"the driver folder is not followed by a blank");
        // The folder runs to the next keyword: a folder name may hold blanks.
        const std::size_t end = DriverFolderEnd(text);
        std::wstring folder = text.substr(0, end);
        StripTrailingWhiteSpace(folder);
        if (folder.size() + std::wcslen(kExtractionSubfolder) >= kMaxPathChars)
            return Refuse(options, kResultBadValue, reading, argument, L"the driver folder is longer than 248 characters");
        CopyToField(options.szDriverPath, folder + kExtractionSubfolder);
        options.nMode = ModeExtractDrivers;
        read.bDriverFolder = true;
        text = end == std::wstring::npos ? std::wstring() : text.substr(end + 1);
    }

    // ENAUXMAC in front of a group is read as it would be inside one.
    const std::size_t auxMacEquals = EqualsAfter(text, 0, L"ENAUXMAC");
    if (auxMacEquals != std::wstring::npos) {
        bool bCut = false;
        std::wstring rest;
        if (ReadSwitch(options, options.bEnableAuxMac, L"ENAUXMAC", TakeValue(text.substr(auxMacEquals + 1), bCut, rest),
                       reading) != kResultOk)
            return kResultBadValue;
        bAuxMacSet = true;
        text = rest;
    }

    if (BeginsWith(text, L"FRESHINSTALL")) {
        RemoveFront(text, 12);
        StripLeadingWhiteSpace(text);
        if (!BeginsWith(text, L"="))
            return Refuse(options, kResultBadValue, reading, argument, L"FRESHINSTALL is not followed by \"=\"");
        read.pszInstall = L"FRESHINSTALL";
        const std::wstring rest = text;
        bool bCut = false;
        std::wstring value = TakeValue(text.substr(1), bCut);
        if (bCut) {
            std::wstring force;
            std::size_t forceEquals = 0;
            if (LookUpKeyword(rest, L"FORCE", force, forceEquals)) {
                bool bFound = false;
                if (LookUpAuxMac(options, rest.substr(forceEquals), reading, bFound) != kResultOk) return kResultBadValue;
                bAuxMacSet = bFound || bAuxMacSet;
                if (ReadSwitch(options, options.bForce, L"FORCE", force, reading) != kResultOk) return kResultBadValue;
            }
        }
        // The FRESHINSTALL value itself has no effect; what follows reads it.
        options.nMode = ModeSilentInstall;
        text = value;
    }

    bool bTextIsNextArgument = false;
    if (BeginsWith(text, L"FORCE")) {
        RemoveFront(text, 5);
        StripLeadingWhiteSpace(text);
        if (!BeginsWith(text, L"="))
            return Refuse(options, kResultBadValue, reading, argument, L"FORCE is not followed by \"=\"");
        if (read.pszInstall == nullptr) read.pszInstall = L"FORCE";
        bool bCut = false;
        std::wstring value = TakeValue(text.substr(1), bCut);
        if (bCut) {
            bool bFound = false;
            if (LookUpAuxMac(options, text, reading, bFound) != kResultOk) return kResultBadValue;
            bAuxMacSet = bFound || bAuxMacSet;
        }
        if (ReadSwitch(options, options.bForce, L"FORCE", value, reading) != kResultOk) return kResultBadValue;
        options.nMode = ModeSilentInstall;

        // After a FORCE group the log file may come from the next argument, which stays for the
        // caller to examine as well.
        text = index + 1 < argc ? UpperCased(argv[index + 1]) : std::wstring();
        bTextIsNextArgument = true;
        if (BeginsWith(text, kLogFileKeyword)) {
            bNextRead = true;
            if (logAt != std::wstring::npos)
                return Refuse(options, kResultBadValue, reading, argv[index + 1],
                              L"a second result log after the one the keyword argument before it names");
            if (const wchar_t* pszWhy = TakeLogFile(options, text))
                return Refuse(options, kResultBadValue, reading, argv[index + 1], pszWhy);
        }
    }

    // The next argument's text, once read as a log path, is looked at once more as keyword text.
    if (bTextIsNextArgument && BeginsWith(text, kLogFileKeyword)) {
        if (const wchar_t* pszWhy = TakeLogFile(options, text))
            return Refuse(options, kResultBadValue, reading, argv[index + 1], pszWhy);
    }
    if (logAt != std::wstring::npos) {
        if (const wchar_t* pszWhy = StoreLogFile(options, logHere))
            return Refuse(options, kResultBadValue, reading, argument, pszWhy);
    }
    // ENAUXMAC outside a group, wherever it stands.
    if (!bAuxMacSet && FindAuxMacAnywhere(options, keywords, reading) != kResultOk) return kResultBadValue;
    if (read.bDriverFolder && read.pszInstall != nullptr)
        return RefuseExtractionWithInstall(options, read, argument, reading);
    return kResultOk;
}

bool BeginsWithSwitch(const std::wstring& arg, const wchar_t* prefix) {
    return IsSwitch(arg.substr(0, std::wcslen(prefix)), prefix);
}

// An argument that changes nothing is listed, except a result log that no keyword argument
// reads: the run would end without the log its caller asked for.
int Ignore(RunOptions& options, const std::wstring& arg, CommandLineReading& reading) {
    if (BeginsWith(UpperCased(arg), kLogFileKeyword))
        return Refuse(options, kResultBadValue, reading, arg,
                      L"a result log that no keyword argument reads (LOGFILE= belongs in the /v text, or after a FORCE group)");
    reading.ignored.push_back(arg);
    return kResultOk;
}

}  // namespace

int ParseKeywordArgument(RunOptions& options, std::wstring text, int index, int argc,
                         const wchar_t* const argv[]) {
    CommandLineReading reading;
    KeywordsRead read;
    return ReadKeywordArgument(options, std::move(text), index, argc, argv, reading, read);
}

int ParseCommandLine(RunOptions& options, int argc, const wchar_t* const argv[], CommandLineReading& reading) {
    reading = CommandLineReading();
    options.nMode = ModeInstall;
    options.bForce = false;
    options.bEnableAuxMac = true;
    options.bInstallerCode = false;
    options.nLingerMinutes = kDefaultLingerMinutes;
    const wchar_t kConflict[] = L"a mode switch after the mode was already chosen";

    bool bSilentSwitch = false;  // "/s" was given: nothing after it makes the install interactive
    KeywordsRead read;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        const bool bReadAlready = read.bNextRead;
        read.bNextRead = false;
        if (IsSwitch(arg, L"/h") || IsSwitch(arg, L"/?")) {
            if (options.nMode != ModeInstall) return Refuse(options, kResultModeConflict, reading, arg, kConflict);
            options.nMode = ModeUsage;
        } else if (IsSwitch(arg, L"/extract_all") || BeginsWithSwitch(arg, L"/extract_all:")) {
            if (options.nMode != ModeInstall) return Refuse(options, kResultModeConflict, reading, arg, kConflict);
            // "/extract_all:<path>", as the usage page writes it, is the same as the path after it.
            const bool bColonForm = arg.size() > std::wcslen(L"/extract_all");
            if (!bColonForm && i + 1 >= argc)
                return Refuse(options, kResultBadValue, reading, arg, L"/extract_all without the folder after it");
            const std::wstring target = bColonForm ? arg.substr(std::wcslen(L"/extract_all:")) : argv[++i];
            if (target.empty())
                return Refuse(options, kResultBadValue, reading, arg, L"/extract_all: without a folder");
            if (!CopyToField(options.szTargetPath, target))
                return Refuse(options, kResultBadValue, reading, target, L"the folder is longer than 259 characters");
            options.nMode = ModeExtractAll;
        } else if (IsSwitch(arg, L"/s")) {
            if (options.nMode != ModeInstall) return Refuse(options, kResultModeConflict, reading, arg, kConflict);
            options.nMode = ModeSilentInstall;
            bSilentSwitch = true;
            if (i + 1 < argc) {
                // The argument after "/s" is always consumed, whatever it is.
                ++i;
                std::wstring next = UpperCased(argv[i]);
                if (BeginsWith(next, L"/V")) {
                    int nResult = ReadKeywordArgument(options, next, i, argc, argv, reading, read);
                    if (nResult != 0) return nResult;
                } else if (BeginsWith(next, L"/?")) {
                    options.nMode = ModeUsage;
                } else if (Ignore(options, argv[i], reading) != kResultOk) {
                    return kResultBadValue;
                }
            }
        } else if (arg.find(L"/v") != std::wstring::npos) {
            int nResult = ReadKeywordArgument(options, UpperCased(arg), i, argc, argv, reading, read);
            if (nResult != 0) return nResult;
            // A stand-alone keyword argument runs the installer interactively, unless "/s" was given.
            if (options.nMode == ModeSilentInstall && !bSilentSwitch) options.nMode = ModeInstall;
        } else if (!bReadAlready && Ignore(options, arg, reading) != kResultOk) {
            return kResultBadValue;
        }
    }
    return kResultOk;
}

int ParseCommandLine(RunOptions& options, int argc, const wchar_t* const argv[]) {
    CommandLineReading reading;
    return ParseCommandLine(options, argc, argv, reading);
}

bool NamesUnattendedRun(int argc, const wchar_t* const argv[]) {
    for (int i = 1; i < argc; ++i)
        if (argv[i] != nullptr && IsSwitch(argv[i], L"/s")) return true;
    return false;
}
