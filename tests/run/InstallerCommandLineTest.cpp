#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "run/InstallerLaunch.h"
#include "run/StagingFolder.h"
#include "support/NamedCase.h"

namespace {

struct CommandLineCase : NamedCase {
    std::wstring staging;
    bool bSilent;
    bool bFits;
    std::wstring expected;
};

class InstallerCommandLine : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(InstallerCommandLine, QuotesThePathAndBoundsTheBuffer) {
    const CommandLineCase& c = GetParam();
    wchar_t buffer[260];
    std::wmemset(buffer, L'#', 260);
    ASSERT_EQ(BuildInstallerCommandLine(c.staging, c.bSilent, buffer, 260), c.bFits);
    if (c.bFits) {
        EXPECT_EQ(std::wstring(buffer), c.expected);
    } else {
        EXPECT_EQ(buffer[0], L'#') << "a line that does not fit must leave the buffer alone";
    }
}

// 260 characters hold 259 and the terminator; the quotes and " -s" count.
const std::wstring k238(238, L'a');  // 238 + 2 quotes + "\Windows\Setup.exe" (18) = 258
INSTANTIATE_TEST_SUITE_P(
    Cases, InstallerCommandLine,
    ::testing::Values(
        CommandLineCase{"Interactive", L"C:\\Temp\\KVNIC_INST_TEMP", false, true,
                        L"\"C:\\Temp\\KVNIC_INST_TEMP\\Windows\\Setup.exe\""},
        CommandLineCase{"Silent", L"C:\\Temp\\KVNIC_INST_TEMP", true, true,
                        L"\"C:\\Temp\\KVNIC_INST_TEMP\\Windows\\Setup.exe\" -s"},
        CommandLineCase{"BlankInTempFolder", L"C:\\Documents and Settings\\a\\Local Settings\\Temp\\KVNIC_INST_TEMP",
                        true, true,
                        L"\"C:\\Documents and Settings\\a\\Local Settings\\Temp\\KVNIC_INST_TEMP\\Windows\\Setup.exe\" -s"},
        CommandLineCase{"InteractiveFitsWith259", k238 + L"a", false, true,
                        L"\"" + k238 + L"a\\Windows\\Setup.exe\""},
        CommandLineCase{"InteractiveOneTooLong", k238 + L"aa", false, false, L""},
        CommandLineCase{"SilentSuffixMakesItTooLong", k238 + L"a", true, false, L""}),
    CaseName());

TEST(StagingFolderPath, AppendsTheNameDirectlyToTheTemporaryFolder) {
    EXPECT_EQ(JoinStagingFolderPath(L"C:\\Temp\\"), L"C:\\Temp\\KVNIC_INST_TEMP");
}

TEST(StagingFolderPath, RefusesAnEmptyTemporaryFolder) {
    // An empty one would stage, and later delete, in the current folder.
    EXPECT_EQ(JoinStagingFolderPath(L""), L"");
}

TEST(StagingFolderPath, RefusesAPathThatWouldNotFit) {
    const std::wstring name = L"KVNIC_INST_TEMP";
    std::wstring fits(259 - name.size(), L't');
    EXPECT_EQ(JoinStagingFolderPath(fits).size(), 259u);
    EXPECT_EQ(JoinStagingFolderPath(fits + L"t"), L"");
}

}  // namespace
