#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

#include "package/PackageCopy.h"
#include "package/ResultCodes.h"
#include "support/FileUtil.h"
#include "support/NamedCase.h"
#include "support/TempFolder.h"

namespace {

struct SourceCase : NamedCase {
    const wchar_t* pszProgram;  // the program's own file name
    const wchar_t* pszFolder;
    const wchar_t* pszExpected;
};

// Wine cannot serve a share, so a program started from one is checked here, from its file name
// split the way the program splits its own.
const SourceCase kSourceCases[] = {
    {"ShareProgram", L"\\\\server\\share\\pkg\\NicUpdate.exe", L"Windows", L"\\\\server\\share\\pkg\\Windows"},
    {"DriveProgram", L"D:\\Pkg\\NicUpdate.exe", L"Others", L"D:\\Pkg\\Others"},
    {"DriveRootProgram", L"D:\\NicUpdate.exe", L"Windows", L"D:\\Windows"},
};

class PackageSourceFolderCase : public ::testing::TestWithParam<SourceCase> {};

}  // namespace

TEST_P(PackageSourceFolderCase, JoinsRootAndFolderWithOneSeparator) {
    const SourceCase& c = GetParam();
    wchar_t szDrive[3] = {};
    wchar_t szFolder[256] = {};
    ASSERT_EQ(_wsplitpath_s(c.pszProgram, szDrive, 3, szFolder, 256, nullptr, 0, nullptr, 0), 0);

    EXPECT_EQ(PackageSourceFolder(szDrive, szFolder, c.pszFolder), c.pszExpected);
}

INSTANTIATE_TEST_SUITE_P(ProgramPlaces, PackageSourceFolderCase, ::testing::ValuesIn(kSourceCases),
                         CaseName());

// The package root in-process is the test program's folder, which holds no package; the
// copies from a real package are covered by the end-to-end runs of /extract_all.
TEST(CopyPackage, CreatesTheTargetChainEvenWhenThePackageFoldersAreMissing) {
    TempFolder temp;
    const std::wstring target = temp / L"a\\b\\target";

    CopiedAmount copied;
    StepFailure failure;
    EXPECT_EQ(CopyPackage(target, copied, failure), kResultOk);
    EXPECT_FALSE(failure.IsSet());
    EXPECT_EQ(copied.nFiles, 0u);

    EXPECT_TRUE(IsFolder(target));
    EXPECT_TRUE(ListTree(target).empty());
}

TEST(CopyPackage, UncreatableTargetGives8) {
    TempFolder temp;
    WriteBytes(temp / L"blocker", "a file where a folder should be");

    CopiedAmount copied;
    StepFailure failure;
    EXPECT_EQ(CopyPackage(temp / L"blocker\\target", copied, failure), kResultCannotCreateFolder);

    EXPECT_EQ(ReadBytes(temp / L"blocker"), "a file where a folder should be");
    // What the trace says: the step, the folder and why it could not be made.
    EXPECT_EQ(failure.step, L"create the folder to copy the package into");
    EXPECT_EQ(failure.path, temp / L"blocker\\target");
    EXPECT_NE(failure.dwError, 0u);
}
