// The deployment recipes (every file in deploy/ and the README's code blocks) start the program
// with command lines of their own. Each of those lines goes through the parser here: a recipe
// whose switch or keyword the program would refuse, drop without a word or read as something
// else fails the suite, not a fleet's deployment.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <cctype>
#include <cstddef>
#include <cwchar>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "invocation/CommandLine.h"
#include "invocation/CommandLineReading.h"
#include "support/FileUtil.h"
#include "support/NamedCase.h"

namespace {

const std::wstring kSourceDir = NICUPDATE_SOURCE_DIR;

// One line of a recipe that names the program.
struct RecipeLine {
    std::string name;     // file and line, as a test case name
    std::wstring where;   // file and line, for the failure message
    std::wstring text;    // the whole line
    bool bShellExpands;   // cmd expands %VAR% on this line before the program sees it
};

std::ostream& operator<<(std::ostream& os, const RecipeLine& line) { return os << line.name; }

std::wstring Widened(const std::string& utf8) {
    if (utf8.empty()) return std::wstring();
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &text[0], n);
    return text;
}

std::vector<std::wstring> Lines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = text.substr(start, end - start);
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// Only a-z change, as the parser upper-cases.
std::wstring Upper(std::wstring text) {
    for (wchar_t& ch : text)
        if (ch >= L'a' && ch <= L'z') ch = static_cast<wchar_t>(ch - L'a' + L'A');
    return text;
}

std::wstring Trimmed(const std::wstring& text) {
    const std::size_t first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos) return std::wstring();
    return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

// A comment in a PowerShell, batch or text recipe says what a line does; it runs nothing.
bool IsComment(const std::wstring& line) {
    const std::wstring upper = Upper(Trimmed(line));
    return upper.compare(0, 1, L"#") == 0 || upper.compare(0, 2, L"::") == 0 || upper == L"REM" ||
           upper.compare(0, 4, L"REM ") == 0;
}

const wchar_t kProgram[] = L"NICUPDATE.EXE";

bool NamesProgram(const std::wstring& line) { return Upper(line).find(kProgram) != std::wstring::npos; }

std::string RecipeCaseName(const std::wstring& file, std::size_t lineNumber) {
    std::string name;
    for (wchar_t ch : file) name += (ch < 128 && std::isalnum(static_cast<int>(ch))) ? static_cast<char>(ch) : '_';
    return name + "_L" + std::to_string(lineNumber);
}

void AddLine(std::vector<RecipeLine>& lines, const std::wstring& file, std::size_t lineNumber,
             const std::wstring& text, bool bShellExpands) {
    lines.push_back({RecipeCaseName(file, lineNumber), file + L":" + std::to_wstring(lineNumber), text, bShellExpands});
}

// Empty when the file is missing: the table is built before any test runs, where a throw would end
// the whole program; RecipeFiles reports the missing lines instead.
std::wstring FileText(const std::wstring& relative) {
    const std::wstring path = kSourceDir + L"/" + relative;
    return PathExists(path) ? Widened(ReadBytes(path)) : std::wstring();
}

// Every line of every file in deploy/ that names the program, but comments.
std::vector<RecipeLine> DeployLines() {
    std::vector<RecipeLine> lines;
    if (!IsFolder(kSourceDir + L"/deploy")) return lines;
    for (const std::wstring& entry : ListTree(kSourceDir + L"/deploy")) {
        if (entry.back() == L'\\') continue;
        const std::wstring upper = Upper(entry);
        const bool bBatch = upper.size() > 4 && (upper.compare(upper.size() - 4, 4, L".CMD") == 0 ||
                                                 upper.compare(upper.size() - 4, 4, L".BAT") == 0);
        const std::vector<std::wstring> text = Lines(FileText(L"deploy/" + entry));
        for (std::size_t i = 0; i < text.size(); ++i)
            if (NamesProgram(text[i]) && !IsComment(text[i])) AddLine(lines, L"deploy/" + entry, i + 1, text[i], bBatch);
    }
    return lines;
}

