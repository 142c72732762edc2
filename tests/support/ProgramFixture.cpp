#include "support/ProgramFixture.h"

#include <cctype>

#include <windows.h>

#include <stdexcept>
#include <utility>

#include "invocation/UsagePage.h"
#include "package/PackageLayout.h"
#include "support/FileUtil.h"

const char kLogRecord[] = "==QVP log file==\r\nnRetCode=0\r\n";
const char kStandinLogText[] = "stand-in driver install log\r\n";
const wchar_t kAnotherRunBoxCaption[] = L"QVP tool";
const wchar_t kAnotherRunBoxText[] =
    L"Another installation or driver extraction of this package is running. Start this one again when it has ended.";

const wchar_t kUsbDriverLog[] = L"C:\\Program Files (x86)\\Corvane\\Corvane Velmora USB Windows Driver\\InstallLog.txt";
const wchar_t kNicDriverLog[] = L"C:\\Program Files (x86)\\Corvane\\Corvane Windows NIC Driver\\InstallLog.txt";
const wchar_t kUsbDriverLogOn32BitWindows[] =
    L"C:\\Program Files\\Corvane\\Corvane Velmora USB Windows Driver\\InstallLog.txt";

std::wstring ProgramTest::DriverLog(bool bUsbPackage) const { return bUsbPackage ? kUsbDriverLog : kNicDriverLog; }

void ProgramTest::SetUp() {
    RestoreMachineWidePlaces();
    NoteTraceStart();
    MakeFolders(Temp());
    RemoveTree(DriverLog(true));
    RemoveTree(DriverLog(false));
    RemoveTree(kUsbDriverLogOn32BitWindows);
}

void ProgramTest::TearDown() {
    RemoveTree(DriverLog(true));
    RemoveTree(DriverLog(false));
    RemoveTree(kUsbDriverLogOn32BitWindows);
}

void ProgramTest::MakePackage(PackageSpec spec) {
    spec.strSetupExe = BuiltToolPath(L"standin_installer.exe");
    m_bUsbPackage = spec.bUsbPackage;
    WritePackage(Root(), spec);
    InstallProgramInto(Root());
    ConfigureInstaller("");
}

void ProgramTest::ConfigureInstaller(const std::string& lines) {
    std::string config = "record=" + Narrow(m_folder / L"installer-record.txt") + "\r\n" +
                         "driverlog=" + Narrow(DriverLog(m_bUsbPackage)) + "\r\n" + lines;
    std::wstring path = Root() + L"\\Windows\\standin.cfg";
    if (PathExists(path)) SetReadOnly(path, false);
    WriteBytes(path, config);
}

ProgramOutcome ProgramTest::Run(const std::wstring& arguments, const std::wstring& currentFolder) {
    NoteTraceStart();
    return RunProgram(Program(), arguments, Temp(), currentFolder.empty() ? m_folder.Path() : currentFolder);
}

std::unique_ptr<BackgroundRun> ProgramTest::StartInBackground(const std::wstring& arguments,
                                                              unsigned long dwTimeoutMs) {
    NoteTraceStart();
    ChildOptions options;
    options.commandLine = L"\"" + Program() + L"\" " + arguments;
    options.tempFolder = Temp();
    options.currentFolder = m_folder.Path();
    options.dwTimeoutMs = dwTimeoutMs;
    return std::make_unique<BackgroundRun>(options);
}

std::string ProgramTest::FilesInPackage() const {
    return "files=" + std::to_string(CountFiles(Root() + L"\\Windows") + CountFiles(Root() + L"\\Others")) + "\r\n";
}

bool ProgramTest::InstallerRan() const { return PathExists(m_folder / L"installer-record.txt"); }

std::map<std::string, std::string> ProgramTest::InstallerRecord() const {
    std::map<std::string, std::string> record;
    if (!InstallerRan()) return record;
    std::string text = ReadBytes(m_folder / L"installer-record.txt");
    // instctrl= is the last entry and holds the install-control file's bytes as they are.
    std::size_t control = text.find("instctrl=");
    std::string head = text.substr(0, control);
    if (control != std::string::npos) {
        std::string value = text.substr(control + 9);
        if (value.size() >= 2) value.resize(value.size() - 2);
        record["instctrl"] = value;
    }
    std::size_t start = 0;
    while (start < head.size()) {
        std::size_t end = head.find("\r\n", start);
        std::string line = head.substr(start, end - start);
        std::size_t eq = line.find('=');
        if (eq != std::string::npos) record[line.substr(0, eq)] = line.substr(eq + 1);
        start = end == std::string::npos ? head.size() : end + 2;
    }
    return record;
}

void ProgramTest::ExpectUsagePageShown(const ProgramOutcome& outcome, MessageBoxAnswerer& answerer) const {
    EXPECT_EQ(outcome.dwExitCode, 0u);
    ASSERT_TRUE(answerer.WaitAllAnswered(1000));
    const std::wstring page = UsageText();
    EXPECT_EQ(answerer.Texts().front(), page);
    EXPECT_EQ(answerer.UnexpectedCount(), 0u) << answerer.DescribeUnexpected();
    EXPECT_EQ(outcome.stdoutBytes, ConsoleBytes(page));
    EXPECT_FALSE(PathExists(Staging()));
    EXPECT_FALSE(InstallerRan());
}

