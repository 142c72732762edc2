#include <gtest/gtest.h>

#include <string>

#include "package/PackageLayout.h"
#include "support/NamedCase.h"

namespace {

// The product folders the driver installers write their log into, spelled out as they are
// named on the machine: the program looks there by fixed text, so a slip finds no log.
struct LogFolderCase : NamedCase {
    bool bUsbPackage;
    bool b64BitWindows;
    const wchar_t* pszFolder;
};

class DriverLogFolder : public ::testing::TestWithParam<LogFolderCase> {};

TEST_P(DriverLogFolder, IsTheProductFolderWithItsBackslash) {
    const LogFolderCase& c = GetParam();
    EXPECT_EQ(DriverInstallLogFolder(c.bUsbPackage, c.b64BitWindows) + kDriverInstallLogFile,
              std::wstring(c.pszFolder) + L"InstallLog.txt");
}

INSTANTIATE_TEST_SUITE_P(
    FamiliesAndWindows, DriverLogFolder,
    ::testing::Values(
        LogFolderCase{"UsbOn64BitWindows", true, true,
                      L"C:\\Program Files (x86)\\Corvane\\Corvane Velmora USB Windows Driver\\"},
        LogFolderCase{"UsbOn32BitWindows", true, false,
                      L"C:\\Program Files\\Corvane\\Corvane Velmora USB Windows Driver\\"},
        LogFolderCase{"NicOn64BitWindows", false, true, L"C:\\Program Files (x86)\\Corvane\\Corvane Windows NIC Driver\\"},
        LogFolderCase{"NicOn32BitWindows", false, false, L"C:\\Program Files\\Corvane\\Corvane Windows NIC Driver\\"}),
    CaseName());

}  // namespace
