#include <gtest/gtest.h>

#include <windows.h>

#include "fileops/FileOpEngine.h"
#include "support/FileUtil.h"
#include "support/TempFolder.h"
#include "SystemMessage.h"

TEST(EngineFields, NewEngineReportsNoError) {
    CFileOpEngine engine;

    EXPECT_EQ(engine.GetLastErrorText(), L"No error");
    EXPECT_EQ(engine.GetLastErrorCode(), 0u);
    EXPECT_FALSE(engine.HasKeptItems());
    EXPECT_FALSE(engine.IsUnattended());
}

TEST(EngineRename, MovesFolderToFreeName) {
    TempFolder temp;
    WriteBytes(temp / L"Win10-x64\\drv.inf", "inf");
    CFileOpEngine engine;

    EXPECT_TRUE(engine.Rename(temp / L"Win10-x64", temp / L"Windows10-x64"));

    EXPECT_EQ(ReadBytes(temp / L"Windows10-x64\\drv.inf"), "inf");
    EXPECT_FALSE(PathExists(temp / L"Win10-x64"));
}

TEST(EngineRename, OntoExistingNameFailsWith183AndKeepsBoth) {
    TempFolder temp;
    WriteBytes(temp / L"a.inf", "active");
    WriteBytes(temp / L"b.inf", "inactive");
    CFileOpEngine engine;

    EXPECT_FALSE(engine.Rename(temp / L"a.inf", temp / L"b.inf"));

    EXPECT_EQ(engine.GetLastErrorCode(), static_cast<std::uint32_t>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(engine.GetLastErrorText(), SystemMessage(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(ReadBytes(temp / L"a.inf"), "active");
    EXPECT_EQ(ReadBytes(temp / L"b.inf"), "inactive");
}

// Only failures write the last-failure fields; successes leave them alone.
TEST(EngineFields, LastFailureSurvivesLaterSuccesses) {
    TempFolder temp;
    WriteBytes(temp / L"a.txt", "a");
    WriteBytes(temp / L"b.txt", "b");
    MakeFolders(temp / L"dest");
    CFileOpEngine engine;
    ASSERT_FALSE(engine.Rename(temp / L"a.txt", temp / L"b.txt"));

    ASSERT_TRUE(engine.Copy(temp / L"a.txt", temp / L"dest"));
    ASSERT_TRUE(engine.Rename(temp / L"b.txt", temp / L"c.txt"));
    ASSERT_TRUE(engine.Delete(temp / L"dest"));

    EXPECT_EQ(engine.GetLastErrorCode(), static_cast<std::uint32_t>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(engine.GetLastErrorText(), SystemMessage(ERROR_ALREADY_EXISTS));
}

TEST(EngineFields, LaterFailureReplacesEarlierOne) {
    TempFolder temp;
    WriteBytes(temp / L"a.txt", "a");
    WriteBytes(temp / L"b.txt", "b");
    CFileOpEngine engine;
    ASSERT_FALSE(engine.Rename(temp / L"a.txt", temp / L"b.txt"));

    EXPECT_FALSE(engine.Copy(temp / L"a.txt", temp / L"missing.txt"));

    EXPECT_EQ(engine.GetLastErrorText(), temp / L"missing.txt" + L" not found");
    EXPECT_EQ(engine.GetLastErrorCode(), 0u);
}
