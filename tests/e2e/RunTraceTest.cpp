// The machine-wide trace of runs: what an administrator finds in the Windows folder's Logs after
// a run, end to end through the real program.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/FileUtil.h"
#include "support/LogsFolderAside.h"
#include "support/MachineWidePlaces.h"
#include "support/ProgramFixture.h"
#include "support/UnixShell.h"

namespace {

std::wstring LogsFolder() { return MachineLogsFolder(); }
std::wstring TracePath() { return MachineTracePath(); }
std::wstring OldTracePath() { return LogsFolder() + L"\\NicUpdate.log.old"; }

std::string Utf8(const std::wstring& text) {
    const int cb = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(cb), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &bytes[0], cb, nullptr, nullptr);
    return bytes;
}

std::string AsciiUpper(std::string text) {
    for (char& ch : text)
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    return text;
}

// Each text found in a line of its own, in this order (other lines may come between).
void ExpectLinesInOrder(const std::vector<std::string>& lines, const std::vector<std::string>& texts) {
    std::size_t next = 0;
    for (const std::string& line : lines)
        if (next < texts.size() && line.find(texts[next]) != std::string::npos) ++next;
    EXPECT_EQ(next, texts.size()) << "not found in order: " << (next < texts.size() ? texts[next] : "");
}

// A Unix symbolic link at the trace's name for one test; the trace that stood there comes back,
// at the latest when the next test starts.
class LinkAtTracePath {
public:
    explicit LinkAtTracePath(const std::wstring& target) {
        RestoreMachineWidePlaces();
        const std::string trace = "'" + UnixPathOf(TracePath()) + "'";
        const std::string saved = "'" + UnixPathOf(TracePath()) + Narrow(kTraceSavedSuffix) + "'";
        const std::string none = "'" + UnixPathOf(TracePath()) + Narrow(kTraceNoneSuffix) + "'";
        m_made = RunUnixScript("if [ -e " + trace + " ]; then mv -f " + trace + " " + saved + "; else : >" + none +
                               "; fi && ln -s '" + UnixPathOf(target) + "' " + trace + "\n");
    }
    ~LinkAtTracePath() { RestoreMachineWidePlaces(); }
    LinkAtTracePath(const LinkAtTracePath&) = delete;
    LinkAtTracePath& operator=(const LinkAtTracePath&) = delete;
    const UnixScriptOutcome& Made() const { return m_made; }

private:
    UnixScriptOutcome m_made;
};

class RunTrace : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        MakePackage();
    }
    // A silent install that must succeed whatever became of the trace.
    void ExpectSilentInstallSucceeds() {
        const std::wstring log = m_folder / L"run.log";
        EXPECT_EQ(Run(L"/s /vLOGFILE=" + log).dwExitCode, 0u);
        EXPECT_EQ(ReadBytes(log), std::string(kStandinLogText) + kLogRecord);
        EXPECT_FALSE(PathExists(Staging()));
    }
};

TEST_F(RunTrace, SuccessfulInstallNamesEveryStepAndTheInstallersOwnExitCode) {
    ConfigureInstaller("exit=3010\r\n");

    ExpectSilentInstallSucceeds();

    const std::vector<std::string> lines = TraceOfLastRun();
    ASSERT_FALSE(lines.empty());
    for (const char* fact : {" started: command line ", ", user ", ", 32-bit under WoW64"})
        EXPECT_NE(lines[0].find(fact), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find(", temporary folder " + ConsoleBytes(Temp()) + "\\"), std::string::npos) << lines[0];
    const std::string staging = ConsoleBytes(Staging());
    ExpectLinesInOrder(lines, {"staging folder created: " + staging, "package copied: ",
                               "INF pair chosen: ENAUXMAC=TRUE, the base-name INF active", "install-control variant chosen: " + staging,
                               "installer started: \"" + staging + "\\Windows\\Setup.exe\" -s",
                               "installer ended: exit code 3010", "result log written: ",
                               "staging folder removed: " + staging, "run ended: result Ok (0), exit code 0"});
    EXPECT_EQ(lines.back().find("run ended: "), lines.back().find(']') + 2) << "the run's last line";
}