// The README's code blocks, but those of the developer's Linux shell (sh) and shown output (text).
std::vector<RecipeLine> ReadmeLines() {
    std::vector<RecipeLine> lines;
    const std::vector<std::wstring> text = Lines(FileText(L"README.md"));
    bool bInBlock = false;
    bool bRead = false;
    bool bShellExpands = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::wstring line = Trimmed(text[i]);
        if (line.compare(0, 3, L"```") == 0) {
            const std::wstring info = Upper(Trimmed(line.substr(3)));
            if (!bInBlock) {
                bRead = info != L"SH" && info != L"TEXT";
                bShellExpands = info == L"CMD" || info == L"BAT";
            }
            bInBlock = !bInBlock;
        } else if (bInBlock && bRead && NamesProgram(line) && !IsComment(line)) {
            AddLine(lines, L"README.md", i + 1, text[i], bShellExpands);
        }
    }
    return lines;
}

std::vector<RecipeLine> AllRecipeLines() {
    std::vector<RecipeLine> lines = ReadmeLines();
    for (RecipeLine& line : DeployLines()) lines.push_back(line);
    return lines;
}

// The arguments after the program's name, as the platform splits them for it.
std::vector<std::wstring> ArgumentsAfterProgram(const std::wstring& line) {
    std::size_t at = Upper(line).find(kProgram) + std::wcslen(kProgram);
    if (at < line.size() && line[at] == L'"') ++at;  // the closing quote of a quoted path
    const std::wstring commandLine = L"NicUpdate.exe" + line.substr(at);
    int argc = 0;
    std::unique_ptr<wchar_t*, decltype(&LocalFree)> argv(CommandLineToArgvW(commandLine.c_str(), &argc), &LocalFree);
    std::vector<std::wstring> arguments;
    for (int i = 0; argv && i < argc; ++i) arguments.push_back(argv.get()[i]);
    return arguments;
}

// TRUE, YES, ON and 1 mean on, FALSE, NO, OFF and 0 off, case-blind; false for anything else.
bool ReadOnOff(const std::wstring& value, bool& bOn) {
    const std::wstring upper = Upper(value);
    for (const wchar_t* pszOn : {L"TRUE", L"YES", L"ON", L"1"})
        if (upper == pszOn) {
            bOn = true;
            return true;
        }
    for (const wchar_t* pszOff : {L"FALSE", L"NO", L"OFF", L"0"})
        if (upper == pszOff) {
            bOn = false;
            return true;
        }
    return false;
}

bool IsFullPath(const std::wstring& path, bool bShellExpands) {
    if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') return true;
    if (path.compare(0, 2, L"\\\\") == 0) return true;
    // %SystemRoot%\... is a full path once cmd has expanded it.
    return bShellExpands && path.size() > 2 && path[0] == L'%' && path.find(L"%\\", 1) != std::wstring::npos;
}

const wchar_t* const kKeywords[] = {L"EXTRACTDRIVERS", L"FRESHINSTALL", L"FORCE", L"ENAUXMAC",
                                    L"INSTALLERCODE", L"LINGER", L"LOGFILE"};

// What one keyword of the line asks for, checked against what the parser made of the line.
std::wstring KeywordProblem(const std::wstring& name, const std::wstring& value, const RunOptions& options,
                            bool bShellExpands) {
    const std::wstring keyword = name + L"=" + value;
    if (!bShellExpands && value.find(L'%') != std::wstring::npos)
        return keyword + L": the program does not expand %VAR%, and neither does the tool";
    bool bOn = false;
    if (name == L"FORCE" || name == L"ENAUXMAC" || name == L"INSTALLERCODE") {
        if (!ReadOnOff(value, bOn)) return keyword + L": not TRUE/YES/ON/1 nor FALSE/NO/OFF/0";
        const bool bRead = name == L"FORCE" ? options.bForce
                           : name == L"ENAUXMAC" ? options.bEnableAuxMac : options.bInstallerCode;
        if (bRead != bOn) return keyword + L": the program reads it as " + (bRead ? L"on" : L"off");
    } else if (name == L"LINGER") {
        if (value.empty() || value.size() > 4 || value.find_first_not_of(L"0123456789") != std::wstring::npos ||
            std::stoi(value) > 1440)
            return keyword + L": not a whole number of minutes from 0 to 1440";
        if (options.nLingerMinutes != std::stoi(value))
            return keyword + L": the program waits " + std::to_wstring(options.nLingerMinutes) + L" minutes";
    } else if (name == L"LOGFILE") {
        if (Upper(value) != options.szLogFile) return keyword + L": the program writes " + options.szLogFile;
        if (!IsFullPath(value, bShellExpands))
            return keyword + L": not a full path; it would land in the folder the tool runs the program from";
    } else if (name == L"EXTRACTDRIVERS") {
        if (options.nMode != ModeExtractDrivers || Upper(value) + L"\\production" != options.szDriverPath)
            return keyword + L": the program lays the drivers out in [" + options.szDriverPath + L"]";
    } else if (name != L"FRESHINSTALL") {
        return keyword + L": no keyword of the program (it would be dropped without a word)";
    }
    return std::wstring();
}

