// The run's Application event: the message file (a DLL of the message table alone) that gives
// each event ID its text, the source's registration with a kept copy of it that outlives the
// package, and the strings that reach the platform's event log. The reporting program here is
// this test program, which carries the built message file as the shipping program does.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "NicUpdateEvents.h"
#include "fileops/ScopedHandle.h"
#include "report/EventLogSource.h"
#include "report/EventMessageFile.h"
#include "support/EventLogChannel.h"
#include "support/FileUtil.h"
#include "support/LogsFolderAside.h"
#include "support/NamedCase.h"
#include "support/ProgramRun.h"
#include "support/TempFolder.h"
#include "support/UnixShell.h"

namespace {

struct LoadedModulePolicy {
    static HANDLE Invalid() noexcept { return nullptr; }
    static void Close(HANDLE h) noexcept { ::FreeLibrary(static_cast<HMODULE>(h)); }
};
using LoadedModule = ScopedHandle<LoadedModulePolicy>;

const std::vector<std::wstring> kStrings = {
    L"silent install", L"CannotCopyFile (6)", L"1603",
    L"package copy: C:\\Windows\\Temp\\NicUpdate.1\\Drivers\\net.inf, error 32 (The process cannot access "
    L"the file because it is being used by another process.)",
    L"3010", L"10.1.2.3, 10.4.0.0", L"1.0.0.0",
    L"C:\\Program Files\\Maker\\tray.exe (process id 4242), (image name unknown) (process id 4250)"};

// A file loaded the way Event Viewer loads a message file: as data only, nothing of it runs.
LoadedModule LoadAsData(const std::wstring& path) {
    return LoadedModule(
        LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
}

// The event's text as Event Viewer builds it from the message file and the insertion strings.
std::wstring FormatEvent(HMODULE hModule, DWORD dwMessageId, const std::vector<std::wstring>& strings) {
    std::vector<DWORD_PTR> arguments;
    for (const std::wstring& text : strings) arguments.push_back(reinterpret_cast<DWORD_PTR>(text.c_str()));
    wchar_t* pszText = nullptr;
    const DWORD cch = FormatMessageW(
        FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY | FORMAT_MESSAGE_ALLOCATE_BUFFER, hModule,
        dwMessageId, 0, reinterpret_cast<wchar_t*>(&pszText), 0, reinterpret_cast<va_list*>(arguments.data()));
    if (cch == 0) return L"(no text: error " + std::to_wstring(GetLastError()) + L")";
    const LocalMemory owned(pszText);
    return std::wstring(pszText, cch);
}

std::vector<std::wstring> SplitCrLf(const std::wstring& text) {
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    lines.push_back(text.substr(start));
    return lines;
}

// Each insertion string on its own line after the heading, lines ended by CR LF.
void ExpectEventText(const std::wstring& text) {
    const std::vector<std::wstring> lines = SplitCrLf(text);
    ASSERT_EQ(lines.size(), 9u) << Narrow(text);
    EXPECT_FALSE(lines[0].empty());
    EXPECT_EQ(lines[1], L"Mode: " + kStrings[0]);
    EXPECT_EQ(lines[2], L"Result: " + kStrings[1]);
    EXPECT_EQ(lines[3], L"Exit code: " + kStrings[2]);
    EXPECT_EQ(lines[4], L"Failed step: " + kStrings[3]);
    EXPECT_EQ(lines[5], L"Installer exit code: " + kStrings[4]);
    EXPECT_EQ(lines[6], L"Driver version: " + kStrings[5]);
    EXPECT_EQ(lines[7], L"Front end version: " + kStrings[6]);
    EXPECT_EQ(lines[8], L"Installer processes left running: " + kStrings[7]);
    EXPECT_EQ(text.find(L'\n'), text.find(L"\r\n") + 1) << "a bare line feed in: " << Narrow(text);
}

RegistryKey OpenSourceKey(REGSAM access) {
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEventSourceKey, 0, access, &hKey) != ERROR_SUCCESS) return RegistryKey();
    return RegistryKey(hKey);
}

