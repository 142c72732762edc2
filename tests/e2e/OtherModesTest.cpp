// Extraction, package copy, usage page and rejected command lines of the real program.
#include <gtest/gtest.h>

#include <windows.h>

#include "support/ProgramFixture.h"
#include "invocation/UsagePage.h"
#include "package/PackageLayout.h"
#include "support/FileUtil.h"
#include "support/MessageBoxAnswerer.h"
#include "support/NamedCase.h"

namespace {

class OtherModes : public ProgramTest {};

TEST_F(OtherModes, DriverExtractionLaysOutEightFoldersWithoutStartingTheInstaller) {
    MakePackage();
    const std::string before = TreeDigest(Root());
    const std::wstring drivers = m_folder / L"Drivers";
    const std::wstring log = m_folder / L"extract.log";
    WriteBytes(DriverLog(true), "log of an earlier installation\r\n");

    ProgramOutcome outcome = Run(L"/s \"/vEXTRACTDRIVERS=" + drivers + L" LOGFILE=" + log + L"\"");

    EXPECT_EQ(outcome.dwExitCode, 0u);
    EXPECT_FALSE(InstallerRan());
    std::wstring production = drivers + L"\\production";
    ExpectUsbDriversLaidOut(production);
    for (const std::wstring& entry : ListTree(production)) {
        std::size_t slash = entry.find(L'\\');
        bool bKnown = false;
        for (const OsDriverRow& row : kOsDriverRows) bKnown |= entry.substr(0, slash) == std::wstring(row.pszFinal + 1);
        EXPECT_TRUE(bKnown) << "unexpected entry " << Narrow(entry);
    }
    EXPECT_EQ(ReadBytes(log), std::string("log of an earlier installation\r\n") + kLogRecord);
    EXPECT_FALSE(PathExists(Staging()));
    EXPECT_EQ(TreeDigest(Root()), before);
}

TEST_F(OtherModes, ExtractAllCopiesThePackageWithoutStagingOrLog) {
    MakePackage();
    const std::wstring out = m_folder / L"Out";
    const std::wstring log = m_folder / L"never.log";

    ProgramOutcome outcome = Run(L"/extract_all \"" + out + L"\" \"/vLOGFILE=" + log + L"\"");

    // The keyword argument after /extract_all is a stand-alone one: it sets the log path only.
    EXPECT_EQ(outcome.dwExitCode, 0u);
    EXPECT_EQ(TreeDigest(out + L"\\Windows"), TreeDigest(Root() + L"\\Windows"));
    EXPECT_EQ(TreeDigest(out + L"\\Others"), TreeDigest(Root() + L"\\Others"));
    EXPECT_FALSE(PathExists(Staging()));
    EXPECT_FALSE(PathExists(log));
    EXPECT_FALSE(InstallerRan());
}

TEST_F(OtherModes, ExtractAllRelativeTargetLandsBesideTheProgram) {
    MakePackage();
    const std::wstring elsewhere = m_folder / L"elsewhere";
    MakeFolders(elsewhere);

    EXPECT_EQ(Run(L"/extract_all .\\copy", elsewhere).dwExitCode, 0u);
    EXPECT_TRUE(IsFolder(Root() + L"\\copy\\Windows"));
    EXPECT_TRUE(ListTree(elsewhere).empty());
}

// The caller's file in the way is the caller's: it stays as it was, and the failure names the
// folder that could not be made and why.
TEST_F(OtherModes, ExtractAllOntoAnUncreatableFolderFails) {
    MakePackage();
    const std::wstring file = m_folder / L"file";
    WriteBytes(file, "a file where a folder should be");
    WIN32_FILE_ATTRIBUTE_DATA before = {};
    ASSERT_TRUE(GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &before));

    EXPECT_EQ(Run(L"/extract_all \"" + file + L"\\sub\"").dwExitCode, 1603u);