// The keywords of one keyword text (a /v argument without its /v, or a LOGFILE= argument), each
// checked. LOGFILE= takes the rest of the text; the driver folder runs to the next keyword.
std::wstring KeywordTextProblem(const std::wstring& text, const RunOptions& options, bool bShellExpands) {
    const std::wstring upper = Upper(text);
    std::size_t pos = 0;
    while (pos < text.size()) {
        pos = text.find_first_not_of(L' ', pos);
        if (pos == std::wstring::npos) break;
        if (upper.compare(pos, 3, L"/QN") == 0) {
            pos += 3;
            continue;
        }
        const std::size_t equals = text.find(L'=', pos);
        const std::size_t blank = text.find(L' ', pos);
        if (equals == std::wstring::npos || (blank != std::wstring::npos && blank < equals))
            return L"[" + text.substr(pos) + L"]: words the program reads as no keyword";
        const std::wstring name = upper.substr(pos, equals - pos);
        std::size_t end = name == L"LOGFILE" ? text.size() : text.find(L' ', equals);
        if (name == L"EXTRACTDRIVERS") {
            end = text.size();
            for (const wchar_t* pszNext : kKeywords) {
                const std::size_t next = upper.find(L" " + std::wstring(pszNext) + L"=", equals);
                if (next != std::wstring::npos && next < end) end = next;
            }
        }
        if (end == std::wstring::npos) end = text.size();
        std::wstring value = Trimmed(text.substr(equals + 1, end - equals - 1));
        const std::wstring problem = KeywordProblem(name, value, options, bShellExpands);
        if (!problem.empty()) return problem;
        pos = end;
    }
    return std::wstring();
}

// Empty when the program reads the line's command line as it is written; otherwise what differs.
std::wstring RecipeProblem(const std::wstring& line, bool bShellExpands) {
    const std::vector<std::wstring> arguments = ArgumentsAfterProgram(line);
    std::vector<const wchar_t*> argv;
    for (const std::wstring& argument : arguments) argv.push_back(argument.c_str());
    argv.push_back(nullptr);
    RunOptions options{};
    CommandLineReading reading;
    if (ParseCommandLine(options, static_cast<int>(arguments.size()), argv.data(), reading) != 0)
        return L"refused: " + DescribeCommandLineRefusal(reading);
    if (!reading.ignored.empty()) return DescribeCommandLineReading(options, reading);

    bool bSilent = false;
    bool bDriverFolder = false;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::wstring upper = Upper(arguments[i]);
        bSilent = bSilent || upper == L"/S";
        bDriverFolder = bDriverFolder || upper.find(L"EXTRACTDRIVERS=") != std::wstring::npos;
        std::wstring keywordText;
        if (upper.compare(0, 2, L"/V") == 0) keywordText = arguments[i].substr(2);
        else if (upper.compare(0, 8, L"LOGFILE=") == 0) keywordText = arguments[i];
        const std::wstring problem = KeywordTextProblem(keywordText, options, bShellExpands);
        if (!problem.empty()) return problem;
    }
    if (bSilent && !bDriverFolder && options.nMode != ModeSilentInstall)
        return std::wstring(L"/s asks for a silent install; the program runs: ") + RunModeText(options.nMode);
    return std::wstring();
}