struct RegistryValue {
    DWORD dwType = REG_NONE;
    std::vector<unsigned char> data;
};

RegistryValue ReadValue(const wchar_t* pszName) {
    RegistryValue value;
    const RegistryKey key = OpenSourceKey(KEY_QUERY_VALUE);
    DWORD cb = 0;
    if (!key || RegQueryValueExW(static_cast<HKEY>(key.Get()), pszName, nullptr, &value.dwType, nullptr, &cb) !=
                    ERROR_SUCCESS)
        return RegistryValue();
    value.data.resize(cb);
    RegQueryValueExW(static_cast<HKEY>(key.Get()), pszName, nullptr, nullptr, value.data.data(), &cb);
    return value;
}

std::wstring ReadMessageFileValue(DWORD& dwType) {
    const RegistryValue value = ReadValue(L"EventMessageFile");
    dwType = value.dwType;
    if (value.data.size() < sizeof(wchar_t)) return std::wstring();
    return std::wstring(reinterpret_cast<const wchar_t*>(value.data.data()), value.data.size() / sizeof(wchar_t) - 1);
}

std::wstring Expanded(const std::wstring& text) {
    wchar_t szExpanded[MAX_PATH * 2] = {};
    const DWORD cch = ExpandEnvironmentStringsW(text.c_str(), szExpanded, MAX_PATH * 2);
    return cch == 0 || cch > MAX_PATH * 2 ? std::wstring() : szExpanded;
}

// The message file the build made, beside the program.
std::wstring BuiltMessageFilePath() {
    const std::wstring program = BuiltProgramPath();
    return program.substr(0, program.rfind(L'\\') + 1) + L"NicUpdateMessages.dll";
}

std::wstring KeptCopyPath() { return Expanded(kKeptMessageFile); }

// The copy of the whole program that earlier versions kept and registered as the message file.
const wchar_t kRetiredMessageFile[] = L"%SystemRoot%\\Logs\\NicUpdateMessages.exe";

// The RCDATA resource of that name in a module loaded as data.
std::string CarriedResource(HMODULE hModule, const wchar_t* pszName) {
    const HRSRC hFound = FindResourceW(hModule, pszName, RT_RCDATA);
    const HGLOBAL hLoaded = hFound ? LoadResource(hModule, hFound) : nullptr;
    const char* pBytes = hLoaded ? static_cast<const char*>(LockResource(hLoaded)) : nullptr;
    return pBytes ? std::string(pBytes, SizeofResource(hModule, hFound)) : std::string();
}

// Errors from 200, warnings from 300, as the run reports them.
RunEvent EventOf(RunEventId id) { return RunEvent{id, id >= 200 && id < 300, id >= 300, kStrings}; }

// Temporary copies left in the Logs folder.
std::vector<std::wstring> LeftoverCopies() {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found = {};
    const FindHandle hFind(
        FindFirstFileW(Expanded(L"%SystemRoot%\\Logs\\NicUpdateMessages.*.tmp").c_str(), &found));
    if (!hFind) return names;
    do names.push_back(found.cFileName);
    while (FindNextFileW(hFind.Get(), &found));
    return names;
}

// One row per event ID, with the ID the message compiler gave its table entry.
struct EventIdCase : NamedCase {
    RunEventId id;
    DWORD dwCompiledId;
};

