// The extraction removes the old "production" folder and makes it anew. The folder given may be
// writable by any user, who can make a folder of that name in the instant between the removal
// and the create: the run adopts nothing of it, and fails saying where and why.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "support/FileUtil.h"
#include "support/OpenGate.h"
#include "support/ProgramFixture.h"
#include "support/UnixShell.h"

namespace {

class PlantedProduction : public ProgramTest {};

TEST_F(PlantedProduction, BetweenTheRemovalAndTheCreateFailsTheRunAndNothingIsAdopted) {
    if (!IsRunningUnderWine()) GTEST_SKIP() << "the folder is planted on the Linux side of Wine";
    MakePackage();
    // In capitals: the text after /v is upper-cased, and the Linux names must match.
    const std::wstring given = m_folder / L"DRIVERS";
    const std::wstring production = given + L"\\production";
    const std::wstring log = m_folder / L"EXTRACT.LOG";
    // An earlier extraction: the folder is there until the run removes it.
    WriteBytes(production + L"\\Windows7-x86\\old.sys", "driver of an earlier extraction");
    auto gate = StartFolderPlantGate(given, "production", "planted.sys", m_folder.Path() + L"-gate-ready");

    ProgramOutcome outcome = Run(L"/s \"/vEXTRACTDRIVERS=" + given + L" LOGFILE=" + log + L"\"");

    UnixScriptOutcome planted = gate->Wait();
    ASSERT_TRUE(planted.bRan && planted.nExitStatus == 0) << "no folder was planted: " << planted.output;
    EXPECT_EQ(outcome.dwExitCode, 1603u);
    // The planted folder holds what its maker put there, and no driver of this run.
    EXPECT_EQ(ListTree(production), std::vector<std::wstring>{L"planted.sys"});
    EXPECT_EQ(ReadBytes(production + L"\\planted.sys"), "planted by another user\n");
    EXPECT_FALSE(PathExists(log));
    EXPECT_FALSE(InstallerRan());
    ExpectTraceEndsWithFailure("create the driver folder", production, ERROR_ALREADY_EXISTS,
                               "run ended: result CannotCreateFolder (8), exit code 1603");
}

}  // namespace
