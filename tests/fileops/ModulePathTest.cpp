#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <string>

#include "fileops/ModulePath.h"

namespace {
std::wstring ProgramFolder() {
    wchar_t szName[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, szName, MAX_PATH);
    std::wstring name = szName;
    return name.substr(0, name.rfind(L'\\') + 1);
}

constexpr wchar_t kGuard = L'#';
}  // namespace

TEST(ModulePath, SplitsProgramNameIntoDriveAndFolder) {
    wchar_t szName[MAX_PATH] = {};
    wchar_t szDrive[3] = {};
    wchar_t szFolder[256] = {};

    ASSERT_EQ(SplitModulePath(szName, MAX_PATH, szDrive, 3, szFolder, 256), 0);

    EXPECT_EQ(std::wstring(szDrive) + szFolder, ProgramFolder());
    EXPECT_EQ(szFolder[0], L'\\');
}

// Buffers too small for their part: an error result, and nothing written past them.
TEST(ModulePath, SmallFolderBufferGivesRangeErrorWithinBounds) {
    wchar_t szName[MAX_PATH] = {};
    wchar_t szDrive[3] = {};
    wchar_t szAround[8];  // a 4-character folder buffer inside a larger array, so overruns show
    std::fill(std::begin(szAround), std::end(szAround), kGuard);

    EXPECT_EQ(SplitModulePath(szName, MAX_PATH, szDrive, 3, szAround, 4), ERANGE);

    for (int i = 4; i < 8; ++i) EXPECT_EQ(szAround[i], kGuard) << "written past the folder buffer at " << i;
}

TEST(ModulePath, NameCutShortCountsAsUnreadable) {
    wchar_t szAround[12];  // an 8-character name buffer inside a larger array, so overruns show
    std::fill(std::begin(szAround), std::end(szAround), kGuard);
    wchar_t szDrive[3] = {};
    wchar_t szFolder[256] = {};

    EXPECT_EQ(SplitModulePath(szAround, 8, szDrive, 3, szFolder, 256), 9);

    for (int i = 8; i < 12; ++i) EXPECT_EQ(szAround[i], kGuard) << "written past the name buffer at " << i;
}

TEST(ModulePath, ResolvesDotRelativePathUnderProgramFolder) {
    std::wstring path = L".\\logs\\run.txt";

    EXPECT_EQ(ResolveModuleRelative(path), 0);

    EXPECT_EQ(path, ProgramFolder() + L"logs\\run.txt");
}

TEST(ModulePath, LeavesPathWithoutDotBackslashAlone) {
    std::wstring path = L"logs\\run.txt";

    EXPECT_EQ(ResolveModuleRelative(path), 0);

    EXPECT_EQ(path, L"logs\\run.txt");
}