const EventIdCase kEventIds[] = {
    {{"InstallSucceeded"}, kEventInstallSucceeded, MSG_INSTALL_SUCCEEDED},
    {{"DriverExtractionSucceeded"}, kEventDriverExtractionSucceeded, MSG_DRIVER_EXTRACTION_SUCCEEDED},
    {{"PackageCopySucceeded"}, kEventPackageCopySucceeded, MSG_PACKAGE_COPY_SUCCEEDED},
    {{"InstallSucceededRestartNeeded"}, kEventInstallSucceededRestartNeeded, MSG_INSTALL_SUCCEEDED_RESTART_NEEDED},
    {{"InstallFailed"}, kEventInstallFailed, MSG_INSTALL_FAILED},
    {{"DriverExtractionFailed"}, kEventDriverExtractionFailed, MSG_DRIVER_EXTRACTION_FAILED},
    {{"PackageCopyFailed"}, kEventPackageCopyFailed, MSG_PACKAGE_COPY_FAILED},
    {{"CommandLineRefused"}, kEventCommandLineRefused, MSG_COMMAND_LINE_REFUSED},
    {{"AnotherRunActive"}, kEventAnotherRunActive, MSG_ANOTHER_RUN_ACTIVE},
    {{"RunNotStarted"}, kEventRunNotStarted, MSG_RUN_NOT_STARTED},
    {{"InstallerReportedCode"}, kEventInstallerReportedCode, MSG_INSTALLER_REPORTED_CODE},
};

class EventMessage : public ::testing::TestWithParam<EventIdCase> {};

// The ID the run reports is the table's: severity in the top two bits (informational 01,
// warning 10, error 11), no customer bit, facility 0, and the event ID Event Viewer shows below.
TEST_P(EventMessage, ReportedIdIsTheCompiledOne) {
    const EventIdCase& c = GetParam();
    const RunEvent event = EventOf(c.id);
    EXPECT_EQ(MessageIdFor(event), c.dwCompiledId);
    EXPECT_EQ(c.dwCompiledId >> 30, event.bError ? 3u : event.bWarning ? 2u : 1u);
    EXPECT_EQ(c.dwCompiledId & 0x3FFFFFFFu, static_cast<DWORD>(c.id));
}

TEST_P(EventMessage, BuiltMessageFileCarriesTheText) {
    const LoadedModule messages = LoadAsData(BuiltMessageFilePath());
    ASSERT_TRUE(messages) << "cannot load " << Narrow(BuiltMessageFilePath()) << ": error " << GetLastError();
    ExpectEventText(FormatEvent(static_cast<HMODULE>(messages.Get()), MessageIdFor(EventOf(GetParam().id)), kStrings));
}

// What Event Viewer does with a reported event: the registered file, expanded, loaded as data,
// gives the text with every string in it.
TEST_P(EventMessage, RegisteredMessageFileGivesTheText) {
    const RunEvent event = EventOf(GetParam().id);
    ReportRunEvent(event);
    DWORD dwType = REG_NONE;
    const std::wstring messageFile = Expanded(ReadMessageFileValue(dwType));
    ASSERT_TRUE(PathExists(messageFile)) << Narrow(messageFile);
    const LoadedModule loaded = LoadAsData(messageFile);
    ASSERT_TRUE(loaded) << "cannot load " << Narrow(messageFile) << ": error " << GetLastError();
    ExpectEventText(FormatEvent(static_cast<HMODULE>(loaded.Get()), MessageIdFor(event), kStrings));
}

INSTANTIATE_TEST_SUITE_P(EveryEvent, EventMessage, ::testing::ValuesIn(kEventIds), CaseName());

// What the run keeps as the message file is what the build made: the shipping program carries
// it whole, and carries no message table of its own.
TEST(ShippingProgram, CarriesTheBuiltMessageFile) {
    const LoadedModule program = LoadAsData(BuiltProgramPath());
    ASSERT_TRUE(program) << "cannot load " << Narrow(BuiltProgramPath()) << ": error " << GetLastError();
    const std::string carried = CarriedResource(static_cast<HMODULE>(program.Get()), kMessageFileResource);
    ASSERT_FALSE(carried.empty()) << "no message file resource in the program";
    EXPECT_TRUE(carried == ReadBytes(BuiltMessageFilePath())) << "the carried message file is not the built one";
    EXPECT_EQ(FindResourceW(static_cast<HMODULE>(program.Get()), MAKEINTRESOURCEW(1), RT_MESSAGETABLE), nullptr);
}

