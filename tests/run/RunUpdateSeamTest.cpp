// RunUpdate in-process, with stand-ins for the privilege check, the message box and the
// installer launch.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "invocation/UsagePage.h"
#include "package/ResultCodes.h"
#include "run/RunUpdate.h"
#include "run/StagingFolder.h"
#include "support/FileUtil.h"
#include "support/NamedCase.h"
#include "support/StdoutCapture.h"
#include "support/TempFolder.h"

namespace {

struct Seen {
    std::string calls;  // the platform calls in order, each name followed by a blank
    bool bGuardAccepted = true;
    int nBoxes = 0;
    int nLaunches = 0;
    std::wstring text, caption;
    unsigned style = 0xFFFF;
};
Seen g_seen;

bool Admin() {
    g_seen.calls += "admin ";
    return true;
}
bool NotAdmin() {
    g_seen.calls += "admin ";
    return false;
}
bool RecordGuard() {
    g_seen.calls += "guard ";
    return g_seen.bGuardAccepted;
}
int RecordBox(const wchar_t* text, const wchar_t* caption, unsigned style) {
    ++g_seen.nBoxes;
    g_seen.text = text;
    g_seen.caption = caption;
    g_seen.style = style;
    return 1;  // OK
}
bool RecordLaunch(wchar_t*) {
    ++g_seen.nLaunches;
    return true;
}

// Points TMP and TEMP at a folder for the object's lifetime, then puts back what was there.
class TemporaryFolderVariables {
public:
    explicit TemporaryFolderVariables(const std::wstring& folder) {
        for (Saved& saved : m_saved) {
            wchar_t szValue[32768] = {};
            saved.bSet = GetEnvironmentVariableW(saved.pszName, szValue, 32768) != 0;
            saved.value = szValue;
            SetEnvironmentVariableW(saved.pszName, folder.c_str());
        }
    }
    ~TemporaryFolderVariables() {
        for (const Saved& saved : m_saved) SetEnvironmentVariableW(saved.pszName, saved.bSet ? saved.value.c_str() : nullptr);
    }
    TemporaryFolderVariables(const TemporaryFolderVariables&) = delete;
    TemporaryFolderVariables& operator=(const TemporaryFolderVariables&) = delete;

private:
    struct Saved {
        const wchar_t* pszName;
        bool bSet;
        std::wstring value;
    };
    Saved m_saved[2] = {{L"TMP", false, L""}, {L"TEMP", false, L""}};
};

// The run stages below the test's own temporary folder, never in the machine's.
class RunUpdateSeam : public ::testing::Test {
protected:
    void SetUp() override {
        g_seen = Seen();
        MakeFolders(m_folder / L"temp");
        ASSERT_TRUE(GetStagingFolderPath(m_staging));
        ASSERT_EQ(m_staging, m_folder / L"temp\\KVNIC_INST_TEMP");
    }

    int Run(const std::vector<std::wstring>& args, bool bAdmin) {
        std::vector<std::wstring> storage = {L"NicUpdate.exe"};
        storage.insert(storage.end(), args.begin(), args.end());
        std::vector<wchar_t*> argv;
        for (std::wstring& arg : storage) argv.push_back(&arg[0]);
        argv.push_back(nullptr);
        RunPlatform platform = {bAdmin ? &Admin : &NotAdmin, &RecordBox, &RecordLaunch, &RecordGuard};
        StdoutCapture capture(m_folder / L"stdout.txt");
        int nResult = RunUpdate(static_cast<int>(storage.size()), argv.data(), platform);
        m_stdout = capture.Text();
        return nResult;
    }