void ProgramTest::ExpectInstallerSawSilentAuxMacOffForceOn() const {
    ASSERT_TRUE(InstallerRan());
    auto record = InstallerRecord();
    EXPECT_EQ(record["commandline"], "\"" + Narrow(Staging() + L"\\Windows\\Setup.exe") + "\" -s");
    EXPECT_EQ(record["cwd"], Narrow(m_folder.Path())) << "the installer inherits the current folder";
    for (const InfPairFolder& folder : kInfPairFolders) {
        const std::string key = "inf." + Narrow(folder.pszOsKey) + "\\" + Narrow(folder.pszArch);
        const std::string base = Narrow(folder.pszBaseName);
        EXPECT_EQ(record[key], base + "_," + base + "m.INF") << key << ": AUX MAC off";
    }
    EXPECT_EQ(record["instctrl"], ReadBytes(Root() + L"\\Windows\\InstCtrl_KNDrvDisabled.txt")) << "FORCE on";
}

void ProgramTest::ExpectUsbDriversLaidOut(const std::wstring& production) const {
    // Windows 8.1 has no folder of its own in the package: it gets the WIN8 drivers.
    static const std::pair<const wchar_t*, const wchar_t*> kRows[] = {
        {L"Windows7-x86", L"WIN7\\32"},    {L"Windows7-x64", L"WIN7\\64"},   {L"Windows8-x86", L"WIN8\\32"},
        {L"Windows8-x64", L"WIN8\\64"},    {L"Windows8.1-x86", L"WIN8\\32"}, {L"Windows8.1-x64", L"WIN8\\64"},
        {L"Windows10-x86", L"WIN10\\32"}, {L"Windows10-x64", L"WIN10\\64"}};
    for (const auto& row : kRows) {
        EXPECT_TRUE(IsFolder(production + L"\\" + row.first)) << Narrow(row.first);
        EXPECT_EQ(TreeDigest(production + L"\\" + row.first), TreeDigest(Root() + L"\\Windows\\" + row.second))
            << Narrow(row.first);
    }
    EXPECT_FALSE(PathExists(production + L"\\32"));
    EXPECT_FALSE(PathExists(production + L"\\64"));
}

void ProgramTest::NoteTraceStart() {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    m_cbTraceBefore = GetFileAttributesExW(MachineTracePath().c_str(), GetFileExInfoStandard, &data)
                          ? (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow
                          : 0;
}

std::vector<std::string> ProgramTest::TraceOfLastRun() const {
    std::string text;
    try {
        text = ReadBytes(MachineTracePath());
    } catch (const std::runtime_error&) {
        return {};
    }
    // A trace shorter than it was has rolled over: all of it is new.
    size_t start = text.size() >= m_cbTraceBefore ? static_cast<size_t>(m_cbTraceBefore) : 0;
    // The byte-order mark is no part of the first line.
    if (text.compare(start, 3, "\xEF\xBB\xBF") == 0) start += 3;
    const std::string program = ConsoleBytes(Program());
    std::vector<std::string> lines;
    std::string pidTag;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 2;
        if (line.find(" started: command line ") != std::string::npos && line.find(program) != std::string::npos) {
            pidTag = line.substr(0, line.find(']') + 1);
            lines.clear();
        }
        if (!pidTag.empty() && line.compare(0, pidTag.size(), pidTag) == 0) lines.push_back(line);
    }
    return lines;
}

namespace {
// Paths in the trace are as the run used them: keyword values come upper-cased.
std::size_t FindIgnoringCase(const std::string& text, const std::string& part) {
    auto upper = [](std::string s) {
        for (char& ch : s) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        return s;
    };
    return upper(text).find(upper(part));
}
}  // namespace

std::string ProgramTest::TraceFailureLine() const {
    for (const std::string& line : TraceOfLastRun())
        if (line.find("] failed: ") != std::string::npos) return line;
    return std::string();
}

void ProgramTest::ExpectTraceEndsWithFailure(const std::string& step, const std::wstring& path, unsigned long dwError,
                                             const std::string& runEnd) const {
    std::string failed = "failed: " + step;
    if (!path.empty()) failed += ", path \"" + ConsoleBytes(path) + "\"";
    failed += ", Win32 error " + std::to_string(dwError) + ": ";
    ExpectTraceEndsWith({failed, runEnd});
    const std::vector<std::string> lines = TraceOfLastRun();
    // The system's text for the error follows it.
    if (lines.size() >= 2) {
        const std::string& line = lines[lines.size() - 2];
        const std::size_t at = FindIgnoringCase(line, failed);
        EXPECT_TRUE(at != std::string::npos && line.size() > at + failed.size()) << line;
    }
}

void ProgramTest::ExpectTraceEndsWith(const std::vector<std::string>& lastLines) const {
    const std::vector<std::string> lines = TraceOfLastRun();
    ASSERT_GE(lines.size(), lastLines.size());
    for (size_t i = 0; i < lastLines.size(); ++i) {
        const std::string& line = lines[lines.size() - lastLines.size() + i];
        EXPECT_NE(FindIgnoringCase(line, lastLines[i]), std::string::npos) << line;
    }
}
