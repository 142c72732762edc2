#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "fileops/FolderChain.h"
#include "fileops/PathKind.h"
#include "fileops/ScopedHandle.h"
#include "support/FileUtil.h"
#include "support/NamedCase.h"
#include "support/TempFolder.h"

namespace {
struct ProbeCase : NamedCase {
    const wchar_t* path;  // relative to a test folder holding file.txt and a folder
    PathKind expected;
};

class PathProbe : public ::testing::TestWithParam<ProbeCase> {};
}  // namespace

TEST_P(PathProbe, ClassifiesPath) {
    TempFolder temp;
    WriteBytes(temp / L"file.txt", "x");
    MakeFolders(temp / L"folder");

    EXPECT_EQ(ProbePath(temp / GetParam().path), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, PathProbe,
                         ::testing::Values(ProbeCase{"File", L"file.txt", PathIsFile},
                                           ProbeCase{"Folder", L"folder", PathIsFolder},
                                           ProbeCase{"FolderWithTrailingBackslash", L"folder\\", PathIsFolder},
                                           ProbeCase{"Missing", L"absent.txt", PathMissing},
                                           ProbeCase{"InMissingFolder", L"absent\\file.txt", PathMissing},
                                           ProbeCase{"SearchPattern", L"folder\\*.*", PathError}),
                         CaseName());

namespace {
// Another handle on the file, held for the test, with the given access and sharing.
struct HolderCase : NamedCase {
    DWORD dwAccess;
    DWORD dwShare;
    bool bOpens;
};

class FileHeldOpen : public ::testing::TestWithParam<HolderCase> {};
}  // namespace

TEST_P(FileHeldOpen, OpensOnlyWhenHolderSharesReadingAndDoesNotWrite) {
    TempFolder temp;
    const std::wstring path = temp / L"InstallLog.txt";
    WriteBytes(path, "log");
    FileHandle holder(CreateFileW(path.c_str(), GetParam().dwAccess, GetParam().dwShare, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder.IsValid());

    EXPECT_EQ(FileOpensForRead(path), GetParam().bOpens);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileHeldOpen,
    ::testing::Values(HolderCase{"ReaderSharingRead", GENERIC_READ, FILE_SHARE_READ, true},
                      HolderCase{"ReaderWithoutSharing", GENERIC_READ, 0, false},
                      HolderCase{"WriterWithoutSharing", GENERIC_WRITE, 0, false},
                      // The probe itself shares reading only, so any writer keeps it out.
                      HolderCase{"WriterSharingAll", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, false}),
    CaseName());

TEST(FileOpensForRead, OnlyExistingFiles) {
    TempFolder temp;
    WriteBytes(temp / L"file.txt", "x");

    EXPECT_TRUE(FileOpensForRead(temp / L"file.txt"));
    EXPECT_FALSE(FileOpensForRead(temp / L"absent.txt"));
    EXPECT_FALSE(FileOpensForRead(temp.Path()));
}

namespace {
struct ChainCase : NamedCase {
    const wchar_t* path;  // relative to the test folder
    bool bLastIsFile;
    bool bResult;
    const wchar_t* deepestCreated;  // relative; nullptr when nothing below the test folder is made
    const wchar_t* notCreated;      // relative; nullptr when nothing is checked
};

class FolderChain : public ::testing::TestWithParam<ChainCase> {};
}  // namespace

TEST_P(FolderChain, CreatesFoldersAlongThePath) {
    TempFolder temp;
    WriteBytes(temp / L"file.txt", "x");
    const ChainCase& c = GetParam();
    std::wstring path = temp / c.path;

    EXPECT_EQ(CreateFolderChain(path, c.bLastIsFile), c.bResult);

    EXPECT_EQ(path, temp / c.path);  // nothing module-relative in it, so left as given
    if (c.deepestCreated) {
        EXPECT_TRUE(IsFolder(temp / c.deepestCreated));
    }
    if (c.notCreated) {
        EXPECT_FALSE(PathExists(temp / c.notCreated));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FolderChain,
    ::testing::Values(ChainCase{"WholePath", L"t\\a\\b", false, true, L"t\\a\\b", nullptr},
                      ChainCase{"AllButFileName", L"t\\a\\b", true, true, L"t\\a", L"t\\a\\b"},
                      ChainCase{"TrailingBackslash", L"t\\a\\", false, true, L"t\\a", nullptr},
                      ChainCase{"ExistingFileAsLastPart", L"file.txt", false, true, nullptr, nullptr},
                      ChainCase{"BelowAFile", L"file.txt\\sub", false, false, nullptr, nullptr}),
    CaseName());

TEST(FolderChain, FileNameWithoutAnyBackslashHasNoFolder) {
    std::wstring path = L"nic.log";
    EXPECT_FALSE(CreateFolderChain(path, true));
}