// A trace that the run begins (no run wrote one on this machine yet), holding a path that the
// ANSI code page cannot spell: "\u20AC" is a byte of its own there, "\u03A9" and the two
// ideographs are none. None of them has a case, so the upper-cased LOGFILE= spells them as given.
TEST_F(RunTrace, IsUtf8WithByteOrderMarkAndCrLfLineEnds) {
    const LogsFolderAside aside;
    ASSERT_TRUE(aside.IsMoved()) << GetLastError();
    ASSERT_FALSE(PathExists(TracePath()));
    const std::wstring folder = m_folder / L"trace-\u20AC-\u03A9-\u65E5\u5FD7";
    MakeFolders(folder);
    const std::wstring log = folder + L"\\run.log";

    EXPECT_EQ(Run(L"/s /vLOGFILE=" + log).dwExitCode, 0u);
    EXPECT_EQ(ReadBytes(log), std::string(kStandinLogText) + kLogRecord);

    const std::string text = ReadBytes(TracePath());
    ASSERT_GE(text.size(), 3u);
    EXPECT_EQ(text.substr(0, 3), "\xEF\xBB\xBF") << "a new trace begins with the byte-order mark";
    EXPECT_EQ(text.find("\xEF\xBB\xBF", 3), std::string::npos) << "one byte-order mark, at the start";
    // LOGFILE= reaches the run upper-cased.
    EXPECT_NE(AsciiUpper(text).find(AsciiUpper("result log written: " + Utf8(log) + "\r\n")), std::string::npos)
        << "the path is not in UTF-8:\n" << text;
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1))
        ASSERT_TRUE(at > 0 && text[at - 1] == '\r') << "a line feed without its carriage return at " << at;
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
}

TEST_F(RunTrace, PastOneMebibyteItRollsOverToTheOldFile) {
    const std::string full(1024 * 1024 + 1, 'x');
    WriteBytes(TracePath(), full);
    WriteBytes(OldTracePath(), "an older trace");

    ExpectSilentInstallSucceeds();

    EXPECT_TRUE(ReadBytes(OldTracePath()) == full) << "the full trace replaces the older one";
    const std::string text = ReadBytes(TracePath());
    EXPECT_TRUE(text.compare(0, 3, "\xEF\xBB\xBF") == 0) << "a new trace begins";
    EXPECT_LT(text.size(), 64u * 1024u);
    EXPECT_FALSE(TraceOfLastRun().empty());
}

// A link at the trace's name, to a file someone wants SYSTEM to write: the run writes no trace
// through it and its own result stays what it was.
TEST_F(RunTrace, ALinkAtTheTracePathIsNotFollowed) {
    if (!IsRunningUnderWine()) GTEST_SKIP() << "the link is made from the Linux side";
    const std::wstring victim = m_folder / L"victim.txt";
    WriteBytes(victim, "not for the trace");
    const LinkAtTracePath link(victim);
    ASSERT_TRUE(link.Made().bRan && link.Made().nExitStatus == 0) << link.Made().output;

    ExpectSilentInstallSucceeds();

    EXPECT_EQ(ReadBytes(victim), "not for the trace");
}

// The Logs folder cannot hold the trace (a file stands at its name): the run goes on as if there
// were no trace.
TEST_F(RunTrace, ATraceThatCannotBeWrittenLeavesTheRunsResult) {
    const LogsFolderAside aside;
    ASSERT_TRUE(aside.IsMoved()) << GetLastError();
    WriteBytes(LogsFolder(), "a file where the folder should be");

    ExpectSilentInstallSucceeds();

    EXPECT_EQ(ReadBytes(LogsFolder()), "a file where the folder should be");
}

}  // namespace