    WIN32_FILE_ATTRIBUTE_DATA after = {};
    ASSERT_TRUE(GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &after)) << "the file in the way went";
    EXPECT_EQ(after.dwFileAttributes, before.dwFileAttributes);
    EXPECT_EQ(CompareFileTime(&after.ftLastWriteTime, &before.ftLastWriteTime), 0);
    EXPECT_EQ(ReadBytes(file), "a file where a folder should be");
    ExpectTraceEndsWithFailure("create the folder to copy the package into", file + L"\\sub", ERROR_DIRECTORY,
                               "run ended: result CannotCreateFolder (8), exit code 1603");
}

// A copy keeps what CopyFileW keeps: contents, size, last-write time and attributes, read-only
// included, whether the older copy's file was read-only or the package's is.
TEST_F(OtherModes, ExtractAllOverAnOlderCopyReplacesFilesAndKeepsExtraOnes) {
    MakePackage();
    const std::wstring out = m_folder / L"Out";
    const std::wstring readOnlySource = L"\\Windows\\WIN7\\32\\driver.cat";
    WriteBytes(out + L"\\Windows\\setup.ini", "older profile, longer than the package's own profile file");
    SetReadOnly(out + L"\\Windows\\setup.ini", true);
    WriteBytes(out + L"\\Windows\\extra.txt", "only in the older copy");
    WriteBytes(out + readOnlySource, "older driver catalog");
    SetReadOnly(Root() + readOnlySource, true);

    EXPECT_EQ(Run(L"/extract_all \"" + out + L"\"").dwExitCode, 0u);
    EXPECT_EQ(ReadBytes(out + L"\\Windows\\setup.ini"), ReadBytes(Root() + L"\\Windows\\setup.ini"));
    EXPECT_EQ(ReadBytes(out + L"\\Windows\\extra.txt"), "only in the older copy");
    EXPECT_EQ(TreeDigest(out + L"\\Others"), TreeDigest(Root() + L"\\Others"));
    for (const wchar_t* pszFile : {L"\\Windows\\setup.ini", readOnlySource.c_str()}) {
        WIN32_FILE_ATTRIBUTE_DATA source = {};
        WIN32_FILE_ATTRIBUTE_DATA copy = {};
        ASSERT_TRUE(GetFileAttributesExW((Root() + pszFile).c_str(), GetFileExInfoStandard, &source));
        ASSERT_TRUE(GetFileAttributesExW((out + pszFile).c_str(), GetFileExInfoStandard, &copy));
        EXPECT_EQ(copy.dwFileAttributes & FILE_ATTRIBUTE_READONLY, source.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
            << Narrow(pszFile);
        EXPECT_EQ(CompareFileTime(&copy.ftLastWriteTime, &source.ftLastWriteTime), 0) << Narrow(pszFile);
        EXPECT_EQ(copy.nFileSizeLow, source.nFileSizeLow) << Narrow(pszFile);
    }
    SetReadOnly(Root() + readOnlySource, false);
    SetReadOnly(out + readOnlySource, false);
}

// An extraction over an earlier one leaves only this package's drivers.
TEST_F(OtherModes, DriverExtractionOverAnEarlierOneLeavesOnlyThisPackagesDrivers) {
    MakePackage();
    const std::wstring production = m_folder / L"Drivers\\production";
    const std::wstring log = m_folder / L"extract.log";
    WriteBytes(production + L"\\stale.txt", "of an earlier extraction");
    WriteBytes(production + L"\\Windows7-x86\\old.sys", "driver of an earlier extraction");
    SetReadOnly(production + L"\\Windows7-x86\\old.sys", true);
    MakeFolders(production + L"\\32");

    EXPECT_EQ(Run(L"/s \"/vEXTRACTDRIVERS=" + (m_folder / L"Drivers") + L" LOGFILE=" + log + L"\"").dwExitCode, 0u);

    ExpectUsbDriversLaidOut(production);
    EXPECT_FALSE(PathExists(production + L"\\stale.txt"));
    EXPECT_FALSE(PathExists(production + L"\\Windows7-x86\\old.sys"));
}

// A package whose profile names the other family holds none of the family's driver folders: an
// extraction that extracts nothing fails and says which family's folders it looked for.
TEST_F(OtherModes, DriverExtractionWithoutTheFamilysFoldersFails) {
    PackageSpec spec;
    spec.bUsbPackage = false;
    MakePackage(spec);
    WriteBytes(Root() + L"\\Windows\\setup.ini", "[Package]\r\nFamily = USB\r\n");
    const std::wstring production = m_folder / L"Drivers\\production";
    const std::wstring log = m_folder / L"extract.log";

    ProgramOutcome outcome = Run(L"/s \"/vEXTRACTDRIVERS=" + (m_folder / L"Drivers") + L" LOGFILE=" + log + L"\"");

    EXPECT_EQ(outcome.dwExitCode, 1603u);
    EXPECT_FALSE(PathExists(log));
    EXPECT_TRUE(ListTree(production).empty());
    ExpectTraceEndsWith({"failed: find the drivers to extract, path \"" + ConsoleBytes(Staging()) +
                             "\\Windows\": none of the USB family's driver folders exists (Windows\\WIN7\\32, "
                             "Windows\\WIN7\\64, Windows\\WIN8\\32, Windows\\WIN8\\64, Windows\\WIN10\\32, "
                             "Windows\\WIN10\\64)",
                         "run ended: result NoDriverFolders (16), exit code 1603"});
}

TEST_F(OtherModes, ExtractAllOfAPackageWithoutOthersSucceeds) {
    PackageSpec spec;
    spec.bOthers = false;
    MakePackage(spec);
    const std::wstring out = m_folder / L"Out";

    EXPECT_EQ(Run(L"/extract_all \"" + out + L"\"").dwExitCode, 0u);
    EXPECT_EQ(TreeDigest(out + L"\\Windows"), TreeDigest(Root() + L"\\Windows"));
    EXPECT_FALSE(PathExists(out + L"\\Others"));
}

TEST_F(OtherModes, ExtractAllOntoAnExistingFileFailsAndLeavesTheFile) {
    MakePackage();
    const std::wstring out = m_folder / L"out.bin";
    WriteBytes(out, "a file, not a folder");

    // Nothing can be copied into a file: the caller must not take it for the package.
    EXPECT_EQ(Run(L"/extract_all \"" + out + L"\"").dwExitCode, 1603u);
    EXPECT_EQ(ReadBytes(out), "a file, not a folder");
    ExpectTraceEndsWithFailure("copy the package", out, ERROR_DIRECTORY,
                               "run ended: result CannotCreateFolder (8), exit code 1603");
}

TEST_F(OtherModes, UsagePageGoesToStandardOutputThenToABox) {
    MakePackage();
    MessageBoxAnswerer answerer({MessageBoxAnswerer::Answer::Cancel}, L"QVP tool help page");

    ProgramOutcome outcome = Run(L"/?");

    ExpectUsagePageShown(outcome, answerer);
}

struct RejectedCase : NamedCase {
    std::wstring arguments;
};

class RejectedCommandLine : public ProgramTest, public ::testing::WithParamInterface<RejectedCase> {};

TEST_P(RejectedCommandLine, EndsWith1603AndTouchesNothing) {
    MakePackage();
    const std::string before = TreeDigest(m_folder.Path());
    MessageBoxAnswerer noBox({}, L"QVP tool help page");

    ProgramOutcome outcome = Run(GetParam().arguments);

    EXPECT_EQ(outcome.dwExitCode, 1603u);
    EXPECT_EQ(outcome.stdoutBytes, "");
    EXPECT_EQ(TreeDigest(m_folder.Path()), before);
    EXPECT_EQ(noBox.UnexpectedCount(), 0u) << noBox.DescribeUnexpected();
    ExpectTraceEndsWith({"failed: read the command line: ", ", exit code 1603"});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RejectedCommandLine,
    ::testing::Values(RejectedCase{"UsageTwice", L"/? /h"}, RejectedCase{"ExtractAllWithoutFolder", L"/extract_all"},
                      RejectedCase{"DriverFolderWithoutBlank", L"/s /vEXTRACTDRIVERS=C:\\Drv"},
                      RejectedCase{"SilentAfterKeywordMode", L"\"/vEXTRACTDRIVERS=C:\\Drv \" /s"},
                      RejectedCase{"LogPathTooLong", L"/s /vLOGFILE=C:\\" + std::wstring(300, L'x')}),
    CaseName());

}  // namespace
