#include <gtest/gtest.h>

#include <string>

#include "fileops/PathText.h"
#include "support/NamedCase.h"

namespace {
struct TextCase : NamedCase {
    std::wstring input;
    std::wstring expected;
};

class TrailingBackslash : public ::testing::TestWithParam<TextCase> {};
class FolderNameOfPattern : public ::testing::TestWithParam<TextCase> {};
class FolderOpenedAs : public ::testing::TestWithParam<TextCase> {};
}  // namespace

TEST_P(TrailingBackslash, EndsWithExactlyOneAddedBackslash) {
    std::wstring path = GetParam().input;
    EnsureTrailingBackslash(path);
    EXPECT_EQ(path, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, TrailingBackslash,
                         ::testing::Values(TextCase{"Empty", L"", L"\\"},
                                           TextCase{"Folder", L"C:\\pkg", L"C:\\pkg\\"},
                                           TextCase{"AlreadyEnds", L"C:\\pkg\\", L"C:\\pkg\\"},
                                           TextCase{"ForwardSlashIsOrdinary", L"C:/pkg/", L"C:/pkg/\\"}),
                         CaseName());

TEST_P(FolderNameOfPattern, IsTextAfterSecondToLastBackslash) {
    EXPECT_EQ(LastFolderName(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, FolderNameOfPattern,
                         ::testing::Values(TextCase{"NestedFolder", L"C:\\pkg\\Windows\\*.*", L"Windows"},
                                           TextCase{"DriveRoot", L"C:\\*.*", L""},
                                           TextCase{"RelativeWithoutParent", L"Windows\\*.*", L""},
                                           TextCase{"RelativeWithParent", L"pkg\\Windows\\*.*", L"Windows"},
                                           TextCase{"NoBackslash", L"*.*", L""},
                                           TextCase{"DoubledBackslash", L"C:\\pkg\\\\*.*", L""}),
                         CaseName());

// A folder opened with its trailing backslash, or a drive's root opened without one, is
// another folder or none.
TEST_P(FolderOpenedAs, LosesTrailingBackslashesButADrivesRootKeepsItsOwn) {
    EXPECT_EQ(FolderAsOpened(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, FolderOpenedAs,
                         ::testing::Values(TextCase{"Folder", L"C:\\pkg\\", L"C:\\pkg"},
                                           TextCase{"DoubledTrailing", L"C:\\pkg\\\\", L"C:\\pkg"},
                                           TextCase{"WithoutTrailing", L"C:\\pkg", L"C:\\pkg"},
                                           TextCase{"DriveRoot", L"C:\\", L"C:\\"},
                                           TextCase{"Share", L"\\\\server\\share\\", L"\\\\server\\share"},
                                           TextCase{"Relative", L"logs\\", L"logs"}),
                         CaseName());

namespace {
struct InsideCase : NamedCase {
    std::wstring target;
    std::wstring folder;
    bool bInside;
};

class TargetInsideFolder : public ::testing::TestWithParam<InsideCase> {};
}  // namespace

TEST_P(TargetInsideFolder, OnlyAtBackslashBoundary) {
    EXPECT_EQ(LiesInside(GetParam().target, GetParam().folder), GetParam().bInside);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TargetInsideFolder,
    ::testing::Values(InsideCase{"Same", L"C:\\data", L"C:\\data", true},
                      InsideCase{"SameOtherCase", L"c:\\DATA", L"C:\\data", true},
                      InsideCase{"Child", L"C:\\pkg\\out", L"C:\\pkg", true},
                      InsideCase{"ChildOtherCase", L"C:\\PKG\\Out", L"c:\\pkg", true},
                      InsideCase{"Grandchild", L"C:\\pkg\\a\\b", L"C:\\pkg", true},
                      InsideCase{"FolderWithTrailingBackslash", L"C:\\pkg\\out", L"C:\\pkg\\", true},
                      InsideCase{"TargetWithTrailingBackslash", L"C:\\pkg\\", L"C:\\pkg", true},
                      InsideCase{"SiblingWithLongerName", L"C:\\data2", L"C:\\data", false},
                      InsideCase{"SiblingChildWithLongerName", L"C:\\data2\\x", L"C:\\data", false},
                      InsideCase{"Parent", L"C:\\pkg", L"C:\\pkg\\out", false},
                      InsideCase{"SourceInMiddleOfTarget", L"D:\\copy\\C:\\pkg", L"C:\\pkg", false},
                      InsideCase{"Unrelated", L"D:\\out", L"C:\\pkg", false},
                      InsideCase{"EmptyFolder", L"C:\\pkg", L"", false}),
    CaseName());

namespace {
struct JoinCase : NamedCase {
    std::wstring path;
    bool bModuleRelative;
    std::wstring joined;  // under D:\pkg\ when module relative
};

class ModuleRelativeText : public ::testing::TestWithParam<JoinCase> {};
}  // namespace

TEST_P(ModuleRelativeText, DropsLeadingDotsAndBackslashes) {
    const JoinCase& c = GetParam();
    EXPECT_EQ(IsModuleRelative(c.path), c.bModuleRelative);
    if (c.bModuleRelative) {
        EXPECT_EQ(JoinModuleRelative(L"D:\\pkg\\", c.path), c.joined);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ModuleRelativeText,
    ::testing::Values(JoinCase{"DotBackslash", L".\\logs\\run.txt", true, L"D:\\pkg\\logs\\run.txt"},
                      // ".." does not go up a level: every leading dot and backslash is dropped.
                      JoinCase{"DotDotBackslash", L"..\\logs\\run.txt", true, L"D:\\pkg\\logs\\run.txt"},
                      JoinCase{"RepeatedPrefix", L".\\.\\\\x", true, L"D:\\pkg\\x"},
                      // Only the front counts: the platform resolves "." and ".." further in.
                      JoinCase{"AbsoluteWithDotInMiddle", L"C:\\a\\.\\b", false, L""},
                      JoinCase{"AbsoluteWithDotDotInMiddle", L"C:\\Logs\\sub\\..\\r.txt", false, L""},
                      JoinCase{"ShareWithDotInMiddle", L"\\\\server\\share\\.\\r.txt", false, L""},
                      JoinCase{"RelativeWithDotInMiddle", L"logs\\.\\run.txt", false, L""},
                      JoinCase{"ThreeDots", L"...\\x", false, L""},
                      JoinCase{"OnlyDots", L".\\", true, L"D:\\pkg\\"},
                      JoinCase{"RelativeWithoutDot", L"logs\\run.txt", false, L""},
                      JoinCase{"Absolute", L"C:\\Logs\\nic.log", false, L""},
                      JoinCase{"DotWithoutBackslash", L"run.txt", false, L""}),
    CaseName());

namespace {
struct JoinedCase : NamedCase {
    std::wstring folder;
    std::wstring name;
    std::wstring joined;
};

class JoinedName : public ::testing::TestWithParam<JoinedCase> {};

struct SplitCase : NamedCase {
    std::wstring path;
    std::wstring parent;
    std::wstring name;
};

class ParentAndName : public ::testing::TestWithParam<SplitCase> {};
}  // namespace

// The parent is opened and the name opened relative to it: a wrong split opens the wrong folder.
TEST_P(ParentAndName, ParentIsOpenableAndNameIsOneComponent) {
    std::wstring parent;
    std::wstring name;
    SplitParentAndName(GetParam().path, parent, name);
    EXPECT_EQ(parent, GetParam().parent);
    EXPECT_EQ(name, GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParentAndName,
    ::testing::Values(SplitCase{"Nested", L"C:\\Temp\\KVNIC_INST_TEMP", L"C:\\Temp", L"KVNIC_INST_TEMP"},
                      SplitCase{"BelowADrivesRoot", L"C:\\Drivers", L"C:\\", L"Drivers"},
                      SplitCase{"TrailingBackslash", L"C:\\Temp\\sub\\", L"C:\\Temp", L"sub"},
                      SplitCase{"DoubledBackslash", L"C:\\Drv\\\\production", L"C:\\Drv", L"production"},
                      SplitCase{"ForwardSlash", L"C:\\Temp/sub", L"C:\\Temp", L"sub"},
                      SplitCase{"Share", L"\\\\server\\share\\pkg", L"\\\\server\\share", L"pkg"},
                      SplitCase{"BareName", L"RUN", L".", L"RUN"},
                      SplitCase{"DriveRootItself", L"C:\\", L".", L"C:"}),
    CaseName());

// A join that doubles or drops the backslash names another entry than the one opened.
TEST_P(JoinedName, HasExactlyOneBackslashBeforeTheName) {
    EXPECT_EQ(JoinedPath(GetParam().folder, GetParam().name), GetParam().joined);
}

INSTANTIATE_TEST_SUITE_P(Cases, JoinedName,
                         ::testing::Values(JoinedCase{"Folder", L"C:\\pkg", L"Windows", L"C:\\pkg\\Windows"},
                                           JoinedCase{"DriveRoot", L"C:\\", L"pkg", L"C:\\pkg"},
                                           JoinedCase{"HandleName", L"\\Temp", L"KVNIC_INST_TEMP",
                                                      L"\\Temp\\KVNIC_INST_TEMP"},
                                           JoinedCase{"VolumeRoot", L"\\", L"Drivers", L"\\Drivers"}),
                         CaseName());