    TempFolder m_folder;
    TemporaryFolderVariables m_temp{m_folder / L"temp\\"};
    std::wstring m_staging;
    std::string m_stdout;
};

struct GateCase : NamedCase {
    std::vector<std::wstring> args;
};

class NonAdministrator : public RunUpdateSeam, public ::testing::WithParamInterface<GateCase> {};

TEST_P(NonAdministrator, Gets1603WithNothingPrintedShownOrTouched) {
    std::wstring out = m_folder / L"out";
    std::vector<std::wstring> args = GetParam().args;
    for (std::wstring& arg : args)
        if (arg == L"<out>") arg = out;
    EXPECT_EQ(Run(args, false), kExitFailure);
    EXPECT_EQ(g_seen.calls, "guard admin ") << "the redirection guard comes before anything else";
    EXPECT_EQ(m_stdout, "");
    EXPECT_EQ(g_seen.nBoxes, 0);
    EXPECT_EQ(g_seen.nLaunches, 0);
    EXPECT_FALSE(PathExists(out));
    EXPECT_FALSE(PathExists(m_staging));
}

INSTANTIATE_TEST_SUITE_P(
    AnyArguments, NonAdministrator,
    ::testing::Values(GateCase{"UsagePage", {L"/?"}}, GateCase{"NoArguments", {}},
                      GateCase{"SilentInstall", {L"/s", L"/vFORCE=TRUE", L"LOGFILE=C:\\r.log"}},
                      GateCase{"ExtractAll", {L"/extract_all", L"<out>"}}),
    CaseName());

class RejectedCommandLine : public RunUpdateSeam, public ::testing::WithParamInterface<GateCase> {};

TEST_P(RejectedCommandLine, Gets1603BeforeAnythingIsTouched) {
    EXPECT_EQ(Run(GetParam().args, true), kExitFailure);
    EXPECT_EQ(m_stdout, "");
    EXPECT_EQ(g_seen.nBoxes, 0);
    EXPECT_EQ(g_seen.nLaunches, 0);
    EXPECT_FALSE(PathExists(m_staging));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RejectedCommandLine,
    ::testing::Values(GateCase{"TwoUsageSwitches", {L"/?", L"/h"}}, GateCase{"ExtractAllWithoutFolder", {L"/extract_all"}},
                      GateCase{"DriverFolderWithoutBlank", {L"/s", L"/vEXTRACTDRIVERS=C:\\Drv"}},
                      GateCase{"ForceWithoutValue", {L"/s", L"/vFORCE"}},
                      GateCase{"SwitchAfterKeywordMode", {L"/vEXTRACTDRIVERS=C:\\Drv ", L"/s"}}),
    CaseName());

TEST_F(RunUpdateSeam, UsagePagePrintsThenShowsTheBoxAndSucceeds) {
    EXPECT_EQ(Run({L"/?"}, true), 0);
    EXPECT_EQ(g_seen.nBoxes, 1);
    EXPECT_EQ(g_seen.caption, L"QVP tool help page");
    EXPECT_EQ(g_seen.text, UsageText());
    EXPECT_EQ(g_seen.style, 0u);
    EXPECT_EQ(g_seen.nLaunches, 0);
    EXPECT_FALSE(PathExists(m_staging));
    EXPECT_NE(m_stdout.find("usage"), std::string::npos);
}

// The redirection guard is asked for before the privilege check, and a platform that lacks it
// (or refuses it) changes nothing about the run.
struct GuardCase : NamedCase {
    bool bAccepted;
};

class RedirectionGuard : public RunUpdateSeam, public ::testing::WithParamInterface<GuardCase> {};

TEST_P(RedirectionGuard, IsAskedFirstAndTheRunGoesOnWhateverTheAnswer) {
    g_seen.bGuardAccepted = GetParam().bAccepted;

    EXPECT_EQ(Run({L"/?"}, true), 0);

    EXPECT_EQ(g_seen.calls, "guard admin ");
    EXPECT_EQ(g_seen.nBoxes, 1);
}

INSTANTIATE_TEST_SUITE_P(Answers, RedirectionGuard,
                         ::testing::Values(GuardCase{"PlatformAccepts", true}, GuardCase{"PlatformLacksIt", false}),
                         CaseName());

TEST_F(RunUpdateSeam, TemporaryFolderTooLongEndsBeforeAnyFileWork) {
    // Wine's GetTempPathW gives 0 for a TEMP beyond MAX_PATH; this one fits MAX_PATH but leaves
    // no room for the staging name.
    std::wstring longTemp = m_folder.Path() + L"\\";
    while (longTemp.size() < 250) longTemp += L"d";
    longTemp += L"\\";
    MakeFolders(longTemp);
    int nResult = 0;
    {
        TemporaryFolderVariables temp(longTemp);
        nResult = Run({L"/s", L"/vLOGFILE=" + (m_folder / L"log.txt")}, true);
    }
    EXPECT_EQ(nResult, kExitFailure);
    EXPECT_EQ(g_seen.nLaunches, 0);
    EXPECT_TRUE(ListTree(longTemp).empty()) << "nothing may be staged";
    EXPECT_FALSE(PathExists(m_folder / L"LOG.TXT"));
}

}  // namespace