// The source's registration: the kept message file, three event types.
void ExpectRegistration() {
    DWORD dwType = REG_NONE;
    EXPECT_EQ(ReadMessageFileValue(dwType), kKeptMessageFile);
    EXPECT_EQ(dwType, static_cast<DWORD>(REG_EXPAND_SZ));
    const RegistryValue types = ReadValue(L"TypesSupported");
    EXPECT_EQ(types.dwType, static_cast<DWORD>(REG_DWORD));
    ASSERT_EQ(types.data.size(), sizeof(DWORD));
    EXPECT_EQ(*reinterpret_cast<const DWORD*>(types.data.data()), 7u);
}

// Someone changed the registration between runs; the next report puts it right.
struct TamperCase : NamedCase {
    void (*pfnTamper)(HKEY hKey);
};

void SetText(HKEY hKey, DWORD dwType, const std::wstring& text) {
    RegSetValueExW(hKey, L"EventMessageFile", 0, dwType, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

const TamperCase kTampering[] = {
    {{"MessageFileElsewhere"}, [](HKEY hKey) { SetText(hKey, REG_EXPAND_SZ, L"C:\\Package\\NicUpdate.exe"); }},
    {{"MessageFileAsPlainString"}, [](HKEY hKey) { SetText(hKey, REG_SZ, kKeptMessageFile); }},
    {{"TypesNarrowed"},
     [](HKEY hKey) {
         const DWORD dwErrorsOnly = EVENTLOG_ERROR_TYPE;
         RegSetValueExW(hKey, L"TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwErrorsOnly),
                        sizeof dwErrorsOnly);
     }},
    {{"ValuesDeleted"},
     [](HKEY hKey) {
         RegDeleteValueW(hKey, L"EventMessageFile");
         RegDeleteValueW(hKey, L"TypesSupported");
     }},
    {{"KeyDeleted"}, [](HKEY) { RegDeleteKeyW(HKEY_LOCAL_MACHINE, kEventSourceKey); }},
};

class ChangedRegistration : public ::testing::TestWithParam<TamperCase> {};

TEST_P(ChangedRegistration, IsRepairedByTheNextReport) {
    ReportRunEvent(EventOf(kEventInstallSucceeded));
    {
        const RegistryKey key = OpenSourceKey(KEY_SET_VALUE);
        ASSERT_TRUE(key);
        GetParam().pfnTamper(static_cast<HKEY>(key.Get()));
    }
    ReportRunEvent(EventOf(kEventInstallFailed));
    ExpectRegistration();
}

INSTANTIATE_TEST_SUITE_P(EventSource, ChangedRegistration, ::testing::ValuesIn(kTampering), CaseName());

// The kept message file as an earlier run or someone else left it; the report brings it to the
// bytes the running program carries, written whole under another name first.
struct KeptCopyCase : NamedCase {
    void (*pfnPrepare)(const std::wstring& keptPath, const std::string& messageFileBytes);
};

const KeptCopyCase kKeptCopies[] = {
    {{"Missing"}, [](const std::wstring& kept, const std::string&) { DeleteFileW(kept.c_str()); }},
    {{"OlderTable"}, [](const std::wstring& kept, const std::string&) { WriteBytes(kept, "MZ an older table"); }},
    // Same size, one byte apart: only a comparison of the bytes sees it.
    {{"SameSizeOtherBytes"},
     [](const std::wstring& kept, const std::string& messageFile) {
         std::string changed = messageFile;
         changed[changed.size() / 2] ^= 0x5A;
         WriteBytes(kept, changed);
     }},
};

class KeptMessageFile : public ::testing::TestWithParam<KeptCopyCase> {};

TEST_P(KeptMessageFile, HoldsTheCarriedMessageFileAfterReport) {
    const std::string messageFile = ReadBytes(BuiltMessageFilePath());
    ReportRunEvent(EventOf(kEventPackageCopySucceeded));
    GetParam().pfnPrepare(KeptCopyPath(), messageFile);
    ReportRunEvent(EventOf(kEventPackageCopySucceeded));
    EXPECT_TRUE(ReadBytes(KeptCopyPath()) == messageFile) << "the kept file differs from the built message file";
    ExpectRegistration();
    EXPECT_TRUE(LeftoverCopies().empty()) << Narrow(LeftoverCopies().front());
}

INSTANTIATE_TEST_SUITE_P(EventSource, KeptMessageFile, ::testing::ValuesIn(kKeptCopies), CaseName());

// A system without the Logs folder gets it (with administrators-only rights, which Wine does not
// keep on a folder) and the copy in it.
TEST(KeptMessageFileFolder, IsMadeWhenMissing) {
    const LogsFolderAside aside;
    ASSERT_TRUE(aside.IsMoved()) << "cannot move the Logs folder aside: error " << GetLastError();
    ReportRunEvent(EventOf(kEventCommandLineRefused));
    EXPECT_TRUE(IsFolder(Expanded(L"%SystemRoot%\\Logs")));
    ASSERT_TRUE(PathExists(KeptCopyPath()));
    EXPECT_TRUE(ReadBytes(KeptCopyPath()) == ReadBytes(BuiltMessageFilePath()));
    ExpectRegistration();
}

// A link standing at the kept copy's name: the copy replaces the link itself, and the file the
// link pointed to keeps its bytes. Under Wine the link is a Unix symbolic link.
TEST(KeptMessageFileLink, IsReplacedWithoutTouchingItsTarget) {
    if (!IsRunningUnderWine()) GTEST_SKIP() << "the link is made on the Unix side of Wine";
    TempFolder temp;
    const std::wstring target = temp / L"elsewhere.dll";
    WriteBytes(target, "someone else's file");
    const std::string keptUnix = UnixPathOf(KeptCopyPath());
    const UnixScriptOutcome linked =
        RunUnixScript("rm -f '" + keptUnix + "' && ln -s '" + UnixPathOf(target) + "' '" + keptUnix + "'");
    ASSERT_TRUE(linked.bRan && linked.nExitStatus == 0) << linked.output;

    ReportRunEvent(EventOf(kEventInstallFailed));

    EXPECT_TRUE(ReadBytes(target) == "someone else's file") << "the link's target was written";
    const UnixScriptOutcome stillLink = RunUnixScript("test -L '" + keptUnix + "'");
    EXPECT_TRUE(stillLink.bRan && stillLink.nExitStatus != 0) << "the link is still there";
    if (stillLink.nExitStatus == 0) RunUnixScript("rm -f '" + keptUnix + "'");  // no link for the next test
    EXPECT_TRUE(ReadBytes(KeptCopyPath()) == ReadBytes(BuiltMessageFilePath()));
    ExpectRegistration();
}

// The old copy of the program that earlier versions registered goes once the registration names
// the kept message file; a link at its name goes as itself (on Windows) or stays (Wine opens the
// link's target and the check refuses it), and in neither case is the file it points to touched.
TEST(RetiredMessageFile, GoesOnceTheRegistrationMoves) {
    const std::wstring retired = Expanded(kRetiredMessageFile);
    WriteBytes(retired, ReadBytes(BuiltProgramPath()));
    {
        const RegistryKey key = OpenSourceKey(KEY_SET_VALUE);
        if (key) SetText(static_cast<HKEY>(key.Get()), REG_EXPAND_SZ, kRetiredMessageFile);
    }
    ReportRunEvent(EventOf(kEventInstallSucceeded));
    ExpectRegistration();
    EXPECT_FALSE(PathExists(retired)) << "the old copy is still there";
}

TEST(RetiredMessageFileLink, GoesWithoutTouchingItsTarget) {
    if (!IsRunningUnderWine()) GTEST_SKIP() << "the link is made on the Unix side of Wine";
    TempFolder temp;
    const std::wstring target = temp / L"elsewhere.exe";
    WriteBytes(target, "someone else's program");
    const std::string retiredUnix = UnixPathOf(Expanded(kRetiredMessageFile));
    const UnixScriptOutcome linked =
        RunUnixScript("rm -f '" + retiredUnix + "' && ln -s '" + UnixPathOf(target) + "' '" + retiredUnix + "'");
    ASSERT_TRUE(linked.bRan && linked.nExitStatus == 0) << linked.output;

    ReportRunEvent(EventOf(kEventInstallFailed));

    RunUnixScript("rm -f '" + retiredUnix + "'");  // no link for the next test
    ExpectRegistration();
    EXPECT_TRUE(PathExists(target)) << "the link's target was removed";
    EXPECT_TRUE(ReadBytes(target) == "someone else's program");
}

// What reaches ReportEventW, read on Wine's event log channel while a program reports an event
// as the run does: every string unchanged and in order, for either event type.
struct ChannelCase : NamedCase {
    RunEventId id;
    const char* pszLevel;  // the channel level that shows the event's type
};

class EventLogChannel : public ::testing::TestWithParam<ChannelCase> {};

TEST_P(EventLogChannel, CarriesTheEventStrings) {
    if (!IsRunningUnderWine()) GTEST_SKIP() << "the channel is Wine's";
    TempFolder temp;
    std::wstring commandLine = L"\"" + BuiltToolPath(L"report_event.exe") + L"\" " + std::to_wstring(GetParam().id);
    for (const std::wstring& text : kStrings) commandLine += L" \"" + text + L"\"";
    const EventLogRun run = RunWithEventLogChannel(commandLine, temp.Path());
    ASSERT_TRUE(run.bRan) << run.output;
    EXPECT_EQ(run.dwExitCode, 0u) << run.output;
    EXPECT_EQ(run.strings, kStrings) << run.output;
    EXPECT_EQ(run.levels, std::vector<std::string>(kStrings.size(), GetParam().pszLevel)) << run.output;
}

// Wine shortens a long string in its debug output; it still counts as one string, in its place.
TEST(EventLogChannelLongString, ComesShortenedInItsPlace) {
    if (!IsRunningUnderWine()) GTEST_SKIP() << "the channel is Wine's";
    TempFolder temp;
    const std::wstring longText(1000, L'x');
    const EventLogRun run = RunWithEventLogChannel(L"\"" + BuiltToolPath(L"report_event.exe") + L"\" 200 first " +
                                                       longText + L" last",
                                                   temp.Path());
    ASSERT_TRUE(run.bRan) << run.output;
    ASSERT_EQ(run.strings.size(), 3u) << run.output;
    ASSERT_GE(run.strings[1].size(), 3u) << run.output;
    EXPECT_EQ(run.strings[0], L"first");
    EXPECT_EQ(run.strings[1].substr(run.strings[1].size() - 3), L"...");
    EXPECT_EQ(longText.compare(0, run.strings[1].size() - 3, run.strings[1], 0, run.strings[1].size() - 3), 0);
    EXPECT_EQ(run.strings[2], L"last");
}

INSTANTIATE_TEST_SUITE_P(ReportedEvent, EventLogChannel,
                         ::testing::Values(ChannelCase{{"Error"}, kEventDriverExtractionFailed, "err"},
                                           ChannelCase{{"Warning"}, kEventInstallerReportedCode, "warn"},
                                           ChannelCase{{"Information"}, kEventDriverExtractionSucceeded, "trace"}),
                         CaseName());

}  // namespace