class RecipeCommandLine : public ::testing::TestWithParam<RecipeLine> {};

TEST_P(RecipeCommandLine, IsReadAsWritten) {
    const RecipeLine& line = GetParam();
    EXPECT_EQ(RecipeProblem(line.text, line.bShellExpands), L"") << Narrow(line.where) << ": " << Narrow(line.text);
}

INSTANTIATE_TEST_SUITE_P(Recipes, RecipeCommandLine, ::testing::ValuesIn(AllRecipeLines()),
                         [](const ::testing::TestParamInfo<RecipeLine>& info) { return info.param.name; });

// The check finds the recipes at all: without this a moved README or deploy folder, or a wrong
// source path, would leave the table above empty and pass.
TEST(RecipeFiles, ReadmeAndDeployFolderHoldTheProgramsCommandLines) {
    EXPECT_FALSE(ReadmeLines().empty()) << "no command line of the program in the README's code blocks";
    ASSERT_TRUE(IsFolder(kSourceDir + L"/deploy"));
    EXPECT_FALSE(DeployLines().empty()) << "no command line of the program in deploy/";
}

// The check itself, on lines whose fault it must find, and on lines it must pass.
struct JudgedCase : NamedCase {
    const wchar_t* pszLine;
    bool bShellExpands;
    const wchar_t* pszProblemPart;  // empty: the line must pass
};

class RecipeCheck : public ::testing::TestWithParam<JudgedCase> {};

TEST_P(RecipeCheck, FindsWhatTheProgramWouldNotDoAsWritten) {
    const JudgedCase& c = GetParam();
    const std::wstring problem = RecipeProblem(c.pszLine, c.bShellExpands);
    if (*c.pszProblemPart == L'\0') {
        EXPECT_EQ(problem, L"");
    } else {
        EXPECT_NE(problem.find(c.pszProblemPart), std::wstring::npos) << Narrow(problem);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RecipeCheck,
    ::testing::Values(
        JudgedCase{"ForceGroupWithLogAfterIt",
                   L"NicUpdate.exe /s \"/vFORCE=TRUE ENAUXMAC=FALSE\" LOGFILE=C:\\Windows\\Logs\\r.log", false, L""},
        JudgedCase{"DriverFolderWithBlank", L"NicUpdate.exe /s \"/vEXTRACTDRIVERS=C:\\My Drivers LOGFILE=C:\\r.log\"",
                   false, L""},
        JudgedCase{"QuotedPathAndExpandedLog",
                   L"\"%LOCAL%\\NicUpdate.exe\" /s \"/vLOGFILE=%SystemRoot%\\Logs\\nic-result.log\"", true, L""},
        JudgedCase{"LogNoKeywordArgumentReads", L"NicUpdate.exe /s LOGFILE=C:\\r.log", false, L"refused"},
        JudgedCase{"KeywordTextNotQuoted", L"NicUpdate.exe /s /vFORCE=TRUE ENAUXMAC=FALSE", false, L"ignored [ENAUXMAC"},
        JudgedCase{"SwitchSwallowedBySilent", L"NicUpdate.exe /s /extract_all C:\\Out", false, L"ignored [/extract_all]"},
        JudgedCase{"UsagePageInsteadOfInstall", L"NicUpdate.exe /s /?", false, L"usage page"},
        JudgedCase{"MisspeltKeyword", L"NicUpdate.exe /s \"/vLINGR=5 LOGFILE=C:\\r.log\"", false, L"LINGR=5"},
        JudgedCase{"ValueOutsideTheRule", L"NicUpdate.exe /s \"/vFORCE=TREU LOGFILE=C:\\r.log\"", false, L"FORCE=TREU"},
        JudgedCase{"LogBesideTheToolsCopy", L"NicUpdate.exe /s \"/vLOGFILE=nic-result.log\"", false, L"not a full path"},
        JudgedCase{"VariableNobodyExpands", L"NicUpdate.exe /s \"/vLOGFILE=%SystemRoot%\\Logs\\r.log\"", false,
                   L"does not expand"}),
    CaseName());

}  // namespace
